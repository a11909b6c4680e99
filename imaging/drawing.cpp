// Drawing sessions: the one current output and the entry operations that act
// on it. Entry operations pass colours on to the output only when they
// change, so an output's colour work runs once per colour, not per shape.
// What an output does with the calls is its own matter (image_output.cpp,
// the printer output).
#include "imaging/drawing.h"

#include <algorithm>
#include <cstdlib>

const PangoFontDescription* const output_default_font =
    reinterpret_cast<const PangoFontDescription*>(std::intptr_t(-1));

namespace {

drawing_output* current = nullptr;

// The output loses its current place and its memory; release runs first
// when the output has one.
void discard(drawing_output* output, int release_flag)
{
    if (output->ops.release)
        output->ops.release(output, release_flag);
    std::free(output);
    current = nullptr;
}

void pass_front_colour(drawing_output* output, colour c)
{
    if (c == output->front_colour)
        return;
    output->front_colour = c;
    if (output->ops.set_front_colour)
        output->ops.set_front_colour(output, c);
}

void pass_back_colour(drawing_output* output, colour c)
{
    if (c == output->back_colour)
        return;
    output->back_colour = c;
    if (output->ops.set_back_colour)
        output->ops.set_back_colour(output, c);
}

}  // namespace

void drawing_init()
{
    current = nullptr;
}

drawing_output* drawing_current()
{
    return current;
}

void drawing_make_current(drawing_output* output)
{
    current = output;
}

std::intptr_t drawing_start(drawing_output* output)
{
    if (!output)
        return 0;
    std::intptr_t result = output->ops.start ? output->ops.start(output) : 0;
    if (result)
        return result;
    discard(output, 0);
    return 0;
}

void drawing_stop()
{
    if (!current)
        return;
    if (current->ops.stop)
        current->ops.stop(current);
    discard(current, 1);
}

void drawing_mode(std::int32_t mode)
{
    if (current && current->ops.set_mode)
        current->ops.set_mode(current, mode);
}

void draw_box(int x, int y, int w, int h, colour c)
{
    if (!current)
        return;
    pass_front_colour(current, c);
    if (current->ops.box)
        current->ops.box(current, x, y, w, h);
}

void draw_image(GdkPixbuf* pixbuf, int x, int y)
{
    if (current && current->ops.draw_image)
        current->ops.draw_image(current, pixbuf, x, y);
}

void drawing_font(const PangoFontDescription* font)
{
    if (current && current->ops.set_font)
        current->ops.set_font(current, font);
}

int draw_text(int x, int y, const text& t, colour front, colour back)
{
    if (!current)
        return x;
    pass_front_colour(current, front);
    pass_back_colour(current, back);
    return current->ops.draw_text ? current->ops.draw_text(current, x, y, t) : x;
}

int text_width(const text& t)
{
    if (current && current->ops.text_width)
        return current->ops.text_width(current, t);
    return 0;
}

namespace {

// GdkPixbuf's scaler steps through the source in 16.16 fixed point and gives
// up, leaving the pixels unset, once one source pixel spans 65536 or more.
// Parts of images magnified that far are sampled here instead.
constexpr double scaler_factor_limit = 32768;

// The source pixel row or column below a destination one, and the weight of
// the next, for bilinear sampling with pixel centres aligned.
struct sample_step {
    int first, second;
    double weight_second;
};

sample_step step_at(std::int64_t destination, double factor, int source_size)
{
    const double at = std::clamp((double(destination) + 0.5) / factor - 0.5, 0.0, double(source_size - 1));
    const int first = int(at);
    return {first, std::min(first + 1, source_size - 1), at - first};
}

void sample_magnified(GdkPixbuf* source, GdkPixbuf* part, std::int64_t from_x, std::int64_t from_y, double factor_x,
                      double factor_y)
{
    const int channels = gdk_pixbuf_get_n_channels(source);
    const bool alpha = gdk_pixbuf_get_has_alpha(source);
    const int source_pitch = gdk_pixbuf_get_rowstride(source), part_pitch = gdk_pixbuf_get_rowstride(part);
    const guchar* pixels = gdk_pixbuf_get_pixels(source);
    for (int j = 0; j < gdk_pixbuf_get_height(part); ++j) {
        const sample_step v = step_at(from_y + j, factor_y, gdk_pixbuf_get_height(source));
        guchar* out = gdk_pixbuf_get_pixels(part) + std::ptrdiff_t(j) * part_pitch;
        for (int i = 0; i < gdk_pixbuf_get_width(part); ++i, out += channels) {
            const sample_step u = step_at(from_x + i, factor_x, gdk_pixbuf_get_width(source));
            const guchar* corner[4] = {pixels + std::ptrdiff_t(v.first) * source_pitch + u.first * channels,
                                       pixels + std::ptrdiff_t(v.first) * source_pitch + u.second * channels,
                                       pixels + std::ptrdiff_t(v.second) * source_pitch + u.first * channels,
                                       pixels + std::ptrdiff_t(v.second) * source_pitch + u.second * channels};
            const double weight[4] = {(1 - u.weight_second) * (1 - v.weight_second),
                                      u.weight_second * (1 - v.weight_second),
                                      (1 - u.weight_second) * v.weight_second, u.weight_second * v.weight_second};
            // With alpha, colours weigh by their alpha, so clear pixels lend no colour.
            double cover = 1;
            if (alpha) {
                cover = 0;
                for (int k = 0; k < 4; ++k)
                    cover += weight[k] * corner[k][3];
                out[3] = guchar(cover + 0.5);
            }
            for (int c = 0; c < 3; ++c) {
                double sum = 0;
                for (int k = 0; k < 4; ++k)
                    sum += weight[k] * corner[k][c] * (alpha ? corner[k][3] : 1);
                out[c] = cover > 0 ? guchar(sum / cover + 0.5) : 0;
            }
        }
    }
}

}  // namespace

GdkPixbuf* scaled_visible_part(GdkPixbuf* pixbuf, int x, int y, int w, int h, drawing_area area, int* part_x,
                               int* part_y)
{
    if (!pixbuf || w <= 0 || h <= 0)
        return nullptr;
    const std::int64_t left = std::max(x, area.left), top = std::max(y, area.top);
    const std::int64_t right = std::min<std::int64_t>(std::int64_t(x) + w, area.right);
    const std::int64_t bottom = std::min<std::int64_t>(std::int64_t(y) + h, area.bottom);
    if (right <= left || bottom <= top)
        return nullptr;
    GdkPixbuf* part = gdk_pixbuf_new(GDK_COLORSPACE_RGB, gdk_pixbuf_get_has_alpha(pixbuf), 8, int(right - left),
                                     int(bottom - top));
    if (!part)
        return nullptr;
    // The whole scaled image would begin (left - x, top - y) before the part;
    // both are below w and h, so the scaler's own int arithmetic holds them.
    const double factor_x = double(w) / gdk_pixbuf_get_width(pixbuf);
    const double factor_y = double(h) / gdk_pixbuf_get_height(pixbuf);
    if (factor_x >= scaler_factor_limit || factor_y >= scaler_factor_limit)
        sample_magnified(pixbuf, part, left - x, top - y, factor_x, factor_y);
    else
        gdk_pixbuf_scale(pixbuf, part, 0, 0, int(right - left), int(bottom - top), double(x - left),
                         double(y - top), factor_x, factor_y, GDK_INTERP_BILINEAR);
    *part_x = int(left);
    *part_y = int(top);
    return part;
}
