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

bool IsTokenEnd(char c) {
    return c == ' ' || c == '\n' || c == '\0';
}

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
bool ReadMoveText(const char* token, Move& move) {
    int length = 0;
    while (length < 6 && token[length] != '\0') ++length;
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

// Replays the move tokens of `text` from `start` on the game position, `side` moving first.
// Stops at the end of the line, at an empty token (two blanks in a row) and at the first
// token that is not a legal move; the moves before it stay played.
void ReplayMoves(const char* text, int length, int start, int side) {
    char token[MaxTokenLength + 1];
    for (;;) {
        start = NextToken(text, length, start, token);
        if (start < 0 || token[0] == '\0') return;
        Move move;
        if (!ParseUsiMove(token, side, GamePosition, move)) return;
        MakeMove(side, GamePosition, move);
        ++GamePly;
        side = 1 - side;
    }
}

void StartPositionCommand(const char* text, int length) {
    SetStartPosition(GamePosition);
    GamePly = 0;
    // Skip "position", "startpos" and the word after them, the keyword moves, unread.
    char token[MaxTokenLength + 1];
    int next = 0;
    for (int word = 0; word < 3 && next >= 0; ++word) next = NextToken(text, length, next, token);
    if (next < 0) return;
    ReplayMoves(text, length, next, 0);
}

bool BeginsWith(const char* text, int length, const char* keyword) {
    const int keywordLength = static_cast<int>(std::strlen(keyword));
    return length >= keywordLength && std::strncmp(text, keyword, keywordLength) == 0;
}

// An SFEN whose side not to move stands in check could only arise after an illegal move.
bool ImpossibleToReach(const Position& position, int side) {
    return InCheckNow(1 - side, position);
}

void SfenPositionCommand(const char* text, int length, int next) {
    // The SFEN is every word up to "moves" or the end of the line.
    std::string sfen;
    char token[MaxTokenLength + 1];
    int movesStart = -1;
    for (;;) {
        const int after = NextToken(text, length, next, token);
        if (after < 0) {
            if (next <= length) return;  // an over-long word: the line is unreadable
            break;
        }
        if (std::string(token) == "moves") {
            movesStart = after;
            break;
        }
        if (token[0] != '\0') sfen.append(sfen.empty() ? "" : " ").append(token);
        next = after;
    }
    Position position = GamePosition;
    int side = 0;
    std::string error;
    if (!ReadSfen(sfen, position, side, error) || ImpossibleToReach(position, side)) return;
    GamePosition = position;
    GamePly = side;
    if (movesStart >= 0) ReplayMoves(text, length, movesStart, side);
}

}  // namespace

int NextToken(const char* text, int length, int start, char* token) {
    token[0] = '\0';
    if (start < 0 || start > length) return -1;
    int index = start;
    while (index < length && !IsTokenEnd(text[index])) {
        if (index - start == MaxTokenLength) {
            // Longer than any word of the protocol: not copied, and nothing after it is read.
            token[0] = '\0';
            return -1;
        }
        token[index - start] = text[index];
        ++index;
    }
    token[index - start] = '\0';
    return index + 1;
}

bool ParseUsiMove(const char* token, int side, const Position& position, Move& move) {
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

void ParsePositionCommand(const char* text, int length) {
    if (BeginsWith(text, length, "position startpos")) {
        StartPositionCommand(text, length);
    } else if (BeginsWith(text, length, "position sfen ")) {
        SfenPositionCommand(text, length, 14);
    }
}

const char* MoveToUsi(const Move& move) {
    static char text[8];
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
    return text;
}

}  // namespace mirabel
