// Problems as the renderer draws them: a file's problems as the list of
// diagrams --list would make (the same names, the same sharing among the
// workers), the task text of a --fen position with its twins and its piece
// count, and a read-back diagram written out in a problem format.
#pragma once

#include <string>
#include <vector>

#include "chess/position_list.h"
#include "chess/problem.h"

// Each problem of the file as one entry: its diagram and task text (the
// stipulation in Russian, the stated solutions, the twins; text_override
// instead when given), the piece count after it when asked. A problem that
// does not read is an error line of the list, as a bad list line is.
bool problem_file_diagrams(const std::string& path, const std::string& text_override, bool count,
                           position_list* list, std::string* error);

// "Мат в 2 хода, b) Крd5→e5 (7+5)": the text, each twin as a diagram writes
// it, then the count. False with one line when a twin does not read or does
// not fit the position.
bool task_text_with_twins(const std::string& text, const fen_record& position, const std::vector<std::string>& twins,
                          bool count, std::string* task_text, std::string* error);

// The text after a text, as problem magazines print the count: one space.
std::string with_piece_count(const std::string& text, const fen_record& position);

// The position in the format asked for: "fen", "pieces" (an international
// and a Russian list, one a line), "popeye" or "yaml" (with the stipulation,
// author and source). False with one line when the stipulation is not one.
bool problem_text_as(const std::string& format, const fen_record& position, const std::string& stipulation,
                     const std::string& author, const std::string& source, std::string* text, std::string* error);
