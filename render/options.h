// The renderer's command line: one of four modes (a position given as FEN or
// a piece list, a list of positions, a file of problems, a diagram to read
// back) and what each mode takes.
#pragma once

#include <string>
#include <vector>

enum class render_mode { none, help, one_position, position_list, problem_file, read_back };

struct render_options {
    render_mode mode = render_mode::none;
    std::string fen;
    std::string task_text;  // UTF-8, as given
    std::vector<std::string> cross_squares;  // each as given: "e4,f5"
    std::vector<std::string> ring_squares;
    std::string data_folder;  // empty: ./DATA, else ~/chess-diagram/DATA, else the installed set
    std::string output;       // -o
    std::string list_file;
    std::string sheets_pdf;
    std::string read_file;
    std::string problem_file;
    std::vector<std::string> twins;  // with --fen: "b) Kd5→e5", one a twin
    bool count = false;              // the piece count after the task text
    std::string read_as;             // with --read: fen, pieces, popeye or yaml
    std::string stipulation;         // for --as popeye|yaml: the short form
    std::string author;
    std::string source;
};

// Fills options from argv; on a usage error returns false with one line
// saying what is wrong.
bool parse_render_options(int argc, char** argv, render_options* options, std::string* error);

extern const char render_usage[];
