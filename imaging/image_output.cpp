// The image output: the pixel work of drawing sessions on an image. set_mode
// picks the pixel and span routines once, boxes are spans of them, and blits
// copy or blend rows of another pixbuf. Text is in image_text.cpp; shapes the
// system never draws (circles, ellipses, lines) are left out.
#include "imaging/image_output.h"

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <cstring>

#include "imaging/image_store.h"

using namespace drawing_mode_bit;

namespace {

image_output_record* as_image(drawing_output* output)
{
    return reinterpret_cast<image_output_record*>(output);
}

std::uint8_t* pixel_at(image_output_record* o, std::int64_t x, std::int64_t y)
{
    return o->pixels + y * o->pitch + x * o->bytes_per_pixel;
}

void set_parts(colour_parts& parts, colour c, bool premultiplied)
{
    parts.alpha = c >> 24;
    parts.inverse_alpha = 255 - parts.alpha;
    std::uint32_t scale = premultiplied ? parts.alpha : 1;
    parts.red = (c & 0xFF) * scale;
    parts.green = (c >> 8 & 0xFF) * scale;
    parts.blue = (c >> 16 & 0xFF) * scale;
}

colour read_pixel(const image_output_record* o, const std::uint8_t* p)
{
    colour alpha = o->bytes_per_pixel == 4 ? p[3] : 255;
    return colour(p[0]) | colour(p[1]) << 8 | colour(p[2]) << 16 | alpha << 24;
}

void store_pixel(const image_output_record* o, std::uint8_t* p, colour c)
{
    p[0] = std::uint8_t(c);
    p[1] = std::uint8_t(c >> 8);
    p[2] = std::uint8_t(c >> 16);
    if (o->bytes_per_pixel == 4)
        p[3] = std::uint8_t(c >> 24);
}

// Source over a pixel that has its own alpha. part is the colour byte already
// multiplied by alpha; a transparent pixel simply takes the colour.
inline void part_over_alpha_pixel(std::uint8_t* p, std::uint32_t red, std::uint32_t green, std::uint32_t blue,
                                  std::uint32_t alpha, bool update_alpha)
{
    if (alpha == 0)
        return;
    std::uint32_t a = p[3];
    if (a == 0) {
        p[0] = std::uint8_t(red / alpha);
        p[1] = std::uint8_t(green / alpha);
        p[2] = std::uint8_t(blue / alpha);
    } else {
        std::uint32_t below = (255 - alpha) * a;
        std::uint32_t total = below + alpha * 255;
        p[0] = std::uint8_t((red * 255 + below * p[0]) / total);
        p[1] = std::uint8_t((green * 255 + below * p[1]) / total);
        p[2] = std::uint8_t((blue * 255 + below * p[2]) / total);
    }
    if (update_alpha)
        p[3] = std::uint8_t((alpha * 255 + a * (255 - alpha)) / 255);
}

// Pixel writers. Each copies what it needs out of the output when made, so
// the loops below keep the colour in registers instead of rereading it
// through a byte pointer that might alias it.
struct write_rgb {
    std::uint8_t red, green, blue;
    explicit write_rgb(const image_output_record* o)
        : red(std::uint8_t(o->front.red)), green(std::uint8_t(o->front.green)), blue(std::uint8_t(o->front.blue))
    {
    }
    void operator()(std::uint8_t* p) const
    {
        p[0] = red;
        p[1] = green;
        p[2] = blue;
    }
};

struct write_xor {
    std::uint8_t red, green, blue;
    explicit write_xor(const image_output_record* o)
        : red(std::uint8_t(o->front.red)), green(std::uint8_t(o->front.green)), blue(std::uint8_t(o->front.blue))
    {
    }
    void operator()(std::uint8_t* p) const
    {
        p[0] ^= red;
        p[1] ^= green;
        p[2] ^= blue;
    }
};

struct write_rgba {
    std::uint8_t red, green, blue, alpha;
    explicit write_rgba(const image_output_record* o)
        : red(std::uint8_t(o->front.red)), green(std::uint8_t(o->front.green)), blue(std::uint8_t(o->front.blue)),
          alpha(std::uint8_t(o->front.alpha))
    {
    }
    void operator()(std::uint8_t* p) const
    {
        p[0] = red;
        p[1] = green;
        p[2] = blue;
        p[3] = alpha;
    }
};

struct write_alpha_only {
    std::uint8_t alpha;
    explicit write_alpha_only(const image_output_record* o) : alpha(std::uint8_t(o->front.alpha)) {}
    void operator()(std::uint8_t* p) const { p[3] = alpha; }
};

// Blend with the colour's alpha on a pixel without alpha of its own.
struct write_blend_rgb {
    std::uint32_t red, green, blue, inverse;
    explicit write_blend_rgb(const image_output_record* o)
        : red(o->front.red), green(o->front.green), blue(o->front.blue), inverse(o->front.inverse_alpha)
    {
    }
    void operator()(std::uint8_t* p) const
    {
        p[0] = std::uint8_t((p[0] * inverse + red) / 255);
        p[1] = std::uint8_t((p[1] * inverse + green) / 255);
        p[2] = std::uint8_t((p[2] * inverse + blue) / 255);
    }
};

template <bool update_alpha>
struct write_blend_rgba {
    std::uint32_t red, green, blue, alpha;
    explicit write_blend_rgba(const image_output_record* o)
        : red(o->front.red), green(o->front.green), blue(o->front.blue), alpha(o->front.alpha)
    {
    }
    void operator()(std::uint8_t* p) const { part_over_alpha_pixel(p, red, green, blue, alpha, update_alpha); }
};

template <class Writer>
void plot_with(image_output_record* o, std::uint8_t* p, int, int)
{
    const Writer write(o);
    write(p);
}

template <class Writer>
void span_with(image_output_record* o, int x, int y, int count, bool vertical)
{
    const Writer write(o);
    std::uint8_t* p = pixel_at(o, x, y);
    const std::ptrdiff_t step = vertical ? o->pitch : o->bytes_per_pixel;
    for (int i = 0; i < count; ++i, p += step)
        write(p);
}

void plot_nothing(image_output_record*, std::uint8_t*, int, int) {}
void span_nothing(image_output_record*, int, int, int, bool) {}

// The plain 3-byte row is the background of every diagram: one pixel, then
// doubling copies (or a memset for greys, which white and black are).
void span_rgb3(image_output_record* o, int x, int y, int count, bool vertical)
{
    if (vertical || count < 8) {
        span_with<write_rgb>(o, x, y, count, vertical);
        return;
    }
    std::uint8_t* p = pixel_at(o, x, y);
    const std::size_t total = std::size_t(count) * 3;
    if (o->front.red == o->front.green && o->front.green == o->front.blue) {
        std::memset(p, int(o->front.red), total);
        return;
    }
    write_rgb{o}(p);
    for (std::size_t done = 3; done < total;) {
        std::size_t n = std::min(done, total - done);
        std::memcpy(p + done, p, n);
        done += n;
    }
}

// Gradient and custom modes: the colour is worked out per pixel, then the
// base routine of the rest of the mode writes it.
void colour_pixel(image_output_record* o, std::uint8_t* p, int x, int y)
{
    colour c = o->gradient_on ? image_output_gradient_colour(o, x, y) : o->base.front_colour;
    if (o->custom_on) {
        store_pixel(o, p, o->custom_callback(x, y, c, read_pixel(o, p)));
        return;
    }
    set_parts(o->front, c, (o->mode & (alpha_blend | alpha_clip)) != 0);
    o->base_pixel(o, p, x, y);
}

// With the built-in gradient every pixel gets the same colour, so a shape
// can work it out once and draw all its spans with the base routine.
bool uniform_colour(const image_output_record* o)
{
    return !o->custom_on && image_output_gradient_is_uniform(o);
}

void take_gradient_colour(image_output_record* o, int x, int y)
{
    set_parts(o->front, image_output_gradient_colour(o, x, y), (o->mode & (alpha_blend | alpha_clip)) != 0);
}

void colour_span(image_output_record* o, int x, int y, int count, bool vertical)
{
    if (uniform_colour(o)) {
        take_gradient_colour(o, x, y);
        o->base_span(o, x, y, count, vertical);
        return;
    }
    std::uint8_t* p = pixel_at(o, x, y);
    const std::ptrdiff_t step = vertical ? o->pitch : o->bytes_per_pixel;
    for (int i = 0; i < count; ++i, p += step)
        colour_pixel(o, p, vertical ? x : x + i, vertical ? y + i : y);
}

double uniform_gradient(image_output_record*, int, int)
{
    return 1.0;
}

colour keep_destination(int, int, colour, colour destination)
{
    return destination;
}

void set_front_colour(drawing_output* output, colour c)
{
    image_output_record* o = as_image(output);
    set_parts(o->front, c, o->premultiplied);
}

void set_back_colour(drawing_output* output, colour c)
{
    image_output_record* o = as_image(output);
    set_parts(o->back, c, o->premultiplied);
}

void set_mode(drawing_output* output, std::int32_t mode)
{
    image_output_record* o = as_image(output);
    const bool four = o->bytes_per_pixel == 4;
    if (mode & direct_alpha) {
        mode &= ~(alpha_channel | alpha_blend | alpha_clip);
        if (!four)
            mode &= ~direct_alpha;
    }
    o->mode = mode;
    o->premultiplied =
        (mode & (alpha_blend | alpha_clip)) && !(mode & (xor_pixels | gradient | custom | direct_alpha));
    o->gradient_on = (mode & gradient) != 0;
    o->custom_on = (mode & custom) != 0;

    if (mode & xor_pixels) {
        o->base_pixel = plot_with<write_xor>;
        o->base_span = span_with<write_xor>;
    } else if (four && (mode & direct_alpha)) {
        o->base_pixel = plot_with<write_rgba>;
        o->base_span = span_with<write_rgba>;
    } else if (mode & alpha_channel) {
        o->base_pixel = four ? plot_with<write_alpha_only> : plot_nothing;
        o->base_span = four ? span_with<write_alpha_only> : span_nothing;
    } else if (!four && (mode & (alpha_blend | alpha_clip))) {
        o->base_pixel = plot_with<write_blend_rgb>;
        o->base_span = span_with<write_blend_rgb>;
    } else if (mode & alpha_blend) {
        o->base_pixel = plot_with<write_blend_rgba<true>>;
        o->base_span = span_with<write_blend_rgba<true>>;
    } else if (mode & alpha_clip) {
        o->base_pixel = plot_with<write_blend_rgba<false>>;
        o->base_span = span_with<write_blend_rgba<false>>;
    } else {
        o->base_pixel = plot_with<write_rgb>;
        o->base_span = four ? span_with<write_rgb> : span_rgb3;
    }
    if (o->gradient_on || o->custom_on) {
        o->plot_pixel = colour_pixel;
        o->fill_span = colour_span;
    } else {
        o->plot_pixel = o->base_pixel;
        o->fill_span = o->base_span;
    }
    // Gradient drawing leaves its colour in the front parts; put them back.
    set_parts(o->front, o->base.front_colour, o->premultiplied);
    set_parts(o->back, o->base.back_colour, o->premultiplied);
}

void box(drawing_output* output, int x_in, int y_in, int w_in, int h_in)
{
    image_output_record* o = as_image(output);
    // 64-bit so that boxes far outside the image cannot overflow.
    std::int64_t x = x_in, y = y_in, w = w_in, h = h_in;
    const std::int64_t width = o->base.width, height = o->base.height;
    if (w < 0) {
        x += w;
        w = -w;
    }
    if (h < 0) {
        y += h;
        h = -h;
    }
    if (!(o->mode & outlined)) {
        if (x < 0) {
            w += x;
            x = 0;
        }
        if (y < 0) {
            h += y;
            y = 0;
        }
        w = std::min(w, width - x);
        h = std::min(h, height - y);
        if (w <= 0 || h <= 0)
            return;
        span_routine span = o->fill_span;
        if (span == colour_span && uniform_colour(o)) {
            take_gradient_colour(o, int(x), int(y));
            span = o->base_span;
        }
        // Whole rows with no gap between them are one run: the background
        // of a diagram then costs a single memset.
        if (span != colour_span && x == 0 && w == width && std::int64_t(o->pitch) == width * o->bytes_per_pixel &&
            w * h <= INT_MAX) {
            span(o, 0, int(y), int(w * h), false);
            return;
        }
        for (std::int64_t row = y; row < y + h; ++row)
            span(o, int(x), int(row), int(w), false);
        return;
    }
    auto across = [&](std::int64_t row) {
        if (row < 0 || row >= height)
            return;
        std::int64_t first = std::max<std::int64_t>(x, 0), last = std::min(x + w - 1, width - 1);
        if (first <= last)
            o->fill_span(o, int(first), int(row), int(last - first + 1), false);
    };
    auto down = [&](std::int64_t column) {
        if (column < 0 || column >= width)
            return;
        std::int64_t first = std::max<std::int64_t>(y + 1, 0), last = std::min(y + h - 2, height - 1);
        if (first <= last)
            o->fill_span(o, int(column), int(first), int(last - first + 1), true);
    };
    across(y);
    across(y + h - 1);
    down(x);
    down(x + w - 1);
}

// Copies or blends a source of 3 or 4 bytes per pixel at (x, y) with the
// given opacity, clipped to the image.
void blit(image_output_record* o, const std::uint8_t* source, std::int64_t source_pitch, int source_bpp,
          std::int64_t w, std::int64_t h, std::int64_t x, std::int64_t y, std::uint32_t opacity)
{
    std::int64_t skip_columns = 0, skip_rows = 0;
    if (x < 0) {
        skip_columns = -x;
        w += x;
        x = 0;
    }
    if (y < 0) {
        skip_rows = -y;
        h += y;
        y = 0;
    }
    w = std::min(w, std::int64_t(o->base.width) - x);
    h = std::min(h, std::int64_t(o->base.height) - y);
    if (w <= 0 || h <= 0)
        return;
    source += skip_rows * source_pitch + skip_columns * source_bpp;

    const int bpp = o->bytes_per_pixel;
    const bool four = bpp == 4;
    const bool source_alpha = source_bpp == 4;
    const std::int32_t mode = o->mode;
    // The weight of one source pixel: the opacity, times its alpha if it has one.
    auto weight = [&](const std::uint8_t* s) -> std::uint32_t {
        if (!source_alpha)
            return opacity;
        return opacity == 255 ? s[3] : opacity * s[3] / 255;
    };

    for (std::int64_t row = 0; row < h; ++row) {
        const std::uint8_t* s = source + row * source_pitch;
        std::uint8_t* d = pixel_at(o, x, y + row);
        if (o->custom_on) {
            for (std::int64_t i = 0; i < w; ++i, s += source_bpp, d += bpp) {
                colour c = colour(s[0]) | colour(s[1]) << 8 | colour(s[2]) << 16 | weight(s) << 24;
                store_pixel(o, d, o->custom_callback(int(x + i), int(y + row), c, read_pixel(o, d)));
            }
        } else if (mode & xor_pixels) {
            for (std::int64_t i = 0; i < w; ++i, s += source_bpp, d += bpp) {
                d[0] ^= s[0];
                d[1] ^= s[1];
                d[2] ^= s[2];
            }
        } else if (!four) {
            if (mode & alpha_channel)
                return;
            if (!source_alpha && opacity == 255) {
                std::memcpy(d, s, std::size_t(w) * 3);
                continue;
            }
            for (std::int64_t i = 0; i < w; ++i, s += source_bpp, d += 3) {
                std::uint32_t a = weight(s);
                if (a == 0)
                    continue;
                d[0] = std::uint8_t((s[0] * a + d[0] * (255 - a)) / 255);
                d[1] = std::uint8_t((s[1] * a + d[1] * (255 - a)) / 255);
                d[2] = std::uint8_t((s[2] * a + d[2] * (255 - a)) / 255);
            }
        } else {
            for (std::int64_t i = 0; i < w; ++i, s += source_bpp, d += 4) {
                std::uint32_t a = weight(s);
                if (mode & direct_alpha) {
                    d[0] = s[0];
                    d[1] = s[1];
                    d[2] = s[2];
                    d[3] = std::uint8_t(a);
                } else if (mode & alpha_channel) {
                    d[3] = std::uint8_t(a);
                } else if (!source_alpha && a == 255 && !(mode & (alpha_blend | alpha_clip))) {
                    d[0] = s[0];
                    d[1] = s[1];
                    d[2] = s[2];
                } else {
                    bool update_alpha = !(mode & alpha_clip) || (mode & alpha_blend);
                    part_over_alpha_pixel(d, s[0] * a, s[1] * a, s[2] * a, a, update_alpha);
                }
            }
        }
    }
}

// A pixbuf this output can read: 8-bit RGB, 3 bytes a pixel or 4 with alpha.
bool readable(GdkPixbuf* pixbuf)
{
    if (!pixbuf || gdk_pixbuf_get_colorspace(pixbuf) != GDK_COLORSPACE_RGB ||
        gdk_pixbuf_get_bits_per_sample(pixbuf) != 8)
        return false;
    int channels = gdk_pixbuf_get_n_channels(pixbuf);
    return gdk_pixbuf_get_has_alpha(pixbuf) ? channels == 4 : channels == 3;
}

void draw_pixbuf(image_output_record* o, GdkPixbuf* pixbuf, int x, int y, std::uint32_t opacity)
{
    if (!readable(pixbuf))
        return;
    blit(o, gdk_pixbuf_get_pixels(pixbuf), gdk_pixbuf_get_rowstride(pixbuf), gdk_pixbuf_get_n_channels(pixbuf),
         gdk_pixbuf_get_width(pixbuf), gdk_pixbuf_get_height(pixbuf), x, y, opacity);
}

void draw_image(drawing_output* output, GdkPixbuf* pixbuf, int x, int y)
{
    draw_pixbuf(as_image(output), pixbuf, x, y, 255);
}

void draw_image_sized(drawing_output* output, GdkPixbuf* pixbuf, int x, int y, int w, int h)
{
    if (!readable(pixbuf))
        return;
    if (w == gdk_pixbuf_get_width(pixbuf) && h == gdk_pixbuf_get_height(pixbuf)) {
        draw_image(output, pixbuf, x, y);
        return;
    }
    // Only the part that lands in the image is scaled.
    int part_x = 0, part_y = 0;
    GdkPixbuf* part =
        scaled_visible_part(pixbuf, x, y, w, h, {0, 0, output->width, output->height}, &part_x, &part_y);
    if (!part)
        return;
    draw_image(output, part, part_x, part_y);
    g_object_unref(part);
}

void draw_image_faded(drawing_output* output, GdkPixbuf* pixbuf, int x, int y, int opacity)
{
    draw_pixbuf(as_image(output), pixbuf, x, y, std::uint32_t(std::clamp(opacity, 0, 255)));
}

bool inside(const image_output_record* o, int x, int y)
{
    return x >= 0 && y >= 0 && x < o->base.width && y < o->base.height;
}

void plot(drawing_output* output, int x, int y)
{
    image_output_record* o = as_image(output);
    if (inside(o, x, y))
        o->plot_pixel(o, pixel_at(o, x, y), x, y);
}

void plot_colour(drawing_output* output, int x, int y, colour c)
{
    if (c != output->front_colour) {
        output->front_colour = c;
        set_front_colour(output, c);
    }
    plot(output, x, y);
}

// Images without alpha read back with alpha 0, like the colours callers pass.
colour point(drawing_output* output, int x, int y)
{
    image_output_record* o = as_image(output);
    if (!inside(o, x, y))
        return 0;
    colour c = read_pixel(o, pixel_at(o, x, y));
    return o->bytes_per_pixel == 4 ? c : c & 0xFFFFFF;
}

std::uint8_t* buffer(drawing_output* output)
{
    return as_image(output)->pixels;
}

std::int32_t buffer_pitch(drawing_output* output)
{
    return as_image(output)->pitch;
}

std::int32_t buffer_format(drawing_output* output)
{
    return as_image(output)->pixel_format;
}

std::intptr_t start(drawing_output* output)
{
    image_output_record* o = as_image(output);
    if (!o->pixels)
        return 0;
    image_text_start(o);
    return reinterpret_cast<std::intptr_t>(o->pixels);
}

void stop(drawing_output* output)
{
    image_text_stop(as_image(output));
}

const output_operations image_operations = {
    .set_back_colour = set_back_colour,          // back colour parts, for text backgrounds
    .box = box,                                  // filled, or only the outline in mode 0x04
    .rounded_box = nullptr,                      // never drawn on images
    .circle = nullptr,                           // never drawn on images
    .set_font = image_output_set_font,           // layout font; grows the text pixmap if needed
    .buffer = buffer,                            // the image's pixels
    .buffer_pitch = buffer_pitch,                // bytes per row
    .buffer_format = buffer_format,              // 32 with alpha, 8 without
    .set_mode = set_mode,                        // picks the pixel routines, resets colour parts
    .draw_image = draw_image,                    // blit at natural size, clipped
    .draw_image_sized = draw_image_sized,        // bilinear scale first when the size differs
    .draw_image_faded = draw_image_faded,        // blit with opacity 0...255
    .draw_text = image_output_draw_text,         // returns x after the text
    .draw_text_rotated = nullptr,                // never drawn on images
    .ellipse = nullptr,                          // never drawn on images
    .fill_area = nullptr,                        // never used on images
    .set_front_colour = set_front_colour,        // front colour parts
    .grab_image = nullptr,                       // never used on images
    .line = nullptr,                             // never drawn on images
    .plot = plot,                                // one pixel in the front colour
    .plot_colour = plot_colour,                  // one pixel in the given colour
    .point = point,                              // reads one pixel
    .start = start,                              // text resources; the pixel pointer, 0 without pixels
    .stop = stop,                                // frees the text resources
    .text_height = image_output_text_height,     // logical height in pixels
    .text_width = image_output_text_width,       // logical width in pixels
    .release = nullptr,                          // nothing beyond stop
};

}  // namespace

