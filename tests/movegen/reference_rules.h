// A deliberately plain and slow legal move generator used only to check the engine's
// generators. It works on row/column coordinates, derives every piece's moves from the rules
// of shogi, and tests legality by brute force: after the move, does any enemy piece attack the
// king? Nothing of the engine is used but the layout of the Position record it starts from.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "position/position.h"

namespace mirabel::reference {

struct Board {
    int cell[9][9];  // [row][col]: 0 empty, +kind for side 0, -kind for side 1
    int hand[2][8];  // [side][kind 1..7]
};

struct RefMove {
    int dropKind;  // 0 for a board move
    int fromRow, fromCol, toRow, toCol;
    bool promote;
};

Board FromPosition(const Position& position);
std::string Text(const RefMove& move);
Board Apply(const Board& board, int side, const RefMove& move);
bool InCheck(const Board& board, int side);

// Every legal move of `side`. With `pawnDropMateIsLegal` the rule against giving mate by a
// pawn drop is ignored (the search's own view of legality).
std::vector<RefMove> LegalMoves(const Board& board, int side, bool pawnDropMateIsLegal = false);

// How often the search's walk lists a legal move (pawn-drop mates included): 0 for the
// non-promoting forms its generators leave out, 2 for a slider's move onto a capture or
// interposition square next to it while in single check, else 1.
int WalkMultiplicity(const Board& board, int side, const RefMove& move);

// Number of move sequences of `depth` plies under the full rules.
std::uint64_t Perft(const Board& board, int side, int depth);
// Number of sequences the search's walk visits (moves counted with their multiplicity).
std::uint64_t WalkPerft(const Board& board, int side, int depth);

}  // namespace mirabel::reference
