// The input files of the problemists' standard solver: `begin`, `title`,
// `author`, `origin`, `pieces`, `forsyth`, `stipulation`, `option`, `twin`,
// `zeroposition`, `next`, `end`, any case, each word shortened to a prefix
// that names one. Fairy pieces, conditions, options and stipulations are
// refused by name, one line for the problem, and the file's other problems
// are still read. `protocol` is never followed.
#pragma once

#include <string_view>
#include <vector>

#include "chess/problem.h"

// Where reading stands between pieces of one file, so a file can be read a
// piece at a time.
struct solver_input_state {
    int line = 1;           // the line the next piece starts on
    int number = 0;         // problems started so far
    bool in_problem = false;  // after `begin` or `next`
};

// Reads the problems in text, which ends at a line end. A problem that
// `next` opens may go on in the next piece; one with words in it but no `end`
// is refused, so a piece must hold its problems whole. Each problem ended,
// read or refused, is added to entries.
void solver_input_parse(std::string_view text, solver_input_state* state, std::vector<problem_entry>* entries);

// True when text starts (after blank lines) with a word of these files.
bool looks_like_solver_input(std::string_view text);
