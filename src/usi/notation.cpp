// USI move text in both directions and the "position" command that replays a move list.
// Move text from the front end is never trusted: a token becomes a move only when it names a
// move that is legal under the full rules in the position reached so far.
#include <cstdio>
#include <cstring>
#include <string>

#include "movegen/movegen.h"
#include "usi/usi.h"

namespace mirabel {

namespace {

constexpr int DropLetterCount = 8;

// Square of a file digit and a rank letter, or NoSquare when either is off the board.
int SquareOfText(char file, char rank) {
    if (file < '1' || file > '9' || rank < 'a' || rank > 'i') return NoSquare;
    return (rank - 'a') * 9 + ('9' - file);
}

char FileDigit(int square) {
    return static_cast<char>('9' - ColOf(square));
}
char RankLetter(int square) {
    return static_cast<char>('a' + RowOf(square));
}

// Drop code (-1 .. -8) of a piece letter in either case, or 0 for any other character.
int DropCodeOfLetter(char letter) {
    for (int index = 0; index < DropLetterCount; ++index) {
        const char upper = PieceLetters[index + 1];
        const char lower = static_cast<char>(upper - 'A' + 'a');
        if (letter == upper || letter == lower) return -(index + 1);
    }
    return 0;
}

// Reads the shape of a move token into `move` (from, to, promote); false for anything that is
// not a board move "7g7f", a promotion "8h2b+" or a drop "P*5e".
bool ReadMoveText(std::string_view token, Move& move) {
    const std::size_t length = token.size();
    if (length < 4 || length > 5) return false;
    const int to = SquareOfText(token[2], token[3]);
    if (to == NoSquare) return false;
    move = NoMoveRecord;
    move.to = static_cast<std::int8_t>(to);
    if (token[1] == '*') {
        const int code = DropCodeOfLetter(token[0]);
        if (code == 0 || length != 4) return false;
        move.from = static_cast<std::int8_t>(code);
        return true;
    }
    const int from = SquareOfText(token[0], token[1]);
    if (from == NoSquare) return false;
    if (length == 5 && token[4] != '+') return false;
    move.from = static_cast<std::int8_t>(from);
    move.promote = length == 5 ? 1 : 0;
    return true;
}

// The words from index `from` up to `to` joined with single blanks.
std::string JoinWords(const std::vector<std::string_view>& words, std::size_t from,
                      std::size_t to) {
    std::string text;
    for (std::size_t i = from; i < to; ++i) {
        if (!text.empty()) text += ' ';
        text += words[i];
    }
    return text;
}

// Plays the move words from index `first` on `outcome`'s position. Stops at the first word that
// is not a legal move and names it; the moves before it stay played.
void ReplayMoves(const std::vector<std::string_view>& words, std::size_t first,
                 PositionOutcome& outcome) {
    for (std::size_t i = first; i < words.size(); ++i) {
        Move move;
        if (!ParseUsiMove(words[i], outcome.side, outcome.position, move)) {
            outcome.refusal = "move " + std::to_string(i - first + 1) + " \"" +
                              Printable(words[i]) + "\" is not legal here; the moves before it " +
                              "are played";
            return;
        }
        MakeMove(outcome.side, outcome.position, move);
        outcome.side = 1 - outcome.side;
    }
}

}  // namespace

bool ParseUsiMove(std::string_view token, int side, const Position& position, Move& move) {
    Move wanted;
    if (!ReadMoveText(token, wanted)) return false;
    Move legal[MoveListSize];
    const int count = GenerateLegalMoves(side, position, legal);
    for (int i = 0; i < count; ++i) {
        if (SameMove(legal[i], wanted)) {
            move = legal[i];
            return true;
        }
    }
    return false;
}

PositionOutcome ReadPositionCommand(const std::vector<std::string_view>& words) {
    PositionOutcome outcome;
    std::size_t next = 2;  // the word after "position startpos", or the SFEN's first word
    if (words.size() >= 2 && words[1] == "startpos") {
        SetStartPosition(outcome.position);
    } else if (words.size() >= 2 && words[1] == "sfen") {
        while (next < words.size() && words[next] != "moves") ++next;
        std::string error;
        if (!ReadSfen(JoinWords(words, 2, next), outcome.position, outcome.side, error)) {
            outcome.refusal = "position refused, the previous position is kept: " + error;
            return outcome;
        }
    } else {
        outcome.refusal = "position refused: expected startpos or sfen after position";
        return outcome;
    }
    if (next < words.size() && words[next] != "moves") {
        outcome.refusal =
            "position refused: expected moves, not \"" + Printable(words[next]) + "\"";
        return outcome;
    }
    outcome.accepted = true;
    ReplayMoves(words, next + 1, outcome);
    return outcome;
}

std::string MoveToUsi(const Move& move) {
    char text[8];
    if (move.from == NoMove) {
        std::snprintf(text, sizeof text, "resign");
    } else if (move.from < 0) {
        std::snprintf(text, sizeof text, "%c*%c%c", PieceLetters[-move.from], FileDigit(move.to),
                      RankLetter(move.to));
    } else {
        std::snprintf(text, sizeof text, move.promote ? "%c%c%c%c+" : "%c%c%c%c",
                      FileDigit(move.from), RankLetter(move.from), FileDigit(move.to),
                      RankLetter(move.to));
    }
    return std::string(text);
}

}  // namespace mirabel
