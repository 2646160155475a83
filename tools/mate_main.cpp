// mirabel-mate: runs the tsume solver over a file of problems.
//
//   mirabel-mate [--ms T] [--hash MB] FILE
//   mirabel-mate --split MIN MAX FILE
//   mirabel-mate --sfen FILE
//
// One problem a line: an SFEN, optionally followed by "moves" and a known solution (its length
// is the known mate length; "moves" alone, or nothing, for a position expected to have no mate
// when the line ends in "nomate"). Blank lines and lines starting with '#' are skipped. For each
// problem it prints the number, the answer, its length, the known length and the time; then a
// summary with the median and maximum time. Each problem gets T ms (default 10000); the
// solver's table has MB MiB (default 256) and is kept from one problem to the next.
//
// --split makes problems out of solutions instead: for each line with a solution of L plies
// that replays as a mate, every position 2k plies into it whose rest has MIN to MAX plies is
// written as "<sfen> moves <the rest of the solution>", and so is each position reached by
// another defender's reply at 2k + 1 plies, as "<sfen>" alone (its length is not known).
//
// --sfen reads lines in the form of a "position" command's arguments ("startpos moves ...",
// "sfen ... moves ...") and writes the SFEN of each position reached, to make problems of
// positions from games.
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "mate/mate.h"
#include "usi/usi.h"

