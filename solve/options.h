// The solver's command line: a position and a stipulation, a list of
// positions with their task texts, a diagram to read, or a perft count; and
// the notation.
#pragma once

#include <string>
#include <vector>

#include "chess/notation.h"

enum class solve_mode { none, help, one_problem, problem_list, problem_file, diagram, perft };

struct solve_options {
    solve_mode mode = solve_mode::none;
    std::string fen;
    std::string stipulation;  // as given; for a list it replaces every task text
    std::string list_file;
    std::string read_file;    // a diagram to read the position from
    std::string data_folder;  // the square set it was drawn with; empty: the default set
    std::string perft_depth;
    std::string problem_file;        // --problem: the solver's input or YAML records
    std::vector<std::string> twins;  // --twin, with --fen or --read: "b) Kd5→e5", one a twin
    std::string write_as;            // --as popeye|yaml: the problem written out with its solutions
    std::string jobs_text;    // --jobs as given
    int jobs = 0;             // processors to use; 0: all there are
    notation language = notation::russian;
    bool set_play = false;  // --set-play: as "*" after the short form
    bool duplex = false;    // --duplex: as "дуплекс" in the task text
};

// Fills options from argv; on a usage error returns false with one line
// saying what is wrong.
bool parse_solve_options(int argc, char** argv, solve_options* options, std::string* error);

extern const char solve_usage[];
