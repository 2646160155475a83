// Portable implementation of the platform layer.
#include "platform/platform.h"

#include <cerrno>
#include <chrono>
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

namespace {

int AttributesEnabled = -1;  // -1: not decided yet

#ifdef _WIN32
int ConsoleAttributes = -1;  // the console's own attributes before the first change; -1: unknown
#endif

bool AttributesOn() {
    if (AttributesEnabled < 0) {
#ifdef _WIN32
        // A console, as GetConsoleMode tells: _isatty also holds for the NUL device.
        const HANDLE console = GetStdHandle(STD_OUTPUT_HANDLE);
        DWORD mode = 0;
        CONSOLE_SCREEN_BUFFER_INFO info{};
        AttributesEnabled = GetConsoleMode(console, &mode) ? 1 : 0;
        if (AttributesEnabled == 1 && GetConsoleScreenBufferInfo(console, &info))
            ConsoleAttributes = info.wAttributes;
#else
        AttributesEnabled = isatty(fileno(stdout)) ? 1 : 0;
#endif
    }
    return AttributesEnabled == 1;
}

}  // namespace

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
    static char outputBuffer[1 << 16];
    std::setvbuf(stdout, outputBuffer, _IOFBF, sizeof outputBuffer);
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

void SleepMilliseconds(unsigned milliseconds) {
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
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

void ForceTextAttributes(bool enabled) {
    AttributesEnabled = enabled ? 1 : 0;
}

void SetTextAttribute(TextAttribute attribute) {
    if (!AttributesOn()) return;
#ifdef _WIN32
    std::fflush(stdout);
    SetConsoleTextAttribute(GetStdHandle(STD_OUTPUT_HANDLE),
                            attribute == TextAttribute::Normal ? 0x0F : 0x90);
#else
    // Bright white on black, or black on bright blue.
    std::fputs(attribute == TextAttribute::Normal ? "\x1b[0;97;40m" : "\x1b[0;30;104m", stdout);
#endif
}

void RestoreTextAttributes() {
    if (!AttributesOn()) return;
#ifdef _WIN32
    // Text written after the game, by the shell too, takes the console's current attributes.
    std::fflush(stdout);
    if (ConsoleAttributes >= 0)
        SetConsoleTextAttribute(GetStdHandle(STD_OUTPUT_HANDLE),
                                static_cast<WORD>(ConsoleAttributes));
#else
    std::fputs("\x1b[0m", stdout);
#endif
}

void EndProcess(int status) {
    std::fflush(stdout);
    std::_Exit(status);
}

}  // namespace mirabel
