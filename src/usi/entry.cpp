// The engine's entry point: the console game with "CUI", the USI engine otherwise.
#include <cstdio>
#include <cstring>

#include "platform/platform.h"
#include "usi/usi.h"

namespace mirabel {

int EngineMain(int argc, char** argv) {
    if (argc >= 2 && std::strncmp(argv[1], "CUI", 3) == 0) {
        ConsoleGame();
        return 0;
    }
    // Unbuffered, so every reply reaches the front end as soon as it is printed.
    SetBinaryInput();
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
