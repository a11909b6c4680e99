// The image numbers both front ends share. Images 1 to 32 are the square set
// as DATA/ holds it (n.jpg is image n): pairs whose odd image is drawn on a
// light square and the even one on a dark square, and the two frame strips.
// The rest are the pictures made from the set.
#pragma once

#include "toolkit/object_table.h"

constexpr int square_image_count = 32;

// Light-square images of the pieces, in the order king, queen, rook, bishop,
// knight, pawn; each one's dark-square image follows it.
constexpr object_number first_white_piece_image = 1;
constexpr object_number first_black_piece_image = 13;
constexpr int piece_kinds = 6;

constexpr object_number empty_light_square_image = 25;
constexpr object_number empty_dark_square_image = 26;
constexpr object_number horizontal_strip_image = 27;  // 9s x s/2, above and below the board
constexpr object_number vertical_strip_image = 28;    // s/2 x 8s, left and right of it
constexpr object_number cross_marker_image = 29;      // light square; 30 on dark
constexpr object_number ring_marker_image = 31;       // light square; 32 on dark

constexpr object_number blank_diagram_image = 0;       // the 5 x 5 white blank of an empty collection
constexpr object_number collected_diagram_image = 99;  // one collected diagram while the sheet is composed
constexpr object_number diagram_image = 100;           // the diagram last drawn
constexpr object_number sheet_image = 101;             // the print sheet
constexpr object_number read_back_image = 102;         // a diagram being read back

// The image a square of the given shade shows for a light-square image.
constexpr object_number on_shade(object_number light_image, bool light)
{
    return light ? light_image : light_image + 1;
}
