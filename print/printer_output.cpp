// The printer output: drawing calls become page calls on the open page of
// the print job. Drawing space has y downward from the top of the page; the
// page has y upward from the bottom, so every y becomes H - y.
//
// Calls may bring any int coordinates and sizes, but the page keeps points
// in a fixed-point form that wraps beyond about 8 million points, and a
// wrapped point lands somewhere on the paper. So nothing far off the page is
// sent: images and text that miss the page are dropped, lines are cut, and
// the corners of boxes and curves are pulled in to a limit where the parts
// that show on paper are unchanged (or, for curves hundreds of metres
// across, all but unchanged).
#include "print/printer_output.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "print/print_job.h"

namespace {

constexpr std::int32_t mode_transparent = 0x01;
constexpr std::int32_t mode_outlined = 0x04;

printer_output_record* as_printer(drawing_output* output)
{
    return reinterpret_cast<printer_output_record*>(output);
}

// Far enough off the page that no stroke drawn there reaches the paper,
// which may also be a fraction of a point larger than the page.
constexpr double page_margin = 16;
// Every point sent to the page lies within this many points of its origin,
// well inside what the page can hold even when played at printer resolution.
constexpr double far_limit = 1 << 19;

double page_y(const printer_output_record* p, double y)
{
    return double(p->base.height) - y;
}

double pulled_in(double v)
{
    return std::clamp(v, -far_limit, far_limit);
}

// Whether a rectangle of drawing space (size pointing either way) meets the
// page and its margin.
bool meets_page(const printer_output_record* p, double x, double y, double w, double h)
{
    const double left = std::min(x, x + w), right = std::max(x, x + w);
    const double top = std::min(y, y + h), bottom = std::max(y, y + h);
    return right >= -page_margin && left <= p->base.width + page_margin && bottom >= -page_margin &&
           top <= p->base.height + page_margin;
}

void paint_path(printer_output_record* p)
{
    if (p->mode & mode_outlined)
        page_stroke(p->context);
    else
        page_fill(p->context);
}

void set_rgb(printer_output_record* p, colour c)
{
    page_set_rgb(p->context, (c & 0xFF) / 255.0, ((c >> 8) & 0xFF) / 255.0, ((c >> 16) & 0xFF) / 255.0);
}

// Edges pulled in to the limit stay straight, so what shows is unchanged.
void rectangle_path(printer_output_record* p, double x, double y, double w, double h)
{
    const double left = pulled_in(x), right = pulled_in(x + w);
    const double top = pulled_in(page_y(p, y)), bottom = pulled_in(page_y(p, y) - h);
    page_move_to(p->context, left, top);
    page_line_to(p->context, right, top);
    page_line_to(p->context, right, bottom);
    page_line_to(p->context, left, bottom);
    page_line_to(p->context, left, top);
}

void set_back_colour(drawing_output*, colour)
{
    // draw_text reads back_colour itself.
}

// A negative width or height extends the box left or up from (x, y).
void normalise_box(double& x, double& y, double& w, double& h)
{
    if (w < 0) {
        x += w;
        w = -w;
    }
    if (h < 0) {
        y += h;
        h = -h;
    }
}

void box(drawing_output* output, int x_in, int y_in, int w_in, int h_in)
{
    printer_output_record* p = as_printer(output);
    double x = x_in, y = y_in, w = w_in, h = h_in;
    normalise_box(x, y, w, h);
    rectangle_path(p, x, y, w, h);
    paint_path(p);
}

// A quarter arc as one cubic curve from (a, b) to (a + dx, b + dy), leaving
// horizontally or vertically.
constexpr double arc_k = 0.55228475;
constexpr double arc_k_rest = 0.44771525;

// Closed shapes of lines and curves, pulled in to the far limit point by
// point on the way to the page.
void move_to(page_context* c, double x, double y)
{
    page_move_to(c, pulled_in(x), pulled_in(y));
}

void line_to(page_context* c, double x, double y)
{
    page_line_to(c, pulled_in(x), pulled_in(y));
}

void curve_to(page_context* c, double x1, double y1, double x2, double y2, double x3, double y3)
{
    page_curve_to(c, pulled_in(x1), pulled_in(y1), pulled_in(x2), pulled_in(y2), pulled_in(x3), pulled_in(y3));
}

void corner(page_context* c, double a, double b, double dx, double dy, bool horizontal_start)
{
    if (horizontal_start)
        curve_to(c, a + arc_k * dx, b, a + dx, b + arc_k_rest * dy, a + dx, b + dy);
    else
        curve_to(c, a, b + arc_k * dy, a + arc_k_rest * dx, b + dy, a + dx, b + dy);
}

// The outline spans w + 1 by h + 1 points, one more than a plain box.
void rounded_box(drawing_output* output, int x_in, int y_in, int w_in, int h_in, int rx_in, int ry_in)
{
    printer_output_record* p = as_printer(output);
    double x = x_in, y = y_in, w = w_in, h = h_in;
    const double rx = rx_in, ry = ry_in;
    normalise_box(x, y, w, h);
    // Wholly off the page (corners included) it would not show.
    if (!meets_page(p, x - std::abs(rx), y - std::abs(ry), w + 2 * std::abs(rx) + 1, h + 2 * std::abs(ry) + 1))
        return;
    const double sw = w - 2.0 * rx + 1, sh = h - 2.0 * ry + 1;
    page_context* c = p->context;
    double px = x + rx, py = page_y(p, y);
    move_to(c, px, py);
    px += sw;
    line_to(c, px, py);
    corner(c, px, py, rx, -ry, true);
    px += rx;
    py -= ry + sh;
    line_to(c, px, py);
    corner(c, px, py, -rx, -ry, false);
    px -= rx + sw;
    py -= ry;
    line_to(c, px, py);
    corner(c, px, py, -rx, ry, true);
    px -= rx;
    py += ry + sh;
    line_to(c, px, py);
    corner(c, px, py, rx, ry, false);
    paint_path(p);
}

void circle(drawing_output* output, int x, int y, int radius_in)
{
    printer_output_record* p = as_printer(output);
    double cx = x, cy = page_y(p, y), radius = radius_in;
    const double reach = std::abs(radius);
    if (!meets_page(p, x - reach, y - reach, 2 * reach, 2 * reach))
        return;
    if (reach > far_limit / 2) {
        // A circle this large is all but straight where it crosses the page.
        // A smaller one whose centre moves toward the page by as much as the
        // radius shrinks keeps the edge nearest the page where it was.
        const double page_x = p->base.width / 2.0, page_y_middle = p->base.height / 2.0;
        const double dx = cx - page_x, dy = cy - page_y_middle, distance = std::hypot(dx, dy);
        const double shrink = reach - far_limit / 2;
        if (distance > 0) {
            cx -= dx / distance * std::min(shrink, distance);
            cy -= dy / distance * std::min(shrink, distance);
        }
        radius = std::copysign(far_limit / 2, radius);
    }
    page_arc_to(p->context, pulled_in(cx), pulled_in(cy), radius, 1.0, 360.0, 0);
    paint_path(p);
}

void set_font(drawing_output* output, const PangoFontDescription* font)
{
    printer_output_record* p = as_printer(output);
    if (p->layout)
        pango_layout_set_font_description(p->layout, font == output_default_font ? p->default_font : font);
}

void set_mode(drawing_output* output, std::int32_t mode)
{
    as_printer(output)->mode = mode;
}

void draw_image(drawing_output* output, GdkPixbuf* pixbuf, int x, int y)
{
    if (!pixbuf)
        return;
    printer_output_record* p = as_printer(output);
    const int w = gdk_pixbuf_get_width(pixbuf), h = gdk_pixbuf_get_height(pixbuf);
    if (!meets_page(p, x, y, w, h))
        return;
    page_save(p->context);
    page_translate(p->context, x, page_y(p, y) - h);
    page_scale(p->context, w, h);
    if (gdk_pixbuf_get_has_alpha(pixbuf))
        page_rgba_image(p->context, gdk_pixbuf_get_pixels(pixbuf), w, h, gdk_pixbuf_get_rowstride(pixbuf));
    else
        page_rgb_image(p->context, gdk_pixbuf_get_pixels(pixbuf), w, h, gdk_pixbuf_get_rowstride(pixbuf));
    page_restore(p->context);
}

void draw_image_sized(drawing_output* output, GdkPixbuf* pixbuf, int x, int y, int w, int h)
{
    if (!pixbuf)
        return;
    if (w == gdk_pixbuf_get_width(pixbuf) && h == gdk_pixbuf_get_height(pixbuf)) {
        draw_image(output, pixbuf, x, y);
        return;
    }
    // Only the part on the page is scaled; empty sizes draw nothing.
    const int margin = int(page_margin);
    const drawing_area page = {-margin, -margin, output->width + margin, output->height + margin};
    int part_x = 0, part_y = 0;
    GdkPixbuf* part = scaled_visible_part(pixbuf, x, y, w, h, page, &part_x, &part_y);
    if (!part)
        return;
    draw_image(output, part, part_x, part_y);
    g_object_unref(part);
}

// Opacity outside 0..255 is taken as the nearer end, so alpha never wraps.
void draw_image_faded(drawing_output* output, GdkPixbuf* pixbuf, int x, int y, int opacity)
{
    if (!pixbuf || opacity <= 0 ||
        !meets_page(as_printer(output), x, y, gdk_pixbuf_get_width(pixbuf), gdk_pixbuf_get_height(pixbuf)))
        return;
    if (opacity >= 255) {
        draw_image(output, pixbuf, x, y);
        return;
    }
    const bool had_alpha = gdk_pixbuf_get_has_alpha(pixbuf);
    GdkPixbuf* faded = gdk_pixbuf_add_alpha(pixbuf, FALSE, 0, 0, 0);
    if (!faded)
        return;
    const int w = gdk_pixbuf_get_width(faded), h = gdk_pixbuf_get_height(faded);
    const int stride = gdk_pixbuf_get_rowstride(faded);
    guchar* pixels = gdk_pixbuf_get_pixels(faded);
    for (int row = 0; row < h; ++row) {
        guchar* alpha = pixels + std::size_t(row) * std::size_t(stride) + 3;
        for (int col = 0; col < w; ++col, alpha += 4)
            *alpha = guchar(had_alpha ? *alpha * opacity / 255 : opacity);
    }
    draw_image(output, faded, x, y);
    g_object_unref(faded);
}

// Layout size in points, truncated toward zero.
void layout_size(PangoLayout* layout, int* w, int* h)
{
    int pw = 0, ph = 0;
    pango_layout_get_size(layout, &pw, &ph);
    *w = pw / 1024;
    *h = ph / 1024;
}

int draw_text(drawing_output* output, int x, int y, const text& t)
{
    printer_output_record* p = as_printer(output);
    if (t.empty() || !p->layout)
        return x;
    std::string utf8 = text_to_utf8(t);
    pango_layout_set_text(p->layout, utf8.c_str(), int(utf8.size()));
    int w = 0, h = 0;
    layout_size(p->layout, &w, &h);
    if (!meets_page(p, x, y, w, h))
        return text_end(x, w);
    if (!(p->mode & mode_transparent)) {
        // The background is always filled, whatever the outlined bit says.
        set_rgb(p, p->base.back_colour);
        rectangle_path(p, x, y, w, h);
        page_fill(p->context);
        set_rgb(p, p->base.front_colour);
    }
    page_move_to(p->context, x, page_y(p, y));
    page_layout(p->context, p->layout);
    return text_end(x, w);
}

void draw_text_rotated(drawing_output* output, int x, int y, const text& t, double angle)
{
    printer_output_record* p = as_printer(output);
    if (t.empty() || !p->layout)
        return;
    std::string utf8 = text_to_utf8(t);
    pango_layout_set_text(p->layout, utf8.c_str(), int(utf8.size()));
    // Turned any way, the text stays within its width and height of (x, y).
    int w = 0, h = 0;
    layout_size(p->layout, &w, &h);
    const double reach = double(w) + h;
    if (!meets_page(p, x - reach, y - reach, 2 * reach, 2 * reach))
        return;
    page_save(p->context);
    page_translate(p->context, x, page_y(p, y));
    page_rotate(p->context, angle);
    page_move_to(p->context, 0, 0);
    page_layout(p->context, p->layout);
    page_restore(p->context);
}

// Eight 45-degree curves from the leftmost point, over the top and round.
void ellipse(drawing_output* output, int x, int y, int rx, int ry)
{
    printer_output_record* p = as_printer(output);
    constexpr double k1 = 0.26521648984, k2 = 0.519570402739, k3 = 0.7071067811865476, k4 = 0.894643159635;
    const double cx = x, cy = page_y(p, y), a = rx, b = ry;
    if (!meets_page(p, x - std::abs(a), y - std::abs(b), 2 * std::abs(a), 2 * std::abs(b)))
        return;
    page_context* c = p->context;
    move_to(c, cx - a, cy);
    curve_to(c, cx - a, cy + k1 * b, cx - k4 * a, cy + k2 * b, cx - k3 * a, cy + k3 * b);
    curve_to(c, cx - k2 * a, cy + k4 * b, cx - k1 * a, cy + b, cx, cy + b);
    curve_to(c, cx + k1 * a, cy + b, cx + k2 * a, cy + k4 * b, cx + k3 * a, cy + k3 * b);
    curve_to(c, cx + k4 * a, cy + k2 * b, cx + a, cy + k1 * b, cx + a, cy);
    curve_to(c, cx + a, cy - k1 * b, cx + k4 * a, cy - k2 * b, cx + k3 * a, cy - k3 * b);
    curve_to(c, cx + k2 * a, cy - k4 * b, cx + k1 * a, cy - b, cx, cy - b);
    curve_to(c, cx - k1 * a, cy - b, cx - k2 * a, cy - k4 * b, cx - k3 * a, cy - k3 * b);
    curve_to(c, cx - k4 * a, cy - k2 * b, cx - a, cy - k1 * b, cx - a, cy);
    paint_path(p);
}

void fill_area(drawing_output*, int, int, colour) {}

void set_front_colour(drawing_output* output, colour c)
{
    set_rgb(as_printer(output), c);
}

std::intptr_t grab_image(drawing_output*, std::int32_t, int, int, int, int)
{
    return 0;
}

// Cuts the line from (x1, y1) to (x2, y2) to the page and its margin
// (Liang and Barsky's way: the part of t in 0...1 inside all four edges);
// false when none of it is there. Ends already inside stay exactly as given.
bool cut_to_page(const printer_output_record* p, double& x1, double& y1, double& x2, double& y2)
{
    const double dx = x2 - x1, dy = y2 - y1;
    const double low_x = -page_margin, high_x = p->base.width + page_margin;
    const double low_y = -page_margin, high_y = p->base.height + page_margin;
    double enter = 0, leave = 1;
    // Each edge as q >= t * d must hold along the line.
    const double d[4] = {-dx, dx, -dy, dy};
    const double q[4] = {x1 - low_x, high_x - x1, y1 - low_y, high_y - y1};
    for (int i = 0; i < 4; ++i) {
        if (d[i] == 0) {
            if (q[i] < 0)
                return false;
            continue;
        }
        const double t = q[i] / d[i];
        if (d[i] < 0)
            enter = std::max(enter, t);
        else
            leave = std::min(leave, t);
    }
    if (enter > leave)
        return false;
    const double x0 = x1, y0 = y1;
    if (enter > 0) {
        x1 = x0 + enter * dx;
        y1 = y0 + enter * dy;
    }
    if (leave < 1) {
        x2 = x0 + leave * dx;
        y2 = y0 + leave * dy;
    }
    return true;
}

void stroke_line(printer_output_record* p, double x1, double y1, double x2, double y2)
{
    if (!cut_to_page(p, x1, y1, x2, y2))
        return;
    page_move_to(p->context, x1, page_y(p, y1));
    page_line_to(p->context, x2, page_y(p, y2));
    page_stroke(p->context);
}

void line(drawing_output* output, int x1, int y1, int x2, int y2)
{
    stroke_line(as_printer(output), x1, y1, x2, y2);
}

void plot(drawing_output* output, int x, int y)
{
    stroke_line(as_printer(output), x, y, double(x) + 1, y);
}

void plot_colour(drawing_output* output, int x, int y, colour c)
{
    if (c != output->front_colour) {
        output->front_colour = c;
        set_front_colour(output, c);
    }
    plot(output, x, y);
}

colour point(drawing_output*, int, int)
{
    return 0;
}

std::intptr_t start(drawing_output* output)
{
    printer_output_record* p = as_printer(output);
    if (!p->context)
        return 0;
    p->layout = page_create_layout(p->context);
    const PangoFontDescription* initial = p->layout ? pango_layout_get_font_description(p->layout) : nullptr;
    p->default_font = initial ? pango_font_description_copy(initial) : nullptr;
    p->mode = 0;
    return 1;
}

void stop(drawing_output* output)
{
    printer_output_record* p = as_printer(output);
    if (p->layout)
        g_object_unref(p->layout);
    p->layout = nullptr;
    if (p->default_font)
        pango_font_description_free(p->default_font);
    p->default_font = nullptr;
}

int text_extent(drawing_output* output, const text& t, bool width)
{
    printer_output_record* p = as_printer(output);
    if (t.empty() || !p->layout)
        return 0;
    std::string utf8 = text_to_utf8(t);
    pango_layout_set_text(p->layout, utf8.c_str(), int(utf8.size()));
    int w = 0, h = 0;
    layout_size(p->layout, &w, &h);
    return width ? w : h;
}

int text_height(drawing_output* output, const text& t)
{
    return text_extent(output, t, false);
}

int text_width(drawing_output* output, const text& t)
{
    return text_extent(output, t, true);
}

constexpr output_operations printer_operations = {
    .set_back_colour = set_back_colour,    // 1 nothing: draw_text reads back_colour
    .box = box,                            // 2 filled or stroked rectangle
    .rounded_box = rounded_box,            // 3 curved corners, one point larger
    .circle = circle,                      // 4 arc from 1 to 360 degrees
    .set_font = set_font,                  // 5 the layout's font
    .buffer = nullptr,                     // 6 paper has no pixels
    .buffer_pitch = nullptr,               // 7
    .buffer_format = nullptr,              // 8
    .set_mode = set_mode,                  // 9 only transparent and outlined matter
    .draw_image = draw_image,              // 10 one pixel per point
    .draw_image_sized = draw_image_sized,  // 11 scaled first when sizes differ
    .draw_image_faded = draw_image_faded,  // 12 through an alpha copy
    .draw_text = draw_text,                // 13 layout on its background
    .draw_text_rotated = draw_text_rotated,  // 14 no background
    .ellipse = ellipse,                    // 15 eight curves, filled or stroked
    .fill_area = fill_area,                // 16 nothing on paper
    .set_front_colour = set_front_colour,  // 17 channels as fractions of 255
    .grab_image = grab_image,              // 18 nothing to grab: 0
    .line = line,                          // 19 stroked
    .plot = plot,                          // 20 a one-point stroke
    .plot_colour = plot_colour,            // 21 plot in a given colour
    .point = point,                        // 22 nothing to read: 0
    .start = start,                        // 23 needs the job's context
    .stop = stop,                          // 24 drops the layout
    .text_height = text_height,            // 25 logical height in points
    .text_width = text_width,              // 26 logical width in points
    .release = nullptr,                    // 27 empty
};

}  // namespace

drawing_output* printer_output()
{
    page_context* context = printer_context();
    if (!context)
        return nullptr;
    auto* p = static_cast<printer_output_record*>(std::calloc(1, sizeof(printer_output_record)));
    if (!p)
        return nullptr;
    drawing_make_current(&p->base);
    p->base.ops = printer_operations;
    p->base.front_colour = 0xFFFFFFFF;
    p->base.back_colour = 0xFFFFFFFF;
    p->context = context;
    p->base.width = printer_page_width();
    p->base.height = printer_page_height();
    p->base.depth = 24;
    return &p->base;
}
