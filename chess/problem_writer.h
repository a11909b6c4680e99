// Problems written back out: as an input file of the standard solver and as
// a YAML record of the problem databases, each holding what the format needs
// to keep the problem the same (half-duplex for Black to move in a battle
// genre, nocastling, enpassant), so reading it back gives the same problem.
// FEN and piece lists are written by chess/fen.h and chess/piece_list.h.
#pragma once

#include <string>

#include "chess/problem.h"

// One problem, from `begin` to `end`.
std::string solver_input_write(const problem_record& problem);

// One YAML document, starting with its `---` line.
std::string yaml_problem_write(const problem_record& problem);
