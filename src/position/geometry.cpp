// Precomputed board geometry: step targets and sources, rays, line relations, directions,
// promotion rules and slider sets. Every table is built from coordinates at compile time.
#include "position/position.h"

namespace mirabel {

namespace {

struct Offset {
    int row, col;
};
struct PatternOffsets {
    int count;
    Offset offsets[8];
};

// Offsets for side 0; side 1 negates every row change.
constexpr PatternOffsets PatternTemplates[PatternCount] = {
    {1, {{-1, 0}}},
    {2, {{-2, -1}, {-2, 1}}},
    {5, {{-1, -1}, {-1, 0}, {-1, 1}, {1, -1}, {1, 1}}},
    {6, {{-1, -1}, {-1, 0}, {-1, 1}, {0, -1}, {0, 1}, {1, 0}}},
    {8, {{-1, -1}, {-1, 0}, {-1, 1}, {0, -1}, {0, 1}, {1, -1}, {1, 0}, {1, 1}}},
    {4, {{0, -1}, {0, 1}, {-1, 0}, {1, 0}}},
    {4, {{-1, -1}, {-1, 1}, {1, -1}, {1, 1}}},
};

constexpr Offset DirectionStep[DirectionCount] = {{-1, 0},  {1, 0},  {0, -1}, {0, 1},
                                                  {-1, -1}, {-1, 1}, {1, -1}, {1, 1}};

constexpr bool OnBoard(int row, int col) {
    return row >= 0 && row < 9 && col >= 0 && col < 9;
}

constexpr void Append(SquareList& list, int row, int col) {
    if (OnBoard(row, col)) list.squares[list.count++] = static_cast<std::int8_t>(row * 9 + col);
}

constexpr SquareSet SetOf(const SquareList& list) {
    SquareSet set = 0;
    for (int i = 0; i < list.count; ++i) set |= SquareBit(list.squares[i]);
    return set;
}

constexpr Table<SquareList, 2, PatternCount, SquareCount> BuildStepTargets() {
    Table<SquareList, 2, PatternCount, SquareCount> table{};
    for (int side = 0; side < 2; ++side) {
        const int forward = side == 0 ? 1 : -1;
        for (int pattern = 0; pattern < PatternCount; ++pattern) {
            const PatternOffsets& tmpl = PatternTemplates[pattern];
            for (int sq = 0; sq < SquareCount; ++sq)
                for (int i = 0; i < tmpl.count; ++i)
                    Append(table[side][pattern][sq], RowOf(sq) + forward * tmpl.offsets[i].row,
                           ColOf(sq) + tmpl.offsets[i].col);
        }
    }
    return table;
}

// The neighbours in square order; the knight squares of [side] (col + 1, then col - 1).
constexpr SquareList Neighbours(int sq) {
    SquareList list{};
    for (int dr = -1; dr <= 1; ++dr)
        for (int dc = -1; dc <= 1; ++dc)
            if (dr != 0 || dc != 0) Append(list, RowOf(sq) + dr, ColOf(sq) + dc);
    return list;
}
constexpr SquareList KnightSquares(int side, int sq) {
    const int knightRow = side == 0 ? -2 : 2;
    SquareList list{};
    Append(list, RowOf(sq) + knightRow, ColOf(sq) + 1);
    Append(list, RowOf(sq) + knightRow, ColOf(sq) - 1);
    return list;
}

constexpr Table<SquareList, 2, SquareCount> BuildStepSources() {
    Table<SquareList, 2, SquareCount> table{};
    for (int side = 0; side < 2; ++side)
        for (int sq = 0; sq < SquareCount; ++sq) {
            SquareList list = Neighbours(sq);
            const SquareList knights = KnightSquares(side, sq);
            for (int i = 0; i < knights.count; ++i) list.squares[list.count++] = knights.squares[i];
            table[side][sq] = list;
        }
    return table;
}

constexpr Table<SquareList, DirectionCount, SquareCount> BuildRays() {
    Table<SquareList, DirectionCount, SquareCount> table{};
    for (int dir = 0; dir < DirectionCount; ++dir)
        for (int sq = 0; sq < SquareCount; ++sq) {
            int row = RowOf(sq) + DirectionStep[dir].row;
            int col = ColOf(sq) + DirectionStep[dir].col;
            for (; OnBoard(row, col); row += DirectionStep[dir].row, col += DirectionStep[dir].col)
                Append(table[dir][sq], row, col);
        }
    return table;
}

constexpr LineRelationCode Relation(int side, int a, int b) {
    if (a == b) return NoLine;
    const int dr = RowOf(b) - RowOf(a);
    const int dc = ColOf(b) - ColOf(a);
    if (dc == 0)
        return ((side == 0 && dr < 0) || (side == 1 && dr > 0)) ? LineAhead : LineOrthogonal;
    if (dr == 0) return LineOrthogonal;
    if (dr == dc || dr == -dc) return LineDiagonal;
    return NoLine;
}

// The promotion zone is the three far ranks.
constexpr PromotionRuleCode Rule(int kind, int relativeRow) {
    if (relativeRow > 2 || Traits[kind].promotesTo == kind) return PromotionNever;
    return relativeRow < Traits[kind].alwaysPromotesIn ? PromotionForced : PromotionAllowed;
}

template <typename T, std::size_t A, std::size_t B, typename Make>
constexpr Table<T, A, B> Fill(Make make) {
    Table<T, A, B> table{};
    for (std::size_t a = 0; a < A; ++a)
        for (std::size_t b = 0; b < B; ++b)
            table[a][b] = make(static_cast<int>(a), static_cast<int>(b));
    return table;
}

}  // namespace

constexpr Table<SquareList, 2, PatternCount, SquareCount> StepTargets = BuildStepTargets();
constexpr Table<SquareList, 2, SquareCount> StepSources = BuildStepSources();
constexpr Table<SquareList, DirectionCount, SquareCount> Ray = BuildRays();

constexpr Table<SquareSet, 2, PatternCount, SquareCount> StepTargetSet = [] {
    Table<SquareSet, 2, PatternCount, SquareCount> table{};
    for (int side = 0; side < 2; ++side)
        for (int pattern = 0; pattern < PatternCount; ++pattern)
            for (int sq = 0; sq < SquareCount; ++sq)
                table[side][pattern][sq] = SetOf(StepTargets[side][pattern][sq]);
    return table;
}();

constexpr Table<SquareSet, SquareCount> NeighbourSet = [] {
    Table<SquareSet, SquareCount> table{};
    for (int sq = 0; sq < SquareCount; ++sq) table[sq] = SetOf(Neighbours(sq));
    return table;
}();

constexpr Table<std::uint64_t, SquareCount> NeighbourWindow = [] {
    Table<std::uint64_t, SquareCount> table{};
    for (int sq = 0; sq < SquareCount; ++sq) table[sq] = WindowAround(NeighbourSet[sq], sq);
    return table;
}();

constexpr Table<std::uint64_t, 2, SquareCount> KnightWindow = Fill<std::uint64_t, 2, SquareCount>(
    [](int side, int sq) { return WindowAround(SetOf(KnightSquares(side, sq)), sq); });

constexpr Table<SquareSet, DirectionCount, SquareCount> RaySet =
    Fill<SquareSet, DirectionCount, SquareCount>(
        [](int dir, int sq) { return SetOf(Ray[dir][sq]); });

constexpr Table<SquareSet, SquareCount> LinesThrough = [] {
    Table<SquareSet, SquareCount> table{};
    for (int sq = 0; sq < SquareCount; ++sq)
        for (int dir = 0; dir < DirectionCount; ++dir) table[sq] |= RaySet[dir][sq];
    return table;
}();

constexpr Table<LineRelationCode, 2, SquareCount, SquareCount> LineRelation = [] {
    Table<LineRelationCode, 2, SquareCount, SquareCount> table{};
    for (int side = 0; side < 2; ++side)
        for (int a = 0; a < SquareCount; ++a)
            for (int b = 0; b < SquareCount; ++b) table[side][a][b] = Relation(side, a, b);
    return table;
}();

constexpr Table<std::int8_t, SquareCount, SquareCount> DirectionBetween = [] {
    Table<std::int8_t, SquareCount, SquareCount> table{};
    for (auto& row : table)
        for (auto& direction : row) direction = -1;
    for (int dir = 0; dir < DirectionCount; ++dir)
        for (int a = 0; a < SquareCount; ++a) {
            const SquareList& ray = Ray[dir][a];
            for (int i = 0; i < ray.count; ++i)
                table[a][ray.squares[i]] = static_cast<std::int8_t>(dir);
        }
    return table;
}();

constexpr Table<PromotionRuleCode, 2, 16, SquareCount> PromotionRule = [] {
    Table<PromotionRuleCode, 2, 16, SquareCount> table{};
    for (int side = 0; side < 2; ++side)
        for (int kind = 0; kind < 16; ++kind)
            for (int sq = 0; sq < SquareCount; ++sq)
                table[side][kind][sq] = Rule(kind, RelativeRow(side, sq));
    return table;
}();

// Patterns do not depend on where a piece stands, so the centre square gives every relation.
constexpr Table<std::uint64_t, 2, 31> StepAttackMask = [] {
    constexpr int centre = 40;
    Table<std::uint64_t, 2, 31> table{};
    for (int side = 0; side < 2; ++side) {
        const SquareList& sources = StepSources[side][centre];
        for (int code = -14; code <= 14; ++code) {
            if (!IsEnemy(side, code)) continue;
            for (int i = 0; i < sources.count; ++i) {
                const int n = sources.squares[i];
                if (StepAttacks(side, AbsCode(code), centre, n))
                    table[side][code + 15] |= std::uint64_t{1} << (n - centre + 20);
            }
        }
    }
    return table;
}();

namespace {

// The pieces of either side whose slides take in one of the given kinds of slides.
template <typename Takes>
constexpr Table<bool, 2, 31> SliderSetOf(Takes takes) {
    Table<bool, 2, 31> table{};
    for (int side = 0; side < 2; ++side)
        for (int kind = Pawn; kind <= Dragon; ++kind)
            if (takes(Traits[kind].slides)) table[side][SignOf(side) * kind + 15] = true;
    return table;
}

}  // namespace

// Along its own file forward a lance's slide attacks as a rook's does.
constexpr Table<bool, 2, 31> ForwardSlider =
    SliderSetOf([](Slides slides) { return slides == LanceSlide || slides == RookSlides; });
constexpr Table<bool, 2, 31> RookSlider =
    SliderSetOf([](Slides slides) { return slides == RookSlides; });
constexpr Table<bool, 2, 31> BishopSlider =
    SliderSetOf([](Slides slides) { return slides == BishopSlides; });

}  // namespace mirabel
