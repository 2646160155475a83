// POSIX half: fork and exec, pipes for standard input and output, a temporary file for
// standard error.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <thread>

#include "support/child_process.h"

namespace mirabel::test {

struct ChildProcess::Impl {
    pid_t pid = -1;
    int input = -1, output = -1, status = -1;
    bool ended = false;
    std::FILE* errors = std::tmpfile();
};

ChildProcess::ChildProcess(const std::string& program, const std::vector<std::string>& arguments)
    : impl_(std::make_unique<Impl>()) {
    signal(SIGPIPE, SIG_IGN);  // a child that ends early must not end the test with it
    int in[2], out[2];
    if (impl_->errors == nullptr || pipe(in) != 0) return;
    if (pipe(out) != 0) {
        close(in[0]), close(in[1]);
        return;
    }
    std::vector<char*> argv{const_cast<char*>(program.c_str())};
    for (const std::string& argument : arguments)
        argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    impl_->pid = fork();
    if (impl_->pid == 0) {
        dup2(in[0], 0), dup2(out[1], 1), dup2(fileno(impl_->errors), 2);
        close(in[0]), close(in[1]), close(out[0]), close(out[1]);
        execv(program.c_str(), argv.data());
        _exit(127);
    }
    close(in[0]), close(out[1]);
    if (impl_->pid < 0) {
        close(in[1]), close(out[0]);
        return;
    }
    impl_->input = in[1];
    impl_->output = out[0];
}

ChildProcess::~ChildProcess() {
    if (impl_->pid > 0 && impl_->status < 0) {
        kill(impl_->pid, SIGKILL);
        waitpid(impl_->pid, nullptr, 0);
    }
    CloseInput();
    if (impl_->output >= 0) close(impl_->output);
    if (impl_->errors != nullptr) std::fclose(impl_->errors);
}

bool ChildProcess::Started() const {
    return impl_->pid > 0;
}

bool ChildProcess::Write(const std::string& text) {
    std::size_t done = 0;
    while (impl_->input >= 0 && done < text.size()) {
        const ssize_t n = write(impl_->input, text.data() + done, text.size() - done);
        if (n <= 0) return false;
        done += static_cast<std::size_t>(n);
    }
    return done == text.size();
}

void ChildProcess::CloseInput() {
    if (impl_->input >= 0) close(impl_->input);
    impl_->input = -1;
}

bool ChildProcess::Read(std::string& output, Clock::time_point deadline) {
    if (impl_->ended || impl_->output < 0) return false;
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    if (left.count() <= 0) return false;
    pollfd fd{impl_->output, POLLIN, 0};
    if (poll(&fd, 1, static_cast<int>(left.count())) <= 0) return Clock::now() < deadline;
    char buffer[65536];
    const ssize_t n = read(impl_->output, buffer, sizeof buffer);
    if (n <= 0) return impl_->ended = true, false;
    output.append(buffer, static_cast<std::size_t>(n));
    return true;
}

bool ChildProcess::OutputEnded() const {
    return impl_->ended;
}

int ChildProcess::Wait(Clock::duration patience) {
    if (impl_->status >= 0 || impl_->pid <= 0) return impl_->status;
    for (const auto deadline = Clock::now() + patience;;
         std::this_thread::sleep_for(std::chrono::milliseconds(2))) {
        int status = 0;
        if (waitpid(impl_->pid, &status, WNOHANG) == impl_->pid)
            return impl_->status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        if (Clock::now() >= deadline) return -1;
    }
}

std::string ChildProcess::Errors() {
    std::string text;
    if (impl_->errors == nullptr) return text;
    std::fflush(impl_->errors);
    std::rewind(impl_->errors);
    char buffer[4096];
    for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, impl_->errors)) > 0;)
        text.append(buffer, n);
    std::fseek(impl_->errors, 0, SEEK_END);
    return text;
}

}  // namespace mirabel::test
