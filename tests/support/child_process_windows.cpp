// Windows implementation of the test child process: CreateProcess with anonymous pipes for
// standard input, output and error. A thread per output pipe collects what the child writes,
// so a read can wait with a deadline, and a child never blocks on a full pipe while the test
// is busy writing to it.
#include <windows.h>

#include <algorithm>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "support/child_process.h"

namespace mirabel::test {

namespace {

std::wstring Wide(const std::string& text) {
    if (text.empty()) return {};
    const int size = static_cast<int>(text.size());
    const int length = MultiByteToWideChar(CP_UTF8, 0, text.data(), size, nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(length), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), size, wide.data(), length);
    return wide;
}

// The program's path as Windows sees it. A cross-build hands the tests POSIX paths of the build
// folder; under Wine, its kernel32 turns them into the DOS path of the drive that maps them
// (Z: for "/" by default). On Windows itself the path is taken as it is.
std::wstring ProgramPath(const std::string& program) {
    if (!program.empty() && program.front() == '/') {
        using ToDosName = WCHAR*(CDECL*)(const char*);
        const HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
        // Through void(*)(): the one function type a cast between function types may go via.
        const auto convert = reinterpret_cast<ToDosName>(
            reinterpret_cast<void (*)()>(GetProcAddress(kernel, "wine_get_dos_file_name")));
        if (WCHAR* dos = convert != nullptr ? convert(program.c_str()) : nullptr) {
            std::wstring path(dos);
            HeapFree(GetProcessHeap(), 0, dos);
            return path;
        }
    }
    return Wide(program);
}

// Appends `word` to a command line so that the child's C runtime splits it back unchanged:
// quoted when it holds blanks or quotes, with backslashes doubled only before a quote.
void AppendWord(std::wstring& line, const std::wstring& word) {
    if (!line.empty()) line += L' ';
    if (!word.empty() && word.find_first_of(L" \t\n\v\"") == std::wstring::npos) {
        line += word;
        return;
    }
    line += L'"';
    for (auto at = word.begin();; ++at) {
        std::size_t backslashes = 0;
        for (; at != word.end() && *at == L'\\'; ++at) ++backslashes;
        if (at == word.end()) {
            line.append(backslashes * 2, L'\\');
            break;
        }
        line.append(*at == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
        line += *at;
    }
    line += L'"';
}

// One pipe end from which the child's output is collected as text, the way the console's C
// runtime reads text: the CR LF line ends the child's runtime writes arrive as LF, so that tests
// compare the same text as on POSIX systems.
class Collector {
  public:
    Collector() = default;
    Collector(const Collector&) = delete;
    Collector& operator=(const Collector&) = delete;
    ~Collector() { Finish(); }

    void Start(HANDLE pipe) {
        pipe_ = pipe;
        thread_ = std::thread([this] { Collect(); });
    }

    // Waits until text is there, the pipe ended or `deadline` passed; then takes the text.
    bool Take(std::string& output, Clock::time_point deadline, bool& ended) {
        std::unique_lock<std::mutex> lock(mutex_);
        arrived_.wait_until(lock, deadline, [this] { return !text_.empty() || ended_; });
        ended = text_.empty() && ended_;
        if (text_.empty()) return false;
        output += text_;
        text_.clear();
        return true;
    }

    std::string Copy() {
        const std::lock_guard<std::mutex> lock(mutex_);
        return text_;
    }

    // Waits for the end of the pipe (all of the child's ends of it closed).
    void Finish() {
        if (thread_.joinable()) thread_.join();
        if (pipe_ != nullptr) CloseHandle(pipe_);
        pipe_ = nullptr;
    }

  private:
    void Collect() {
        char buffer[65536];
        DWORD count = 0;
        while (ReadFile(pipe_, buffer, sizeof buffer, &count, nullptr)) {
            const std::lock_guard<std::mutex> lock(mutex_);
            for (DWORD i = 0; i < count; ++i) {
                if (carriage_ && buffer[i] != '\n') text_ += '\r';
                carriage_ = buffer[i] == '\r';
                if (!carriage_) text_ += buffer[i];
            }
            arrived_.notify_all();
        }
        const std::lock_guard<std::mutex> lock(mutex_);
        if (carriage_) text_ += '\r';
        ended_ = true;
        arrived_.notify_all();
    }

    HANDLE pipe_ = nullptr;
    std::thread thread_;
    std::mutex mutex_;
    std::condition_variable arrived_;
    std::string text_;
    bool carriage_ = false;  // a CR held back until the next character shows whether LF follows
    bool ended_ = false;
};

// Children are started one at a time, so that none inherits the pipe ends meant for another
// (which would keep that one's pipes open after it ended).
std::mutex& StartMutex() {
    static std::mutex mutex;
    return mutex;
}

}  // namespace

struct ChildProcess::Impl {
    HANDLE process = nullptr;
    HANDLE input = nullptr;
    Collector output;
    Collector errors;
    bool outputEnded = false;
    bool exited = false;
    int status = -1;
};

ChildProcess::ChildProcess(const std::string& program, const std::vector<std::string>& arguments)
    : impl_(std::make_unique<Impl>()) {
    std::wstring path = ProgramPath(program);
    std::wstring line;
    AppendWord(line, path);
    for (const std::string& argument : arguments) AppendWord(line, Wide(argument));

    const std::lock_guard<std::mutex> lock(StartMutex());
    SECURITY_ATTRIBUTES inherited{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    // [0] the child's end, [1] this process's end.
    HANDLE in[2] = {nullptr, nullptr}, out[2] = {nullptr, nullptr}, err[2] = {nullptr, nullptr};
    const auto closeAll = [&] {
        for (HANDLE handle : {in[0], in[1], out[0], out[1], err[0], err[1]})
            if (handle != nullptr) CloseHandle(handle);
    };
    if (!CreatePipe(&in[0], &in[1], &inherited, 0) ||
        !CreatePipe(&out[1], &out[0], &inherited, 0) ||
        !CreatePipe(&err[1], &err[0], &inherited, 0)) {
        closeAll();
        return;
    }
    for (HANDLE own : {in[1], out[1], err[1]}) SetHandleInformation(own, HANDLE_FLAG_INHERIT, 0);

    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = in[0];
    startup.hStdOutput = out[0];
    startup.hStdError = err[0];
    PROCESS_INFORMATION started{};
    if (!CreateProcessW(path.c_str(), line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                        &startup, &started)) {
        closeAll();
        return;
    }
    CloseHandle(started.hThread);
    for (HANDLE childs : {in[0], out[0], err[0]}) CloseHandle(childs);
    impl_->process = started.hProcess;
    impl_->input = in[1];
    impl_->output.Start(out[1]);
    impl_->errors.Start(err[1]);
}

ChildProcess::~ChildProcess() {
    if (impl_->process != nullptr && !impl_->exited) {
        TerminateProcess(impl_->process, 1);
        WaitForSingleObject(impl_->process, INFINITE);
    }
    CloseInput();
    impl_->output.Finish();
    impl_->errors.Finish();
    if (impl_->process != nullptr) CloseHandle(impl_->process);
}

bool ChildProcess::Started() const {
    return impl_->process != nullptr;
}

bool ChildProcess::Write(const std::string& text) {
    std::size_t done = 0;
    while (impl_->input != nullptr && done < text.size()) {
        const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(text.size() - done, 1 << 20));
        DWORD written = 0;
        if (!WriteFile(impl_->input, text.data() + done, chunk, &written, nullptr) || written == 0)
            return false;
        done += written;
    }
    return done == text.size();
}

void ChildProcess::CloseInput() {
    if (impl_->input != nullptr) CloseHandle(impl_->input);
    impl_->input = nullptr;
}

bool ChildProcess::Read(std::string& output, Clock::time_point deadline) {
    if (impl_->outputEnded || impl_->process == nullptr || Clock::now() >= deadline) return false;
    return impl_->output.Take(output, deadline, impl_->outputEnded);
}

bool ChildProcess::OutputEnded() const {
    return impl_->outputEnded;
}

int ChildProcess::Wait(Clock::duration patience) {
    if (impl_->exited) return impl_->status;
    if (impl_->process == nullptr) return -1;
    const auto milliseconds = std::chrono::duration_cast<std::chrono::milliseconds>(patience);
    const DWORD timeout = static_cast<DWORD>(
        std::clamp<long long>(milliseconds.count(), 0, static_cast<long long>(INFINITE) - 1));
    DWORD code = 0;
    if (WaitForSingleObject(impl_->process, timeout) != WAIT_OBJECT_0 ||
        !GetExitCodeProcess(impl_->process, &code))
        return -1;
    impl_->exited = true;
    // Exit codes as the child passed them; an exception's status (0xC...) comes out negative.
    impl_->status = static_cast<int>(code);
    return impl_->status;
}

std::string ChildProcess::Errors() {
    // Once the child has ended, the pipe's end comes with the last of its text.
    if (impl_->exited) impl_->errors.Finish();
    return impl_->errors.Copy();
}

}  // namespace mirabel::test
