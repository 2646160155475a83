// Position module: the board model and everything that reads it without searching. Each part
// has a header of its own; this one includes them all:
// - types.h: the piece encoding and traits, the Position and Move records, hash keys, MakeMove;
// - geometry.h: the fixed geometry tables derived from the traits;
// - attacks.h: the attack tests (FindAttacker, the attack map, GivesCheck);
// - evaluation.h: material values, the balance and the capture-sequence estimates;
// - sfen.h: the SFEN reader and writer.
#pragma once

#include "position/attacks.h"
#include "position/evaluation.h"
#include "position/geometry.h"
#include "position/sfen.h"
#include "position/types.h"
