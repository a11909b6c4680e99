// Text on image outputs: Pango measures and lays out the text, the X server
// renders it white on black into an off-screen pixmap, and the coverage read
// back from there is blended into the image in the front and back colours.
// Without a display cairo draws the layout into an image surface instead
// (text_surface.cpp), and the same blending follows.
#include "imaging/image_output.h"

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

using namespace drawing_mode_bit;

namespace {

constexpr int pango_unit = 1024;
constexpr int pixmap_head_room = 20;  // above the "Hg" height of the font
constexpr int pixmap_least_height = 50;

image_output_record* as_image(drawing_output* output)
{
    return reinterpret_cast<image_output_record*>(output);
}

bool empty_text(const text& t)
{
    return t.empty() || t[0] == 0;
}

// Sets the text on the layout and gives its logical size in whole pixels.
void layout_size(image_output_record* o, const text& t, int* w, int* h)
{
    std::string utf8 = text_to_utf8(t);
    // Measuring and then drawing the same text lays it out only once.
    const char* current = pango_layout_get_text(o->layout);
    if (!current || utf8 != current)
        pango_layout_set_text(o->layout, utf8.data(), int(utf8.size()));
    int pango_w = 0, pango_h = 0;
    pango_layout_get_size(o->layout, &pango_w, &pango_h);
    *w = pango_w / pango_unit;
    *h = pango_h / pango_unit;
}

// A fresh pixmap costs the X server far more than drawing a line of text
// into it, and every diagram opens a session on an image of the same width.
// So the last pixmap given up is kept, with its GC and snapshot, and taken
// again by the next session that needs exactly that size. Its old content
// does not matter: the text box is cleared before each layout.
struct text_pixmap_spare {
    GdkPixmap* pixmap;
    GdkGC* gc;
    GdkPixbuf* snapshot;
    int width, height;
};
text_pixmap_spare spare;

void unref_if_set(void* object)
{
    if (object)
        g_object_unref(object);
}

void drop_pixmap(image_output_record* o)
{
    if (o->text_pixmap) {
        unref_if_set(spare.snapshot);
        unref_if_set(spare.gc);
        unref_if_set(spare.pixmap);
        spare = {o->text_pixmap, o->text_gc, o->snapshot, o->base.width, o->pixmap_height};
    } else {
        unref_if_set(o->snapshot);
        unref_if_set(o->text_gc);
    }
    o->snapshot = nullptr;
    o->text_gc = nullptr;
    o->text_pixmap = nullptr;
}

bool take_spare(image_output_record* o, int width, int height)
{
    if (!spare.pixmap || spare.width != width || spare.height != height)
        return false;
    text_pixmap_spare taken = spare;
    spare = {};
    drop_pixmap(o);
    o->text_pixmap = taken.pixmap;
    o->text_gc = taken.gc;
    o->snapshot = taken.snapshot;
    o->pixmap_height = height;
    return true;
}

// The X server refuses pixmaps it cannot hold with an error that would end
// the program; trapping it lets set_font keep the old pixmap instead.
GdkPixmap* new_text_pixmap(int width, int height)
{
    gdk_error_trap_push();
    GdkPixmap* pixmap = gdk_pixmap_new(nullptr, width, height, gdk_visual_get_system()->depth);
    if (pixmap)
        gdk_drawable_set_colormap(pixmap, gdk_colormap_get_system());
    if (gdk_error_trap_pop() && pixmap) {
        g_object_unref(pixmap);
        return nullptr;
    }
    return pixmap;
}

struct rgb {
    std::uint32_t red, green, blue;
};

rgb colour_bytes(colour c)
{
    return {c & 0xFF, c >> 8 & 0xFF, c >> 16 & 0xFF};
}

std::uint8_t mix(std::uint32_t front, std::uint32_t back, std::uint32_t coverage)
{
    return std::uint8_t((front * coverage + back * (255 - coverage)) / 255);
}

// Drawing a layout into the pixmap and reading it back waits for the X
// server, the slowest step of a diagram. So each snapshot notes what it
// holds: the text box it was read from and every glyph drawn there, with
// its font and position. The same glyphs in the same box, as when diagram
// after diagram carries the same task text, are taken from the snapshot
// again; the server would only have drawn the same pixels once more.
struct drawn_glyphs {
    std::vector<std::int64_t> values;  // the box, then each run and glyph
    std::vector<PangoFont*> fonts;     // per run; referenced once noted on a snapshot
    bool operator==(const drawn_glyphs& other) const { return values == other.values && fonts == other.fonts; }
};

constexpr char drawn_glyphs_key[] = "ui_drawn_glyphs";

// False for a layout whose drawing depends on more than its glyphs
// (attributes, a transformed context); such text is always drawn afresh.
bool describe_glyphs(PangoLayout* layout, std::initializer_list<std::int64_t> box, drawn_glyphs* out)
{
    if (pango_layout_get_attributes(layout) || pango_context_get_matrix(pango_layout_get_context(layout)))
        return false;
    out->values.assign(box);
    bool plain = true;
    PangoLayoutIter* iter = pango_layout_get_iter(layout);
    do {
        out->values.push_back(pango_layout_iter_get_baseline(iter));
        PangoLayoutRun* run = pango_layout_iter_get_run_readonly(iter);
        if (!run) {
            out->values.push_back(-1);  // end of a line
            continue;
        }
        if (run->item->analysis.extra_attrs || !run->item->analysis.font) {
            plain = false;
            break;
        }
        PangoRectangle logical;
        pango_layout_iter_get_run_extents(iter, nullptr, &logical);
        out->fonts.push_back(run->item->analysis.font);
        out->values.insert(out->values.end(), {logical.x, logical.y, run->item->analysis.level,
                                               run->item->analysis.gravity, run->glyphs->num_glyphs});
        for (int i = 0; i < run->glyphs->num_glyphs; ++i) {
            const PangoGlyphInfo& glyph = run->glyphs->glyphs[i];
            out->values.insert(out->values.end(), {glyph.glyph, glyph.geometry.width, glyph.geometry.x_offset,
                                                   glyph.geometry.y_offset});
        }
    } while (pango_layout_iter_next_run(iter));
    pango_layout_iter_free(iter);
    if (!plain)
        out->fonts.clear();
    return plain;
}

// A noted font stays alive, so the same pointer later means the same font.
void forget_drawn_glyphs(void* noted)
{
    auto* drawn = static_cast<drawn_glyphs*>(noted);
    for (PangoFont* font : drawn->fonts)
        g_object_unref(font);
    delete drawn;
}

bool snapshot_holds(GdkPixbuf* snapshot, const drawn_glyphs& wanted)
{
    auto* noted = static_cast<const drawn_glyphs*>(g_object_get_data(G_OBJECT(snapshot), drawn_glyphs_key));
    return noted && *noted == wanted;
}

void note_drawn_glyphs(GdkPixbuf* snapshot, drawn_glyphs&& drawn)
{
    auto* noted = new drawn_glyphs(std::move(drawn));
    for (PangoFont* font : noted->fonts)
        g_object_ref(font);
    g_object_set_data_full(G_OBJECT(snapshot), drawn_glyphs_key, noted, forget_drawn_glyphs);
}

// The rectangle of coverage to blend: snapshot rows from row 0 on, columns
// from 0 on, landing at (x, y) in the image.
struct coverage_area {
    const std::uint8_t* pixels;
    int pitch;
    int channels;
    int x, y, columns, rows;
};

// Runs blend(x, y, coverage, pixel) over the area; one loop per rule, so
// the rule is not tested again for every pixel.
template <class Blend>
void each_covered_pixel(image_output_record* o, const coverage_area& area, Blend blend)
{
    const int bpp = o->bytes_per_pixel;
    for (int j = 0; j < area.rows; ++j) {
        const std::uint8_t* s = area.pixels + std::ptrdiff_t(j) * area.pitch;
        std::uint8_t* d = o->pixels + std::ptrdiff_t(area.y + j) * o->pitch + std::ptrdiff_t(area.x) * bpp;
        for (int i = 0; i < area.columns; ++i, s += area.channels, d += bpp)
            blend(area.x + i, area.y + j, s, d);
    }
}

void blend_coverage(image_output_record* o, const coverage_area& area)
{
    const bool paint_back = !(o->mode & transparent);
    const rgb front = colour_bytes(o->base.front_colour);
    const rgb back_bytes = colour_bytes(o->base.back_colour);

    if (o->custom_on) {
        const colour front_alpha = o->base.front_colour >> 24;
        const bool four = o->bytes_per_pixel == 4;
        each_covered_pixel(o, area, [&](int x, int y, const std::uint8_t* s, std::uint8_t* d) {
            double share = double(s[0] + s[1] + s[2]) / 765.0;
            colour c = (o->base.front_colour & 0xFFFFFF) | colour(share * double(front_alpha)) << 24;
            colour pixel =
                colour(d[0]) | colour(d[1]) << 8 | colour(d[2]) << 16 | colour(four ? d[3] : 255) << 24;
            colour result = o->custom_callback(x, y, c, pixel);
            d[0] = std::uint8_t(result);
            d[1] = std::uint8_t(result >> 8);
            d[2] = std::uint8_t(result >> 16);
            if (four)
                d[3] = std::uint8_t(result >> 24);
        });
        return;
    }
    // In gradient mode the gradient gives the front colour, worked out once
    // when it is the same everywhere and per pixel otherwise.
    const bool front_per_pixel = o->gradient_on && !image_output_gradient_is_uniform(o);
    const rgb f = o->gradient_on && !front_per_pixel
                      ? colour_bytes(image_output_gradient_colour(o, area.x, area.y))
                      : front;
    if (o->mode & xor_pixels) {
        // Coverage above one half counts as glyph.
        each_covered_pixel(o, area, [&](int x, int y, const std::uint8_t* s, std::uint8_t* d) {
            rgb with;
            if (2 * (s[0] + s[1] + s[2]) > 765)
                with = front_per_pixel ? colour_bytes(image_output_gradient_colour(o, x, y)) : f;
            else if (paint_back)
                with = back_bytes;
            else
                return;
            d[0] ^= std::uint8_t(with.red);
            d[1] ^= std::uint8_t(with.green);
            d[2] ^= std::uint8_t(with.blue);
        });
        return;
    }

    // In the alpha modes the parts are premultiplied; text there uses the
    // plain colour, as in the ordinary modes.
    const rgb back = o->premultiplied ? back_bytes : rgb{o->back.red, o->back.green, o->back.blue};
    if (front_per_pixel) {
        each_covered_pixel(o, area, [&](int x, int y, const std::uint8_t* s, std::uint8_t* d) {
            const rgb here = colour_bytes(image_output_gradient_colour(o, x, y));
            d[0] = mix(here.red, paint_back ? back.red : d[0], s[0]);
            d[1] = mix(here.green, paint_back ? back.green : d[1], s[1]);
            d[2] = mix(here.blue, paint_back ? back.blue : d[2], s[2]);
        });
        return;
    }
    if (paint_back) {
        each_covered_pixel(o, area, [f, back](int, int, const std::uint8_t* s, std::uint8_t* d) {
            d[0] = mix(f.red, back.red, s[0]);
            d[1] = mix(f.green, back.green, s[1]);
            d[2] = mix(f.blue, back.blue, s[2]);
        });
    } else {
        each_covered_pixel(o, area, [f](int, int, const std::uint8_t* s, std::uint8_t* d) {
            d[0] = mix(f.red, d[0], s[0]);
            d[1] = mix(f.green, d[1], s[1]);
            d[2] = mix(f.blue, d[2], s[2]);
        });
    }
}

// Draws the layout white on black into the pixmap and reads the box back
// into the snapshot. Lines of a layout need not cover its whole box, so the
// box is cleared first; old text must not show through.
bool read_pixmap_text(image_output_record* o, int ox, int top, int columns, int rows)
{
    static const GdkColor white = {0xFFFFFF, 0xFF00, 0xFF00, 0xFF00};
    static const GdkColor black = {0, 0, 0, 0};
    gdk_gc_set_rgb_fg_color(o->text_gc, &black);
    gdk_draw_rectangle(o->text_pixmap, o->text_gc, TRUE, 0, top, columns, rows);
    gdk_draw_layout_with_colors(o->text_pixmap, o->text_gc, ox, 0, o->layout, &white, &black);
    return gdk_pixbuf_get_from_drawable(o->snapshot, o->text_pixmap, gdk_colormap_get_system(), 0, top, 0, 0,
                                        columns, rows) != nullptr;
}

}  // namespace

