// The look of one diagram, defined once for every front end: the editor
// draws what its square gadgets show, the renderer draws a position read as
// text, and both go through render_diagram_image. Every size is a formula of
// the square size s.
#pragma once

#include <cstdint>

#include <gdk-pixbuf/gdk-pixbuf.h>
#include <pango/pango.h>

#include "toolkit/object_table.h"
#include "toolkit/text.h"

constexpr int board_squares = 64;

struct diagram_content {
    // Square images in board order: down each column from the top, columns
    // from the left (square n of 1..64 is squares[n - 1]). Null draws nothing.
    GdkPixbuf* squares[board_squares];
    GdkPixbuf* horizontal_strip;  // above and below the board
    GdkPixbuf* vertical_strip;    // left and right of the board
    const PangoFontDescription* font;
    text task_text;  // centred under the board
};

constexpr std::int32_t diagram_width(std::int32_t s)
{
    return 9 * s;
}

constexpr std::int32_t diagram_height(std::int32_t s)
{
    return 9 * s + s / 2;
}

// Board square n (1..64): its column and row, both 1-based from the top-left.
constexpr int board_column(int n)
{
    return (n - 1) / 8 + 1;
}

constexpr int board_row(int n)
{
    return (n - 1) % 8 + 1;
}

// The top-left square is light, and colours alternate from there.
constexpr bool board_square_is_light(int n)
{
    return (board_column(n) + board_row(n)) % 2 == 0;
}

// Where square n lands in the diagram: the board is moved s/2 up and to the
// left of where the editor shows it, inside the frame strips.
constexpr int diagram_square_x(int n, std::int32_t s)
{
    return board_column(n) * s - s / 2;
}

constexpr int diagram_square_y(int n, std::int32_t s)
{
    return board_row(n) * s - s / 2;
}

// Makes image number a diagram of square size s: white, the outline of the
// top strip's area, the task text centred in the band under the board, the
// four frame strips, then the squares over everything before them. False
// when the image cannot be made (no memory, or s too large for an image):
// nothing is drawn then, and the caller says so. The task text's width goes
// to task_text_width when given: a text wider than diagram_width(s) is cut
// at both ends, which a caller may want to warn about.
bool render_diagram_image(object_number image, std::int32_t s, const diagram_content& content,
                          int* task_text_width = nullptr);
