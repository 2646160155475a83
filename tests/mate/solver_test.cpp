// The tsume solver: answers checked by replaying them under the full rules, the table's
// sharing of proofs across hands, and the limits that end a solve.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "mate/mate.h"
#include "mate/short_set.h"
#include "usi/usi.h"

namespace mirabel {
namespace {

Position Read(const std::string& sfen, int& side) {
    Position position{};
    std::string error;
    EXPECT_TRUE(ReadSfen(sfen, position, side, error)) << sfen << ": " << error;
    return position;
}

std::string LineText(const MateAnswer& answer) {
    std::string text;
    for (int i = 0; i < answer.length; ++i) text += std::string(MoveToUsi(answer.line[i])) + " ";
    return text;
}

// A mate whose line replays under the full rules: every move legal, every attacker's move a
// check, the defender mated at the end (the replay's refusals are tested below).
void ExpectMate(const Position& start, int attacker, const MateAnswer& answer,
                const std::string& what) {
    ASSERT_EQ(answer.result, MateResult::Mate) << what;
    EXPECT_TRUE(IsMateLine(start, attacker, answer.line, answer.length))
        << what << ": " << LineText(answer);
}

TEST(MateSolver, TheReplayRefusesWhatIsNotAMate) {
    int side = 0;
    const Position position = Read("3lkl3/9/4G4/9/9/9/9/9/9 b P2r2b3g4s4n2l17p 1", side);
    const Position gold = Read("4k4/9/4P4/9/9/9/9/9/9 b G2r2b3g4s4n4l17p 1", side);
    const Move pawnMate[] = {DropMove(Pawn, 4 + 9)};
    EXPECT_FALSE(IsMateLine(position, 0, pawnMate, 1));  // a pawn drop may not mate
    const Move mate[] = {DropMove(Gold, 13)};
    EXPECT_TRUE(IsMateLine(gold, 0, mate, 1));
    const Move quiet[] = {DropMove(Gold, 40)};
    EXPECT_FALSE(IsMateLine(gold, 0, quiet, 1));  // not a check
    const Move noMove[] = {NoMoveRecord};
    EXPECT_FALSE(IsMateLine(gold, 0, noMove, 1));
    EXPECT_FALSE(IsMateLine(gold, 0, mate, 0));
    // A check the king escapes from, then a line that stops in the middle.
    const Move side4[] = {DropMove(Gold, 12), BoardMove(4, 3, -King, 0)};
    EXPECT_FALSE(IsMateLine(gold, 0, side4, 1));
    EXPECT_FALSE(IsMateLine(gold, 0, side4, 2));
}

// The repository's small set: every mate at its known length; every no-mate position proved,
// the defender without a king, a forbidden pawn-drop mate and the start position among them.
TEST(MateSolver, TheSmallSetIsSolvedAtTheKnownLengths) {
    const std::vector<ShortProblem> problems = ReadShortSet();
#ifdef _WIN32
    if (problems.empty()) GTEST_SKIP() << "the data file is out of this system's reach";
#endif
    ASSERT_GE(problems.size(), 50u);
    MateTable table(MinMateTableMegabytes);
    MateSolver solver(table);
    for (const ShortProblem& problem : problems) {
        int side = 0;
        const Position position = Read(problem.sfen, side);
        const MateAnswer answer = solver.Solve(position, side, MateLimits{30000, 0, nullptr});
        if (problem.known == 0) {
            EXPECT_EQ(answer.result, MateResult::NoMate) << problem.sfen;
            continue;
        }
        ExpectMate(position, side, answer, problem.sfen);
        EXPECT_EQ(answer.length, problem.known) << problem.sfen << ": " << LineText(answer);
    }
}

TEST(MateTable, ProofsAndDisproofsAreSharedAcrossHands) {
    MateTable table(1);
    const std::int8_t gold[HandSlots] = {0, 0, 0, 0, 1, 0, 0};
    const std::int8_t goldPawn[HandSlots] = {1, 0, 0, 0, 1, 0, 0};
    const std::int8_t none[HandSlots] = {};
    const std::uint64_t board = 0x1234567800000001ULL;
    // Found with gold and pawn in hand, the proof needs the gold alone: it is kept for that.
    MateProbe proof{0, MateInfinite, 3, false, true};
    std::memcpy(proof.hand, gold, HandSlots);
    table.Store(board, goldPawn, proof, 10, 1);
    EXPECT_EQ(table.Probe(board, goldPawn, 1).pn, 0u);  // more in hand: mated too
    EXPECT_EQ(table.Probe(board, gold, 1).length, 3);
    EXPECT_EQ(table.Probe(board, gold, 1).hand[4], 1);
    EXPECT_NE(table.Probe(board, none, 1).pn, 0u);          // less: not known
    EXPECT_NE(table.Probe(board + 2, goldPawn, 1).pn, 0u);  // another board

    const std::uint64_t other = 0x0BADC0DE00000001ULL;
    // Found with the gold in hand, the disproof holds with a pawn more as well.
    MateProbe disproof{MateInfinite, 0, 0, false, true};
    std::memcpy(disproof.hand, goldPawn, HandSlots);
    table.Store(other, gold, disproof, 10, 1);
    EXPECT_EQ(table.Probe(other, none, 1).dn, 0u);      // less in hand: escapes too
    EXPECT_EQ(table.Probe(other, goldPawn, 2).dn, 0u);  // a clean disproof holds in any solve

    // A disproof found through a repetition holds only in the solve that found it.
    const std::uint64_t cyclic = 0x00FACADE00000001ULL;
    disproof.pathDependent = true;
    std::memcpy(disproof.hand, gold, HandSlots);
    table.Store(cyclic, gold, disproof, 10, 1);
    EXPECT_EQ(table.Probe(cyclic, gold, 1).dn, 0u);
    EXPECT_TRUE(table.Probe(cyclic, gold, 1).pathDependent);
    EXPECT_NE(table.Probe(cyclic, gold, 2).dn, 0u);

    // An unsettled board: with more in hand the attacker is no nearer a disproof, within the
    // solve only and unless the look-up keeps to each hand's own numbers.
    const std::uint64_t open = 0x0FEEDBEE00000001ULL;
    MateProbe numbers{5, 40, 0, false, true};
    table.Store(open, gold, numbers, 10, 1);
    EXPECT_EQ(table.Probe(open, goldPawn, 1).dn, 40u);
    EXPECT_FALSE(table.Probe(open, goldPawn, 1).found);
    EXPECT_EQ(table.Probe(open, none, 1).dn, 1u);
    EXPECT_EQ(table.Probe(open, goldPawn, 2).dn, 1u);
    EXPECT_EQ(table.Probe(open, goldPawn, 1, ProbeMode{true, false}).dn, 1u);
}

// What one problem leaves in the table must hold for the next on the same board with other
// hands. A proof found where the defender holds nothing to drop is no proof once he holds
// pieces to block a distant check with (a lance dropped from afar mates the first position
// and only checks the second); a disproof found with nothing in hand is no disproof once the
// attacker holds a piece that could check (a gold dropped beside the king mates).
TEST(MateSolver, ProofAndDisproofHandsHoldOnlyWhereTheyShould) {
    struct Pair {
        const char* first;
        int firstLength;  // 0: no mate
        const char* second;
        int secondLength;
    };
    const Pair pairs[] = {
        {"7lk/7p1/9/9/9/9/9/9/9 b 2R2B4G4S4N3L17P 1", 1,
         "7lk/7p1/9/9/9/9/9/9/9 b L2r2b4g4s4n2l17p 1", 0},
        {"7lk/7p1/8G/9/9/9/9/9/9 b 2r2b3g4s4n3l17p 1", 0,
         "7lk/7p1/8G/9/9/9/9/9/9 b G2r2b2g4s4n3l17p 1", 1},
    };
    for (const Pair& pair : pairs) {
        MateTable table(MinMateTableMegabytes);
        MateSolver solver(table);
        for (const auto& [sfen, length] :
             {std::pair{pair.first, pair.firstLength}, std::pair{pair.second, pair.secondLength}}) {
            int side = 0;
            const Position position = Read(sfen, side);
            const MateAnswer answer =
                solver.Solve(position, side, MateLimits{NoTimeLimit, 0, nullptr});
            if (length == 0) {
                EXPECT_EQ(answer.result, MateResult::NoMate) << sfen;
                continue;
            }
            ExpectMate(position, side, answer, sfen);
            EXPECT_EQ(answer.length, length) << sfen;
        }
    }
}

// Lines of checks and escapes that meet again further down once drove the summed numbers to
// their ceiling, and the search round in circles until the time ran out.
TEST(MateSolver, ProvesANoMateWhoseLinesMeetAgain) {
    MateTable table(MinMateTableMegabytes);
    MateSolver solver(table);
    int side = 0;
    const Position position =
        Read("9/9/2l1Sn+B2/2+b1l1l2/6g2/3pkp3/1sR3R2/5+p3/3+p5 b 3g2s3nl14p 1", side);
    const MateAnswer answer =
        solver.Solve(position, side, MateLimits{NoTimeLimit, 1000000, nullptr});
    EXPECT_EQ(answer.result, MateResult::NoMate);
}

TEST(MateSolver, StopsAtItsLimits) {
    MateTable table(MinMateTableMegabytes);
    MateSolver solver(table);
    int side = 0;
    const Position hard = Read("n3p4/3k+b4/3g1B3/9/pn+rRN4/5P3/3P5/9/9 b 3g4sn4l14p 1", side);
    MateAnswer answer = solver.Solve(hard, side, MateLimits{NoTimeLimit, 5000, nullptr});
    EXPECT_EQ(answer.result, MateResult::Timeout);
    EXPECT_LT(answer.nodes, 5000u + 2000u);
    answer = solver.Solve(hard, side, MateLimits{30, 0, nullptr});
    EXPECT_EQ(answer.result, MateResult::Timeout);
    EXPECT_LT(answer.elapsedMs, 1000u);
}

}  // namespace
}  // namespace mirabel
