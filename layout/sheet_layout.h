// The print sheet's geometry, shared by the editor's preview and printing
// and by the renderer's PDF sheets: up to four diagrams in a 2 x 2 grid on a
// white 1180 x 1628 sheet, in the order they were collected.
#pragma once

#include <cstdint>

constexpr std::int32_t sheet_margin = 40;
constexpr std::int32_t sheet_gap = 20;
constexpr std::int32_t sheet_width = 2 * sheet_margin + sheet_gap + 1080;
constexpr std::int32_t sheet_height = sheet_width * 138 / 100;
static_assert(sheet_width == 1180 && sheet_height == 1628);
constexpr int sheet_cells = 4;

struct sheet_point {
    std::int32_t x, y;
};

// Top-left corner of diagram k (1..4) when the diagram being placed is
// w x h: the second column starts one diagram width and the gap further
// right, the second row one diagram height and the gap further down.
constexpr sheet_point sheet_cell_origin(int k, std::int32_t w, std::int32_t h)
{
    return {k % 2 == 1 ? sheet_margin : sheet_margin + w + sheet_gap,
            k <= 2 ? sheet_margin : sheet_margin + h + sheet_gap};
}
