// The df-pn search: OR nodes (the attacker to move) try every legal check, AND nodes (the
// defender to move) every legal reply; proof and disproof numbers with thresholds, children
// looked up in the table, a repetition counted against the attacker and never stored as if
// it did not depend on the path.
#include <algorithm>
#include <cstring>

#include "mate/mate.h"
#include "position/attackers.h"

namespace mirabel {

namespace {

constexpr std::uint64_t AndNodeTag = 0x9E3779B97F4A7C15ULL;
constexpr std::uint32_t FarSumCap = 1U << 20;
constexpr std::uint32_t ClockInterval = 1;  // nodes between clock readings: every node

std::uint32_t AddNumbers(std::uint32_t a, std::uint32_t b) {
    if (a >= MateInfinite || b >= MateInfinite) return MateInfinite;
    return std::min<std::uint32_t>(a + b, MateInfinite - 1);
}

// The per-kind piece totals of the position and the attacker, folded into every key: the
// defender's hand follows from the board and the attacker's hand only for one such total.
std::uint64_t RootSalt(const Position& root, int attacker) {
    int totals[HandSlots + 1] = {};
    for (int sq = 0; sq < SquareCount; ++sq) {
        const int slot = HandSlot[AbsCode(root.board[sq])];
        if (slot >= 0) ++totals[slot];
    }
    for (int side = 0; side < 2; ++side)
        for (int slot = 0; slot < HandSlots; ++slot) totals[slot] += root.hand[side][slot];
    totals[HandSlots] = attacker;
    std::uint64_t salt = 0x2545F4914F6CDD1DULL;
    for (const int total : totals)
        salt = (salt ^ static_cast<std::uint64_t>(total)) * 0x100000001B3ULL;
    return salt;
}

// Whether the defender, in check, could answer it by dropping a piece between his king and a
// checking slider: some slider of the attacker sees the king from two squares away or more.
bool CheckCanBeBlocked(const Position& position, int defender) {
    const int king = position.kingSquare[defender];
    if (king == NoSquare) return false;
    for (int dir = 0; dir < DirectionCount; ++dir) {
        const SquareList& ray = Ray[dir][king];
        if (ray.count < 2 || position.board[ray.squares[0]] != 0) continue;
        for (int i = 1; i < ray.count; ++i) {
            const int code = position.board[ray.squares[i]];
            if (code == 0) continue;
            if (AttackerSets[defender][dir][code + 15]) return true;
            break;
        }
    }
    return false;
}

// Widens a proof hand at a defender's node to what his drops ask for: when a check can be
// blocked, every kind he holds none of must stay out of his hand, so the attacker keeps all he
// holds of it (with less, the defender would hold one and could drop it in the way).
void KeepBlockersAway(const Position& position, int attacker, std::int8_t* proofHand) {
    if (!CheckCanBeBlocked(position, 1 - attacker)) return;
    for (int slot = 0; slot < HandSlots; ++slot)
        if (position.hand[1 - attacker][slot] == 0)
            proofHand[slot] = std::max(proofHand[slot], position.hand[attacker][slot]);
}

// A child's hand (after the attacker's `move` in `position`) taken back to the parent's: a
// dropped piece added back, a captured one taken off.
void HandBeforeMove(const Position& position, const Move& move, std::int8_t* hand) {
    if (move.from < 0) {
        ++hand[HandSlot[-move.from]];
    } else if (const int captured = position.board[move.to]; captured != 0) {
        std::int8_t& taken = hand[HandSlot[AbsCode(captured)]];
        if (taken > 0) --taken;
    }
}

// The position with the defender's hand cut down to one piece of a kind he can drop on any
// square, when he holds one: his list of replies then names each square he can drop on once,
// and its board moves as before, at a fraction of the cost when his hand is full.
Position OneDropPerSquare(const Position& position, int defender) {
    Position reduced = position;
    std::int8_t* hand = reduced.hand[defender];
    for (int kind = Silver; kind <= Rook; ++kind) {
        if (hand[HandSlot[kind]] == 0) continue;
        std::memset(hand, 0, HandSlots);
        hand[HandSlot[kind]] = 1;
        break;
    }
    return reduced;
}

// How the defender's drops are grouped at his node: those on one square form a group, and
// those away from his king one group all together, since such interpositions fail or hold much
// alike whatever the square. `far` is the first such drop's square (never used when there is
// none). At the attacker's node, or without a king, each square is its own group.
struct DropGroups {
    SquareSet besideKing = ~SquareSet{0};
    int far = 0;

