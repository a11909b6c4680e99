// A list of positions drawn as diagram files, shared among the workers.
#pragma once

#include "chess/position_list.h"
#include "render/output_names.h"

// Writes every position of the list under the names output gives. Each
// failure and each cut task text is said on standard error with its line
// number, and so is a worker that died, with the lines it left unwritten;
// false after any failure. On a terminal, shows its progress there.
bool write_listed_diagrams(const position_list& list, const output_target& output);
