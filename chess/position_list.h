// The list format both front ends read: one position a line, a FEN (or an
// EPD line, or a piece list), a tab, the task text. Blank lines and lines starting with # are
// skipped; a byte-order mark at the start of the file, LF, CRLF and CR line
// ends are all fine. An EPD line without a tab takes its id operation's
// string as the task text. A line that does not read is kept as an error
// naming its line number; what to do with it is the caller's business, and
// so is a list without a single position line.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "chess/fen.h"

struct listed_position {
    int line;               // 1-based line of the list
    int number;             // 1-based among the position lines, bad ones included
    fen_record position;
    std::string task_text;  // UTF-8, with no control characters
};

struct position_list {
    std::vector<listed_position> positions;  // the good ones, in order
    int position_lines = 0;                  // good and bad
    std::vector<std::string> errors;         // "строка 7: …", one line each
};

void position_list_parse(std::string_view content, position_list* list);

// False with one line when the file cannot be read.
bool position_list_read(const std::string& path, position_list* list, std::string* error);