colour image_output_gradient_colour(image_output_record* o, int x, int y)
{
    double t = o->gradient_function(o, x, y);
    colour result = 0;
    for (int shift = 0; shift < 32; shift += 8) {
        double start_part = double(o->base.gradient_start >> shift & 0xFF);
        double end_part = double(o->base.gradient_end >> shift & 0xFF);
        double value = std::clamp(start_part * (1.0 - t) + end_part * t, 0.0, 255.0);
        result |= colour(value) << shift;
    }
    return result;
}

bool image_output_gradient_is_uniform(const image_output_record* output)
{
    return output->gradient_function == uniform_gradient;
}

drawing_output* image_output_for_pixbuf(GdkPixbuf* pixbuf)
{
    if (!readable(pixbuf))
        return nullptr;
    auto* o = static_cast<image_output_record*>(std::calloc(1, sizeof(image_output_record)));
    if (!o)
        return nullptr;
    drawing_make_current(&o->base);
    const bool alpha = gdk_pixbuf_get_has_alpha(pixbuf);
    o->pixel_format = alpha ? 32 : 8;
    o->bytes_per_pixel = alpha ? 4 : 3;
    o->base.ops = image_operations;
    o->base.gradient_end = 0xFFFFFFFF;
    o->base.gradient_start = 0xFF000000;
    o->gradient_function = uniform_gradient;
    o->custom_callback = keep_destination;
    set_mode(&o->base, 0);
    o->base.width = gdk_pixbuf_get_width(pixbuf);
    o->base.height = gdk_pixbuf_get_height(pixbuf);
    o->base.depth = alpha ? 32 : 24;
    o->pixels = gdk_pixbuf_get_pixels(pixbuf);
    o->pitch = gdk_pixbuf_get_rowstride(pixbuf);
    return &o->base;
}

drawing_output* image_output(object_number number)
{
    const image_record* record = image_lookup(number);
    if (!record || !record->handle)
        return nullptr;
    // The size comes from the pixbuf itself, which the record mirrors.
    drawing_output* output = image_output_for_pixbuf(record->handle);
    if (output)
        output->depth = record->depth;
    return output;
}
