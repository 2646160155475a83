// The full pseudo-legal generator: board moves of every piece, then drops.
#include "movegen/pieces.h"

namespace mirabel {

// Writes the record(s) of one step or lance move to t: the non-promoting form, then the
// promoting one where promotion is allowed, or the promoting form alone where it is compulsory.
int WriteStepRecords(int side, const PieceCode* board, int square, int t, Move* out) {
    const int piece = board[square];
    const auto& rule = PromotionRule[side][AbsCode(piece)];
    if (rule[square] == PromotionNever && rule[t] == PromotionNever) {
        out[0] = BoardMove(square, t, piece, 0);
        return 1;
    }
    if (rule[t] == PromotionForced) {
        out[0] = BoardMove(square, t, piece, 1);
        return 1;
    }
    out[0] = BoardMove(square, t, piece, 0);
    out[1] = BoardMove(square, t, piece, 1);
    return 2;
}

static int GenerateStepMoves(int side, const PieceCode* board, int pattern, int square, Move* out) {
    const SquareList& targets = StepTargets[side][pattern][square];
    int n = 0;
    for (int i = 0; i < targets.count; ++i) {
        const int t = targets.squares[i];
        if (!IsOwn(side, board[t])) n += WriteStepRecords(side, board, square, t, out + n);
    }
    return n;
}

static int GenerateLanceMoves(int side, const PieceCode* board, int square, Move* out) {
    const SquareList& ray = Ray[side == 0 ? North : South][square];
    int n = 0;
    for (int i = 0; i < ray.count; ++i) {
        const int t = ray.squares[i];
        if (IsOwn(side, board[t])) break;
        n += WriteStepRecords(side, board, square, t, out + n);
        if (board[t] != 0) break;
    }
    return n;
}

// Slides along the given rays; a move that may promote is listed only as the promoting move.
static int GenerateSlides(int side, const PieceCode* board, int square, int firstDirection,
                          Move* out) {
    const int piece = board[square];
    const auto& rule = PromotionRule[side][AbsCode(piece)];
    int n = 0;
    for (int dir = firstDirection; dir < firstDirection + 4; ++dir) {
        const SquareList& ray = Ray[dir][square];
        for (int i = 0; i < ray.count; ++i) {
            const int t = ray.squares[i];
            if (IsOwn(side, board[t])) break;
            out[n++] = BoardMove(square, t, piece,
                                 rule[t] != PromotionNever || rule[square] != PromotionNever);
            if (board[t] != 0) break;
        }
    }
    return n;
}

int GenerateRookMoves(int side, const PieceCode* board, int square, Move* out) {
    return GenerateSlides(side, board, square, North, out);
}

int GenerateBishopMoves(int side, const PieceCode* board, int square, Move* out) {
    return GenerateSlides(side, board, square, NorthWest, out);
}

namespace {

// What the full generator lists for each kind: the moves of a step pattern (-1: none), then
// those of its slides (SlidesOfKind).
constexpr std::int8_t MovePattern[16] = {
    -1,          PawnPattern, -1,          KnightPattern,     SilverPattern,
    GoldPattern, -1,          -1,          KingPattern,       GoldPattern,
    GoldPattern, GoldPattern, GoldPattern, OrthogonalPattern, DiagonalPattern,
    -1};

int GeneratePieceMoves(int side, const PieceCode* board, Move* out, int square) {
    const int kind = AbsCode(board[square]);
    const int pattern = MovePattern[kind];
    int n = 0;
    if (pattern >= 0) n = GenerateStepMoves(side, board, pattern, square, out);
    switch (SlidesOfKind[kind]) {
        case LanceSlide:
            return n + GenerateLanceMoves(side, board, square, out + n);
        case BishopSlides:
            return n + GenerateBishopMoves(side, board, square, out + n);
        case RookSlides:
            return n + GenerateRookMoves(side, board, square, out + n);
        default:
            return n;
    }
}

}  // namespace

static int GenerateDrops(int side, const Position& position, Move* out);

int GenerateMoves(int side, const Position& position, Move* out) {
    int n = 0;
    // The side's pieces in square order.
    for (SquareSet pieces = OccupancyOf(position.board).PiecesOf(side); pieces != 0;
         pieces &= pieces - 1)
        n += GeneratePieceMoves(side, position.board, out + n, LowestSquare(pieces));
    return n + GenerateDrops(side, position, out + n);
}

namespace {

// The squares of each file.
constexpr Table<SquareSet, 9> FileSquares = [] {
    Table<SquareSet, 9> table{};
    for (int sq = 0; sq < SquareCount; ++sq) table[ColOf(sq)] |= SquareBit(sq);
    return table;
}();

}  // namespace

void MarkPawnFiles(int side, const PieceCode* board, bool (&fileHasPawn)[9]) {
    const SquareSet pawns = SquaresHolding(board, SignOf(side) * Pawn);
    for (int file = 0; file < 9; ++file) fileHasPawn[file] = (pawns & FileSquares[file]) != 0;
}

namespace {

// Writes a drop of `kind` on every empty square from `first` to `last - 1` whose file is not
// barred, in square order. Every record is written and counted only when it is a move, which
// costs less than a branch taken at random.
inline int WriteDrops(const PieceCode* board, int kind, int first, int last,
                      const bool (&barredFile)[9], Move* out) {
    int n = 0;
    for (int sq = first; sq < last; ++sq) {
        out[n] = DropMove(kind, sq);
        n += static_cast<int>(board[sq] == 0) & static_cast<int>(!barredFile[ColOf(sq)]);
    }
    return n;
}

}  // namespace

static int GenerateDrops(int side, const Position& position, Move* out) {
    const PieceCode* board = position.board;
    const std::int8_t* hand = position.hand[side];
    constexpr bool NoFileBarred[9] = {};
    int n = 0;
    // Pawns and lances cannot be dropped on the far rank, knights on the last two.
    const int oneRankFree = side == 0 ? 9 : 0;
    const int twoRanksFree = side == 0 ? 18 : 0;
    if (hand[0] != 0) {
        bool fileHasPawn[9] = {};
        MarkPawnFiles(side, board, fileHasPawn);
        n += WriteDrops(board, Pawn, oneRankFree, oneRankFree + 72, fileHasPawn, out + n);
    }
    if (hand[1] != 0)
        n += WriteDrops(board, Lance, oneRankFree, oneRankFree + 72, NoFileBarred, out + n);
    if (hand[2] != 0)
        n += WriteDrops(board, Knight, twoRanksFree, twoRanksFree + 63, NoFileBarred, out + n);
    for (int kind = Silver; kind <= Rook; ++kind)
        if (hand[kind - 1] != 0)
            n += WriteDrops(board, kind, 0, SquareCount, NoFileBarred, out + n);
    return n;
}

}  // namespace mirabel
