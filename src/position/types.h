// The position module's types: the piece encoding and each kind's traits, the flat Position
// and Move records, the fixed hash keys, the start position and MakeMove.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <type_traits>

namespace mirabel {

// ---------------------------------------------------------------------------------------------
// Encoding
// ---------------------------------------------------------------------------------------------

// Side 0 owns positive piece codes and moves toward row 0; side 1 owns negative codes.
using Square = std::int8_t;     // row * 9 + col, row 0 = rank a, col 0 = file 9
using PieceCode = std::int8_t;  // 0 empty, +kind side 0, -kind side 1

constexpr int SquareCount = 81;
constexpr int HandSlots = 7;  // P L N S G B R
constexpr int CellCount = SquareCount + 2 * HandSlots;
constexpr int NoSquare = -1;

enum Kind : int {
    Pawn = 1,
    Lance,
    Knight,
    Silver,
    Gold,
    Bishop,
    Rook,
    King,
    ProPawn,
    ProLance,
    ProKnight,
    ProSilver,
    Horse,
    Dragon,
    BlockerCode  // occupies a square for a moment, attacks nothing
};

constexpr int RowOf(int sq) {
    return sq / 9;
}
constexpr int ColOf(int sq) {
    return sq % 9;
}
constexpr int SignOf(int side) {
    return side == 0 ? 1 : -1;
}
constexpr int AbsCode(int code) {
    return code < 0 ? -code : code;
}
constexpr bool IsOwn(int side, int code) {
    return side == 0 ? code > 0 : code < 0;
}
constexpr bool IsEnemy(int side, int code) {
    return side == 0 ? code < 0 : code > 0;
}
// Row counted from `side`'s far rank (0 = the rank it moves toward).
constexpr int RelativeRow(int side, int sq) {
    return side == 0 ? RowOf(sq) : 8 - RowOf(sq);
}

// ---------------------------------------------------------------------------------------------
// Piece traits
// ---------------------------------------------------------------------------------------------

// The one-step patterns, as offsets for side 0 (side 1 mirrors the rows; see geometry.cpp).
enum Pattern : int {
    PawnPattern,
    KnightPattern,
    SilverPattern,
    GoldPattern,
    KingPattern,
    OrthogonalPattern,
    DiagonalPattern,
    PatternCount
};
enum Direction : int {
    North,
    South,
    West,
    East,
    NorthWest,
    NorthEast,
    SouthWest,
    SouthEast,
    DirectionCount
};
// The rays a piece slides along: a lance forward, a bishop the diagonals, a rook the ranks and
// files.
enum Slides : std::uint8_t { NoSlides, LanceSlide, BishopSlides, RookSlides };

// How each kind moves, promotes and counts: the one table every generator, attack test,
// geometry table and value table is derived from.
struct PieceTraits {
    std::int8_t steps;       // Pattern of its moves by one step besides its slides; -1 for none
    Slides slides;           // the rays it slides along
    std::int8_t promotesTo;  // the kind it becomes; itself when it does not promote
    // The far ranks where it could never move again, and those where the generators list only
    // its promoting move (not promoting there never helps it).
    std::int8_t deadRanks;
    std::int8_t alwaysPromotesIn;
    std::int8_t handSlot;        // where it goes when captured; -1 for none
    std::int32_t value;          // material value
    std::int32_t exchangeValue;  // what the exchange estimates count for it
    std::int32_t promotionGain;  // what promoting adds to the material balance
};
inline constexpr PieceTraits Traits[16] = {
    {-1, NoSlides, 0, 0, 0, -1, 0, 0, 0},  // empty
    {PawnPattern, NoSlides, ProPawn, 1, 3, 0, 87, 174, 447},
    {-1, LanceSlide, ProLance, 1, 3, 1, 232, 464, 256},
    {KnightPattern, NoSlides, ProKnight, 2, 2, 2, 257, 514, 262},
    {SilverPattern, NoSlides, ProSilver, 0, 0, 3, 369, 738, 116},
    {GoldPattern, NoSlides, Gold, 0, 0, 4, 444, 888, 0},
    {-1, BishopSlides, Horse, 0, 0, 5, 569, 1138, 258},
    {-1, RookSlides, Dragon, 0, 0, 6, 642, 1284, 303},
    {KingPattern, NoSlides, King, 0, 0, -1, 15000, 15000, 0},
    {GoldPattern, NoSlides, ProPawn, 0, 0, 0, 534, 621, 0},
    {GoldPattern, NoSlides, ProLance, 0, 0, 1, 488, 720, 0},
    {GoldPattern, NoSlides, ProKnight, 0, 0, 2, 519, 776, 0},
    {GoldPattern, NoSlides, ProSilver, 0, 0, 3, 485, 854, 0},
    {OrthogonalPattern, BishopSlides, Horse, 0, 0, 5, 827, 1396, 0},
    {DiagonalPattern, RookSlides, Dragon, 0, 0, 6, 945, 1587, 0},
    {-1, NoSlides, BlockerCode, 0, 0, -1, 0, 0, 0},  // the blocker
};

// The pattern of a kind's one-step attacks (-1: none): its steps together with the first
// square of each slide.
constexpr int AttackPatternOf(int kind) {
    const PieceTraits& t = Traits[kind];
    switch (t.slides) {
        case LanceSlide:
            return PawnPattern;
        case BishopSlides:
            return t.steps == OrthogonalPattern ? KingPattern : DiagonalPattern;
        case RookSlides:
            return t.steps == DiagonalPattern ? KingPattern : OrthogonalPattern;
        default:
            return t.steps;
    }
}

namespace detail {
template <typename T, typename Of>
constexpr std::array<T, 16> ByKind(Of of) {
    std::array<T, 16> table{};
    for (int kind = 0; kind < 16; ++kind) table[kind] = static_cast<T>(of(kind));
    return table;
}
}  // namespace detail

// Kind a piece becomes when it promotes (kinds that cannot promote map to themselves).
inline constexpr auto PromoteKind =
    detail::ByKind<std::int8_t>([](int kind) { return Traits[kind].promotesTo; });
// Hand slot a captured kind goes to; -1 for empty, king and blocker.
inline constexpr auto HandSlot =
    detail::ByKind<std::int8_t>([](int kind) { return Traits[kind].handSlot; });
// Pattern of each kind's one-step attacks (-1: none).
inline constexpr auto StepPatternOfKind = detail::ByKind<std::int8_t>(AttackPatternOf);
constexpr bool IsSliderKind(int kind) {
    return Traits[kind].slides != NoSlides;
}

// Whether an unpromoted piece of `kind` of `side` on `sq` could still move: a pawn or lance
// not on the far rank, a knight not on the last two ranks, any other piece anywhere.
constexpr bool CanMoveFrom(int side, int kind, int sq) {
    return RelativeRow(side, sq) >= Traits[kind].deadRanks;
}

// Upper-case letter of each unpromoted kind 1..8 in SFEN and USI text (index = kind).
inline constexpr char PieceLetters[] = " PLNSGBRK";

// CSA name of a piece code's kind ("FU" .. "RY"); the empty string for 0 and for anything that
// is not a piece, so a stray record never reads outside the table.
inline constexpr const char* CsaPieceNames[15] = {"",   "FU", "KY", "KE", "GI", "KI", "KA", "HI",
                                                  "OU", "TO", "NA", "NK", "NG", "UM", "RY"};
constexpr const char* CsaPieceName(int code) {
    const int kind = code < 0 ? -code : code;
    return kind < 15 ? CsaPieceNames[kind] : "";
}

// The promoted form of a piece code, sign kept.
inline constexpr int PromotedCode(int code) {
    return code < 0 ? -PromoteKind[-code] : PromoteKind[code];
}

// ---------------------------------------------------------------------------------------------
// Records
// ---------------------------------------------------------------------------------------------

struct Position {
    PieceCode board[SquareCount];
    std::int8_t hand[2][HandSlots];
    Square kingSquare[2];
    std::uint8_t keySet;  // the KeySet hashKey is made with
    std::uint64_t hashKey;
    std::int32_t material;  // balance from side 0's view
};
static_assert(std::is_trivially_copyable_v<Position>);
static_assert(std::is_standard_layout_v<Position>);
static_assert(sizeof(Position) == 120);

constexpr std::int8_t NoMove = -10;  // `from` of the no-move marker

struct Move {
    std::int8_t from;  // 0..80 board move, -kind for a drop, NoMove
    std::int8_t to;
    std::int8_t piece;     // code on `from` before the move (board moves only)
    std::uint8_t promote;  // 1 when the piece promotes
    std::uint8_t capture;  // set by the search's ordering
    std::int32_t score;    // ordering or exchange score
};
static_assert(std::is_trivially_copyable_v<Move>);
static_assert(sizeof(Move) == 12);

constexpr Move NoMoveRecord{NoMove, 0, 0, 0, 0, 0};

// ---------------------------------------------------------------------------------------------
// Hash keys
// ---------------------------------------------------------------------------------------------

// Two fixed sets of hash keys, drawn at compile time from the xorshift128 generator with its
// published default seeds: the first set is the first draws, the second the draws after them.
// The console game and the tools hash with the first; the USI engine hashes every game with the
// second, the keys its games have always been played with (it drew a set when it started and
// another at "usinewgame"). Which keys a search uses decides which positions share a table slot,
// so it changes the tree, never the moves' legality.
enum KeySet : std::uint8_t { FirstKeySet = 0, EngineKeySet = 1, KeySetCount = 2 };

// HashKeys[set][value + 14][cell]; row 32 is the value 18 (a hand holding every pawn).
constexpr int HashRows = 33;
struct HashKeyTable {
    std::uint64_t keys[KeySetCount][HashRows][CellCount];
};
extern const HashKeyTable HashKeys;

inline std::uint64_t CellKey(int keySet, int cell, int value) {
    return HashKeys.keys[keySet][value + 14][cell];
}
constexpr int HandCell(int side, int slot) {
    return SquareCount + side * HandSlots + slot;
}

// Sets the hash key from the board and hands with the position's key set.
void ComputeHashKey(Position& position);
// Hashes the position with another key set from now on.
void UseKeySet(Position& position, KeySet keySet);
// Board, empty hands, king squares and hash key of the start position (material untouched).
void SetStartPosition(Position& position, KeySet keySet = FirstKeySet);
void FindKingSquares(Position& position);

// ---------------------------------------------------------------------------------------------
// Making moves
// ---------------------------------------------------------------------------------------------

// Applies a pseudo-legal move for `side`, keeping hands, king squares, hashKey and material.
// Taking a move back is copying a saved Position over the changed one.
void MakeMove(int side, Position& position, const Move& move);

}  // namespace mirabel
