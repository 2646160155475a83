// Another program of the project run as a child process, as a front end or a script runs it:
// standard input and output on pipes, standard error collected. On Windows the output is read
// as text (CR LF arrives as LF), so that tests compare the same text on every system.
#pragma once

#include <chrono>
#include <memory>
#include <string>
#include <vector>

namespace mirabel::test {

using Clock = std::chrono::steady_clock;

class ChildProcess {
  public:
    ChildProcess(const std::string& program, const std::vector<std::string>& arguments);
    ~ChildProcess();  // kills the child if it still runs
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    bool Started() const;
    bool Write(const std::string& text);  // false once the pipe is closed
    void CloseInput();
    // Appends the next piece of output that arrives before `deadline`; false once the deadline
    // passed or the output ended.
    bool Read(std::string& output, Clock::time_point deadline);
    bool OutputEnded() const;
    // The exit status, or -1 when the child has not ended within `patience`.
    int Wait(Clock::duration patience);
    std::string Errors();  // complete once the child has ended

    struct Impl;

  private:
    std::unique_ptr<Impl> impl_;
};

struct Completed {
    int status = -1;
    std::string output, errors;
};
// Runs a program with no input to its end.
Completed RunToEnd(const std::string& program, const std::vector<std::string>& arguments,
                   Clock::duration patience = std::chrono::seconds(120));

}  // namespace mirabel::test
