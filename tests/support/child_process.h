// Test support: another program of the project started as a child process, its standard input
// and output on pipes and its standard error collected, as a front end or a script runs it.
// The same interface on POSIX systems and on Windows, where the child's output is read as text:
// its CR LF line ends arrive as LF, so that tests compare the same text on both.
#pragma once

#include <chrono>
#include <memory>
#include <string>
#include <vector>

namespace mirabel::test {

using Clock = std::chrono::steady_clock;

class ChildProcess {
  public:
    // Starts `program` with `arguments`; Started() tells whether it runs.
    ChildProcess(const std::string& program, const std::vector<std::string>& arguments);
    ~ChildProcess();  // kills the child if it still runs
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    bool Started() const;
    // Writes all of `text` to the child's standard input; false when the pipe is closed.
    bool Write(const std::string& text);
    void CloseInput();
    // Appends to `output` what the child writes before `deadline`, returning after the first
    // piece that arrives; false once the deadline passed or the output reached its end.
    bool Read(std::string& output, Clock::time_point deadline);
    bool OutputEnded() const;
    // Waits for the child to end; its exit status, or -1 when it has not ended within
    // `patience` (it is then killed).
    int Wait(Clock::duration patience);
    // Everything the child wrote to standard error so far (complete once it has ended).
    std::string Errors();

    struct Impl;

  private:
    std::unique_ptr<Impl> impl_;
};

// Runs a program to its end with no input; its exit status, standard output and error.
struct Completed {
    int status = -1;
    std::string output;
    std::string errors;
};
Completed RunToEnd(const std::string& program, const std::vector<std::string>& arguments,
                   Clock::duration patience = std::chrono::seconds(120));

// Splits a command-line text into words at blanks (for tests that keep arguments as one text).
std::vector<std::string> Words(const std::string& text);

}  // namespace mirabel::test
