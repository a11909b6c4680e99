// Helpers for the printing tests: recorded pages played onto white pixels,
// so that where a drawing lands on paper can be read back, and small
// pixbufs with known colours.
#pragma once

#include <array>
#include <cmath>
#include <string>
#include <vector>

#include <cairo.h>
#include <gdk-pixbuf/gdk-pixbuf.h>

#include "print/page.h"

using rgb_pixel = std::array<int, 3>;

// A recorded page as paper at one pixel per point, top row first.
struct played_page {
    cairo_surface_t* surface;
    played_page(const page_job* job, std::int32_t index, double width, double height)
        : surface(cairo_image_surface_create(CAIRO_FORMAT_RGB24, int(std::ceil(width)), int(std::ceil(height))))
    {
        cairo_t* cr = cairo_create(surface);
        cairo_set_source_rgb(cr, 1, 1, 1);
        cairo_paint(cr);
        page_job_play_page(job, index, cr);
        cairo_destroy(cr);
        cairo_surface_flush(surface);
    }
    ~played_page() { cairo_surface_destroy(surface); }
    played_page(const played_page&) = delete;
    played_page& operator=(const played_page&) = delete;
    rgb_pixel at(int x, int y) const
    {
        const unsigned char* row = cairo_image_surface_get_data(surface) + y * cairo_image_surface_get_stride(surface);
        std::uint32_t p = reinterpret_cast<const std::uint32_t*>(row)[x];
        return {int(p >> 16 & 0xFF), int(p >> 8 & 0xFF), int(p & 0xFF)};
    }
    bool inked(int x, int y) const { return at(x, y) != rgb_pixel{255, 255, 255}; }
    int width() const { return cairo_image_surface_get_width(surface); }
    int height() const { return cairo_image_surface_get_height(surface); }
};

// A pixbuf whose pixels are given row by row as 0xRRGGBB (or 0xRRGGBBAA).
inline GdkPixbuf* pixbuf_from(int width, int height, bool alpha, const std::vector<std::uint32_t>& pixels)
{
    GdkPixbuf* pixbuf = gdk_pixbuf_new(GDK_COLORSPACE_RGB, alpha, 8, width, height);
    const int channels = alpha ? 4 : 3;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            guchar* p = gdk_pixbuf_get_pixels(pixbuf) + y * gdk_pixbuf_get_rowstride(pixbuf) + x * channels;
            std::uint32_t v = pixels[std::size_t(y * width + x)];
            if (alpha) {
                p[0] = guchar(v >> 24);
                p[1] = guchar(v >> 16);
                p[2] = guchar(v >> 8);
                p[3] = guchar(v);
            } else {
                p[0] = guchar(v >> 16);
                p[1] = guchar(v >> 8);
                p[2] = guchar(v);
            }
        }
    return pixbuf;
}

// Lines of a call recording, for comparing a stretch of it.
inline std::vector<std::string> recorded_lines(const std::string& log)
{
    std::vector<std::string> lines;
    std::string::size_type start = 0;
    while (start < log.size()) {
        std::string::size_type end = log.find('\n', start);
        if (end == std::string::npos)
            end = log.size();
        lines.push_back(log.substr(start, end - start));
        start = end + 1;
    }
    return lines;
}
