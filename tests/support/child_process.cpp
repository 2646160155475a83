// The parts of the test child process that need no operating-system calls.
#include "support/child_process.h"

#include <sstream>

namespace mirabel::test {

Completed RunToEnd(const std::string& program, const std::vector<std::string>& arguments,
                   Clock::duration patience) {
    Completed result;
    ChildProcess child(program, arguments);
    if (!child.Started()) return result;
    child.CloseInput();
    const auto deadline = Clock::now() + patience;
    while (child.Read(result.output, deadline)) {
    }
    result.status = child.Wait(deadline - Clock::now());
    result.errors = child.Errors();
    return result;
}

std::vector<std::string> Words(const std::string& text) {
    std::istringstream in(text);
    std::vector<std::string> words;
    for (std::string word; in >> word;) words.push_back(word);
    return words;
}

}  // namespace mirabel::test
