// The search report: the numeric move text and the sink that writes reports as text lines.
#include <cstdio>

#include "search/search.h"

namespace mirabel {

namespace {

int FileOf(int sq) {
    return 9 - sq % 9;
}
int RankOf(int sq) {
    return sq / 9 + 1;
}

}  // namespace

std::string MoveNumericText(const Move& move) {
    char text[32];
    if (move.from < 0) {
        std::snprintf(text, sizeof text, "00%d%d%s", FileOf(move.to), RankOf(move.to),
                      CsaPieceName(-move.from));
    } else {
        std::snprintf(text, sizeof text, move.promote ? "%d%d%d%d%s!" : "%d%d%d%d%s",
                      FileOf(move.from), RankOf(move.from), FileOf(move.to), RankOf(move.to),
                      CsaPieceName(move.piece));
    }
    return std::string(text);
}

void NumericVariation(const SearchReport& report, char (&text)[NumericVariationSize]) {
    int length = 0;
    text[0] = '\0';
    for (int i = 0; i < report.pvLength; ++i)
        length += std::snprintf(text + length, sizeof text - static_cast<unsigned>(length), "%s-",
                                MoveNumericText(report.pv[i]).c_str());
}

void TextReportSink::Report(const SearchReport& report) {
    char variation[NumericVariationSize];
    NumericVariation(report, variation);
    std::fprintf(out, "info depth %d score cp %d nodes %llu ", report.depth, report.score,
                 static_cast<unsigned long long>(report.nodes));
    std::fprintf(out, "info string %s\n", variation);
}

}  // namespace mirabel
