// USI module: the engine's face to the world. It owns the entry point's two modes, the input
// reader thread with its command queue, the command loop, USI move text and the "position"
// command, the "go" command with its fixed time budget, and the console self-play game with
// its board display.
#pragma once

#include <cstddef>
#include <string>

#include "position/position.h"

namespace mirabel {

// Entry point shared by the `mirabel` executable: "CUI..." as first argument plays the console
// game, anything else runs the USI engine (which never returns).
int EngineMain(int argc, char** argv);

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
constexpr int UsiMaxDepth = 60;
const char* GoCommand();

// Console game and board display.
void ConsoleGame();
// The fixed middle-game position the console game starts from, side 1 to move; its king squares
// are filled in, its hash key and material are left for the game to compute.
extern const Position ConsoleStartPosition;
void ShowBoard(const Position& position);
void ResetBoardDisplay();  // the next ShowBoard is a first call again

}  // namespace mirabel