void image_text_start(image_output_record* o)
{
    o->pango_context = gdk_display_get_default() ? gdk_pango_context_get() : text_surface_context();
    if (!o->pango_context)
        return;
    o->layout = pango_layout_new(o->pango_context);
    if (!o->layout)
        return;
    const PangoFontDescription* initial = pango_layout_get_font_description(o->layout);
    o->default_font = initial ? pango_font_description_copy(initial) : nullptr;
    // The pixmap exists before the first text call.
    image_output_set_font(&o->base, output_default_font);
}

void image_text_stop(image_output_record* o)
{
    drop_pixmap(o);
    if (o->text_surface)
        cairo_surface_destroy(o->text_surface);
    o->text_surface = nullptr;
    if (o->layout)
        g_object_unref(o->layout);
    if (o->pango_context)
        g_object_unref(o->pango_context);
    if (o->default_font)
        pango_font_description_free(o->default_font);
    o->layout = nullptr;
    o->pango_context = nullptr;
    o->default_font = nullptr;
    o->pixmap_height = 0;
}

void image_output_set_font(drawing_output* output, const PangoFontDescription* font)
{
    image_output_record* o = as_image(output);
    if (!o->layout)
        return;
    pango_layout_set_font_description(o->layout, font == output_default_font ? o->default_font : font);
    int w = 0, h = 0;
    layout_size(o, u"Hg", &w, &h);
    const int needed = std::max(h + pixmap_head_room, pixmap_least_height);
    // The pixmap only grows: one pixmap serves every smaller font after it.
    if (o->pixmap_height >= needed)
        return;
    if (!gdk_display_get_default()) {
        cairo_surface_t* surface = text_surface_new(o->base.width, needed);
        if (!surface)
            return;
        drop_pixmap(o);
        if (o->text_surface)
            cairo_surface_destroy(o->text_surface);
        o->text_surface = surface;
        o->pixmap_height = needed;
        return;
    }
    if (take_spare(o, o->base.width, needed))
        return;
    GdkPixmap* pixmap = new_text_pixmap(o->base.width, needed);
    if (!pixmap)
        return;
    GdkGC* gc = gdk_gc_new(pixmap);
    if (!gc) {
        g_object_unref(pixmap);
        return;
    }
    drop_pixmap(o);
    o->text_pixmap = pixmap;
    o->text_gc = gc;
    o->pixmap_height = needed;
}

