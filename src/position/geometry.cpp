// Precomputed board geometry: step targets, step sources, rays, line relations, promotion
// rules and slider sets. Built from coordinates once per game and only read afterwards.
#include <cstring>

#include "position/position.h"

namespace mirabel {

SquareList StepTargets[2][PatternCount][SquareCount];
std::uint8_t StepAttack[2][16][SquareCount][SquareCount];
SquareList StepSources[2][SquareCount];
SquareList Ray[DirectionCount][SquareCount];
SquareSet NeighbourSet[SquareCount];
SquareList KnightSources[2][SquareCount];
SquareSet StepTargetSet[2][PatternCount][SquareCount];
SquareSet RaySet[DirectionCount][SquareCount];
SquareSet LinesThrough[SquareCount];
std::uint8_t LineRelation[2][SquareCount][SquareCount];
std::int8_t DirectionBetween[SquareCount][SquareCount];
std::uint8_t PromotionRule[2][16][SquareCount];
std::uint64_t StepAttackMask[2][31];
bool ForwardSlider[2][31];
bool RookSlider[2][31];
bool BishopSlider[2][31];

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

void Append(SquareList& list, int row, int col) {
    if (OnBoard(row, col)) list.squares[list.count++] = static_cast<std::int8_t>(row * 9 + col);
}

void BuildStepTables() {
    std::memset(StepTargets, 0, sizeof StepTargets);
    std::memset(StepAttack, 0, sizeof StepAttack);
    for (int side = 0; side < 2; ++side) {
        const int forward = side == 0 ? 1 : -1;
        for (int pattern = 0; pattern < PatternCount; ++pattern) {
            const PatternOffsets& tmpl = PatternTemplates[pattern];
            for (int sq = 0; sq < SquareCount; ++sq) {
                SquareList& targets = StepTargets[side][pattern][sq];
                for (int i = 0; i < tmpl.count; ++i)
                    Append(targets, RowOf(sq) + forward * tmpl.offsets[i].row,
                           ColOf(sq) + tmpl.offsets[i].col);
                StepTargetSet[side][pattern][sq] = 0;
                for (int i = 0; i < targets.count; ++i)
                    StepTargetSet[side][pattern][sq] |= SquareBit(targets.squares[i]);
            }
        }
        for (int kind = 0; kind < 16; ++kind) {
            const int pattern = StepPatternOfKind[kind];
            if (pattern < 0) continue;
            for (int from = 0; from < SquareCount; ++from) {
                const SquareList& targets = StepTargets[side][pattern][from];
                for (int i = 0; i < targets.count; ++i)
                    StepAttack[side][kind][from][targets.squares[i]] = 1;
            }
        }
    }
}

void BuildStepSources() {
    std::memset(StepSources, 0, sizeof StepSources);
    for (int side = 0; side < 2; ++side) {
        const int knightRow = side == 0 ? -2 : 2;
        for (int sq = 0; sq < SquareCount; ++sq) {
            SquareList& list = StepSources[side][sq];
            for (int dr = -1; dr <= 1; ++dr)
                for (int dc = -1; dc <= 1; ++dc)
                    if (dr != 0 || dc != 0) Append(list, RowOf(sq) + dr, ColOf(sq) + dc);
            NeighbourSet[sq] = 0;
            for (int i = 0; i < list.count; ++i) NeighbourSet[sq] |= SquareBit(list.squares[i]);
            Append(list, RowOf(sq) + knightRow, ColOf(sq) + 1);
            Append(list, RowOf(sq) + knightRow, ColOf(sq) - 1);
            SquareList& knights = KnightSources[side][sq];
            knights.count = 0;
            Append(knights, RowOf(sq) + knightRow, ColOf(sq) + 1);
            Append(knights, RowOf(sq) + knightRow, ColOf(sq) - 1);
        }
    }
}

void BuildRays() {
    std::memset(Ray, 0, sizeof Ray);
    for (int dir = 0; dir < DirectionCount; ++dir)
        for (int sq = 0; sq < SquareCount; ++sq) {
            int row = RowOf(sq) + DirectionStep[dir].row;
            int col = ColOf(sq) + DirectionStep[dir].col;
            for (; OnBoard(row, col); row += DirectionStep[dir].row, col += DirectionStep[dir].col)
                Append(Ray[dir][sq], row, col);
            RaySet[dir][sq] = 0;
            for (int i = 0; i < Ray[dir][sq].count; ++i)
                RaySet[dir][sq] |= SquareBit(Ray[dir][sq].squares[i]);
        }
    for (int sq = 0; sq < SquareCount; ++sq) {
        LinesThrough[sq] = 0;
        for (int dir = 0; dir < DirectionCount; ++dir) LinesThrough[sq] |= RaySet[dir][sq];
    }
}

std::uint8_t Relation(int side, int a, int b) {
    if (a == b) return 0;
    const int dr = RowOf(b) - RowOf(a);
    const int dc = ColOf(b) - ColOf(a);
    if (dc == 0) return ((side == 0 && dr < 0) || (side == 1 && dr > 0)) ? 1 : 2;
    if (dr == 0) return 2;
    if (dr == dc || dr == -dc) return 4;
    return 0;
}

void BuildLineRelation() {
    for (int side = 0; side < 2; ++side)
        for (int a = 0; a < SquareCount; ++a)
            for (int b = 0; b < SquareCount; ++b) LineRelation[side][a][b] = Relation(side, a, b);
}

void BuildDirectionBetween() {
    std::memset(DirectionBetween, -1, sizeof DirectionBetween);
    for (int dir = 0; dir < DirectionCount; ++dir)
        for (int a = 0; a < SquareCount; ++a) {
            const SquareList& ray = Ray[dir][a];
            for (int i = 0; i < ray.count; ++i)
                DirectionBetween[a][ray.squares[i]] = static_cast<std::int8_t>(dir);
        }
}

std::uint8_t Rule(int kind, int relativeRow) {
    if (relativeRow > 2) return 0;
    switch (kind) {
        case Pawn:
        case Lance:
            return 2;
        case Knight:
            return relativeRow < 2 ? 2 : 1;
        case Silver:
        case Bishop:
        case Rook:
            return 1;
        default:
            return 0;
    }
}

void BuildPromotionRule() {
    for (int side = 0; side < 2; ++side)
        for (int kind = 0; kind < 16; ++kind)
            for (int sq = 0; sq < SquareCount; ++sq)
                PromotionRule[side][kind][sq] = Rule(kind, RelativeRow(side, sq));
}

// Patterns do not depend on where a piece stands, so the centre square gives every relation.
void BuildStepAttackMask() {
    constexpr int centre = 40;
    std::memset(StepAttackMask, 0, sizeof StepAttackMask);
    for (int side = 0; side < 2; ++side) {
        const SquareList& sources = StepSources[side][centre];
        for (int code = -14; code <= 14; ++code) {
            if (!IsEnemy(side, code)) continue;
            for (int i = 0; i < sources.count; ++i) {
                const int n = sources.squares[i];
                if (StepAttack[side][AbsCode(code)][centre][n])
                    StepAttackMask[side][code + 15] |= std::uint64_t{1} << (n - centre + 20);
            }
        }
    }
}

void BuildSliderSets() {
    std::memset(ForwardSlider, 0, sizeof ForwardSlider);
    std::memset(RookSlider, 0, sizeof RookSlider);
    std::memset(BishopSlider, 0, sizeof BishopSlider);
    for (int side = 0; side < 2; ++side) {
        const int sign = SignOf(side);
        for (int kind : {Lance, Rook, Dragon}) ForwardSlider[side][sign * kind + 15] = true;
        for (int kind : {Rook, Dragon}) RookSlider[side][sign * kind + 15] = true;
        for (int kind : {Bishop, Horse}) BishopSlider[side][sign * kind + 15] = true;
    }
}

}  // namespace

void BuildGeometryTables() {
    BuildStepTables();
    BuildStepSources();
    BuildRays();
    BuildLineRelation();
    BuildDirectionBetween();
    BuildPromotionRule();
    BuildSliderSets();
    BuildStepAttackMask();
}

}  // namespace mirabel
