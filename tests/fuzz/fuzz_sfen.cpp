// libFuzzer target: the SFEN reader on arbitrary text. A refusal must leave its target untouched
// and say why; an accepted position must survive writing and reading back, with a hash key and
// king squares that agree with its board.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "position/position.h"

namespace {

void Require(bool condition) {
    if (!condition) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace mirabel;
    const std::string text(reinterpret_cast<const char*>(data), size);
    Position target;
    std::memset(&target, 0x5A, sizeof target);
    const Position before = target;
    int side = 7, moveNumber = -3;
    std::string error;
    if (!ReadSfen(text, target, side, moveNumber, error)) {
        Require(std::memcmp(&target, &before, sizeof target) == 0 && side == 7 &&
                moveNumber == -3 && !error.empty());
        return 0;
    }
    Require(side == 0 || side == 1);
    // One side may have no king (a tsume position), never both.
    Require(target.kingSquare[0] != NoSquare || target.kingSquare[1] != NoSquare);
    for (int s = 0; s < 2; ++s)
        Require(target.kingSquare[s] == NoSquare ||
                target.board[target.kingSquare[s]] == (s == 0 ? King : -King));
    Position again{};
    int sideAgain = 0, numberAgain = 0;
    const std::string written = WriteSfen(target, side, moveNumber);
    Require(ReadSfen(written, again, sideAgain, numberAgain, error));
    Require(std::memcmp(again.board, target.board, sizeof target.board) == 0 &&
            std::memcmp(again.hand, target.hand, sizeof target.hand) == 0 &&
            std::memcmp(again.kingSquare, target.kingSquare, sizeof target.kingSquare) == 0 &&
            again.hashKey == target.hashKey && sideAgain == side && numberAgain == moveNumber);
    Position recomputed = target;
    ComputeHashKey(recomputed);
    Require(recomputed.hashKey == target.hashKey);
    return 0;
}
