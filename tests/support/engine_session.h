// The built engine driven as a front end drives it, its replies read back line by line with
// generous time-outs (sanitizer builds pass too).
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/child_process.h"

namespace mirabel::test {

class Engine {
  public:
    explicit Engine(const std::vector<std::string>& arguments = {})
        : child_(MIRABEL_BINARY, arguments) {
        EXPECT_TRUE(child_.Started());
    }

    void Send(const std::string& text) { EXPECT_TRUE(child_.Write(text)); }
    void CloseInput() { child_.CloseInput(); }
    bool Pump(Clock::time_point deadline) { return child_.Read(pending, deadline); }

    // The next `count` lines, each with its line feed; "(none)" when one does not come in time.
    std::string Lines(int count = 1, Clock::duration patience = std::chrono::seconds(10)) {
        const auto deadline = Clock::now() + patience;
        std::string text;
        for (; count > 0; --count) {
            std::size_t end;
            while ((end = pending.find('\n')) == std::string::npos)
                if (!Pump(deadline)) return text + "(none)";
            text += pending.substr(0, end + 1);
            pending.erase(0, end + 1);
        }
        return text;
    }

    // Reads the output to its end and expects exit status 0 and an empty standard error (where
    // sanitizer reports land); returns the output not taken before.
    std::string Finish(Clock::duration patience = std::chrono::seconds(10)) {
        const auto deadline = Clock::now() + patience;
        while (Pump(deadline)) {
        }
        EXPECT_TRUE(child_.OutputEnded()) << "the engine did not end";
        EXPECT_EQ(child_.Wait(deadline - Clock::now()), 0);
        EXPECT_EQ(child_.Errors(), "");
        return pending;
    }

    std::string pending;  // output not yet taken as lines

  private:
    ChildProcess child_;
};

}  // namespace mirabel::test
