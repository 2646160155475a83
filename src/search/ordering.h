// Move ordering of the search: history counters, the ordering score with its portable random
// part and the exchange estimates it shares within a node, and the stable sort by score.
#pragma once

#include <cstdint>

#include "movegen/movegen.h"
#include "position/position.h"

namespace mirabel {

// How often a move's (from, to) pair caused a cutoff, against how often it was searched.
class History {
  public:
    // Drops (from = -kind) get rows below the board's.
    static constexpr int FromOffset = 10;
    static constexpr int Rows = SquareCount + FromOffset;

    void Clear();
    void AddTried(const Move& move, int depth);  // after the search of a quiet move
    void AddGood(const Move& move, int depth);   // on a cutoff by a quiet move
    int Good(const Move& move) const { return good[move.from + FromOffset][move.to]; }
    int Tried(const Move& move) const { return tried[move.from + FromOffset][move.to]; }

  private:
    std::uint16_t good[Rows][SquareCount] = {};
    std::uint16_t tried[Rows][SquareCount] = {};
};

// The ordering score's random part: the sequence of the Windows C runtime's rand().
class OrderingRandom {
  public:
    explicit OrderingRandom(std::uint32_t seed = 1) : state(seed) {}
    int Next() {
        state = state * 214013u + 2531011u;
        return static_cast<int>((state >> 16) & 0x7FFF);
    }

  private:
    std::uint32_t state;
};

// The moves a node already knows to be promising, compared with every generated move.
struct OrderingMoves {
    Move hash;
    Move second;
    Move killer1;
    Move killer2;
    Move pv;
    // Every target square among them: a move to another square matches none of them.
    SquareSet Targets() const {
        return TargetOf(hash) | TargetOf(second) | TargetOf(killer1) | TargetOf(killer2) |
               TargetOf(pv);
    }
    static SquareSet TargetOf(const Move& move) {
        return move.to >= 0 && move.to < SquareCount ? SquareBit(move.to) : 0;
    }
};

// The base scores of the moves a node already knows, a capture's bonus, and what a losing
// exchange estimate takes off.
constexpr int PvMoveScore = 150000;
constexpr int HashMoveScore = 100000;
constexpr int SecondMoveScore = 90000;
constexpr int Killer1Score = 15000;
constexpr int Killer2Score = 14850;
constexpr int CaptureBonus = 10000;
constexpr int LosingPenalty = 3000;
// Bounds of an exchange estimate. The sequence alternates at most ten captures: the mover's
// side loses its piece first, then gains at most five of the opponent's capturers. Those are
// worth at most a dragon each, but for the opponent's king, which can capture only on a square
// next to it.
constexpr int FarFromKingGain = 5 * ExchangeValue[Dragon];
constexpr int NearKingGain = ExchangeValue[King] + 4 * ExchangeValue[Dragon];
static_assert([] {
    for (int kind = Pawn; kind <= Dragon; ++kind)
        if (kind != King && ExchangeValue[kind] > ExchangeValue[Dragon]) return false;
    return true;
}());

// A bit of `capture` set while a move's score lacks its exchange estimate.
constexpr std::uint8_t ScorePending = 2;

// Scores the moves of one node after another. Drop estimates and the opponent's attack map
// are worked out once per node, at the first move that needs them.
class MoveScorer {
  public:
    // `seed` starts the random part's sequence.
    explicit MoveScorer(std::uint32_t seed = 1) : random(seed) {}
    // Starts the scoring of a new node's moves (or the rest of a node's, after a child's).
    void BeginNode() { ++node; }
    // The score from the known moves, or the random part, drawn only for a move that matches
    // none of them.
    int BaseScore(const Move& move, const OrderingMoves& known, SquareSet knownTargets);
    // Sets `capture` and returns the score of a move but for its exchange estimate: the base
    // score plus a capture's bonus or a quiet move's history.
    static int ScoreBeforeExchange(const Position& position, Move& move, int base,
                                   const History& history);
    // Whether the score has an exchange estimate: captures and drops.
    static bool NeedsExchange(const Move& move) { return move.capture || move.from < 0; }
    // Adds the exchange estimate's part to the score of a capture or a drop, `capture` set,
    // and clears its ScorePending bit. The opponent's attack map, worked out once for the
    // node, pays when many moves are estimated.
    void AddExchangePart(int side, const Position& position, Move& move, bool useAttackMap);
    // The most ExchangePart could give a capture or a drop, read off the board without the
    // estimate: `nextToKing` when the opponent's king stands next to its target.
    static int ExchangeCeiling(const Move& move, const PieceCode* board, bool nextToKing) {
        const int mover = move.from >= 0 ? board[move.from] : -move.from;
        const int lost = ExchangeValue[AbsCode(mover)];
        const int gain = nextToKing ? NearKingGain : FarFromKingGain;
        return gain > lost ? gain - lost : 0;  // no capture at all leaves it at 0
    }

  private:
    OrderingRandom random;
    std::uint64_t node = 1;  // never equal to a zero-filled stamp
    // Drop estimates, one per target square: every kind dropped on a square shares the same
    // recapture sequence.
    std::uint64_t dropEstimateNode[SquareCount] = {};
    DropExchange dropEstimate[SquareCount] = {};
    // The squares the opponent attacks: a move whose target stays out of its reach has an
    // estimate of 0 without running the capture sequence.
    std::uint64_t attackMapNode = 0;
    SquareSet opponentAttacks = 0;
    std::uint64_t occupancyNode = 0;
    Occupancy occupancy{0, 0, 0};  // the board's, with its sliders

    const Occupancy& BoardOccupancy(const Position& position);
    bool TargetStaysSafe(int side, const Position& position, const Move& move);
    const DropExchange& DropEstimate(int side, const Position& position, int square);
    int ExchangeEstimate(int side, const Position& position, const Move& move, bool useAttackMap);
};

// Stable sort of a move list, descending by score.
void SortMoves(Move* moves, int count);
// Makes moves[0..index] the first index + 1 moves of the stably sorted list, given that
// moves[0..index - 1] already are: a node that stops after a few moves never sorts the rest.
// Call it for index 0, 1, 2, ... in turn.
void PutNextInOrder(Move* moves, int count, int index);

}  // namespace mirabel
