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

int GeneratePieceMoves(int side, const PieceCode* board, Move* out, int square) {
    const GeneratedMoves& moves = GeneratedMovesOf[AbsCode(board[square])];
    int n = 0;
    if (moves.steps >= 0) n = GenerateStepMoves(side, board, moves.steps, square, out);
    switch (moves.slides) {
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

static int GenerateDrops(int side, const Position& position, SquareSet empty, Move* out);

int GenerateMoves(int side, const Position& position, Move* out) {
    int n = 0;
    const Occupancy occupancy = OccupancyOf(position.board);
    // The side's pieces in square order.
    for (SquareSet pieces = occupancy.PiecesOf(side); pieces != 0; pieces &= pieces - 1)
        n += GeneratePieceMoves(side, position.board, out + n, LowestSquare(pieces));
    return n + GenerateDrops(side, position, AllSquares & ~occupancy.all, out + n);
}

namespace {

// The squares of each file.
constexpr Table<SquareSet, 9> FileSquares = [] {
    Table<SquareSet, 9> table{};
    for (int sq = 0; sq < SquareCount; ++sq) table[ColOf(sq)] |= SquareBit(sq);
    return table;
}();

}  // namespace

SquareSet PawnFileSquares(int side, const PieceCode* board) {
    const SquareSet pawns = SquaresHolding(board, SignOf(side) * Pawn);
    SquareSet files = 0;
    for (int file = 0; file < 9; ++file)
        if ((pawns & FileSquares[file]) != 0) files |= FileSquares[file];
    return files;
}

namespace {

// Writes a drop of `kind` on every square of `targets`, in square order.
inline int WriteDrops(int kind, SquareSet targets, Move* out) {
    int n = 0;
    for (auto low = static_cast<std::uint64_t>(targets); low != 0; low &= low - 1)
        out[n++] = DropMove(kind, __builtin_ctzll(low));
    for (auto high = static_cast<std::uint64_t>(targets >> 64); high != 0; high &= high - 1)
        out[n++] = DropMove(kind, 64 + __builtin_ctzll(high));
    return n;
}

// The squares of the ranks from `first` to `last`.
constexpr SquareSet RankSquares(int first, int last) {
    SquareSet squares = 0;
    for (int sq = first * 9; sq < (last + 1) * 9; ++sq) squares |= SquareBit(sq);
    return squares;
}
// Silver to rook may drop anywhere.
static_assert(Traits[Silver].deadRanks == 0 && Traits[Gold].deadRanks == 0 &&
              Traits[Bishop].deadRanks == 0 && Traits[Rook].deadRanks == 0);
// Where [side] may drop each kind: not on the far ranks where it could never move.
constexpr Table<SquareSet, 2, 16> DropZone = [] {
    Table<SquareSet, 2, 16> table{};
    for (int kind = 0; kind < 16; ++kind) {
        const int dead = Traits[kind].deadRanks;
        table[0][kind] = RankSquares(dead, 8);
        table[1][kind] = RankSquares(0, 8 - dead);
    }
    return table;
}();

}  // namespace

static int GenerateDrops(int side, const Position& position, SquareSet empty, Move* out) {
    const std::int8_t* hand = position.hand[side];
    int n = 0;
    const auto& zone = DropZone[side];
    if (hand[0] != 0)
        n += WriteDrops(Pawn, empty & zone[Pawn] & ~PawnFileSquares(side, position.board), out + n);
    if (hand[1] != 0) n += WriteDrops(Lance, empty & zone[Lance], out + n);
    if (hand[2] != 0) n += WriteDrops(Knight, empty & zone[Knight], out + n);
    for (int kind = Silver; kind <= Rook; ++kind)
        if (hand[kind - 1] != 0) n += WriteDrops(kind, empty, out + n);
    return n;
}

}  // namespace mirabel
