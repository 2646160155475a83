// The engine executable: USI engine by default, console self-play with a first argument that
// begins with "CUI".
#include <cstring>

#include "console/console.h"
#include "usi/usi.h"

int main(int argc, char** argv) {
    if (argc >= 2 && std::strncmp(argv[1], "CUI", 3) == 0) {
        mirabel::ConsoleGame();
        return 0;
    }
    return mirabel::UsiEngineMain();
}
