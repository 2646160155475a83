// Position module: the board model and everything that reads it without searching.
// It owns the piece encoding, the flat Position and Move records, the fixed hash keys,
// MakeMove, the precomputed geometry tables with the attack tests FindAttacker and GivesCheck,
// the material values with MaterialBalance and ExchangeScore, and the SFEN reader and writer.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
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
// Whether an unpromoted piece of `kind` of `side` on `sq` could still move: a pawn or lance
// not on the far rank, a knight not on the last two ranks, any other piece anywhere.
constexpr bool CanMoveFrom(int side, int kind, int sq) {
    if (kind == Pawn || kind == Lance) return RelativeRow(side, sq) >= 1;
    if (kind == Knight) return RelativeRow(side, sq) >= 2;
    return true;
}

// Kind a piece becomes when it promotes (kinds that cannot promote map to themselves).
constexpr std::int8_t PromoteKind[16] = {0, 9, 10, 11, 12, 5, 13, 14, 8, 9, 10, 11, 12, 13, 14, 15};
// Hand slot a captured kind goes to; -1 for empty, king and blocker.
constexpr std::int8_t HandSlot[16] = {-1, 0, 1, 2, 3, 4, 5, 6, -1, 0, 1, 2, 3, 5, 6, -1};

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

// PromotedCode[code + 14]: the promoted form of a piece code, sign kept.
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

// ---------------------------------------------------------------------------------------------
// Geometry tables and attack tests
// ---------------------------------------------------------------------------------------------

// A set of squares, bit n for square n.
__extension__ using SquareSet = unsigned __int128;
constexpr SquareSet SquareBit(int square) {
    return SquareSet{1} << square;
}

// Every square of the board.
constexpr SquareSet AllSquares = (SquareSet{1} << SquareCount) - 1;

// Whether the set holds the square: one 64-bit half, one shift.
constexpr bool Contains(SquareSet set, int square) {
    const auto half = static_cast<std::uint64_t>(square < 64 ? set : set >> 64);
    return ((half >> (square & 63)) & 1) != 0;
}

struct SquareList {
    std::int8_t count;
    std::int8_t squares[16];
};

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

// Pattern of each kind's one-step attacks (-1: none).
constexpr std::int8_t StepPatternOfKind[16] = {-1, 0, 0, 1, 2, 3, 6, 5, 4, 3, 3, 3, 3, 4, 4, -1};

// Fixed tables are nested std::arrays: Table<T, 2, SquareCount> is indexed [side][square].
template <typename T, std::size_t First, std::size_t... Rest>
struct TableOf {
    using type = std::array<typename TableOf<T, Rest...>::type, First>;
};
template <typename T, std::size_t Only>
struct TableOf<T, Only> {
    using type = std::array<T, Only>;
};
template <typename T, std::size_t... Sizes>
using Table = typename TableOf<T, Sizes...>::type;

// How square b lies from square a, seen by a side: on its file ahead of a (where a lance of the
// side standing on a could reach), on another orthogonal line, on a diagonal, or on no line.
enum LineRelationCode : std::uint8_t {
    NoLine = 0,
    LineAhead = 1,
    LineOrthogonal = 2,
    LineDiagonal = 4
};
// What a piece moving into or out of a square may do about promotion.
enum PromotionRuleCode : std::uint8_t {
    PromotionNever = 0,
    PromotionAllowed = 1,
    PromotionForced = 2  // only the promoting form could ever move again
};

// Geometry, all fixed at compile time. Lists are in the order the generators and attack tests
// walk them; sets hold the same squares as bits.
extern const Table<SquareList, 2, PatternCount, SquareCount> StepTargets;
extern const Table<SquareSet, 2, PatternCount, SquareCount> StepTargetSet;
// The squares from which a piece of the opponent of [side] could step onto a square: the
// neighbours in square order, then the two knight squares.
extern const Table<SquareList, 2, SquareCount> StepSources;
extern const Table<SquareSet, SquareCount> NeighbourSet;
extern const Table<SquareList, 2, SquareCount> KnightSources;
// The same step sources seen through a window of the board around the square: bit j stands
// for square q - 20 + j, so that the neighbours and the knight squares of any square q fit one
// word (see WindowAround).
extern const Table<std::uint64_t, SquareCount> NeighbourWindow;
extern const Table<std::uint64_t, 2, SquareCount> KnightWindow;
extern const Table<SquareList, DirectionCount, SquareCount> Ray;
extern const Table<SquareSet, DirectionCount, SquareCount> RaySet;
extern const Table<SquareSet, SquareCount> LinesThrough;  // every ray from the square
extern const Table<LineRelationCode, 2, SquareCount, SquareCount> LineRelation;
// DirectionBetween[a][b]: the direction in which b lies from a along a rank, file or diagonal,
// or -1 when they share no line (and for a = b).
extern const Table<std::int8_t, SquareCount, SquareCount> DirectionBetween;
extern const Table<PromotionRuleCode, 2, 16, SquareCount> PromotionRule;

