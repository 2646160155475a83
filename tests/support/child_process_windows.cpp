// Windows half: CreateProcess with anonymous pipes. A thread per output pipe collects what the
// child writes, so that a read can wait with a deadline and a child never blocks on a full pipe
// while the test is busy writing to it.
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

// A cross-build hands the tests POSIX paths; Wine's kernel32 turns them into DOS paths.
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

// Appends `word` so that the child's C runtime splits it back unchanged: quoted when it holds
// blanks or quotes, with backslashes doubled only before a quote.
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

// Collects one pipe's text as the C runtime reads text: CR LF arrives as LF.
class Collector {
  public:
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
        output += text_;
        const bool took = !text_.empty();
        text_.clear();
        return took;
    }

    std::string Copy() {
        const std::lock_guard<std::mutex> lock(mutex_);
        return text_;
    }

    void Finish() {  // waits until every end of the pipe on the child's side is closed
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

// Children start one at a time, so that none inherits pipe ends meant for another (which would
// keep that one's pipes open after it ended).
std::mutex startMutex;

}  // namespace

struct ChildProcess::Impl {
    HANDLE process = nullptr, input = nullptr;
    Collector output, errors;
    bool outputEnded = false, exited = false;
    int status = -1;
};

ChildProcess::ChildProcess(const std::string& program, const std::vector<std::string>& arguments)
    : impl_(std::make_unique<Impl>()) {
    const std::wstring path = ProgramPath(program);
    std::wstring line;
    AppendWord(line, path);
    for (const std::string& argument : arguments) AppendWord(line, Wide(argument));

    const std::lock_guard<std::mutex> lock(startMutex);
    SECURITY_ATTRIBUTES inherited{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    // [0] the child's end, [1] this process's end.
    HANDLE in[2] = {nullptr, nullptr}, out[2] = {nullptr, nullptr}, err[2] = {nullptr, nullptr};
    const auto closeAll = [&] {
        for (HANDLE handle : {in[0], in[1], out[0], out[1], err[0], err[1]})
            if (handle != nullptr) CloseHandle(handle);
    };
    STARTUPINFOW startup{};
    PROCESS_INFORMATION started{};
    if (!CreatePipe(&in[0], &in[1], &inherited, 0) ||
        !CreatePipe(&out[1], &out[0], &inherited, 0) ||
        !CreatePipe(&err[1], &err[0], &inherited, 0)) {
        closeAll();
        return;
    }
    for (HANDLE own : {in[1], out[1], err[1]}) SetHandleInformation(own, HANDLE_FLAG_INHERIT, 0);
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = in[0];
    startup.hStdOutput = out[0];
    startup.hStdError = err[0];
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
    if (impl_->exited || impl_->process == nullptr) return impl_->status;
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(patience).count();
    DWORD code = 0;
    if (WaitForSingleObject(impl_->process, static_cast<DWORD>(std::clamp<long long>(
                                                ms, 0, INFINITE - 1))) != WAIT_OBJECT_0 ||
        !GetExitCodeProcess(impl_->process, &code))
        return -1;
    impl_->exited = true;
    return impl_->status = static_cast<int>(code);  // an exception's 0xC... comes out negative
}

std::string ChildProcess::Errors() {
    if (impl_->exited) impl_->errors.Finish();  // the pipe's end comes with the last text
    return impl_->errors.Copy();
}

}  // namespace mirabel::test
