// SFEN text: reading a position given by a front end or a test, and writing one back.
// The board order of SFEN (rank a to i, file 9 to 1) is exactly the square order.
#include <cstring>
#include <sstream>
#include <vector>

#include "position/position.h"

namespace mirabel {

const char* const StartSfen = "lnsgkgsnl/1r5b1/ppppppppp/9/9/9/PPPPPPPPP/1B5R1/LNSGKGSNL b - 1";

namespace {

constexpr int PiecesInGame[8] = {0, 18, 4, 4, 4, 4, 2, 2};  // by base kind 1..7
constexpr const char* HandOrder = "RBGSNLP";

int KindOfLetter(char c) {
    const char upper = (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
    for (int kind = 1; kind <= 8; ++kind)
        if (PieceLetters[kind] == upper) return kind;
    return 0;
}

bool IsLower(char c) {
    return c >= 'a' && c <= 'z';
}

bool ReadBoard(const std::string& text, Position& out, std::string& error) {
    int row = 0, col = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        const bool digit = c >= '1' && c <= '9';
        if (digit && i > 0 && text[i - 1] >= '0' && text[i - 1] <= '9')
            return error = "two counts of empty squares in a row", false;
        if (c == '/') {
            if (col != 9 || row == 8) return error = "a rank does not hold nine squares", false;
            ++row;
            col = 0;
        } else if (digit) {
            col += c - '0';
            if (col > 9) return error = "a rank holds more than nine squares", false;
        } else {
            const bool promoted = c == '+';
            if (promoted && i + 1 == text.size())
                return error = "a promotion mark without a piece letter", false;
            const char letter = promoted ? text[++i] : c;
            int kind = KindOfLetter(letter);
            if (kind == 0)
                return error = std::string("unknown piece letter in board: ") + letter, false;
            if (promoted) {
                if (PromoteKind[kind] == kind)
                    return error = std::string("piece that cannot promote: +") + letter, false;
                kind = PromoteKind[kind];
            }
            if (col >= 9) return error = "a rank holds more than nine squares", false;
            out.board[row * 9 + col] = static_cast<PieceCode>(IsLower(letter) ? -kind : kind);
            ++col;
        }
    }
    if (row != 8 || col != 9)
        return error = "the board does not hold nine ranks of nine squares", false;
    return true;
}

bool ReadHands(const std::string& text, Position& out, std::string& error) {
    if (text == "-") return true;
    bool seen[2][HandSlots] = {};
    int count = 0;
    bool haveCount = false;
    for (const char c : text) {
        if (c >= '0' && c <= '9') {
            if (!haveCount && c == '0') return error = "hand count starts with 0", false;
            count = count * 10 + (c - '0');
            haveCount = true;
            if (count > 18) return error = "hand count too large", false;
            continue;
        }
        const int kind = KindOfLetter(c);
        if (kind == 0 || kind == King)
            return error = std::string("unknown piece letter in hand: ") + c, false;
        const int side = IsLower(c) ? 1 : 0;
        if (seen[side][kind - 1]) return error = std::string("hand piece given twice: ") + c, false;
        seen[side][kind - 1] = true;
        out.hand[side][kind - 1] = static_cast<std::int8_t>(haveCount ? count : 1);
        count = 0;
        haveCount = false;
    }
    if (haveCount || text.empty()) return error = "hand text ends without a piece letter", false;
    return true;
}

bool TwoPawnsOnAFile(const Position& p) {
    for (int col = 0; col < 9; ++col) {
        int pawns[2] = {0, 0};
        for (int row = 0; row < 9; ++row) {
            const int code = p.board[row * 9 + col];
            if (AbsCode(code) == Pawn) ++pawns[code > 0 ? 0 : 1];
        }
        if (pawns[0] > 1 || pawns[1] > 1) return true;
    }
    return false;
}

bool CheckPieces(const Position& p, std::string& error) {
    int kings[2] = {0, 0};
    int counts[8] = {};
    for (int sq = 0; sq < SquareCount; ++sq) {
        const int code = p.board[sq];
        if (code == 0) continue;
        if (AbsCode(code) == King) {
            ++kings[code > 0 ? 0 : 1];
            continue;
        }
        ++counts[HandSlot[AbsCode(code)] + 1];
        if (!CanMoveFrom(code > 0 ? 0 : 1, AbsCode(code), sq))
            return error = "a piece stands where it could never move", false;
    }
    for (int side = 0; side < 2; ++side)
        for (int slot = 0; slot < HandSlots; ++slot) counts[slot + 1] += p.hand[side][slot];
    if (TwoPawnsOnAFile(p)) return error = "two unpromoted pawns of one side on one file", false;
    // A tsume gives the attacker no king; one side at least has its king, and none has two.
    if (kings[0] > 1 || kings[1] > 1) return error = "a side has more than one king", false;
    if (kings[0] + kings[1] == 0) return error = "neither side has a king", false;
    for (int kind = 1; kind <= 7; ++kind)
        if (counts[kind] > PiecesInGame[kind])
            return error = std::string("too many pieces of kind ") + PieceLetters[kind], false;
    return true;
}

}  // namespace

bool ReadSfen(const std::string& sfen, Position& position, int& side, int& moveNumber,
              std::string& error) {
    std::istringstream words(sfen);
    std::vector<std::string> fields;
    for (std::string word; words >> word;) fields.push_back(word);
    if (fields.size() < 3 || fields.size() > 4)
        return error = "an SFEN has a board, a side to move, hands and a move number", false;

    Position p{};
    p.material = position.material;
    if (!ReadBoard(fields[0], p, error)) return false;
    if (fields[1] != "b" && fields[1] != "w") return error = "side to move must be b or w", false;
    if (!ReadHands(fields[2], p, error)) return false;
    int number = 1;
    if (fields.size() == 4) {
        const std::string& text = fields[3];
        if (text.empty() || text.size() > 9 ||
            text.find_first_not_of("0123456789") != std::string::npos)
            return error = "move number must be a positive number", false;
        number = std::stoi(text);
        if (number < 1) return error = "move number must be a positive number", false;
    }
    if (!CheckPieces(p, error)) return false;

    FindKingSquares(p);
    const int toMove = fields[1] == "b" ? 0 : 1;
    // Only an illegal move could have left the side that just moved in check.
    const int waitingKing = p.kingSquare[1 - toMove];
    if (waitingKing != NoSquare && FindAttacker(1 - toMove, p.board, waitingKing) != NoSquare)
        return error = "the side not to move is in check", false;
    ComputeHashKey(p);
    position = p;
    side = toMove;
    moveNumber = number;
    return true;
}

bool ReadSfen(const std::string& sfen, Position& position, int& side, std::string& error) {
    int moveNumber = 0;
    return ReadSfen(sfen, position, side, moveNumber, error);
}

std::string WriteSfen(const Position& position, int side, int moveNumber) {
    std::string text;
    for (int row = 0; row < 9; ++row) {
        int empty = 0;
        for (int col = 0; col < 9; ++col) {
            const int code = position.board[row * 9 + col];
            if (code == 0) {
                ++empty;
                continue;
            }
            if (empty) text += static_cast<char>('0' + empty);
            empty = 0;
            int kind = AbsCode(code);
            if (kind > King) {
                text += '+';
                kind = HandSlot[kind] + 1;
            }
            const char letter = PieceLetters[kind];
            text += code > 0 ? letter : static_cast<char>(letter - 'A' + 'a');
        }
        if (empty) text += static_cast<char>('0' + empty);
        if (row < 8) text += '/';
    }
    text += side == 0 ? " b " : " w ";
    std::string hands;
    for (int s = 0; s < 2; ++s)
        for (const char* letter = HandOrder; *letter; ++letter) {
            const int count = position.hand[s][KindOfLetter(*letter) - 1];
            if (count == 0) continue;
            if (count > 1) hands += std::to_string(count);
            hands += s == 0 ? *letter : static_cast<char>(*letter - 'A' + 'a');
        }
    text += hands.empty() ? "-" : hands;
    text += ' ' + std::to_string(moveNumber);
    return text;
}

}  // namespace mirabel
