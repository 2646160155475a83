// The main thread's command loop: a handshake phase that answers "usi" and "isready" until
// "usinewgame", and a game phase that sets positions and searches until "gameover".
#include <cstdio>
#include <cstring>
#include <string>

#include "usi/usi.h"

namespace mirabel {

bool LinePrefixMatch(const std::string& line, const char* keyword) {
    return line.size() <= std::strlen(keyword) &&
           line.compare(0, line.size(), keyword, line.size()) == 0;
}

bool KeywordPrefixMatch(const std::string& line, const char* keyword) {
    const std::size_t length = std::strlen(keyword);
    return line.size() >= length && line.compare(0, length, keyword) == 0;
}

namespace {

enum class Phase { Handshake, Game };

Phase HandshakeCommand(const std::string& line) {
    if (LinePrefixMatch(line, "usi")) {
        std::printf("id name mirabel\n");
        std::printf("id author mirabel\n");
        std::printf("usiok\n");
    } else if (LinePrefixMatch(line, "isready")) {
        std::printf("readyok\n");
    } else if (KeywordPrefixMatch(line, "setoption")) {
        // No options exist; every setting is accepted and ignored.
    } else if (LinePrefixMatch(line, "usinewgame")) {
        NewGame();
        return Phase::Game;
    }
    return Phase::Handshake;
}

Phase GameCommand(const std::string& line) {
    if (KeywordPrefixMatch(line, "position")) {
        ParsePositionCommand(line.c_str(), static_cast<int>(line.size()));
    } else if (KeywordPrefixMatch(line, "go")) {
        if (KeywordPrefixMatch(line, "go mate")) {
            // There is no mate search; saying so keeps the front end from waiting for ever.
            std::printf("checkmate notimplemented\n");
        } else if (!KeywordPrefixMatch(line, "go ponder")) {
            const char* move = GoCommand();
            std::printf("bestmove %s\n", move);
        }
    } else if (KeywordPrefixMatch(line, "gameover")) {
        return Phase::Handshake;
    }
    // "stop", "ponderhit" and everything else: nothing to do, a search is never running here.
    return Phase::Game;
}

}  // namespace

void CommandLoop() {
    Phase phase = Phase::Handshake;
    for (;;) {
        const std::string line = PopCommand();
        phase = phase == Phase::Handshake ? HandshakeCommand(line) : GameCommand(line);
    }
}

}  // namespace mirabel
