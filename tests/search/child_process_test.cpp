// The harness's child process itself: each argument arrives unchanged (on Windows they travel
// as one command line that the child's runtime splits again), and input, output, exit status
// and standard error round-trip.
#include "support/child_process.h"

#include <gtest/gtest.h>

namespace mirabel::test {
namespace {

TEST(ChildProcess, ArgumentsArriveUnchangedWithStatusAndErrors) {
    // Blanks, quotes, backslashes before a quote and at the end (alone and in a quoted
    // argument), an empty argument, a text Windows' shell would expand.
    for (const std::string word : {"4 5", "\"5\"", "a\\\"b", "a \\\"b", "dir\\", "dir \\",
                                   "dir \\\\", "tab\there", "", "x\\y\\\\z", "%PATH%"}) {
        const Completed run = RunToEnd(MIRABEL_BENCH_BINARY, {word});
        EXPECT_TRUE(run.status != 0 && run.output.empty()) << word;
        EXPECT_EQ(run.errors.substr(0, run.errors.find('\n') + 1),
                  "mirabel-bench: bad depth \"" + word + "\"\n");
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
    child.CloseInput();
    while (child.Read(output, deadline)) {
    }
    EXPECT_TRUE(child.OutputEnded() && !child.Read(output, deadline));
    EXPECT_EQ(child.Wait(std::chrono::seconds(20)), 0);
    EXPECT_EQ(child.Errors(), "");
    EXPECT_FALSE(child.Write("isready\n")) << "the pipe to an ended child is closed";
}

// On Windows a missing program does not start; on POSIX systems the child ends at once with
// status 127, as a shell reports it. No output either way.
TEST(ChildProcess, MissingProgramGivesNoOutputAndNoSuccess) {
    const std::string missing = std::string(MIRABEL_BINARY) + "-missing";
    const Completed run = RunToEnd(missing, {}, std::chrono::seconds(20));
    EXPECT_EQ(run.output, "");
#ifdef _WIN32
    EXPECT_EQ(run.status, -1);
#else
    EXPECT_EQ(run.status, 127);
#endif
}

}  // namespace
}  // namespace mirabel::test
