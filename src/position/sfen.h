// SFEN: reading a position from text, refusing what no legal game can hold, and writing it.
#pragma once

#include <string>

#include "position/types.h"

namespace mirabel {

extern const char* const StartSfen;

// Reads an SFEN into `position` (board, hands, king squares, hash key with the first key set;
// material untouched) and `side`. Only positions a legal game can hold are taken: one king a
// side, no more pieces than the game has, none where it could never move, no two unpromoted
// pawns of one side on a file, and the side not to move not in check. On refusal returns
// false, sets `error`, changes nothing.
bool ReadSfen(const std::string& sfen, Position& position, int& side, int& moveNumber,
              std::string& error);
bool ReadSfen(const std::string& sfen, Position& position, int& side, std::string& error);
std::string WriteSfen(const Position& position, int side, int moveNumber = 1);

}  // namespace mirabel
