// The time manager: how long one search may run, from the clock fields of its "go" command.
// A move gets the engine's fixed budget whenever the clock allows it; otherwise a share of the
// time left that can never run past the fall of the flag.
#include <algorithm>

#include "usi/usi.h"

namespace mirabel {

namespace {

// Moves the main time is spread over when the front end does not say.
constexpr std::int64_t MovesLeftWithByoyomi = 20;
constexpr std::int64_t MovesLeftSuddenDeath = 30;

std::uint32_t Milliseconds(std::int64_t value) {
    return static_cast<std::uint32_t>(std::clamp<std::int64_t>(value, 1, 0x7FFFFFFF));
}

bool HasClock(const GoLimits& limits) {
    return limits.time[0] >= 0 || limits.time[1] >= 0 || limits.byoyomi > 0 ||
           limits.increment[0] > 0 || limits.increment[1] > 0;
}

}  // namespace

TimeBudget BudgetFor(const GoLimits& limits, int side, std::uint32_t networkDelay) {
    TimeBudget budget{FixedBudget, FixedBudget, false};
    // "go depth N" or "go nodes N" without any clock field runs without a time limit.
    const bool sizeAlone =
        (limits.depth > 0 || limits.nodes > 0) && limits.movetime < 0 && !HasClock(limits);
    if (limits.infinite || limits.ponder || sizeAlone) {
        budget.unlimited = true;
    } else if (limits.movetime >= 0) {
        budget.soft = budget.hard = Milliseconds(limits.movetime - networkDelay);
    } else if (HasClock(limits)) {
        const std::int64_t own = std::max<std::int64_t>(limits.time[side], 0);
        const std::int64_t byoyomi = std::max<std::int64_t>(limits.byoyomi, 0);
        const std::int64_t increment = std::max<std::int64_t>(limits.increment[side], 0);
        // The flag falls when the main time and the byoyomi are used up; the margin covers the
        // pipes and the front end.
        const std::int64_t flag = own + byoyomi - networkDelay;
        std::int64_t soft, hard;
        if (byoyomi > 0) {
            // Byoyomi not used is lost: the whole of it, and a share of the main time.
            const std::int64_t movesLeft =
                limits.movesToGo > 0 ? limits.movesToGo : MovesLeftWithByoyomi;
            soft = hard = std::min(own / movesLeft + byoyomi, flag);
        } else {
            const std::int64_t movesLeft =
                limits.movesToGo > 0 ? limits.movesToGo : MovesLeftSuddenDeath;
            const std::int64_t target = own / movesLeft + increment;
            soft = std::min(target, flag);
            hard = std::min(2 * target, flag);
        }
        budget.hard = std::min(Milliseconds(hard), FixedBudget);
        budget.soft = std::min(Milliseconds(soft), budget.hard);
    }
    return budget;
}

}  // namespace mirabel
