// The report of a problem with its twins, as --problem and --twin give it: a
// head line naming the problem, each twin's part under its "b) …" line, and a
// verdict for the problem (sound only when every part is; else the worst
// part's). Each part is checked as problem_check.h checks one problem, with
// what the problem states around its stipulation: the stated number of
// solutions, set play, duplex and half-duplex.
#pragma once

#include <string>

#include "chess/notation.h"
#include "chess/problem.h"
#include "solve/problem_check.h"

// One part (its position and its short stipulation) with what the problem
// states around it, or one line saying why it cannot be checked.
bool problem_part_check(const problem_record& problem, const problem_part& part, notation language,
                        problem_report* report, std::string* error, search_control& control = quiet_control());

// The whole report, each line ending in "\n". False when a part could not be
// checked; that part says why in its place and the problem's verdict is
// not given. The parts are checked one after another, each on control.jobs
// threads; once the control is stopped the parts left say so.
bool problem_parts_report(const problem_record& problem, int number, notation language, std::string* report,
                          search_control& control = quiet_control());

// Whether the solutions found (the lines of every part) are those a record
// gives: the keys of a battle genre, the whole lines of a help or series
// genre, compared by the squares the moves go to, so either notation and
// either language compare alike. Empty when the record gives none.
std::string solution_comparison(const std::string& recorded, const std::string& found, const std::string& stipulation,
                                notation language);

// How bad a verdict is, for the problem's verdict: 0 sound, then short
// solution, cooked or fewer solutions than stated, no solution; a duplex
// verdict is as bad as its worse half.
int verdict_rank(const std::string& verdict);
