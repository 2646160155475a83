#include "support/child_process.h"

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

}  // namespace mirabel::test
