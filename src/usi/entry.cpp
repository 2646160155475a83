// The USI engine's entry: it reads its input on a thread of its own and handles commands on the
// main thread.
#include <cstdio>

#include "platform/platform.h"
#include "usi/usi.h"

namespace mirabel {

namespace {

// Never destroyed: the reader thread may still be blocked in a read when the process ends.
CommandQueue& InputQueue() {
    static auto* queue = new CommandQueue;
    return *queue;
}

void ReaderThread() {
    ReadInput(InputQueue());
}

// Takes commands until "quit" or the end of input, answering every command received first.
[[noreturn]] void RunUsiEngine() {
    UsiEngine engine(WriteStdoutLine, &InputQueue());
    for (;;) {
        const InputEvent event = InputQueue().Pop();
        if (event.kind == InputEvent::EndOfInput) break;
        if (event.kind == InputEvent::OverlongLine) {
            engine.RefuseOverlongLine();
        } else if (!engine.Handle(event.text)) {
            break;
        }
    }
    EndProcess(0);
}

}  // namespace

int UsiEngineMain() {
    PrepareStandardStreams();
    if (!StartThread(ReaderThread)) {
        std::fputs("Failed to begin thread\n", stderr);
        return 1;
    }
    RunUsiEngine();
}

}  // namespace mirabel
