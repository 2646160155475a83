// The engine's options: the "option" lines of the reply to "usi" and "setoption".

#include "usi/usi.h"

namespace mirabel {

namespace {

struct SpinOption {
    const char* name;
    int EngineOptions::*field;
    int defaultValue;
    int min;
    int max;
};

constexpr SpinOption SpinOptions[] = {
    {"USI_Hash", &EngineOptions::hashMegabytes, DefaultHashMegabytes, 1, MaxHashMegabytes},
    {"NetworkDelay", &EngineOptions::networkDelay, DefaultNetworkDelay, 0, 10000},
    {"Threads", &EngineOptions::threads, 1, 1, MaxThreadCount},
};

}  // namespace

std::vector<std::string> OptionLines() {
    std::vector<std::string> lines;
    for (const SpinOption& option : SpinOptions)
        lines.push_back(std::string("option name ") + option.name + " type spin default " +
                        std::to_string(option.defaultValue) + " min " + std::to_string(option.min) +
                        " max " + std::to_string(option.max));
    lines.emplace_back("option name USI_Ponder type check default false");
    return lines;
}

std::string ApplySetOption(const std::vector<std::string_view>& words, EngineOptions& options) {
    if (words.size() < 3 || words[1] != "name")
        return "setoption refused: expected setoption name <id> value <x>";
    const std::string_view name = words[2];
    const bool hasValue = words.size() == 5 && words[3] == "value";
    for (const SpinOption& option : SpinOptions) {
        if (name != option.name) continue;
        std::int64_t value = 0;
        if (!hasValue || !ReadNumber(words[4], value) || value < option.min || value > option.max)
            return std::string("setoption refused: ") + option.name +
                   " takes a whole number from " + std::to_string(option.min) + " to " +
                   std::to_string(option.max);
        options.*option.field = static_cast<int>(value);
        return "";
    }
    if (name == "USI_Ponder") {
        if (!hasValue || (words[4] != "true" && words[4] != "false"))
            return "setoption refused: USI_Ponder takes true or false";
        options.ponder = words[4] == "true";
        return "";
    }
    return "unknown option \"" + Printable(name) + "\"";
}

}  // namespace mirabel