// StepAttackMask[side][code + 15] has bit (n - q + 20) set when a piece `code` of the opponent
// of `side` standing on n, one of q's step sources, attacks q: the step half of FindAttacker as
// one small table.
extern const Table<std::uint64_t, 2, 31> StepAttackMask;

// Slider sets, indexed [side][code + 15].
using SliderSet = std::array<bool, 31>;
extern const Table<bool, 2, 31> ForwardSlider;
extern const Table<bool, 2, 31> RookSlider;
extern const Table<bool, 2, 31> BishopSlider;
inline bool InSet(const SliderSet& set, int code) {
    return set[code + 15];
}

// Whether a piece of `kind` of `side` on `from` attacks `to` by one step.
constexpr bool StepAttacks(int side, int kind, int from, int to) {
    const int pattern = StepPatternOfKind[kind];
    return pattern >= 0 && Contains(StepTargetSet[side][pattern][from], to);
}

// The squares of a set around square q as one word: bit j stands for square q - 20 + j.
constexpr int WindowOffset = 20;
constexpr std::uint64_t WindowAround(SquareSet set, int q) {
    return static_cast<std::uint64_t>(q >= WindowOffset ? set >> (q - WindowOffset)
                                                        : set << (WindowOffset - q));
}

// The lowest square of a set that is not empty.
inline int LowestSquare(SquareSet set) {
    const auto low = static_cast<std::uint64_t>(set);
    return low != 0 ? __builtin_ctzll(low)
                    : 64 + __builtin_ctzll(static_cast<std::uint64_t>(set >> 64));
}

// The highest square of a set that is not empty.
inline int HighestSquare(SquareSet set) {
    const auto high = static_cast<std::uint64_t>(set >> 64);
    return high != 0 ? 127 - __builtin_clzll(high)
                     : 63 - __builtin_clzll(static_cast<std::uint64_t>(set));
}

// Directions in which square numbers grow: the nearest square of such a ray is its lowest bit,
// of the others its highest.
constexpr bool Ascending[DirectionCount] = {false, true, false, true, false, false, true, true};

// The occupied squares of a board, those of them that hold a piece of side 1, and squares among
// which every lance, bishop, rook, horse and dragon of either side stands: FindAttacker looks
// only along the rays that hold one of the opponent's. OccupancyOf leaves every occupied square
// in `sliders`; a caller testing many squares of one board narrows it with SliderSquares.
struct Occupancy {
    SquareSet all;
    SquareSet side1;
    SquareSet sliders;
    SquareSet PiecesOf(int side) const { return side == 0 ? all & ~side1 : side1; }
};
Occupancy OccupancyOf(const PieceCode* board);
// The squares holding a lance, bishop, rook, horse or dragon of either side.
SquareSet SliderSquares(const PieceCode* board);
// The squares holding a piece of exactly this code.
SquareSet SquaresHolding(const PieceCode* board, int code);

