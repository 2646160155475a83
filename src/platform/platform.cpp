// Portable implementation of the platform layer.
#include "platform/platform.h"

#include <cerrno>
#include <chrono>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <system_error>
#include <thread>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <windows.h>
#else
#include <time.h>
#include <unistd.h>
#endif

namespace mirabel {

bool StartThread(void (*body)()) {
    try {
        std::thread(body).detach();
        return true;
    } catch (const std::system_error&) {
        return false;
    }
}

void PrepareStandardStreams() {
#ifdef _WIN32
    _setmode(_fileno(stdin), _O_BINARY);
#endif
    std::setvbuf(stdout, nullptr, _IOFBF, std::size_t{1} << 16);
}

long ReadStandardInput(char* buffer, std::size_t size) {
    for (;;) {
#ifdef _WIN32
        const int count = _read(0, buffer, static_cast<unsigned>(size));
#else
        const ssize_t count = read(0, buffer, size);
#endif
        if (count >= 0) return static_cast<long>(count);
        if (errno != EINTR) return 0;
    }
}

std::uint32_t TickCount() {
#ifdef _WIN32
    return static_cast<std::uint32_t>(GetTickCount());
#elif defined(CLOCK_MONOTONIC_COARSE)
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC_COARSE, &now);
    return static_cast<std::uint32_t>(static_cast<std::uint64_t>(now.tv_sec) * 1000u +
                                      static_cast<std::uint64_t>(now.tv_nsec) / 1000000u);
#else
    const auto since = std::chrono::steady_clock::now().time_since_epoch();
    return static_cast<std::uint32_t>(
        std::chrono::duration_cast<std::chrono::milliseconds>(since).count());
#endif
}

ConsoleText::ConsoleText() {
#ifdef _WIN32
    // A console, as GetConsoleMode tells: _isatty also holds for the NUL device.
    const HANDLE console = GetStdHandle(STD_OUTPUT_HANDLE);
    DWORD mode = 0;
    CONSOLE_SCREEN_BUFFER_INFO info{};
    enabled_ = GetConsoleMode(console, &mode) != 0;
    if (enabled_ && GetConsoleScreenBufferInfo(console, &info))
        consoleAttributes_ = info.wAttributes;
#else
    enabled_ = isatty(fileno(stdout)) != 0;
#endif
}

void ConsoleText::Set(TextAttribute attribute) const {
    if (!enabled_) return;
#ifdef _WIN32
    std::fflush(stdout);
    SetConsoleTextAttribute(GetStdHandle(STD_OUTPUT_HANDLE),
                            attribute == TextAttribute::Normal ? 0x0F : 0x90);
#else
    // Bright white on black, or black on bright blue.
    std::fputs(attribute == TextAttribute::Normal ? "\x1b[0;97;40m" : "\x1b[0;30;104m", stdout);
#endif
}

void ConsoleText::Restore() const {
    if (!enabled_) return;
#ifdef _WIN32
    // Text written after the game, by the shell too, takes the console's current attributes.
    std::fflush(stdout);
    if (consoleAttributes_ >= 0)
        SetConsoleTextAttribute(GetStdHandle(STD_OUTPUT_HANDLE),
                                static_cast<WORD>(consoleAttributes_));
#else
    std::fputs("\x1b[0m", stdout);
#endif
}

void EndProcess(int status) {
    std::fflush(stdout);
    std::_Exit(status);
}

}  // namespace mirabel
