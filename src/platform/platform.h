// Platform layer: the few operating-system services the engine needs, on the C++ standard
// library, with Windows specifics kept behind _WIN32.
#pragma once

#include <cstdint>

namespace mirabel {

// Starts `body` on a detached thread; false when the thread could not be started.
bool StartThread(void (*body)());

// Mutual exclusion around the command queue.
void LockCommands();
void UnlockCommands();

void SleepMilliseconds(unsigned milliseconds);

// Standard input read as bytes, as on POSIX systems: on Windows its text mode would end the
// input at a Ctrl-Z byte and drop carriage returns (the command reader drops a CR before the
// line feed itself).
void SetBinaryInput();

// Millisecond tick of a monotonic clock, wrapping in 32 bits; cheap enough for every node.
std::uint32_t TickCount();

// Console text attributes of the board display.
enum class TextAttribute { Normal, Highlight };
void SetTextAttribute(TextAttribute attribute);
// Gives the terminal back its own colours at the end of the console game (on Windows the
// console's attributes from before the game).
void RestoreTextAttributes();
// Whether attributes reach the console: by default only when standard output is a terminal
// (on Windows: a console, not a pipe, a file or the NUL device).
void ForceTextAttributes(bool enabled);

// Ends the process at once with `status`, after flushing standard output, without running
// static destructors that another thread might still be using.
[[noreturn]] void EndProcess(int status);

}  // namespace mirabel
