// A problem checked as the solver prints it: which side begins in its genre,
// the set play before the solution, and the duplex half with a verdict of its
// own (or alone, half-duplex). The searches themselves know nothing of these;
// they are wrapped here.
#pragma once

#include <string>

#include "chess/fen.h"
#include "chess/notation.h"
#include "chess/stipulation.h"
#include "solve/search_control.h"

struct problem_report {
    std::string text;     // every line, the verdicts included, each ending in "\n"
    std::string verdict;  // one line for a list: the verdict, and the duplex one after "; "
};

// False with one line saying why when the position cannot be solved (no
// king, the side not to move in check, ...).
// The searches run on control.jobs threads; when the control is stopped,
// the report holds what was proven and the verdict says it was cut short.
bool problem_check(const fen_record& record, const stipulation& task, notation language, problem_report* report,
                   std::string* error, search_control& control = quiet_control());
