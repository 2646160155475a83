// The answer line of a proved mate: the exact mate length worked out over the proof (the
// attacker's shortest, the defender's longest, a futile interposition counting for nothing),
// the line read off the table, and the replay that checks a line under the full rules.
#include <algorithm>
#include <cstring>

#include "mate/mate.h"

namespace mirabel {

namespace {

constexpr int Unreached = 0x7FFF;  // no mate shown within the limit
// Nodes to prove a child the proof skipped: an attacker's other check (a short mate shows
// at once, and there may be dozens of them), a defender's reply the table lost.
constexpr std::uint32_t CheckProofBudget = 120;
constexpr std::uint32_t ReplyProofBudget = 5000;
// Plies after a check up to which a check the proof did not settle is searched full width.
constexpr int ShortMatePlies = 2;

bool IsListed(const Move* moves, int count, const Move& move, Move& listed) {
    for (int i = 0; i < count; ++i)
        if (SameMove(moves[i], move)) {
            listed = moves[i];
            return true;
        }
    return false;
}

}  // namespace

// Sort keys of the children: the length their proofs found (-1 disproved, Unreached - 1
// unknown) above the child's index. Says whether any child is known proved.
bool MateSolver::OrderChildren(const Position& position, bool orNode, const Move* moves, int count,
                               std::uint64_t* order) {
    const int side = orNode ? attacker_ : 1 - attacker_;
    bool anyProved = false;
    for (int i = 0; i < count; ++i) {
        Position child = position;
        MakeMove(side, child, moves[i]);
        const MateProbe probe = ProbeNode(child, !orNode);
        const int length = probe.pn == 0 ? probe.length : probe.dn == 0 ? -1 : Unreached - 1;
        anyProved = anyProved || probe.pn == 0;
        order[i] = (static_cast<std::uint64_t>(length + 1) << 16) | static_cast<std::uint64_t>(i);
    }
    return anyProved;
}

int MateSolver::ExactLength(const Position& position, bool orNode, int ply, int limit, Move& best) {
    if (limit <= 0 || ply >= MaxMateLine || TimeUp() || nodes_ >= extractEnd_) return Unreached;
    ++nodes_;
    const std::uint64_t fullKey = FullKey(position, orNode);
    if (OnPath(fullKey, ply)) return Unreached;
    pathKeys_[ply] = fullKey;
    const std::uint64_t key = BoardKey(position, orNode);
    const std::int8_t* hand = position.hand[attacker_];
    if (const MateEntry* entry = table_.Find(key, hand);
        entry != nullptr && entry->exact != NoLength) {
        const auto promote = static_cast<std::uint8_t>((entry->flags & BestPromotes) != 0);
        best = Move{entry->bestFrom, entry->bestTo, 0, promote, 0, 0};
        return entry->exact < limit ? entry->exact : Unreached;
    }
    if (arenaUsed_ + MoveListSize > ArenaSize) return Unreached;
    Move* moves = &moveArena_[arenaUsed_];
    const int count = GenerateChildren(position, orNode, moves);
    if (count == 0) {
        best = NoMoveRecord;
        return orNode ? Unreached : 0;
    }
    arenaUsed_ += static_cast<std::size_t>(count);
    const int side = orNode ? attacker_ : 1 - attacker_;
    // Children in the order of the lengths their proofs found: the shortest first for the
    // attacker, the longest first for the defender, so that the limit tightens early.
    std::uint64_t* order = &keyArena_[arenaUsed_ - static_cast<std::size_t>(count)];
    // An attacker's node whose proved check the table has lost (the node itself may still be
    // proved there, for a smaller hand) is searched again first: its checks would otherwise
    // be tried one by one on a small budget that a deep mate outgrows.
    if (!OrderChildren(position, orNode, moves, count, order) && orNode) {
        const std::uint64_t savedEnd = budgetEnd_;
        budgetEnd_ = std::min(budgetEnd_, nodes_ + ReplyProofBudget);
        Mid(position, true, ply, MateInfinite - 1, MateInfinite - 1);
        budgetEnd_ = savedEnd;
        OrderChildren(position, orNode, moves, count, order);
    }
    if (orNode)
        std::sort(order, order + count);
    else
        std::sort(order, order + count, [](std::uint64_t a, std::uint64_t b) { return a > b; });

    int result = orNode ? limit : -1;
    bool complete = true;
    // The defender's futile interpositions, looked at only when he has nothing else.
    int futileCount = 0;
    for (int pass = 0; pass < 2 && complete; ++pass) {
        if (pass == 1 && (orNode || result >= 0 || futileCount == 0)) break;
        if (pass == 1) result = limit;  // all replies futile: the shortest of them
        for (int k = 0; k < count && complete; ++k) {
            const Move& move = moves[order[k] & 0xFFFF];
            const int known = static_cast<int>(order[k] >> 16) - 1;
            Position child = position;
            MakeMove(side, child, move);
            if (orNode) {
                if (known < 0) continue;  // disproved
                if (result <= 1) break;   // a mate in one is the shortest there is
                // A check the proof did not settle: searched full width when only a short
                // mate after it could beat the mate in hand, else proved on a small budget.
                if (known >= Unreached - 1 &&
                    !(result - 2 <= ShortMatePlies
                          ? MatedWithin(child, result - 2)
                          : ProveChild(child, false, ply + 1, CheckProofBudget)))
                    continue;
                Move reply = NoMoveRecord;
                const int length = 1 + ExactLength(child, false, ply + 1, result - 1, reply);
                if (length < result) {
                    result = length;
                    best = move;
                }
                continue;
            }
            // The defender: every reply must be proved to lose.
            if (pass == 0 && (known < 0 || (known >= Unreached - 1 &&
                                            !ProveChild(child, true, ply + 1, ReplyProofBudget)))) {
                complete = false;
                break;
            }
            // A piece dropped next to the king is never futile: taking it brings the checker
            // up to the king, which changes the rest of the mate.
            const bool futile =
                move.from < 0 &&
                !Contains(NeighbourSet[position.kingSquare[1 - attacker_]], move.to) &&
                IsFutileInterposition(child, move.to, ply + 1);
            if (pass == 0 && futile) {
                ++futileCount;
                continue;
            }
            if (pass == 1 && !futile) continue;
            Move answer = NoMoveRecord;
            const int length =
                1 + ExactLength(child, true, ply + 1, pass == 0 ? limit - 1 : result - 1, answer);
            if (pass == 1) {
                if (length < result) {
                    result = length;
                    best = move;
                }
                continue;
            }
            if (length >= limit) {
                complete = false;
                break;
            }
            if (length > result) {
                result = length;
                best = move;
            }
        }
    }
    arenaUsed_ -= static_cast<std::size_t>(count);
    if (!complete || result >= limit || result < 0) return Unreached;
    MateEntry* entry = table_.Find(key, hand);
    if (entry == nullptr) {
        MateProbe proof{0, MateInfinite, static_cast<std::uint16_t>(result), false};
        std::memcpy(proof.hand, hand, HandSlots);
        table_.Store(key, hand, proof, 1, generation_);
        entry = table_.Find(key, hand);
    }
    if (entry != nullptr && entry->pn == 0) {
        entry->exact = static_cast<std::uint16_t>(result);
        entry->bestFrom = best.from;
        entry->bestTo = best.to;
        entry->flags = static_cast<std::uint8_t>((entry->flags & ~BestPromotes) |
                                                 (best.promote ? BestPromotes : 0));
    }
    return result;
}

// Whether the defender, to move in `position`, is mated within `plies` plies: by a full-width
// search of his replies and the attacker's checks, for the short mates a check the proof did
// not settle could still give.
bool MateSolver::MatedWithin(const Position& position, int plies) {
    if (arenaUsed_ + MoveListSize > ArenaSize) return false;
    ++nodes_;
    Move* replies = &moveArena_[arenaUsed_];
    const int count = GenerateLegalMoves(1 - attacker_, position, replies);
    if (count == 0) return true;
    if (plies < 2) return false;
    arenaUsed_ += static_cast<std::size_t>(count);
    bool mated = true;
    for (int i = 0; i < count && mated; ++i) {
        Position afterReply = position;
        MakeMove(1 - attacker_, afterReply, replies[i]);
        Move* checks = &moveArena_[arenaUsed_];
        const int checkCount = GenerateChecks(attacker_, afterReply, checks);
        arenaUsed_ += static_cast<std::size_t>(checkCount);
        mated = false;
        for (int j = 0; j < checkCount && !mated; ++j) {
            Position afterCheck = afterReply;
            MakeMove(attacker_, afterCheck, checks[j]);
            mated = MatedWithin(afterCheck, plies - 2);
        }
        arenaUsed_ -= static_cast<std::size_t>(checkCount);
    }
    arenaUsed_ -= static_cast<std::size_t>(count);
    return mated;
}

// Whether the defender's drop on `square` (made in `position`, the attacker to move) is a
// futile interposition: the attacker captures the piece there and mates even without it in
// hand, so that it changed nothing.
bool MateSolver::IsFutileInterposition(const Position& position, int square, int ply) {
    if (arenaUsed_ + MoveListSize > ArenaSize) return false;
    Move* checks = &moveArena_[arenaUsed_];
    const int count = GenerateChildren(position, true, checks);
    arenaUsed_ += static_cast<std::size_t>(count);
    bool futile = false;
    for (int i = 0; i < count && !futile; ++i) {
        if (checks[i].to != square || checks[i].from < 0) continue;
        Position without = position;
        const int slot = HandSlot[AbsCode(position.board[square])];
        MakeMove(attacker_, without, checks[i]);
        // The captured piece goes back to the defender's hand.
        const int defender = 1 - attacker_;
        auto& mine = without.hand[attacker_][slot];
        auto& theirs = without.hand[defender][slot];
        without.hashKey ^= CellKey(without.keySet, HandCell(attacker_, slot), mine) ^
                           CellKey(without.keySet, HandCell(attacker_, slot), mine - 1) ^
                           CellKey(without.keySet, HandCell(defender, slot), theirs) ^
                           CellKey(without.keySet, HandCell(defender, slot), theirs + 1);
        --mine;
        ++theirs;
        pathKeys_[ply + 1] = FullKey(without, false);
        futile = ProbeNode(without, false).pn == 0 ||
                 ProveChild(without, false, ply + 1, CheckProofBudget);
    }
    arenaUsed_ -= static_cast<std::size_t>(count);
    return futile;
}

// The attacker's check with the shortest proof, or the defender's reply with the longest,
// among the children the table holds proved; NoMoveRecord when it holds none. The line that
// follows is checked as a whole in the end.
Move MateSolver::ProvedChoice(const Position& position, bool orNode, int ply, const Move* moves,
                              int count) {
    const int side = orNode ? attacker_ : 1 - attacker_;
    Move chosen = NoMoveRecord;
    int bestLength = orNode ? Unreached : -1;
    for (int i = 0; i < count; ++i) {
        Position child = position;
        MakeMove(side, child, moves[i]);
        if (OnPath(FullKey(child, !orNode), ply + 1)) continue;
        MateProbe probe = ProbeNode(child, !orNode);
        // A reply of the defender the table no longer shows lost is proved again: leaving it
        // aside would give him a shorter line than his best. One that cannot be proved on the
        // budget (the clock ran out) is left aside.
        if (probe.pn != 0 && !orNode && probe.dn != 0) {
            pathKeys_[ply + 1] = FullKey(child, true);
            if (ProveChild(child, true, ply + 1, ReplyProofBudget)) probe = ProbeNode(child, true);
        }
        if (probe.pn != 0) continue;
        if (orNode ? probe.length < bestLength : probe.length > bestLength) {
            bestLength = probe.length;
            chosen = moves[i];
        }
    }
    return chosen;
}

// The line read off the table: each node's exact best move, worked out again where the table
// lost it. When the exact lengths cannot be had (time ran out, or a stop came), the line of the
// proof itself: the attacker's check with the shortest proof, the defender's longest reply.
int MateSolver::ExtractLine(const Position& root, Move* line) {
    // Working out the exact length may cost as much again as the proof, and at least enough
    // for every short problem.
    extractEnd_ = nodes_ + std::max<std::uint64_t>(nodes_, 200000);
    Move best = NoMoveRecord;
    const bool exact = ExactLength(root, true, 0, MaxMateLine, best) < MaxMateLine;
    Position position = root;
    int length = 0;
    MoveList moves;
    for (bool orNode = true; length < MaxMateLine; orNode = !orNode) {
        const int side = orNode ? attacker_ : 1 - attacker_;
        pathKeys_[length] = FullKey(position, orNode);
        Move chosen = NoMoveRecord;
        const int count = GenerateChildren(position, orNode, moves);
        if (count == 0) break;
        if (exact) {
            Move wanted = NoMoveRecord;
            if (ExactLength(position, orNode, length, MaxMateLine, wanted) < MaxMateLine)
                IsListed(moves, count, wanted, chosen);
        }
        // The proof's own line; where the table lost it, the node is proved again on a small
        // budget that a stop does not cut.
        if (chosen.from == NoMove) chosen = ProvedChoice(position, orNode, length, moves, count);
        if (chosen.from == NoMove) {
            const bool wasStopped = stopped_;
            const std::uint64_t savedLimit = nodeLimit_;
            stopped_ = false;
            nodeLimit_ = 0;
            for (int i = 0; i < count; ++i) {
                Position child = position;
                MakeMove(side, child, moves[i]);
                if (OnPath(FullKey(child, !orNode), length + 1)) continue;
                pathKeys_[length + 1] = FullKey(child, !orNode);
                if (ProveChild(child, !orNode, length + 1, wasStopped ? 2000 : 20000) && orNode)
                    break;
            }
            nodeLimit_ = savedLimit;
            stopped_ = wasStopped;
            chosen = ProvedChoice(position, orNode, length, moves, count);
        }
        if (chosen.from == NoMove) return 0;
        line[length++] = chosen;
        MakeMove(side, position, chosen);
    }
    return IsMateLine(root, attacker_, line, length) ? length : 0;
}

bool IsMateLine(const Position& start, int attacker, const Move* line, int length) {
    if (length <= 0 || length % 2 == 0) return false;
    Position position = start;
    MoveList moves;
    for (int i = 0; i < length; ++i) {
        const int side = i % 2 == 0 ? attacker : 1 - attacker;
        const int count = GenerateLegalMoves(side, position, moves);
        Move listed = NoMoveRecord;
        if (!IsListed(moves, count, line[i], listed)) return false;
        MakeMove(side, position, listed);
        if (side == attacker && !InCheckNow(1 - attacker, position)) return false;
    }
    return !HasLegalMove(1 - attacker, position);
}

}  // namespace mirabel
