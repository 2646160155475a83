// The test harness's child process itself, with mirabel-bench as the child: each argument
// arrives as one argument, unchanged (on Windows they travel as one command line that the
// child's runtime splits again), and the exit status and standard error come back.
#include "support/child_process.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace mirabel::test {
namespace {

TEST(ChildProcess, ArgumentsArriveUnchangedWithStatusAndErrors) {
    // Blanks, quotes, backslashes before a quote and at the end (alone and in a quoted
    // argument), an empty argument, a text Windows' shell would expand.
    const std::vector<std::string> words = {"4 5",   "\"5\"",     "a\\\"b",   "a \\\"b",
                                            "dir\\", "dir \\",    "dir \\\\", "tab\there",
                                            "",      "x\\y\\\\z", "%PATH%"};
    for (const std::string& word : words) {
        const Completed run = RunToEnd(MIRABEL_BENCH_BINARY, {word});
        EXPECT_NE(run.status, 0) << word;
        EXPECT_EQ(run.output, "") << word;
        // The first line of the refusal names the argument exactly as the child received it.
        EXPECT_EQ(run.errors.substr(0, run.errors.find('\n') + 1),
                  "mirabel-bench: bad depth \"" + word + "\"\n")
            << run.errors;
    }
}

TEST(ChildProcess, InputOutputAndEndOfAnEngineSession) {
    ChildProcess child(MIRABEL_BINARY, {});
    ASSERT_TRUE(child.Started());
    EXPECT_TRUE(child.Write("isready\r\nisready\n"));
    std::string output;
    const auto deadline = Clock::now() + std::chrono::seconds(20);
    while (output.size() < 16 && child.Read(output, deadline)) {
    }
    EXPECT_EQ(output, "readyok\nreadyok\n") << "line ends read as LF on every system";
    EXPECT_FALSE(child.OutputEnded());
    child.CloseInput();  // the end of input ends the engine
    while (child.Read(output, deadline)) {
    }
    EXPECT_TRUE(child.OutputEnded());
    EXPECT_FALSE(child.Read(output, deadline));
    EXPECT_EQ(child.Wait(std::chrono::seconds(20)), 0);
    EXPECT_EQ(child.Errors(), "");
    EXPECT_FALSE(child.Write("isready\n")) << "the pipe to an ended child is closed";
}

// A program that is not there: on Windows it does not start; on POSIX systems the child
// process starts and ends at once with status 127, as a shell reports it. No output either way.
TEST(ChildProcess, MissingProgramGivesNoOutputAndNoSuccess) {
    const std::string missing = std::string(MIRABEL_BINARY) + "-missing";
    const Completed run = RunToEnd(missing, {}, std::chrono::seconds(20));
    EXPECT_EQ(run.output, "");
    ChildProcess child(missing, {});
#ifdef _WIN32
    EXPECT_FALSE(child.Started());
    EXPECT_EQ(run.status, -1);
#else
    EXPECT_TRUE(child.Started());
    EXPECT_EQ(run.status, 127);
#endif
    std::string output;
    EXPECT_FALSE(child.Read(output, Clock::now() + std::chrono::seconds(20)));
    EXPECT_EQ(output, "");
}

}  // namespace
}  // namespace mirabel::test
