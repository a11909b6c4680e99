// Text on images when there is no X display, as for the renderer run from a
// script: the same Pango layout, drawn by cairo into an image surface, gives
// the coverage the X pixmap would. On another display the editor's glyphs
// may differ in size or antialiasing from these.
#include "imaging/image_output.h"

#include <cstdint>

#include <pango/pangocairo.h>

namespace {

// The resolution and font options the virtual X server gives a screen when
// nothing says otherwise; with them cairo draws the glyphs the X server draws
// for the editor there, so a diagram made with and without a display match.
constexpr double screen_resolution = 100.0;

}  // namespace

PangoContext* text_surface_context()
{
    PangoContext* context = pango_font_map_create_context(pango_cairo_font_map_get_default());
    pango_cairo_context_set_resolution(context, screen_resolution);
    cairo_font_options_t* options = cairo_font_options_create();
    cairo_font_options_set_antialias(options, CAIRO_ANTIALIAS_GRAY);
    cairo_font_options_set_hint_style(options, CAIRO_HINT_STYLE_FULL);
    cairo_font_options_set_hint_metrics(options, CAIRO_HINT_METRICS_ON);
    pango_cairo_context_set_font_options(context, options);
    cairo_font_options_destroy(options);
    return context;
}

cairo_surface_t* text_surface_new(int width, int height)
{
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, width, height);
    if (cairo_surface_status(surface) == CAIRO_STATUS_SUCCESS)
        return surface;
    cairo_surface_destroy(surface);
    return nullptr;
}

bool text_surface_read(cairo_surface_t* surface, PangoLayout* layout, int ox, int top, int columns, int rows,
                       GdkPixbuf* snapshot)
{
    cairo_t* cr = cairo_create(surface);
    cairo_set_source_rgb(cr, 0, 0, 0);
    cairo_rectangle(cr, 0, top, columns, rows);
    cairo_fill(cr);
    cairo_set_source_rgb(cr, 1, 1, 1);
    cairo_move_to(cr, ox, 0);
    pango_cairo_show_layout(cr, layout);
    const bool drawn = cairo_status(cr) == CAIRO_STATUS_SUCCESS;
    cairo_destroy(cr);
    if (!drawn)
        return false;
    cairo_surface_flush(surface);
    // xRGB words to the snapshot's red, green, blue bytes.
    const std::uint8_t* data = cairo_image_surface_get_data(surface);
    const int stride = cairo_image_surface_get_stride(surface);
    std::uint8_t* to = gdk_pixbuf_get_pixels(snapshot);
    const int to_stride = gdk_pixbuf_get_rowstride(snapshot);
    const int channels = gdk_pixbuf_get_n_channels(snapshot);
    for (int row = 0; row < rows; row++) {
        const auto* from = reinterpret_cast<const std::uint32_t*>(data + std::ptrdiff_t(top + row) * stride);
        std::uint8_t* line = to + std::ptrdiff_t(row) * to_stride;
        for (int column = 0; column < columns; column++, line += channels) {
            line[0] = std::uint8_t(from[column] >> 16);
            line[1] = std::uint8_t(from[column] >> 8);
            line[2] = std::uint8_t(from[column]);
        }
    }
    return true;
}
