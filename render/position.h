// A position as the renderer reads and writes it: what each of the 64 board
// squares shows (a piece, nothing, or one of the two problem markers), the
// board field of FEN, and square names such as e4.
#pragma once

#include <array>
#include <string>
#include <string_view>

#include "layout/diagram_layout.h"

// One square's content: a FEN piece letter (KQRBNP white, kqrbnp black), or one of these.
constexpr char empty_square = '.';
constexpr char cross_marker = '+';
constexpr char ring_marker = 'o';

// Squares in board order: down each column from rank 8, columns from file a
// (square n of 1..64 is at index n - 1, as the editor numbers its squares).
using board_position = std::array<char, board_squares>;

// Parses the board field of a FEN (the first word; the rest of a full FEN is
// ignored). On failure returns false with one line saying what is wrong.
bool parse_fen(std::string_view fen, board_position* position, std::string* error);

// The board field of a position; markers count as empty squares.
std::string board_fen(const board_position& position);

// "e4" -> its board square 1..64, or 0 for a name that is not a square.
int square_from_name(std::string_view name);
std::string square_name(int n);

// Puts marker on every square of a list such as "e4,f5". A square off the
// board, or one that already holds a piece or the other marker, fails with
// one line naming it.
bool place_markers(std::string_view squares, char marker, board_position* position, std::string* error);

// The square image (1..32) for what square n shows, in its light or dark variant.
int square_image_number(char content, int n);
