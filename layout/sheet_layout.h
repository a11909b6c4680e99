// The print sheet's geometry, shared by the editor's preview and printing
// and by the renderer's PDF sheets: up to four diagrams in a 2 x 2 grid on a
// white 1180 x 1628 sheet, in the order they were collected, and where the
// sheet lies on a printed page.
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

// A rectangle of a page, top-left corner and size.
struct sheet_area {
    std::int32_t x, y, width, height;
    friend constexpr bool operator==(const sheet_area&, const sheet_area&) = default;
};

// Where the sheet lies on a page of page_width x page_height units: scaled
// by one factor for both axes, the largest that keeps the whole sheet on
// the page, and centred. Scaling each axis to the page on its own would
// print the squares as rectangles on any page not of the sheet's shape.
constexpr sheet_area sheet_fit_on_page(std::int32_t page_width, std::int32_t page_height)
{
    if (page_width <= 0 || page_height <= 0)
        return {0, 0, 0, 0};
    // The two scales, page_width / sheet_width and page_height / sheet_height,
    // compared crosswise so that no rounding decides which side limits.
    const std::int64_t across = std::int64_t(page_width) * sheet_height;
    const std::int64_t down = std::int64_t(page_height) * sheet_width;
    std::int32_t width = page_width, height = page_height;
    if (across <= down)
        height = std::int32_t((across + sheet_width / 2) / sheet_width);
    else
        width = std::int32_t((down + sheet_height / 2) / sheet_height);
    return {(page_width - width) / 2, (page_height - height) / 2, width, height};
}
static_assert(sheet_fit_on_page(595, 841) == sheet_area{0, 10, 595, 821});   // A4 portrait
static_assert(sheet_fit_on_page(841, 595) == sheet_area{205, 0, 431, 595});  // A4 landscape
static_assert(sheet_fit_on_page(sheet_width, sheet_height) == sheet_area{0, 0, sheet_width, sheet_height});
