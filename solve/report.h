// The solver's output: the keys, threats, solution tree and tries of a
// directmate, the solutions of a helpmate, and the verdict line, in Russian
// or English notation and words.
#pragma once

#include <string>

#include "chess/notation.h"
#include "solve/solution.h"
#include "solve/stipulation.h"

// Every line but the verdict, each ending in "\n". p is the problem's position.
std::string directmate_lines(const position& p, const directmate_result& result, notation language);
std::string helpmate_lines(const position& p, const helpmate_result& result, notation language);

// The last line, without "\n": sound, cooked (naming the keys or solutions),
// no solution, or a short solution.
std::string directmate_verdict(const position& p, int stated, const directmate_result& result, notation language);
std::string helpmate_verdict(const position& p, int stated, const helpmate_result& result, notation language);
