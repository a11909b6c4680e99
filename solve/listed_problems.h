// A list of problems checked by worker processes, as the renderer shares its
// lists: each worker takes the next unchecked line, and the parent prints
// the verdicts in the list's order, so the output is the same however many
// workers there were. An interruption or a worker that dies names the lines
// left unchecked. How one line is checked is the caller's.
#pragma once

#include <string>

#include "chess/position_list.h"
#include "solve/search_control.h"

struct list_check {
    const position_list* list;
    bool english;
    int jobs;  // processors to use in all
    // Checks one line on `control.jobs` threads: true with the verdict line
    // to print, or false with the reason it could not be checked.
    bool (*check)(const void* context, const listed_position& entry, search_control& control, std::string* verdict,
                  std::string* error);
    const void* context;
};

// Prints every verdict line; returns the program's status: 0 when every line
// was checked, 1 when one could not be, 128 + the signal when interrupted.
int check_listed_problems(const list_check& check);
