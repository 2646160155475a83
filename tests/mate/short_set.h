// The repository's small problem set, tests/mate/data/short.txt, as the mate tests read it.
#pragma once

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace mirabel {

struct ShortProblem {
    std::string sfen;
    int known = 0;  // plies of the known solution; 0 for a position without a mate
};

// Every problem of the file; none when it cannot be read (the Windows suite runs where the
// sources may be out of reach).
inline std::vector<ShortProblem> ReadShortSet() {
    std::vector<ShortProblem> problems;
    std::ifstream file(std::string(MIRABEL_SOURCE_DIR) + "/tests/mate/data/short.txt");
    for (std::string line; std::getline(file, line);) {
        if (line.empty() || line[0] == '#') continue;
        std::istringstream words(line);
        ShortProblem problem;
        std::string word;
        for (int i = 0; i < 4 && words >> word; ++i) problem.sfen += word + " ";
        if (words >> word && word == "moves")
            while (words >> word) ++problem.known;
        problems.push_back(problem);
    }
    return problems;
}

}  // namespace mirabel