namespace mirabel {
namespace {

struct Problem {
    std::string sfen;
    int knownLength = -1;  // -1: none given
    bool expectNoMate = false;
};

bool ParseProblem(const std::string& line, Problem& problem) {
    std::istringstream words(line);
    std::vector<std::string> fields;
    for (std::string word; words >> word;) fields.push_back(word);
    if (fields.size() < 4) return false;
    problem.sfen = fields[0] + " " + fields[1] + " " + fields[2] + " " + fields[3];
    std::size_t i = 4;
    if (i < fields.size() && fields[i] == "moves") {
        problem.knownLength = static_cast<int>(fields.size() - i - 1);
        if (problem.knownLength == 0) problem.knownLength = -1;
    } else if (i < fields.size() && fields[i] == "nomate") {
        problem.expectNoMate = true;
    }
    return true;
}

int Usage() {
    std::fprintf(stderr,
                 "usage: mirabel-mate [--ms T] [--hash MB] FILE\n"
                 "       mirabel-mate --split MIN MAX FILE\n"
                 "       mirabel-mate --sfen FILE\n");
    return 2;
}

// Reads the solution of a problem line; false when a word is not a legal move.
bool ReadSolution(const std::string& line, const Position& start, int side, Move* moves,
                  int& length) {
    std::istringstream words(line);
    std::string word;
    for (int i = 0; i < 5 && words >> word; ++i) {
    }
    if (word != "moves") return false;
    Position position = start;
    length = 0;
    while (words >> word && length < MaxMateLine) {
        Move move = NoMoveRecord;
        if (!ParseUsiMove(word, side, position, move)) return false;
        MakeMove(side, position, move);
        moves[length++] = move;
        side = 1 - side;
    }
    return length > 0;
}

int WriteSfens(const char* path) {
    std::ifstream file(path);
    if (!file) return Usage();
    std::string line;
    while (std::getline(file, line)) {
        const std::string command = "position " + line;
        const PositionOutcome outcome = ReadPositionCommand(SplitWords(command));
        if (outcome.accepted && outcome.refusal.empty())
            std::printf("%s\n", WriteSfen(outcome.position, outcome.side).c_str());
    }
    return 0;
}

int Split(int low, int high, const char* path) {
    std::ifstream file(path);
    if (!file) return Usage();
    std::string line;
    Move solution[MaxMateLine];
    MoveList replies;
    while (std::getline(file, line)) {
        Problem problem;
        Position start{};
        int side = 0, length = 0;
        std::string error;
        if (line.empty() || line[0] == '#' || !ParseProblem(line, problem) ||
            !ReadSfen(problem.sfen, start, side, error) ||
            !ReadSolution(line, start, side, solution, length) ||
            !IsMateLine(start, side, solution, length))
            continue;
        Position position = start;
        for (int ply = 0; ply < length; ply += 2) {
            const int rest = length - ply;
            if (rest >= low && rest <= high) {
                std::string text = WriteSfen(position, side) + " moves";
                for (int i = ply; i < length; ++i)
                    text.append(1, ' ').append(MoveToUsi(solution[i]));
                std::printf("%s\n", text.c_str());
            }
            MakeMove(side, position, solution[ply]);
            if (ply + 1 >= length) break;
            // The defender's other replies: each leaves a mate no longer than the rest.
            if (rest - 2 >= low && rest - 2 <= high + 2) {
                const int count = GenerateLegalMoves(1 - side, position, replies);
                for (int i = 0; i < count; ++i) {
                    if (SameMove(replies[i], solution[ply + 1])) continue;
                    Position other = position;
                    MakeMove(1 - side, other, replies[i]);
                    std::printf("%s\n", WriteSfen(other, side).c_str());
                }
            }
            MakeMove(1 - side, position, solution[ply + 1]);
        }
    }
    return 0;
}

int Run(int argc, char** argv) {
    std::uint32_t ms = 10000;
    std::size_t hash = MinMateTableMegabytes;
    const char* path = nullptr;
    std::int64_t low = 0, high = 0;
    if (argc == 5 && std::string(argv[1]) == "--split" && ReadNumber(argv[2], low) &&
        ReadNumber(argv[3], high))
        return Split(static_cast<int>(low), static_cast<int>(high), argv[4]);
    if (argc == 3 && std::string(argv[1]) == "--sfen") return WriteSfens(argv[2]);
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        std::int64_t value = 0;
        if ((arg == "--ms" || arg == "--hash") && i + 1 < argc && ReadNumber(argv[i + 1], value) &&
            value > 0 && value <= 100000000) {
            if (arg == "--ms")
                ms = static_cast<std::uint32_t>(value);
            else
                hash = static_cast<std::size_t>(value);
            ++i;
        } else if (path == nullptr && arg.rfind("--", 0) != 0) {
            path = argv[i];
        } else {
            return Usage();
        }
    }
    if (path == nullptr) return Usage();
    std::ifstream file(path);
    if (!file) {
        std::fprintf(stderr, "mirabel-mate: cannot read %s\n", path);
        return 2;
    }
    MateTable table(hash);
    MateSolver solver(table);
    std::vector<double> times;
    int count = 0, solved = 0, equal = 0, withKnown = 0, nomate = 0, timeout = 0, wrong = 0;
    std::string line;
    for (int number = 1; std::getline(file, line); ++number) {
        if (line.empty() || line[0] == '#') continue;
        Problem problem;
        Position position{};
        int side = 0;
        std::string error;
        if (!ParseProblem(line, problem) || !ReadSfen(problem.sfen, position, side, error)) {
            std::printf("line %d: refused: %s\n", number, error.c_str());
            ++wrong;
            continue;
        }
        ++count;
        const auto begin = std::chrono::steady_clock::now();
        const MateAnswer answer = solver.Solve(position, side, MateLimits{ms, 0, nullptr});
        const double elapsed =
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - begin)
                .count();
        times.push_back(elapsed);
        std::string text;
        if (answer.result == MateResult::Mate) {
            for (int i = 0; i < answer.length; ++i)
                text.append(1, ' ').append(MoveToUsi(answer.line[i]));
            if (!IsMateLine(position, side, answer.line, answer.length)) {
                text += " (NOT A MATE)";
                ++wrong;
            } else {
                ++solved;
            }
        } else {
            text = answer.result == MateResult::NoMate ? " nomate" : " timeout";
            if (answer.result == MateResult::NoMate)
                ++nomate;
            else
                ++timeout;
        }
        if (problem.knownLength > 0) {
            ++withKnown;
            if (answer.result == MateResult::Mate && answer.length == problem.knownLength) ++equal;
        }
        if (problem.expectNoMate && answer.result == MateResult::NoMate)
            ++equal, ++withKnown;
        else if (problem.expectNoMate)
            ++withKnown;
        std::printf("%d length %d known %d time %.1f ms nodes %llu:%s\n", number,
                    answer.result == MateResult::Mate ? answer.length : 0, problem.knownLength,
                    elapsed, static_cast<unsigned long long>(answer.nodes), text.c_str());
        std::fflush(stdout);
    }
    std::sort(times.begin(), times.end());
    const double median = times.empty() ? 0 : times[times.size() / 2];
    const double longest = times.empty() ? 0 : times.back();
    std::printf(
        "problems %d solved %d as-known %d/%d nomate %d timeout %d wrong %d median %.1f ms max "
        "%.1f ms\n",
        count, solved, equal, withKnown, nomate, timeout, wrong, median, longest);
    return wrong == 0 ? 0 : 1;
}

}  // namespace
}  // namespace mirabel

int main(int argc, char** argv) {
    return mirabel::Run(argc, argv);
}