// Square of a piece of the opponent of `side` attacking `square`, or NoSquare. The step
// sources are tried first, in their list order, then the first piece along each ray, in
// direction order.
int FindAttacker(int side, const PieceCode* board, int square);
// The same, with the board's occupancy known (for tests repeated on one board). A square the
// occupancy leaves out counts as empty whatever the board holds there, and the square tested
// is never looked at: an exchange estimate plays its captures on the occupancy alone.
int FindAttacker(int side, const PieceCode* board, int square, const Occupancy& occupancy);
// Every square for which FindAttacker(side, board, square) would find an attacker: all the
// squares the opponent's pieces attack, in one pass over those pieces.
SquareSet AttackedSquares(int side, const PieceCode* board);
// The same, with the board's occupancy known.
SquareSet AttackedSquares(int side, const PieceCode* board, const Occupancy& occupancy);
// Whether, once `side` has made `move`, no piece of the opponent attacks its target, so that
// the move's ExchangeScore is 0. `attacked` is AttackedSquares of the position before the
// move; besides it only a slider uncovered by the vacated origin can reach the target.
bool TargetStaysUnattacked(int side, const PieceCode* board, SquareSet attacked, const Move& move);
// The same, with the occupancy of the board before the move known.
bool TargetStaysUnattacked(int side, const PieceCode* board, const Occupancy& occupancy,
                           SquareSet attacked, const Move& move);
// Whether an opponent's slider attacks `side`'s king along the line from it through `from`
// once a piece of `side` has left `from` for `to`: on the board before the move or after it.
bool OpensLineToKing(int side, const PieceCode* board, int kingSquare, int from, int to);
// Whether `move` by `side` attacks the opponent's king; the board is restored.
bool GivesCheck(int side, Position& position, const Move& move);

// ---------------------------------------------------------------------------------------------
// Evaluation
// ---------------------------------------------------------------------------------------------

namespace detail {
constexpr std::int32_t PieceValueOfKind[15] = {0,     87,  232, 257, 369, 444, 569, 642,
                                               15000, 534, 488, 519, 485, 827, 945};
constexpr std::int32_t ExchangeValueOfKind[15] = {0,     174, 464, 514, 738, 888,  1138, 1284,
                                                  15000, 621, 720, 776, 854, 1396, 1587};
constexpr std::int32_t PromotionGainOfKind[15] = {0, 447, 256, 262, 116, 0, 258, 303,
                                                  0, 0,   0,   0,   0,   0, 0};
struct SignedTable {
    std::int32_t values[29];
    constexpr std::int32_t operator[](int code) const { return values[code + 14]; }
};
constexpr SignedTable MakeSignedTable(const std::int32_t (&byKind)[15]) {
    SignedTable table{};
    for (int code = -14; code <= 14; ++code)
        table.values[code + 14] = code < 0 ? -byKind[-code] : byKind[code];
    return table;
}
}  // namespace detail

// Indexed by piece code -14..14; negative codes hold the negated value.
constexpr detail::SignedTable PieceValue = detail::MakeSignedTable(detail::PieceValueOfKind);
constexpr detail::SignedTable ExchangeValue = detail::MakeSignedTable(detail::ExchangeValueOfKind);
constexpr detail::SignedTable PromotionGain = detail::MakeSignedTable(detail::PromotionGainOfKind);

std::int32_t MaterialBalance(int side, const Position& position);
// Static estimate of the capture sequence the move starts on its target square.
std::int32_t ExchangeScore(int side, const Position& position, const Move& move);
// The same, with the occupancy of the board before the move known: a node scoring many moves
// works it out once.
std::int32_t ExchangeScore(int side, const Position& position, const Move& move,
                           const Occupancy& occupancy);

// The estimate of a drop on a square splits into the dropped piece's value, lost at the first
// recapture, and the rest of the sequence, which does not depend on the kind dropped: the
// ExchangeScore of a drop of kind k is `attacked ? rest - ExchangeValue[k] : 0`.
struct DropExchange {
    bool attacked;
    std::int32_t rest;
};
// `occupancy` is the board's before the drop.
DropExchange DropExchangeOn(int side, const Position& position, int square,
                            const Occupancy& occupancy);

// ---------------------------------------------------------------------------------------------
// SFEN
// ---------------------------------------------------------------------------------------------

extern const char* const StartSfen;

// Reads an SFEN into `position` (board, hands, king squares, hash key with the first key set;
// material untouched) and `side`. Only positions a legal game can hold are taken: one king a
// side, no more pieces than the game has, none where it could never move, no two unpromoted
// pawns of one side on a file, and the side not to move not in check. On refusal returns
// false, sets `error`, changes nothing.
bool ReadSfen(const std::string& sfen, Position& position, int& side, int& moveNumber,
              std::string& error);
bool ReadSfen(const std::string& sfen, Position& position, int& side, std::string& error);
std::string WriteSfen(const Position& position, int side, int moveNumber = 1);

}  // namespace mirabel
