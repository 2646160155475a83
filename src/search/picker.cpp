// The move picker: a full-width node's two-pass scoring and a quiescence node's ordering.
#include "search/picker.h"

#include <algorithm>
#include <climits>

namespace mirabel {

namespace {

// Quiescence's ordering uses one attack map for lists at least this long: most of their moves
// end on squares the opponent cannot reach, whose estimate is 0 at once, and one map then
// costs less than running every capture sequence.
constexpr int AttackMapFromMoves = 8;

}  // namespace

// What a node's first scoring pass learns besides the pending marks: the best score worked
// out, and the highest scores the pending moves could reach.
struct MovePicker::FirstPass {
    // A side may have no king (a tsume position): nothing is then next to it.
    explicit FirstPass(int king)
        : enemyKing(king), kingNeighbours(king != NoSquare ? NeighbourWindow[king] : 0) {}

    // The opponent's king and the window of its neighbours (see WindowAround).
    int enemyKing;
    std::uint64_t kingNeighbours;
    int bestScored = INT_MIN;
    int highestFirstStage = INT_MIN;
    int highestLaterDrop = INT_MIN;

    bool NextToKing(int square) const {
        const auto bit = static_cast<unsigned>(square - enemyKing + WindowOffset);
        return bit < 64 && ((kingNeighbours >> bit) & 1) != 0;
    }
    void Scored(int score) { bestScored = std::max(bestScored, score); }
    // A pawn loses least: its ceiling bounds every other drop's.
    int LaterCeiling() const {
        return highestLaterDrop == INT_MIN
                   ? INT_MIN
                   : highestLaterDrop + FarFromKingGain - ExchangeValue[Pawn];
    }
};

// The first pass over one move: its score, or its score but for a pending exchange estimate.
void MovePicker::ScoreFirst(int side, const Position& position, Move& move, int index,
                            const OrderingMoves& known, SquareSet knownTargets,
                            const History& history, OrderingRandom& random, FirstPass& pass) {
    const int base = scorer.BaseScore(move, known, knownTargets, random);
    move.score = MoveScorer::ScoreBeforeExchange(position, move, base, history);
    if (!MoveScorer::NeedsExchange(move)) {
        pass.Scored(move.score);
    } else if (base >= PreviousHashMoveScore) {  // a table or variation move: estimated at once
        scorer.AddExchangePart(side, position, move, false);
        pass.Scored(move.score);
    } else if (const bool nextToKing = pass.NextToKing(move.to); move.capture || nextToKing) {
        firstStage[firstStageCount++] = static_cast<std::int16_t>(index);
        pass.highestFirstStage =
            std::max(pass.highestFirstStage,
                     move.score + MoveScorer::ExchangeCeiling(move, position.board, nextToKing));
    } else {
        laterDrops[laterDropCount++] = static_cast<std::int16_t>(index);
        pass.highestLaterDrop = std::max(pass.highestLaterDrop, move.score);
    }
}

// Scores every move. The exchange estimates of captures and drops are left pending while the
// node's first move is known without them: while a move scores higher than any of theirs
// could. They are worked out in two steps, the captures and the moves next to the opponent's
// king first; the rest wait for the second pick.
MovePicker::Start MovePicker::BeginNode(int side, Position& position, bool inCheck,
                                        const OrderingMoves& known, const History& history,
                                        OrderingRandom& random) {
    count =
        inCheck ? GenerateEvasions(side, position, moves) : GenerateMoves(side, position, moves);
#ifndef NDEBUG
    nextPick = 0;
#endif
    if (count == 0) return Start::NoMoves;
    scorer.BeginNode();
    firstStageCount = laterDropCount = 0;
    firstStageDone = false;
    firstOrigin = 0;
    const int enemyKing = position.kingSquare[1 - side];
    const SquareSet knownTargets = known.Targets();
    FirstPass pass(enemyKing);
    // The board moves, then the drops, listed last, which reach only empty squares. Both
    // kings stand on their squares here: no move capturing a king is ever made before this.
    int i = 0;
    for (; i < count && moves[i].from >= 0; ++i) {
        if (moves[i].to == enemyKing) return Start::KingCapture;
        ScoreFirst(side, position, moves[i], i, known, knownTargets, history, random, pass);
    }
    for (; i < count; ++i)
        ScoreFirst(side, position, moves[i], i, known, knownTargets, history, random, pass);

    anyPending = firstStageCount > 0 || laterDropCount > 0;
    if (pass.bestScored > std::max(pass.highestFirstStage, pass.LaterCeiling()))
        return Start::Moves;
    for (int j = 0; j < firstStageCount; ++j) {
        Move& move = moves[firstStage[j]];
        scorer.AddExchangePart(side, position, move, false);
        pass.Scored(move.score);
    }
    firstStageDone = true;
    anyPending = laterDropCount > 0;
    if (pass.bestScored > pass.LaterCeiling()) return Start::Moves;
    if (anyPending) CompleteScores(side, position);
    return Start::Moves;
}

// The first pick moved one move to the front and every move before it one place on; that
// move was never pending.
void MovePicker::CompleteScores(int side, const Position& position) {
    const auto place = [&](int index) { return index < firstOrigin ? index + 1 : index; };
    if (!firstStageDone)
        for (int j = 0; j < firstStageCount; ++j)
            scorer.AddExchangePart(side, position, moves[place(firstStage[j])], true);
    for (int j = 0; j < laterDropCount; ++j)
        scorer.AddExchangePart(side, position, moves[place(laterDrops[j])], true);
    firstStageDone = true;
    laterDropCount = 0;
    anyPending = false;
}

bool MovePicker::IsPending(int index) const {
    if (!firstStageDone &&
        std::find(firstStage, firstStage + firstStageCount, index) != firstStage + firstStageCount)
        return true;
    return std::find(laterDrops, laterDrops + laterDropCount, index) != laterDrops + laterDropCount;
}

// Quiescence's ordering score: the exchange estimate, or LosingExchange for a losing one.
void MovePicker::ScoreByExchange(int side, const Position& position, const Occupancy& occupancy) {
    const bool useMap = count >= AttackMapFromMoves;
    const SquareSet attacked = useMap ? AttackedSquares(side, position.board, occupancy) : 0;
    for (int i = 0; i < count; ++i) {
        const bool safe =
            useMap && TargetStaysUnattacked(side, position.board, occupancy, attacked, moves[i]);
        const int exchange = safe ? 0 : RecaptureBalance(side, position, moves[i], occupancy);
        moves[i].score = exchange < 0 ? LosingExchange : exchange;
    }
}

// Alpha is at least the stand pat once a quiescence node walks its captures, so every capture
// but the first in order is searched only if it gains material and does not lose the
// exchange. The first is picked from the whole list; behind it only the captures that could
// still be searched are kept, in their order, and only they are sorted.
bool MovePicker::BeginQuiescence(int side, const Position& position) {
    // The board stays the same through the generation and the scoring: its occupancy is
    // worked out once for both, and its sliders once for all the exchange estimates.
    Occupancy occupancy = OccupancyOf(position.board);
    count = GenerateCaptures(side, position.board, occupancy, moves);
#ifndef NDEBUG
    nextPick = 0;
#endif
    if (count == 0) return false;
    occupancy.sliders = SliderSquares(position.board);
    ScoreByExchange(side, position, occupancy);
    PutNextInOrder(moves, count, 0);
    int kept = 1;
    for (int i = 1; i < count; ++i)
        if (moves[i].score != LosingExchange && CaptureGain(position.board, moves[i]) > 0)
            moves[kept++] = moves[i];
    count = kept;
    return true;
}

}  // namespace mirabel
