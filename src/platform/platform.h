// Platform layer: the few operating-system services the engine needs, on the C++ standard
// library, with Windows specifics kept behind _WIN32.
#pragma once

#include <cstddef>
#include <cstdint>

namespace mirabel {

// Starts `body` on a detached thread; false when the thread could not be started.
bool StartThread(void (*body)());

// Standard input read as bytes, as on POSIX systems (on Windows its text mode would end the
// input at a Ctrl-Z byte; the engine handles line ends itself), and standard output with a
// buffer of its own (the engine flushes it after every line).
void PrepareStandardStreams();
// Reads what standard input has, up to `size` bytes, waiting until something arrives; the byte
// count, or 0 at the end of input (or on a read error).
long ReadStandardInput(char* buffer, std::size_t size);

// Millisecond tick of a monotonic clock, wrapping in 32 bits; cheap enough for every node.
std::uint32_t TickCount();

// Console text attributes of the board display, written to standard output.
enum class TextAttribute { Normal, Highlight };
class ConsoleText {
  public:
    // Attributes reach the console only when standard output is a terminal (on Windows: a
    // console, not a pipe, a file or the NUL device).
    ConsoleText();
    // Attributes written, or not, whatever standard output is.
    explicit ConsoleText(bool enabled) : enabled_(enabled) {}
    void Set(TextAttribute attribute) const;
    // Gives the terminal back its own colours at the end of the console game (on Windows the
    // console's attributes from before the game).
    void Restore() const;

  private:
    bool enabled_ = false;
#ifdef _WIN32
    int consoleAttributes_ = -1;  // the console's own attributes; -1: unknown
#endif
};

// Ends the process at once with `status`, after flushing standard output, without running
// static destructors that another thread might still be using.
[[noreturn]] void EndProcess(int status);

}  // namespace mirabel