    DropGroups(const Position& position, int defender, bool defenderNode, const Move* moves,
               int count) {
        const int king = position.kingSquare[defender];
        if (!defenderNode || king == NoSquare) return;
        besideKing = NeighbourSet[king];
        for (int i = count - 1; i >= 0; --i)
            if (moves[i].from < 0 && !Contains(besideKing, moves[i].to)) far = moves[i].to;
    }
    // The square that stands for a drop's group.
    int Of(const Move& drop) const { return Contains(besideKing, drop.to) ? drop.to : far; }
};

// The defender is mated: the proof needs no piece in hand but those that keep blockers away.
MateProbe MatedProof(const Position& position, int attacker, bool found) {
    MateProbe proof{0, MateInfinite, 0, false, found};
    KeepBlockersAway(position, attacker, proof.hand);
    return proof;
}

}  // namespace

MateSolver::MateSolver(MateTable& table)
    : table_(table),
      moveArena_(new Move[ArenaSize + 2 * MoveListSize]),
      keyArena_(new std::uint64_t[ArenaSize + MoveListSize]),
      fullKeyArena_(new std::uint64_t[ArenaSize + MoveListSize]),
      handArena_(new std::int8_t[(ArenaSize + MoveListSize) * HandSlots]),
      probeArena_(new MateProbe[ArenaSize + MoveListSize]) {}

MateSolver::~MateSolver() = default;

std::uint64_t MateSolver::FullKey(const Position& position, bool orNode) const {
    return position.hashKey ^ (orNode ? 0 : AndNodeTag);
}

std::uint64_t MateSolver::BoardKey(const Position& position, bool orNode) const {
    std::uint64_t key = FullKey(position, orNode) ^ salt_;
    for (int side = 0; side < 2; ++side)
        for (int slot = 0; slot < HandSlots; ++slot)
            key ^= CellKey(position.keySet, HandCell(side, slot), position.hand[side][slot]);
    return key | 1;  // never 0, the empty slot's key
}

bool MateSolver::TimeUp() {
    if (stopped_) return true;
    if (nodeLimit_ != 0 && nodes_ >= nodeLimit_) return stopped_ = true;
    if (--untilClock_ > 0) return false;
    untilClock_ = ClockInterval;
    const std::uint32_t elapsed = TickCount() - startTick_;
    if (progress_ != nullptr && elapsed >= lastReportMs_ + 1000) {
        lastReportMs_ = elapsed;
        progress_->Report(nodes_, elapsed);
    }
    TimeLimits limits{timeLimitMs_, timeLimitMs_};
    if (control_ != nullptr && !control_->KeepSearching(elapsed, limits)) stopped_ = true;
    if (elapsed > timeLimitMs_) stopped_ = true;
    return stopped_;
}

int MateSolver::GenerateChildren(const Position& position, bool orNode, Move* out) {
    if (orNode) return GenerateChecks(attacker_, position, out);
    return GenerateLegalMoves(1 - attacker_, position, out);
}

bool MateSolver::OnPath(std::uint64_t fullKey, int ply) const {
    for (int earlier = ply - 2; earlier >= 0; earlier -= 2)
        if (pathKeys_[earlier] == fullKey) return true;
    return false;
}

// A child seen for the first time gets numbers from its own moves: a defender without a
// reply is mated and an attacker without a check fails at once; otherwise the more replies
// the defender has the harder the proof (his drops counted by their groups, as the search sums
// them), the more checks the attacker has the harder the disproof.
void MateSolver::FirstLook(const Position& child, bool orNode, std::uint64_t key, Move* scratch) {
    const int count =
        orNode ? GenerateChecks(attacker_, child, scratch)
               : GenerateLegalMoves(1 - attacker_, OneDropPerSquare(child, 1 - attacker_), scratch);
    MateProbe result;
    if (count == 0) {
        result = orNode ? NoCheckDisproof(child, true) : MatedProof(child, attacker_, true);
    } else if (orNode) {
        result = MateProbe{1, static_cast<std::uint32_t>(std::min(count, 8)), 0, false, true};
    } else {
        const DropGroups groups(child, 1 - attacker_, true, scratch, count);
        SquareSet dropSquares = 0;
        int weight = 0;
        for (int i = 0; i < count; ++i) {
            if (scratch[i].from >= 0) {
                ++weight;
            } else if (const int group = groups.Of(scratch[i]); !Contains(dropSquares, group)) {
                dropSquares |= SquareBit(group);
                ++weight;
            }
        }
        result = MateProbe{static_cast<std::uint32_t>(std::min(weight, 64)), 1, 0, false, true};
    }
    table_.Store(key, child.hand[attacker_], result, 0, generation_);
}

MateProbe MateSolver::ProbeNode(const Position& position, bool orNode) const {
    return table_.Probe(BoardKey(position, orNode), position.hand[attacker_], generation_, Mode());
}

MateProbe MateSolver::Mid(const Position& position, bool orNode, int ply, std::uint32_t thpn,
                          std::uint32_t thdn) {
    const std::uint64_t startNodes = nodes_++;
    const std::uint64_t key = BoardKey(position, orNode);
    const std::int8_t* hand = position.hand[attacker_];
    MateProbe result;
    if (ply >= MaxMatePly || arenaUsed_ + MoveListSize > ArenaSize) {
        // Too deep to follow: no mate along this path, which says nothing of other paths.
        result = MateProbe{MateInfinite, 0, 0, true};
        std::memcpy(result.hand, hand, HandSlots);
        table_.Store(key, hand, result, 1, generation_);
        return result;
    }
    Move* moves = &moveArena_[arenaUsed_];
    const int count = GenerateChildren(position, orNode, moves);
    if (count == 0) {
        result = orNode ? NoCheckDisproof(position, false) : MatedProof(position, attacker_, false);
        table_.Store(key, hand, result, 1, generation_);
        return result;
    }
    std::uint64_t* keys = &keyArena_[arenaUsed_];
    std::uint64_t* fullKeys = &fullKeyArena_[arenaUsed_];
    std::int8_t* hands = &handArena_[arenaUsed_ * HandSlots];
    // What the table said of each child, looked up again only for the child just searched.
    MateProbe* probes = &probeArena_[arenaUsed_];
    arenaUsed_ += static_cast<std::size_t>(count);
    const int side = orNode ? attacker_ : 1 - attacker_;
    for (int i = 0; i < count; ++i) {
        Position child = position;
        MakeMove(side, child, moves[i]);
        keys[i] = BoardKey(child, !orNode);
        fullKeys[i] = FullKey(child, !orNode);
        std::memcpy(hands + i * HandSlots, child.hand[attacker_], HandSlots);
        table_.Prefetch(keys[i]);
    }
    // The look-ups after all the keys: the clusters' memory is on its way by then.
    for (int i = 0; i < count; ++i) {
        const std::int8_t* childHand = hands + i * HandSlots;
        if (OnPath(fullKeys[i], ply + 1)) {
            probes[i] = MateProbe{MateInfinite, 0, 0, true, true};
            std::memcpy(probes[i].hand, childHand, HandSlots);
            continue;
        }
        probes[i] = table_.Probe(keys[i], childHand, generation_, Mode());
        if (!probes[i].found) {
            Position child = position;
            MakeMove(side, child, moves[i]);
            FirstLook(child, !orNode, keys[i], &moveArena_[arenaUsed_]);
            probes[i] = table_.Probe(keys[i], childHand, generation_, Mode());
        }
    }

    const DropGroups groups(position, 1 - attacker_, !orNode, moves, count);

    for (;;) {
        // Gather the children: OR takes the smallest proof number and sums the disproof
        // numbers, AND the other way round. `near` is the number minimised, `far` the summed.
        std::uint32_t nearBest = MateInfinite, nearSecond = MateInfinite, farSum = 0, farMax = 0;
        int best = 0;
        std::uint16_t settledLength = orNode ? NoLength : 0;
        bool anyCleanRefutation = false, anyDependent = false;
        // The drops of one group count once towards the summed number, by the largest of
        // them: the defender's interpositions there, or the attacker's checks, fail or
        // succeed much alike whatever the piece.
        std::uint32_t dropFar[SquareCount];
        SquareSet dropSquares = 0;
        for (int i = 0; i < count; ++i) {
            const MateProbe& probe = probes[i];
            const std::uint32_t near = orNode ? probe.pn : probe.dn;
            const std::uint32_t far = orNode ? probe.dn : probe.pn;
            if (near < nearBest) {
                nearSecond = nearBest;
                nearBest = near;
                best = i;
            } else if (near < nearSecond) {
                nearSecond = near;
            }
            if (moves[i].from < 0) {
                const int to = groups.Of(moves[i]);
                if (!Contains(dropSquares, to)) {
                    dropSquares |= SquareBit(to);
                    dropFar[to] = far;
                    farSum = AddNumbers(farSum, far);
                } else if (far > dropFar[to]) {
                    farSum = AddNumbers(farSum, far - dropFar[to]);
                    dropFar[to] = far;
                }
            } else {
                farSum = AddNumbers(farSum, far);
            }
            if (far >= MateInfinite) farSum = MateInfinite;
            farMax = std::max(farMax, far);
            if (probe.pn == 0) {
                const auto length = static_cast<std::uint16_t>(probe.length + 1);
                settledLength =
                    orNode ? std::min(settledLength, length) : std::max(settledLength, length);
            }
            if (probe.dn == 0) {
                if (probe.pathDependent)
                    anyDependent = true;
                else
                    anyCleanRefutation = true;
            }
        }
        // A sum that has grown past all measure has counted shared subtrees over and over
        // (lines that meet again further down): the largest child's number, one more for each
        // other child, stands for it then.
        const bool summedTooFar = farSum >= FarSumCap && farSum < MateInfinite;
        if (summedTooFar) farSum = std::min(farSum, AddNumbers(farMax, count - 1));
        result.pn = orNode ? nearBest : farSum;
        result.dn = orNode ? farSum : nearBest;
        result.length = result.pn == 0 ? settledLength : 0;
        // A disproof depends on the path when one of the refutations it rests on does: for an
        // OR node any of its children's, for an AND node all of the refuting ones.
        result.pathDependent = result.dn == 0 && (orNode ? anyDependent : !anyCleanRefutation);
        if (result.pn == 0 || result.dn == 0) break;
        if (result.pn >= thpn || result.dn >= thdn) break;
        if (TimeUp() || nodes_ >= budgetEnd_) break;

        // The child's thresholds: it stays the best until it passes the second best (by a
        // quarter, so that two close siblings do not trade places at every step).
        const std::uint32_t farThreshold = orNode ? thdn : thpn;
        const std::uint32_t nearThreshold = orNode ? thpn : thdn;
        // The sum counts the drops on one square by the largest number among them: a drop's
        // own threshold is where that largest would carry the sum to this node's threshold.
        const std::uint32_t groupFar = summedTooFar           ? farMax
                                       : moves[best].from < 0 ? dropFar[groups.Of(moves[best])]
                                       : orNode               ? probes[best].dn
                                                              : probes[best].pn;
        // A threshold at the ceiling passes down whole: numbers summed round cycles can reach
        // the ceiling unsettled, and the search must then go on working on the other number.
        const std::uint32_t childNear =
            nearSecond >= MateInfinite - 1
                ? nearThreshold
                : std::min(nearThreshold, std::max(nearSecond + 1, nearSecond + nearSecond / 2));
        const std::uint32_t childFar = farThreshold >= MateInfinite - 1
                                           ? farThreshold
                                           : AddNumbers(farThreshold - farSum, groupFar);
        Position child = position;
        MakeMove(side, child, moves[best]);
        pathKeys_[ply + 1] = fullKeys[best];
        const MateProbe searched = orNode ? Mid(child, false, ply + 1, childNear, childFar)
                                          : Mid(child, true, ply + 1, childFar, childNear);
        probes[best] =
            strict_ ? searched
                    : table_.Probe(keys[best], hands + best * HandSlots, generation_, Mode());
    }
    if (result.pn == 0) ProofHand(position, orNode, moves, probes, count, result);
    if (result.dn == 0) DisproofHand(position, orNode, moves, probes, count, result);
    arenaUsed_ -= static_cast<std::size_t>(count);
    const std::uint64_t work = nodes_ - startNodes;
    table_.Store(key, hand, result,
                 static_cast<std::uint32_t>(std::min<std::uint64_t>(work, 0xFFFFFFFF)),
                 generation_);
    return result;
}

// The least hand a proved node needs: at the attacker's node what the shortest proved check
// needs, with a dropped piece added back and a captured one taken off; at the defender's node
// what the proof of each reply needs, and what keeps blockers out of his hand.
void MateSolver::ProofHand(const Position& position, bool orNode, const Move* moves,
                           const MateProbe* probes, int count, MateProbe& result) const {
    std::memset(result.hand, 0, HandSlots);
    if (!orNode) {
        for (int i = 0; i < count; ++i)
            for (int slot = 0; slot < HandSlots; ++slot)
                result.hand[slot] = std::max(result.hand[slot], probes[i].hand[slot]);
        KeepBlockersAway(position, attacker_, result.hand);
        return;
    }
    int proved = -1;
    for (int i = 0; i < count; ++i)
        if (probes[i].pn == 0 && (proved < 0 || probes[i].length < probes[proved].length))
            proved = i;
    std::memcpy(result.hand, probes[proved].hand, HandSlots);
    HandBeforeMove(position, moves[proved], result.hand);
    for (int slot = 0; slot < HandSlots; ++slot)
        result.hand[slot] = std::min(result.hand[slot], position.hand[attacker_][slot]);
}

// An attacker without a check fails with more in hand too, of every kind that could not check
// from any square if he held it: he may then hold all that the defender holds of it.
MateProbe MateSolver::NoCheckDisproof(const Position& position, bool found) const {
    MateProbe disproof{MateInfinite, 0, 0, false, found};
    for (int kind = Pawn; kind <= Rook; ++kind) {
        const int slot = HandSlot[kind];
        disproof.hand[slot] = position.hand[attacker_][slot];
        if (!HasDropCheckSquare(attacker_, kind, position))
            disproof.hand[slot] =
                static_cast<std::int8_t>(disproof.hand[slot] + position.hand[1 - attacker_][slot]);
    }
    return disproof;
}

// The greatest hand a disproved node fails with: at the attacker's node what every check's
// disproof allows (a dropped piece added, a captured one taken off), no more of a kind he
// holds none of and could check with; at the defender's node what the refuting reply's
// disproof allows, with the piece it drops still left to the defender.
void MateSolver::DisproofHand(const Position& position, bool orNode, const Move* moves,
                              const MateProbe* probes, int count, MateProbe& result) const {
    const std::int8_t* hand = position.hand[attacker_];
    const std::int8_t* theirs = position.hand[1 - attacker_];
    if (!orNode) {
        int refutation = -1;
        for (int i = 0; i < count; ++i)
            if (probes[i].dn == 0 && (refutation < 0 || !probes[i].pathDependent)) {
                refutation = i;
                if (!probes[i].pathDependent) break;
            }
        std::memcpy(result.hand, probes[refutation].hand, HandSlots);
        if (moves[refutation].from < 0) {
            const int slot = HandSlot[-moves[refutation].from];
            result.hand[slot] = std::min(result.hand[slot],
                                         static_cast<std::int8_t>(hand[slot] + theirs[slot] - 1));
        }
    } else {
        for (int slot = 0; slot < HandSlots; ++slot)
            result.hand[slot] = static_cast<std::int8_t>(hand[slot] + theirs[slot]);
        for (int i = 0; i < count; ++i) {
            std::int8_t allowed[HandSlots];
            std::memcpy(allowed, probes[i].hand, HandSlots);
            HandBeforeMove(position, moves[i], allowed);
            for (int slot = 0; slot < HandSlots; ++slot)
                result.hand[slot] = std::min(result.hand[slot], allowed[slot]);
        }
        for (int kind = Pawn; kind <= Rook; ++kind)
            if (hand[HandSlot[kind]] == 0 && HasDropCheckSquare(attacker_, kind, position))
                result.hand[HandSlot[kind]] = 0;
    }
    for (int slot = 0; slot < HandSlots; ++slot)
        result.hand[slot] = std::max(result.hand[slot], hand[slot]);
}

bool MateSolver::ProveChild(const Position& position, bool orNode, int ply, std::uint32_t budget) {
    const std::uint64_t savedEnd = budgetEnd_;
    budgetEnd_ = std::min(budgetEnd_, nodes_ + budget);
    MateProbe probe = ProbeNode(position, orNode);
    while (probe.pn != 0 && probe.dn != 0 && nodes_ < budgetEnd_ && !TimeUp()) {
        Mid(position, orNode, ply, MateInfinite - 1, MateInfinite - 1);
        probe = ProbeNode(position, orNode);
    }
    budgetEnd_ = savedEnd;
    return probe.pn == 0;
}

// A "no mate" that rests on a repetition may have taken a disproof found along another path,
// where the repetition was real, for one along this path, where it is not. It is searched
// again with every such disproof taken only as its own search returns it, so that the answer is
// a mate, a "no mate" that holds from the root, or no answer in the time left.
MateProbe MateSolver::SolveStrictly(const Position& root) {
    strict_ = true;
    MateProbe probe;
    while (probe.pn != 0 && probe.dn != 0 && !TimeUp())
        probe = Mid(root, true, 0, MateInfinite - 1, MateInfinite - 1);
    strict_ = false;
    if (probe.pn == 0) return ProbeNode(root, true);
    return probe.dn == 0 ? probe : MateProbe{};
}

MateAnswer MateSolver::Solve(const Position& root, int attacker, const MateLimits& limits,
                             MateProgress* progress) {
    MateAnswer answer;
    attacker_ = attacker;
    salt_ = RootSalt(root, attacker);
    ++generation_;
    nodes_ = 0;
    nodeLimit_ = limits.nodeLimit;
    timeLimitMs_ = limits.timeLimitMs;
    control_ = limits.control;
    progress_ = progress;
    startTick_ = TickCount();
    lastReportMs_ = 0;
    untilClock_ = 1;
    stopped_ = false;
    arenaUsed_ = 0;
    budgetEnd_ = ~std::uint64_t{0};
    extractEnd_ = ~std::uint64_t{0};
    pathKeys_[0] = FullKey(root, true);

    // The root is expanded at least once, whatever the clock or the front end say: a position
    // without a check, or with a mate in one, is answered at any limit.
    MateProbe probe = ProbeNode(root, true);
    for (bool first = true; probe.pn != 0 && probe.dn != 0 && (first || !TimeUp()); first = false) {
        Mid(root, true, 0, MateInfinite, MateInfinite);
        probe = ProbeNode(root, true);
    }
    if (probe.dn == 0 && probe.pathDependent) probe = SolveStrictly(root);
    if (probe.pn == 0) {
        extracting_ = true;
        answer.length = ExtractLine(root, answer.line);
        extracting_ = false;
        answer.result = answer.length > 0 ? MateResult::Mate : MateResult::Timeout;
    } else if (probe.dn == 0) {
        answer.result = MateResult::NoMate;
    }
    answer.nodes = nodes_;
    answer.elapsedMs = TickCount() - startTick_;
    return answer;
}

}  // namespace mirabel
