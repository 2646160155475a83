// "go": one fixed-budget search of the game position for the side to move, then the move found
// is played on the game position.
#include <algorithm>
#include <charconv>

#include "movegen/movegen.h"
#include "search/search.h"
#include "usi/usi.h"

namespace mirabel {

namespace {

// A whole number, possibly negative (some front ends send a clock that has run out as one).
bool ReadNumber(std::string_view word, std::int64_t& value) {
    const char* end = word.data() + word.size();
    const auto [stop, error] = std::from_chars(word.data(), end, value);
    return error == std::errc() && stop == end;
}

}  // namespace

GoLimits ReadGoCommand(const std::vector<std::string_view>& words, std::string& refusal) {
    GoLimits limits;
    std::vector<std::string> skipped;
    for (std::size_t i = 1; i < words.size(); ++i) {
        const std::string_view field = words[i];
        if (field == "infinite") {
            limits.infinite = true;
            continue;
        }
        if (field == "ponder") {
            limits.ponder = true;
            continue;
        }
        if (field == "mate") {
            limits.mate = true;
            return limits;  // what follows is the mate search's own business
        }
        std::int64_t value = 0;
        const bool numbered = i + 1 < words.size() && ReadNumber(words[i + 1], value);
        std::int64_t* target = field == "btime"       ? &limits.time[0]
                               : field == "wtime"     ? &limits.time[1]
                               : field == "binc"      ? &limits.increment[0]
                               : field == "winc"      ? &limits.increment[1]
                               : field == "byoyomi"   ? &limits.byoyomi
                               : field == "movetime"  ? &limits.movetime
                               : field == "movestogo" ? &limits.movesToGo
                                                      : nullptr;
        const bool counted = field == "depth" || field == "nodes";
        if ((target == nullptr && !counted) || !numbered || (counted && value <= 0)) {
            skipped.push_back(Printable(field));
            continue;
        }
        ++i;
        if (target != nullptr) *target = std::max<std::int64_t>(value, 0);
        if (field == "depth") limits.depth = static_cast<int>(std::min<std::int64_t>(value, 1000));
        if (field == "nodes") limits.nodes = static_cast<std::uint64_t>(value);
    }
    if (!skipped.empty()) {
        refusal = "go: ignored";
        for (const std::string& field : skipped) refusal += " \"" + field + "\"";
    }
    return limits;
}

const char* GoCommand(int maxDepth) {
    const int side = GamePly % 2;
    SearchGamePosition(side, FixedBudget, maxDepth);
    Move chosen = PvTable[0][0];
    // A search stopped before its first iteration ended still plays a legal move: the first
    // one the rules list. Only a side without any legal move resigns.
    if (chosen.from == NoMove) {
        MoveList legal;
        if (GenerateLegalMoves(side, GamePosition, legal) > 0) chosen = legal[0];
    }
    if (chosen.from != NoMove) {
        MakeMove(side, GamePosition, chosen);
        ++GamePly;
    }
    return MoveToUsi(chosen);
}

}  // namespace mirabel
