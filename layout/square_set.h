// Loading a square set, the same for every front end: the 32 images of a
// DATA/ folder as images 1 to 32, and the square size s they are built on
// (the width of image 1), checked against what the layout can draw. Which
// folder to load is the working folder's business, not this module's.
#pragma once

#include <cstdint>
#include <string>

#include "imaging/image_plugins.h"
#include "layout/diagram_layout.h"

// Below this the frame strips, s/2 high, vanish.
constexpr std::int32_t smallest_square_size = 2;

// The largest s whose diagram still fits in one image.
constexpr std::int32_t largest_square_size()
{
    std::int32_t s = smallest_square_size;
    while (diagram_width(s + 1) <= image_size_limit && diagram_height(s + 1) <= image_size_limit)
        s++;
    return s;
}
static_assert(largest_square_size() == 3449);

// Loads folder/1.jpg … folder/32.jpg as images 1 to 32. False with one line
// naming the file that could not be loaded, or the square size the set
// cannot be drawn at. Image 1 is loaded and checked first, so an oversized
// set is refused before the other 31 images are decoded.
bool square_set_load(const std::string& folder, std::string* error);

std::int32_t square_set_size();  // s, the width of image 1
