// The input reader thread and the command queue it fills for the main thread. The reader also
// ends the process: on "quit", or when standard input ends, once the queue has drained.
#include <atomic>
#include <cstdio>
#include <cstring>
#include <deque>
#include <string>

#include "platform/platform.h"
#include "usi/usi.h"

namespace mirabel {

namespace {

constexpr int InputBufferSize = 10000;
constexpr unsigned PopPollMilliseconds = 100;
constexpr unsigned DrainPollMilliseconds = 200;

// Never destroyed: the process ends with the reader thread possibly still holding it.
std::deque<std::string>& CommandQueue() {
    static auto* queue = new std::deque<std::string>;
    return *queue;
}

// Lines in the queue; read without the lock by both waiting loops.
std::atomic<std::size_t> QueuedCount{0};

void QueueCommand(const char* line) {
    LockCommands();
    CommandQueue().emplace_back(line);
    QueuedCount.fetch_add(1);
    UnlockCommands();
}

// Lets the main thread take every queued line, then ends the process.
[[noreturn]] void QuitWhenDrained() {
    while (QueuedCount.load() != 0) SleepMilliseconds(DrainPollMilliseconds);
    EndProcess(0);
}

}  // namespace

void InputReader() {
    static char buffer[InputBufferSize];
    bool inLongLine = false;  // the last read filled the buffer without reaching a line feed
    // End of input ends the engine like "quit": nothing more can arrive.
    while (std::fgets(buffer, InputBufferSize, stdin) != nullptr) {
        // Only a line end is removed: a piece of an over-long line keeps all its characters.
        // A carriage return before the line feed goes too, for front ends that send CRLF.
        const std::size_t length = std::strlen(buffer);
        const bool wholeLine = length > 0 && buffer[length - 1] == '\n';
        if (wholeLine) buffer[length - 1] = '\0';
        if (wholeLine && length > 1 && buffer[length - 2] == '\r') buffer[length - 2] = '\0';
        // The line feed that ends an over-long line is not an empty line of its own.
        const bool onlyTheEnd = inLongLine && length == 1 && wholeLine;
        inLongLine = length == InputBufferSize - 1 && !wholeLine;
        if (onlyTheEnd) continue;
        if (std::strncmp(buffer, "quit", 4) == 0) break;
        QueueCommand(buffer);
    }
    QuitWhenDrained();
}

std::string PopCommand() {
    while (QueuedCount.load() == 0) SleepMilliseconds(PopPollMilliseconds);
    LockCommands();
    std::string line = std::move(CommandQueue().front());
    CommandQueue().pop_front();
    QueuedCount.fetch_sub(1);
    UnlockCommands();
    return line;
}

}  // namespace mirabel
