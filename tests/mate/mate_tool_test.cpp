// mirabel-mate as a developer runs it: a problem file solved and summed up, problems cut out of
// solutions, positions from games written as SFEN, and bad arguments refused.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "support/child_process.h"

namespace mirabel {
namespace {

test::Completed RunMate(const std::vector<std::string>& arguments) {
    return test::RunToEnd(MIRABEL_MATE_BINARY, arguments);
}

// A file of the test's own, removed at the end.
struct TempFile {
    explicit TempFile(const std::string& text) {
        path = testing::TempDir() + "mirabel_mate_" +
               testing::UnitTest::GetInstance()->current_test_info()->name() + ".txt";
        std::ofstream(path) << text;
    }
    ~TempFile() { std::remove(path.c_str()); }
    std::string path;
};

TEST(MateTool, SolvesAFileAndSumsItUp) {
    const TempFile file(
        "# a comment, then a blank line\n\n"
        "4k4/9/4P4/9/9/9/9/9/9 b G2r2b3g4s4n4l17p 1 moves G*5b\n"
        "8k/9/9/7+R1/9/9/9/9/9 b Sr2b4g3s4n4l18p 1 moves S*2b 1a1b 2d1c 1c1b 2c2b\n"
        "4k4/9/9/9/9/9/9/9/9 b P2r2b4g4s4n4l17p 1 nomate\n"
        "8k/9/9/7+R1/9/9/9/9/9 b Sr2b4g3s4n4l18p 1\n");
    const test::Completed run = RunMate({"--ms", "20000", file.path});
    EXPECT_EQ(run.status, 0) << run.output;
    EXPECT_NE(run.output.find("3 length 1 known 1 "), std::string::npos) << run.output;
    EXPECT_NE(run.output.find(": S*2b 1a1b 2d1c\n"), std::string::npos);
    EXPECT_NE(run.output.find("5 length 0 known -1 "), std::string::npos);
    // The known five plies are not the three found: solved, but not as known.
    EXPECT_NE(run.output.find("problems 4 solved 3 as-known 2/3 nomate 1 timeout 0 wrong 0 "),
              std::string::npos)
        << run.output;
}

TEST(MateTool, CutsSolutionsAndWritesGamePositions) {
    const TempFile solutions(
        "8k/9/9/7+R1/9/9/9/9/9 b Sr2b4g3s4n4l18p 1 moves S*2b 1a1b 2d1c\n"
        "8k/9/9/7+R1/9/9/9/9/9 b Sr2b4g3s4n4l18p 1 moves S*2b 1a1b\n");  // not a mate
    const test::Completed split = RunMate({"--split", "1", "3", solutions.path});
    EXPECT_EQ(split.status, 0);
    // The whole solution and the mate in one after 1a1b; the defender has no other reply to
    // S*2b (the dragon guards the silver), and the line that is no mate gives nothing.
    EXPECT_EQ(split.output,
              "8k/9/9/7+R1/9/9/9/9/9 b Sr2b4g3s4n4l18p 1 moves S*2b 1a1b 2d1c\n"
              "9/7Sk/9/7+R1/9/9/9/9/9 b r2b4g3s4n4l18p 1 moves 2d1c\n");
    const TempFile games("startpos moves 7g7f 3c3d\nstartpos moves 7g7f 9z9z\n");
    const test::Completed sfen = RunMate({"--sfen", games.path});
    EXPECT_EQ(sfen.output, "lnsgkgsnl/1r5b1/pppppp1pp/6p2/9/2P6/PP1PPPPPP/1B5R1/LNSGKGSNL b - 1\n");
}

TEST(MateTool, RefusesBadArguments) {
    for (const std::vector<std::string>& arguments : std::vector<std::vector<std::string>>{
             {}, {"--ms"}, {"--ms", "0", "x"}, {"--frob", "x"}, {"/nonexistent/problems.txt"}}) {
        const test::Completed run = RunMate(arguments);
        EXPECT_EQ(run.status, 2);
        EXPECT_NE(run.errors.find("mirabel-mate"), std::string::npos);
    }
}

}  // namespace
}  // namespace mirabel
