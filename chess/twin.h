// Twins: small changes to a problem's diagram that make further problems,
// written as on a diagram ("b) Kd5→e5", "+c) −Sf3", "b) a1↔h1", "b) 90°")
// or in the standard solver's words ("continued move d5 e5 remove f3"), and
// applied to a position. Each twin starts from the diagram unless it is
// continued; which position that is, is the caller's business.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "chess/fen.h"
#include "chess/stipulation.h"

enum class twin_change_kind { move_piece, exchange, remove, add, substitute, rotate, mirror, shift, polish, new_stipulation };
enum class mirror_axis { a1_h1, a1_a8, a1_h8, a8_h1 };  // the two squares that change places

struct twin_change {
    twin_change_kind kind = twin_change_kind::move_piece;
    int from = no_square;     // move, exchange, remove, shift
    int to = no_square;       // move, exchange, add, shift
    char piece = no_piece;    // the FEN letter added; for move, exchange and remove the type named (upper
                              // case), no_piece when none is; for substitute the type replaced
    char into = no_piece;     // substitute: the type it becomes (upper case)
    int degrees = 0;          // rotate: 90, 180 or 270, to the left
    mirror_axis axis = mirror_axis::a1_h1;
    std::string stipulation;  // the new short form
};

struct twin {
    char label = 'b';  // a for the first of a zero position
    bool continued = false;
    std::vector<twin_change> changes;
};

// The words of text, split at white space; the solver files and twins are read word by word.
std::vector<std::string_view> split_words(std::string_view text);

// "b) Kd5→e5" (also - and ->), "b) -Sf3" (also −), "b) +wPc3", "b) +чСe7",
// "b) Kd5↔e5" (also <->), "b) Кр d5→e5", "b) a1↔h8", "b) 90°", "b) h#3",
// "+c) …" continued; several changes separated by commas. False with one
// line when the text is not a twin.
bool twin_read_written(std::string_view text, twin* result, std::string* error);

// The solver's words after `twin` (or a YAML record's twin value), words
// shortened to any prefix that names one. A fairy change (condition, a fairy
// piece) is refused by name.
bool twin_read_solver(std::string_view words, twin* result, std::string* error);

// Applies the changes in order; a stipulation change goes to *stipulation.
// False with one line when a change does not fit the position (no piece on
// the square it names, a piece shifted off the board).
bool twin_apply(const twin& t, fen_record* position, std::string* stipulation, std::string* error);

// The twin as a diagram's task text writes it, the pieces named from the
// position it applies to: "b) Крd5→e5", "+c) −Кf3", "b) 90°".
std::string twin_written(const twin& t, const fen_record& before, notation language);

// The twin in the solver's words: "continued move d5 e5".
std::string twin_solver_text(const twin& t);
