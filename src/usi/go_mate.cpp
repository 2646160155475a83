// "go mate": the tsume solver run on the game position while the front end can still stop it,
// answered with exactly one "checkmate" line (the mate, "nomate" or "timeout"), never with a
// "bestmove".
#include <algorithm>
#include <cstdio>

#include "mate/mate.h"
#include "usi/usi.h"

namespace mirabel {

namespace {

// What a running mate search hears from the front end: "stop" ends it, "isready" is answered,
// "quit" and "gameover" end it and stay queued for the command loop, and so does the end of
// input for a search without a time limit (nobody could stop it any more). Everything else,
// and everything behind another "go", waits for its turn.
class MateSearchControl final : public SearchControl {
  public:
    MateSearchControl(CommandQueue* queue, const LineWriter& write, bool unlimited)
        : queue_(queue), write_(write), unlimited_(unlimited) {}

    bool KeepSearching(std::uint32_t, TimeLimits&) override {
        if (queue_ != nullptr && queue_->Arrivals() != seen_) Listen();
        return !stop_;
    }

  private:
    CommandQueue* queue_;
    const LineWriter& write_;
    bool unlimited_;
    bool stop_ = false;
    std::uint64_t seen_ = 0;

    void Listen() {
        seen_ = queue_->Arrivals();
        bool laterSearch = false;
        queue_->TakeWhere([&](const InputEvent& event) {
            if (event.kind == InputEvent::EndOfInput) {
                if (unlimited_) stop_ = true;
                return false;
            }
            if (event.kind != InputEvent::Line || laterSearch) return false;
            const std::vector<std::string_view> words = SplitWords(event.text);
            if (words.empty()) return false;
            if (words[0] == "go") {
                laterSearch = true;
                return false;
            }
            if (words[0] == "isready") {
                write_("readyok");
                return true;
            }
            if (words[0] == "stop") {
                stop_ = true;
                return true;
            }
            if (words[0] == "quit" || words[0] == "gameover") stop_ = true;
            return false;
        });
    }
};

// "info nodes N time T nps X", at most once a second.
class UsiMateProgress final : public MateProgress {
  public:
    explicit UsiMateProgress(const LineWriter& write) : write_(write) {}
    void Report(std::uint64_t nodes, std::uint32_t elapsedMs) override {
        char line[128];
        std::snprintf(line, sizeof line, "info nodes %llu time %u nps %llu",
                      static_cast<unsigned long long>(nodes), elapsedMs,
                      static_cast<unsigned long long>(nodes * 1000 / std::max(1u, elapsedMs)));
        write_(line);
    }

  private:
    const LineWriter& write_;
};

// The time limit of "go mate <ms>"; none for "go mate", "go mate infinite" and anything that
// is not a number (named in `refusal`).
std::uint32_t MateTimeLimit(const std::vector<std::string_view>& words, std::string& refusal) {
    const auto mate = std::find(words.begin(), words.end(), std::string_view("mate"));
    if (mate == words.end() || mate + 1 == words.end() || mate[1] == "infinite") return NoTimeLimit;
    std::int64_t ms = 0;
    if (!ReadNumber(mate[1], ms) || ms < 0) {
        refusal = "go mate: ignored \"";
        refusal += Printable(mate[1]);
        refusal += "\"; searching without a limit";
        return NoTimeLimit;
    }
    return static_cast<std::uint32_t>(std::min<std::int64_t>(ms, NoTimeLimit - 1));
}

}  // namespace

// The solver and its table: made at the first "go mate" and kept, so that an engine that never
// solves never takes the memory. The table has USI_Hash MiB, and never less than 256.
struct UsiEngine::MateState {
    explicit MateState(std::size_t megabytes) : table(megabytes), solver(table) {}
    MateTable table;
    MateSolver solver;
};

void UsiEngine::HandleGoMate(const std::vector<std::string_view>& words) {
    std::string refusal;
    const std::uint32_t limit = MateTimeLimit(words, refusal);
    if (!refusal.empty()) Refuse(refusal);
    const auto hash = static_cast<std::size_t>(options_.hashMegabytes);
    const std::size_t megabytes = depthCap_ > 0 ? hash : std::max(hash, MinMateTableMegabytes);
    if (!mate_) mate_ = std::make_shared<MateState>(megabytes);
    if (mate_->table.Megabytes() != megabytes && !mate_->table.Resize(megabytes))
        Refuse("go mate: a table of " + std::to_string(megabytes) +
               " MB cannot be had; the mate table keeps its size");

    MateSearchControl control(queue_, write_, limit == NoTimeLimit);
    UsiMateProgress progress(write_);
    const MateAnswer answer = mate_->solver.Solve(
        position_, side_, MateLimits{limit, MateNodesPerCappedPly * depthCap_, &control},
        &progress);
    std::string reply = "checkmate";
    if (answer.result == MateResult::Mate) {
        for (int i = 0; i < answer.length; ++i) {
            reply += ' ';
            reply += MoveToUsi(answer.line[i]);
        }
    } else {
        reply += answer.result == MateResult::NoMate ? " nomate" : " timeout";
    }
    write_(reply);
}

}  // namespace mirabel
