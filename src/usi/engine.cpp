// The USI engine's command handling. A command is the first word of a line, matched exactly;
// every line that is refused gets one "info string" reply that says what was refused and why.
#include <cstdio>

#include "search/search.h"
#include "usi/usi.h"

namespace mirabel {

namespace {

std::mutex& OutputMutex() {
    // Never destroyed: the process may end while another thread still writes.
    static auto* mutex = new std::mutex;
    return *mutex;
}

}  // namespace

void WriteStdoutLine(std::string_view line) {
    const std::lock_guard<std::mutex> lock(OutputMutex());
    std::fwrite(line.data(), 1, line.size(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

const Position& UsiEngine::GamePositionNow() const {
    return position_;
}

int UsiEngine::SideToMove() const {
    return side_;
}

void UsiEngine::Refuse(const std::string& what) {
    // Reasons may quote the input, whatever bytes it held: they leave as printable text.
    write_("info string " + Printable(what, 400));
}

void UsiEngine::RefuseOverlongLine() {
    Refuse("refused an input line longer than " + std::to_string(MaxLineLength) +
           " bytes; none of it was executed");
}

void UsiEngine::HandlePosition(const std::vector<std::string_view>& words) {
    const PositionOutcome outcome = ReadPositionCommand(words);
    if (outcome.accepted) {
        position_ = outcome.position;
        UseKeySet(position_, EngineKeySet);
        side_ = outcome.side;
    }
    if (!outcome.refusal.empty()) Refuse(outcome.refusal);
}

void UsiEngine::HandleSetOption(const std::vector<std::string_view>& words) {
    const int hashMegabytes = options_.hashMegabytes;
    const int threads = options_.threads;
    const std::string refusal = ApplySetOption(words, options_);
    if (!refusal.empty()) Refuse(refusal);
    if (options_.hashMegabytes != hashMegabytes) ApplyHashSize();
    if (options_.threads != threads) ApplyThreadCount(threads);
}

bool UsiEngine::Handle(const std::string& line) {
    const std::vector<std::string_view> words = SplitWords(line);
    if (words.empty()) return true;
    const std::string_view command = words[0];
    if (command == "usi") {
        write_("id name mirabel");
        write_("id author mirabel");
        for (const std::string& option : OptionLines()) write_(option);
        write_("usiok");
    } else if (command == "isready") {
        EnsureSearch();  // the table's memory is taken now rather than on the clock
        write_("readyok");
    } else if (command == "setoption") {
        HandleSetOption(words);
    } else if (command == "usinewgame") {
        StartNewGame();
    } else if (command == "position") {
        HandlePosition(words);
    } else if (command == "go") {
        HandleGo(words);
    } else if (command == "stop" || command == "ponderhit" || command == "gameover") {
        // A search hears these while it runs; between searches there is nothing to end.
    } else if (command == "quit") {
        return false;
    } else {
        Refuse("unknown command \"" + Printable(command) + "\"");
    }
    return true;
}

}  // namespace mirabel
