// A file of problems, in either form, told by its content: the standard
// solver's input (`begin … end`) or YAML records (documents split at `---`
// lines). Read a problem at a time, so a database export of tens of thousands
// of records is never held whole; a problem that does not read is one line
// and the rest still are.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "chess/problem.h"
#include "chess/solver_input.h"

enum class problem_file_kind { solver_input, yaml };

struct problem_file {
    std::FILE* file = nullptr;
    std::string path;
    problem_file_kind kind = problem_file_kind::yaml;
    std::string pending;          // lines read but not yet made into problems
    int pending_line = 1;         // the file line pending starts on
    int line = 0;                 // lines read so far
    int documents = 0;            // YAML documents so far, blank ones not counted
    solver_input_state solver;
    std::vector<problem_entry> ready;
    std::size_t next_ready = 0;
    bool at_end = false;
};

// Opens the file and tells its form from its first lines. False with one
// line when it cannot be read.
bool problem_file_open(const std::string& path, problem_file* file, std::string* error);

// The next problem, read or refused; false at the end of the file (a read
// error at the end is a refused entry of its own).
bool problem_file_next(problem_file* file, problem_entry* entry);

void problem_file_close(problem_file* file);

// The whole text at once, for tests and fuzzers.
void problems_parse(std::string_view content, std::vector<problem_entry>* entries);
