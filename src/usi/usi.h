// USI module: the engine's face to front ends. It owns the USI engine's entry, the input reader
// thread with its command queue, the command loop, USI move text and the "position" command,
// and the "go" command with its fixed time budget.
#pragma once

#include <string>

#include "position/position.h"

namespace mirabel {

// Runs the USI engine on standard input and output; returns only when its input thread cannot
// be started.
int UsiEngineMain();

// Input reader and command queue.
void InputReader();
std::string PopCommand();

// The two ways the command loop compares an input line with a command keyword.
// The line equals the keyword or a leading part of it (the empty line included); any text
// after the keyword makes it fail.
bool LinePrefixMatch(const std::string& line, const char* keyword);

// The line begins with the keyword's characters; anything may follow.
bool KeywordPrefixMatch(const std::string& line, const char* keyword);

// The command loop of the USI engine; never returns.
[[noreturn]] void CommandLoop();

// USI move text.
constexpr int MaxTokenLength = 255;
int NextToken(const char* text, int length, int start, char* token);
void ParsePositionCommand(const char* text, int length);
const char* MoveToUsi(const Move& move);
// Reads one USI move token for `side` on `position`; true only for a move that is legal under
// the full rules there, with `move` set to the matching record.
bool ParseUsiMove(const char* token, int side, const Position& position, Move& move);

// "go": searches the game position, plays the move found and returns its USI text.
constexpr unsigned UsiTimeLimit = 2800;
constexpr int UsiMaxDepth = 15;  // plies
const char* GoCommand();

}  // namespace mirabel
