// What a board square of a diagram shows, as one letter: a FEN piece letter
// (KQRBNP white, kqrbnp black), nothing, or one of the two problem markers;
// which image of the square set draws it, and the way to and from FEN. The
// renderer draws from these letters and the read-back gives them back.
#pragma once

#include <array>
#include <string>
#include <string_view>

#include "chess/fen.h"
#include "layout/diagram_layout.h"
#include "layout/image_numbers.h"

constexpr char empty_square = '.';
constexpr char cross_marker = '+';
constexpr char ring_marker = 'o';
constexpr std::string_view piece_letters = "KQRBNPkqrbnp";

// Squares in board order: down each column from rank 8, columns from file a
// (square n of 1..64 is at index n - 1, as the editor numbers its squares).
using board_squares_shown = std::array<char, board_squares>;

// The squares of a FEN record in board order, and the board field of FEN
// for squares in board order (markers count as empty squares): what a
// front end needs to draw a FEN, or to say which position it read back.
board_squares_shown board_from_fen(const fen_record& record);
std::array<char, 64> fen_squares(const board_squares_shown& squares);
std::string board_fen(const board_squares_shown& squares);

// "e4" for board square n.
inline std::string square_name(int n)
{
    return {char('a' + board_column(n) - 1), char('0' + 9 - board_row(n))};
}

// The square image (1..32) for what square n shows, in its light or dark variant.
constexpr object_number square_image_number(char content, int n)
{
    object_number light = empty_light_square_image;
    if (content == cross_marker)
        light = cross_marker_image;
    else if (content == ring_marker)
        light = ring_marker_image;
    else if (const std::size_t piece = piece_letters.find(content); piece != std::string_view::npos)
        light = first_white_piece_image + 2 * object_number(piece);
    return on_shade(light, board_square_is_light(n));
}
static_assert(square_image_number('K', 1) == 1 && square_image_number('p', 2) == 24 &&
              square_image_number('.', 1) == 25 && square_image_number('o', 8) == 32);
