// The image output: drawing straight into an image's pixel buffer. Shapes
// and blits write pixels with a routine chosen once per mode; text is laid
// out in an off-screen pixmap and blended in (image_text.cpp).
#pragma once

#include <cstdint>

#include <cairo.h>
#include <gdk/gdk.h>

#include "imaging/drawing.h"
#include "toolkit/object_table.h"

struct image_output_record;
using pixel_routine = void (*)(image_output_record*, std::uint8_t* pixel, int x, int y);
// Writes count pixels from (x, y) rightward, or downward when vertical.
using span_routine = void (*)(image_output_record*, int x, int y, int count, bool vertical);

struct colour_parts {
    std::uint32_t red, green, blue, alpha, inverse_alpha;
};

struct image_output_record {
    drawing_output base;
    double (*gradient_function)(image_output_record*, int x, int y);
    colour (*custom_callback)(int x, int y, colour source, colour destination);
    std::uint8_t* pixels;
    std::int32_t pitch;
    std::int32_t pixel_format;  // 32 with an alpha channel, else 8
    std::int32_t bytes_per_pixel;
    std::int32_t mode;
    bool premultiplied;
    bool gradient_on;
    bool custom_on;
    colour_parts front;
    colour_parts back;
    // Chosen by set_mode. The base routines are what the mode writes once a
    // pixel's colour is known; gradient and custom modes run a per-pixel
    // colour step in front of them.
    pixel_routine plot_pixel;
    span_routine fill_span;
    pixel_routine base_pixel;
    span_routine base_span;
    // Text resources, from start to stop.
    PangoContext* pango_context;
    PangoLayout* layout;
    GdkPixmap* text_pixmap;
    GdkGC* text_gc;
    GdkPixbuf* snapshot;
    std::int32_t pixmap_height;
    PangoFontDescription* default_font;
    // Without a display cairo draws the text into this surface instead of
    // the pixmap; it has the pixmap's size.
    cairo_surface_t* text_surface;
};

// A new output for the image, made current at once; null for an absent image.
drawing_output* image_output(object_number number);

// The same over a pixbuf the caller keeps alive for the output's life
// (8-bit RGB, with or without alpha); null for anything else.
drawing_output* image_output_for_pixbuf(GdkPixbuf* pixbuf);

// Text operations of the image output (image_text.cpp).
void image_text_start(image_output_record* output);
void image_text_stop(image_output_record* output);
void image_output_set_font(drawing_output* output, const PangoFontDescription* font);
int image_output_draw_text(drawing_output* output, int x, int y, const text& t);
int image_output_text_width(drawing_output* output, const text& t);
int image_output_text_height(drawing_output* output, const text& t);
// Text without a display (text_surface.cpp): Pango lays the text out and
// cairo draws it white on black into an image surface in place of the X
// pixmap, at the resolution a virtual X screen has by default.
PangoContext* text_surface_context();
cairo_surface_t* text_surface_new(int width, int height);  // null on failure
// Clears the rows top .. top + rows - 1 of the first columns, draws the
// layout at (ox, 0) and copies that box into the snapshot from its (0, 0).
bool text_surface_read(cairo_surface_t* surface, PangoLayout* layout, int ox, int top, int columns, int rows,
                       GdkPixbuf* snapshot);

// Gradient colour at a pixel, shared by shapes and text.
colour image_output_gradient_colour(image_output_record* output, int x, int y);
// True while the gradient is the built-in one, whose colour is the same for
// every pixel; lets spans and text work out the colour once.
bool image_output_gradient_is_uniform(const image_output_record* output);
