// The engine executable: USI engine by default, console self-play with "CUI".
#include "usi/usi.h"

int main(int argc, char** argv) {
    return mirabel::EngineMain(argc, argv);
}
