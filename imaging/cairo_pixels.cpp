// Alpha is premultiplied with rounding, as cairo's own conversions do.
#include "imaging/cairo_pixels.h"

#include <cstddef>

cairo_surface_t* cairo_surface_from_pixels(const std::uint8_t* pixels, int width, int height, int rowstride, bool alpha)
{
    if (!pixels || width <= 0 || height <= 0 || rowstride < width * (alpha ? 4 : 3))
        return nullptr;
    cairo_surface_t* surface =
        cairo_image_surface_create(alpha ? CAIRO_FORMAT_ARGB32 : CAIRO_FORMAT_RGB24, width, height);
    if (cairo_surface_status(surface) != CAIRO_STATUS_SUCCESS) {
        cairo_surface_destroy(surface);
        return nullptr;
    }
    cairo_surface_flush(surface);
    std::uint8_t* data = cairo_image_surface_get_data(surface);
    int stride = cairo_image_surface_get_stride(surface);
    for (int y = 0; y < height; ++y) {
        const std::uint8_t* from = pixels + std::size_t(y) * std::size_t(rowstride);
        auto* to = reinterpret_cast<std::uint32_t*>(data + std::size_t(y) * std::size_t(stride));
        for (int x = 0; x < width; ++x) {
            std::uint32_t r = from[0], g = from[1], b = from[2];
            std::uint32_t a = 255;
            if (alpha) {
                a = from[3];
                r = (r * a + 127) / 255;
                g = (g * a + 127) / 255;
                b = (b * a + 127) / 255;
                from += 4;
            } else {
                from += 3;
            }
            to[x] = a << 24 | r << 16 | g << 8 | b;
        }
    }
    cairo_surface_mark_dirty(surface);
    return surface;
}

