// A chess problem as problem files hold it: the diagram, the stipulation,
// the stated number of solutions, the solver's options, twins, and what a
// database records about it (title, authors, source, award, solution). The
// readers of the standard solver's files and of YAML records both make one;
// solving it is the solver's business.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "chess/fen.h"
#include "chess/stipulation.h"
#include "chess/twin.h"

struct problem_options {
    bool set_play = false;
    bool duplex = false;
    bool half_duplex = false;     // only the play with the colours exchanged
    bool white_to_play = false;   // already applied: h#2 became h#1.5
    bool variations = false;
    bool tries = false;
    bool no_threat = false;
    bool post_key = false;
    int defence = 0;              // refutations a try may have; 0 when not given
    int max_solutions = 0;        // 0 when not given
    // Read before the position may be; problem_finish applies them.
    std::vector<int> en_passant;  // the squares of the pawn's double step, as given
    std::vector<int> no_castling; // squares of kings and rooks that may no longer castle
};

struct problem_record {
    fen_record position;         // the diagram; Black to move for a battle genre played half-duplex
    std::string stipulation;     // the short form, orthodox ("h#1.5")
    int stated_solutions = 0;    // 0 when not stated; 2.2.1.1 gives 4
    std::string stated_text;     // as stated: "3", "2.2.1.1"
    problem_options options;
    bool zero_position = false;  // the diagram itself is not a problem, only its twins
    std::vector<twin> twins;
    std::string title;
    std::vector<std::string> authors;
    std::string source;          // "feenschach 01-02 (7100) 1965"
    std::string award;           // "1st Prize, feenschach"
    std::string solution;        // as the record gives it, if it does
    std::vector<std::string> keywords;
    std::vector<std::string> comments;
};

// A problem read from a file, or the one line why it was not.
struct problem_entry {
    int number = 0;  // 1-based in the file, refused ones included
    int line = 0;    // where it starts
    bool read = false;
    problem_record record;
    std::string error;
};

// The problem's options in the solver's words ("setplay defence 1 nocastling
// e1"), each shortened to a prefix that names one. Output settings are
// ignored; a fairy option or condition is refused by name.
bool problem_options_read(std::string_view words, problem_record* problem, std::string* error);

// Sets the stipulation from its short form, refusing what is not orthodox.
bool problem_stipulation_set(std::string_view text, problem_record* problem, std::string* error);

// The stated number of solutions: "3", "2.2.1.1" (2 × 2 × 1 × 1) or
// "4.1.1..."; nothing when text is empty. The solver's files have no word for
// it, so it goes there as a remark: `remark intended-solutions 2.2.1.1`.
bool problem_stated_set(const std::string& text, problem_record* problem, std::string* error);
constexpr std::string_view stated_remark = "intended-solutions";

// What the options change in the position and the stipulation, done once all
// are read: White to play makes h#2 an h#1.5, half-duplex a battle genre's
// defender the attacker. False with one line when they do not fit together.
bool problem_finish(problem_record* problem, std::string* error);

// Twins as written on a diagram ("b) Kd5→e5", one a text), added after
// the problem's own; a first twin labelled a) makes the diagram a zero
// position. False with one line naming the twin that does not read.
bool problem_twins_add_written(const std::vector<std::string>& texts, problem_record* problem, std::string* error);

// One problem to check: the diagram, or a twin of it.
struct problem_part {
    std::string twin_line;  // "" for the diagram, else "b) Крd5→e5" in the language asked for
    fen_record position;
    std::string stipulation;
};

// The diagram (unless it is a zero position) and each twin, each twin from
// the diagram unless continued. False with one line naming the twin that
// does not fit.
bool problem_parts(const problem_record& problem, notation language, std::vector<problem_part>* parts,
                   std::string* error);

// The head of a problem's report: its title, else its authors and source,
// else "задача N".
std::string problem_heading(const problem_record& problem, int number, notation language);

// A diagram's task text: the stipulation, the stated number of solutions and
// the twins, "Кооперативный мат в 2 хода, 2 решения, b) Крd5→e5".
std::string problem_task_text(const problem_record& problem, notation language);

// Castling rights as a placement alone gives them: wherever king and rook
// stand at home.
void castling_from_board(fen_record* record);
