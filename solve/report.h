// The solver's output: the keys, threats, solution trees and tries of battle
// play, the solutions of help and series play, set play, and the verdict
// line, in Russian or English notation and words. It searches nothing.
#pragma once

#include <string>

#include "chess/notation.h"
#include "solve/solution.h"
#include "chess/stipulation.h"

// Every line but the verdict, each ending in "\n". p is the problem's
// position with the side that begins to move.
std::string battle_lines(const position& p, const stipulation& task, const battle_result& result, notation language);
std::string line_lines(const position& p, const stipulation& task, const line_result& result, notation language);

// The set play under its heading, "" when it was not asked for.
std::string battle_set_play(const position& p, const stipulation& task, const battle_result& result, notation language);
std::string line_set_play(const position& p, const stipulation& task, const line_result& result, notation language);

// The last line, without "\n": sound, cooked (naming the keys, or counting the
// solutions), fewer solutions than stated, no solution, or a short solution.
std::string battle_verdict(const position& p, const stipulation& task, const battle_result& result, notation language);
std::string line_verdict(const stipulation& task, const line_result& result, notation language);