int image_output_text_width(drawing_output* output, const text& t)
{
    image_output_record* o = as_image(output);
    if (empty_text(t) || !o->layout)
        return 0;
    int w = 0, h = 0;
    layout_size(o, t, &w, &h);
    return w;
}

int image_output_text_height(drawing_output* output, const text& t)
{
    image_output_record* o = as_image(output);
    if (empty_text(t) || !o->layout)
        return 0;
    int w = 0, h = 0;
    layout_size(o, t, &w, &h);
    return h;
}

int image_output_draw_text(drawing_output* output, int x, int y, const text& t)
{
    image_output_record* o = as_image(output);
    const bool on_screen = o->text_gc && o->text_pixmap;
    if (empty_text(t) || !(on_screen || o->text_surface) || !o->layout)
        return x;
    int w = 0, h = 0;
    layout_size(o, t, &w, &h);
    h = std::min(h, o->pixmap_height);

    const int after = text_end(x, w);

    // Text left of the image is laid out that far left in the pixmap, so the
    // pixmap holds only the part that shows, from its column 0.
    const int ox = x < 0 ? x : 0;
    const int target_x = x - ox;
    // Only the part of the text box that lands in the image is rendered and
    // read back; the rest would be clipped anyway. In 64 bits, since x and y
    // may be anywhere.
    const std::int64_t columns = std::min<std::int64_t>(std::int64_t(ox) + w, std::int64_t(o->base.width) - target_x);
    const std::int64_t first_row = std::max<std::int64_t>(0, -std::int64_t(y));
    const std::int64_t end_row = std::min<std::int64_t>(h, std::int64_t(o->base.height) - y);
    if (columns <= 0 || end_row <= first_row)
        return after;
    // Both now lie inside the pixmap and the image.
    const int top = int(first_row);
    const int rows = int(end_row - first_row);

    if (!o->snapshot) {
        o->snapshot = gdk_pixbuf_new(GDK_COLORSPACE_RGB, FALSE, 8, o->base.width, o->pixmap_height);
        if (!o->snapshot)
            return x;
    }
    drawn_glyphs drawn;
    const bool describable = describe_glyphs(o->layout, {ox, top, columns, rows}, &drawn);
    if (!describable || !snapshot_holds(o->snapshot, drawn)) {
        // Whatever the snapshot held is about to be overwritten.
        g_object_set_data(G_OBJECT(o->snapshot), drawn_glyphs_key, nullptr);
        if (!(on_screen ? read_pixmap_text(o, ox, top, int(columns), rows)
                        : text_surface_read(o->text_surface, o->layout, ox, top, int(columns), rows, o->snapshot)))
            return x;
        if (describable)
            note_drawn_glyphs(o->snapshot, std::move(drawn));
    }

    blend_coverage(o, {gdk_pixbuf_get_pixels(o->snapshot), gdk_pixbuf_get_rowstride(o->snapshot),
                       gdk_pixbuf_get_n_channels(o->snapshot), target_x, int(y + first_row), int(columns), rows});
    return after;
}
