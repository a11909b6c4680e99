// Drawing sessions: one current output for the process (an image or the
// printer page), entry operations that act on it, and the output interface
// every kind of output implements in a fixed slot order.
#pragma once

#include <algorithm>
#include <climits>
#include <cstddef>
#include <cstdint>

#include <gdk-pixbuf/gdk-pixbuf.h>
#include <pango/pango.h>

#include "toolkit/text.h"

// Red in bits 0–7, green 8–15, blue 16–23, alpha 24–31.
using colour = std::uint32_t;

namespace drawing_mode_bit {
constexpr std::int32_t transparent = 0x01;  // text without its background
constexpr std::int32_t xor_pixels = 0x02;
constexpr std::int32_t outlined = 0x04;
constexpr std::int32_t alpha_channel = 0x08;
constexpr std::int32_t alpha_blend = 0x10;
constexpr std::int32_t alpha_clip = 0x20;
constexpr std::int32_t gradient = 0x40;
constexpr std::int32_t custom = 0x80;
constexpr std::int32_t direct_alpha = 0x100;
}  // namespace drawing_mode_bit

struct drawing_output;

// set_font's argument that selects the output's default font.
extern const PangoFontDescription* const output_default_font;

struct output_operations {
    void (*set_back_colour)(drawing_output*, colour);                           // 1
    void (*box)(drawing_output*, int x, int y, int w, int h);                   // 2
    void (*rounded_box)(drawing_output*, int x, int y, int w, int h, int rx, int ry);  // 3
    void (*circle)(drawing_output*, int x, int y, int radius);                  // 4
    void (*set_font)(drawing_output*, const PangoFontDescription* font);        // 5
    std::uint8_t* (*buffer)(drawing_output*);                                   // 6
    std::int32_t (*buffer_pitch)(drawing_output*);                              // 7
    std::int32_t (*buffer_format)(drawing_output*);                             // 8
    void (*set_mode)(drawing_output*, std::int32_t mode);                       // 9
    void (*draw_image)(drawing_output*, GdkPixbuf*, int x, int y);              // 10
    void (*draw_image_sized)(drawing_output*, GdkPixbuf*, int x, int y, int w, int h);  // 11
    void (*draw_image_faded)(drawing_output*, GdkPixbuf*, int x, int y, int opacity);   // 12
    int (*draw_text)(drawing_output*, int x, int y, const text&);               // 13
    void (*draw_text_rotated)(drawing_output*, int x, int y, const text&, double angle);  // 14
    void (*ellipse)(drawing_output*, int x, int y, int rx, int ry);             // 15
    void (*fill_area)(drawing_output*, int x, int y, colour);                   // 16
    void (*set_front_colour)(drawing_output*, colour);                          // 17
    std::intptr_t (*grab_image)(drawing_output*, std::int32_t image, int x, int y, int w, int h);  // 18
    void (*line)(drawing_output*, int x1, int y1, int x2, int y2);              // 19
    void (*plot)(drawing_output*, int x, int y);                                // 20
    void (*plot_colour)(drawing_output*, int x, int y, colour);                 // 21
    colour (*point)(drawing_output*, int x, int y);                             // 22
    std::intptr_t (*start)(drawing_output*);                                    // 23 nonzero on success
    void (*stop)(drawing_output*);                                              // 24
    int (*text_height)(drawing_output*, const text&);                           // 25
    int (*text_width)(drawing_output*, const text&);                            // 26
    void (*release)(drawing_output*, int flag);                                 // 27
};
static_assert(sizeof(output_operations) == 27 * sizeof(void*), "output operations have 27 slots");

// The base of every output. Outputs are allocated zero-filled with calloc
// and freed by drawing_stop (or drawing_start when start fails) with free.
struct drawing_output {
    output_operations ops;
    std::int32_t width;
    std::int32_t height;
    std::int32_t depth;
    colour gradient_end;
    colour gradient_start;
    colour front_colour;
    colour back_colour;
};

void drawing_init();
drawing_output* drawing_current();
// Making an output makes it current; outputs call this from their maker.
void drawing_make_current(drawing_output* output);

std::intptr_t drawing_start(drawing_output* output);
void drawing_stop();
void drawing_mode(std::int32_t mode);
void draw_box(int x, int y, int w, int h, colour c);
void draw_image(GdkPixbuf* pixbuf, int x, int y);
void drawing_font(const PangoFontDescription* font);
int draw_text(int x, int y, const text& t, colour front, colour back);
int text_width(const text& t);

// The x after a text w wide drawn at x, for outputs to return; it stops at
// the largest int rather than wrap.
inline int text_end(int x, int w)
{
    return int(std::min<std::int64_t>(std::int64_t(x) + w, INT_MAX));
}

// A rectangle of drawing space; its right and bottom edges lie outside it.
struct drawing_area {
    int left, top, right, bottom;
};

// The part of pixbuf, scaled bilinearly to w × h and placed at (x, y), that
// falls inside area: a new pixbuf to draw at (*part_x, *part_y), with the
// pixels gdk_pixbuf_scale_simple would give there (or, magnified beyond
// what that can step through, sampled alike). Null when no part shows or
// scaling fails. Only that part is made, so sizes far beyond the area cost
// no more than the area itself.
GdkPixbuf* scaled_visible_part(GdkPixbuf* pixbuf, int x, int y, int w, int h, drawing_area area, int* part_x,
                               int* part_y);
