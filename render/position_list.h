// A list of positions, one a line: FEN, a tab, then the task text. Blank
// lines and lines starting with # are skipped; a line that does not parse is
// reported with its number and skipped too.
#pragma once

#include <string>
#include <vector>

#include "render/position.h"
#include "toolkit/text.h"

struct listed_position {
    int line;    // 1-based line of the list file
    int number;  // 1-based among the position lines, bad ones included
    board_position position;
    text task_text;
};

struct position_list {
    std::vector<listed_position> positions;  // the good ones, in order
    int position_lines = 0;                  // good and bad
    std::vector<std::string> errors;         // one line each, naming the line number
};

// False with one line when the file itself cannot be read.
bool read_position_list(const std::string& path, position_list* list, std::string* error);
