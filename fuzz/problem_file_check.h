// What every problem-file fuzz target asks of the reader, whatever the form:
// each problem ends read or refused in one line of valid UTF-8, and a read
// problem's twins either apply or are refused in one line.
#pragma once

#include <cstdlib>
#include <string>
#include <vector>

#include "chess/problem_file.h"
#include "chess/quoted_input.h"

inline void check_problem_file(const std::string& input)
{
    std::vector<problem_entry> entries;
    problems_parse(input, &entries);
    for (const problem_entry& entry : entries) {
        if (!entry.read) {
            if (entry.error.empty() || entry.error.find('\n') != std::string::npos || !is_valid_utf8(entry.error))
                std::abort();
            continue;
        }
        std::vector<problem_part> parts;
        std::string error;
        if (!problem_parts(entry.record, notation::russian, &parts, &error) &&
            (error.empty() || error.find('\n') != std::string::npos))
            std::abort();
        if (!is_valid_utf8(problem_task_text(entry.record, notation::english)))
            std::abort();
    }
}
