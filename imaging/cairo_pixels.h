// Pixels of the image store (RGB or RGBA bytes, rows top to bottom) as a
// cairo image surface, for painting them onto a page or into a PDF. Cairo
// wants native-endian words: xRGB, or premultiplied ARGB.
#pragma once

#include <cstdint>

#include <cairo.h>

// A new surface holding a copy of the pixels; null for no pixels, a size
// that is not positive, a row stride too short for the width, or a surface
// cairo cannot make.
cairo_surface_t* cairo_surface_from_pixels(const std::uint8_t* pixels, int width, int height, int rowstride,
                                           bool alpha);
