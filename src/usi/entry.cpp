// The USI engine's entry: unbuffered standard streams, the input reader thread, a first game,
// then the command loop.
#include <cstdio>

#include "platform/platform.h"
#include "usi/usi.h"

namespace mirabel {

int UsiEngineMain() {
    // Unbuffered, so every reply reaches the front end as soon as it is printed.
    std::setvbuf(stdin, nullptr, _IONBF, 0);
    std::setvbuf(stdout, nullptr, _IONBF, 0);
    if (!StartThread(InputReader)) {
        std::printf("Failed to begin thread\n");
        return -1;
    }
    NewGame();
    CommandLoop();
}

}  // namespace mirabel
