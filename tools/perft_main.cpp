// mirabel-perft: counts move sequences to a fixed depth, split by root move.
//
//   mirabel-perft [--rules] DEPTH [SFEN]
//
// The default mode walks the tree the search walks: evasions when in check, else every
// generated move, each kept only if it passes the search's legality test. --rules counts the
// moves legal under the full rules of shogi instead. The start position is used when no SFEN
// is given; the SFEN's words may come as separate arguments or as one.
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "movegen/movegen.h"
#include "position/position.h"
#include "usi/usi.h"

namespace mirabel {
namespace {

constexpr int MaxPerftDepth = 30;

// One list per ply, reused: the walk allocates nothing.
MoveList PlyMoves[MaxPerftDepth + 1];

std::uint64_t CountWalked(int side, Position& position, int depth, int ply) {
    Move* moves = PlyMoves[ply];
    const bool inCheck = InCheckNow(side, position);
    const int count = GenerateSearchMoves(side, position, moves);
    const Position saved = position;
    std::uint64_t total = 0;
    for (int i = 0; i < count; ++i) {
        MakeMove(side, position, moves[i]);
        if (!LeavesKingAttacked(side, position, moves[i], inCheck))
            total += depth == 1 ? 1 : CountWalked(1 - side, position, depth - 1, ply + 1);
        position = saved;
    }
    return total;
}

std::uint64_t CountLegal(int side, Position& position, int depth, int ply) {
    Move* moves = PlyMoves[ply];
    const int count = GenerateLegalMoves(side, position, moves);
    if (depth == 1) return static_cast<std::uint64_t>(count);
    const Position saved = position;
    std::uint64_t total = 0;
    for (int i = 0; i < count; ++i) {
        MakeMove(side, position, moves[i]);
        total += CountLegal(1 - side, position, depth - 1, ply + 1);
        position = saved;
    }
    return total;
}

// Root of either mode: one line per root move that the mode counts, then the total.
std::uint64_t Divide(int side, Position& position, int depth, bool rules) {
    Move* moves = PlyMoves[0];
    const bool inCheck = InCheckNow(side, position);
    const int count = rules ? GenerateLegalMoves(side, position, moves)
                            : GenerateSearchMoves(side, position, moves);
    const Position saved = position;
    std::uint64_t total = 0;
    for (int i = 0; i < count; ++i) {
        MakeMove(side, position, moves[i]);
        if (rules || !LeavesKingAttacked(side, position, moves[i], inCheck)) {
            std::uint64_t n = 1;
            if (depth > 1)
                n = rules ? CountLegal(1 - side, position, depth - 1, 1)
                          : CountWalked(1 - side, position, depth - 1, 1);
            std::printf("%s: %llu\n", MoveToUsi(moves[i]).c_str(),
                        static_cast<unsigned long long>(n));
            total += n;
        }
        position = saved;
    }
    std::printf("total %llu\n", static_cast<unsigned long long>(total));
    return total;
}

int Fail(const std::string& message) {
    std::fprintf(stderr, "mirabel-perft: %s\nusage: mirabel-perft [--rules] DEPTH [SFEN]\n",
                 message.c_str());
    return 2;
}

bool ParseDepth(const std::string& text, int& depth) {
    if (text.empty() || text.size() > 2 ||
        text.find_first_not_of("0123456789") != std::string::npos)
        return false;
    depth = std::stoi(text);
    return depth >= 1 && depth <= MaxPerftDepth;
}

int Run(int argc, char** argv) {
    int arg = 1;
    const bool rules = arg < argc && std::string(argv[arg]) == "--rules";
    if (rules) ++arg;
    if (arg >= argc) return Fail("missing DEPTH");
    int depth = 0;
    if (!ParseDepth(argv[arg], depth))
        return Fail(std::string("DEPTH must be a whole number from 1 to ") +
                    std::to_string(MaxPerftDepth) + ", not \"" + argv[arg] + "\"");
    ++arg;
    std::string sfen;
    for (; arg < argc; ++arg) {
        if (!sfen.empty()) sfen += ' ';
        sfen += argv[arg];
    }
    if (sfen.empty()) sfen = StartSfen;

    Position position{};
    int side = 0;
    std::string error;
    if (!ReadSfen(sfen, position, side, error)) return Fail("bad SFEN \"" + sfen + "\": " + error);

    const auto start = std::chrono::steady_clock::now();
    const std::uint64_t total = Divide(side, position, depth, rules);
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::fflush(stdout);
    std::fprintf(stderr, "time %.3f s, %.0f moves/s\n", seconds,
                 seconds > 0 ? static_cast<double>(total) / seconds : 0.0);
    return 0;
}

}  // namespace
}  // namespace mirabel

int main(int argc, char** argv) {
    return mirabel::Run(argc, argv);
}
