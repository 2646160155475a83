// libFuzzer target: whole input streams through the line splitter and the USI command layer,
// searches capped at one ply (there is no input thread: "stop" and "ponderhit" are plain
// commands here, and an analysis answers as soon as its last iteration ends). Every "bestmove"
// must be legal in the position it answers, or "resign" when that position has no legal move;
// every reply must be one printable line.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "movegen/movegen.h"
#include "usi/usi.h"

namespace {

void Require(bool condition) {
    if (!condition) __builtin_trap();
}

struct Answered {
    mirabel::Position position;
    int side;
};

void CheckBestMove(std::string_view line, const Answered& asked) {
    using namespace mirabel;
    const std::string_view move = line.substr(9);
    if (move == "resign") {
        Require(!HasLegalMove(asked.side, asked.position));
        return;
    }
    Move read{};
    Require(ParseUsiMove(move.substr(0, move.find(' ')), asked.side, asked.position, read));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace mirabel;
    Answered asked{};
    std::vector<std::string> replies;
    UsiEngine engine([&](std::string_view line) {
        for (const char c : line) Require(c >= 0x20 && c < 0x7F);
        if (line.substr(0, 9) == "bestmove ") CheckBestMove(line, asked);
        replies.emplace_back(line);
    });
    engine.CapSearchDepth(1);
    engine.Handle("setoption name USI_Hash value 1");  // a small table keeps each run fast

    // The first byte sets the size of the pieces the stream arrives in.
    const std::size_t piece = size > 0 ? 1 + data[0] % 64 : 1;
    const char* text = reinterpret_cast<const char*>(data);
    LineSplitter splitter;
    std::vector<InputLine> lines;
    for (std::size_t at = size > 0 ? 1 : 0; at < size; at += piece)
        splitter.Feed(text + at, std::min(piece, size - at), lines);
    splitter.Finish(lines);
    for (const InputLine& line : lines) {
        if (line.overlong) {
            engine.RefuseOverlongLine();
            continue;
        }
        asked = {engine.GamePositionNow(), engine.SideToMove()};
        if (!engine.Handle(line.text)) break;
    }
    return 0;
}
