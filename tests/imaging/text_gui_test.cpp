// Text on image outputs, which needs the X server for its pixmap: measuring,
// clipping at every border, the colour rules of the blend, the growth of
// the text pixmap with the font, and text taken again from the snapshot.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <climits>
#include <string>
#include <vector>

#include <gdk/gdkx.h>

#include "imaging/drawing.h"
#include "imaging/fonts.h"
#include "imaging/image_output.h"

using namespace drawing_mode_bit;

namespace {

using rgb = std::array<int, 3>;

struct test_image {
    GdkPixbuf* pixbuf;
    int width, height;
    test_image(int w, int h, guint32 fill)
        : pixbuf(gdk_pixbuf_new(GDK_COLORSPACE_RGB, FALSE, 8, w, h)), width(w), height(h)
    {
        gdk_pixbuf_fill(pixbuf, fill);
    }
    ~test_image() { g_object_unref(pixbuf); }
    test_image(const test_image&) = delete;
    test_image& operator=(const test_image&) = delete;
    rgb get(int x, int y) const
    {
        const guchar* p = gdk_pixbuf_get_pixels(pixbuf) + y * gdk_pixbuf_get_rowstride(pixbuf) + x * 3;
        return {p[0], p[1], p[2]};
    }
};

constexpr guint32 red_fill = 0xFF0000FF;
const rgb red = {255, 0, 0};
const text sample = u"Hg Задача: мат в 2 хода";

class image_text : public testing::Test {
protected:
    void SetUp() override
    {
        drawing_init();
        font_store_init();
    }
    void TearDown() override
    {
        drawing_stop();
        font_store_shutdown();
    }
    // Starts a session on the image; the output stays current.
    static image_output_record* start_on(test_image& image)
    {
        auto* o = reinterpret_cast<image_output_record*>(image_output_for_pixbuf(image.pixbuf));
        EXPECT_NE(drawing_start(&o->base), 0);
        return o;
    }
    static int height_of(const text& t)
    {
        drawing_output* o = drawing_current();
        return o->ops.text_height(o, t);
    }
};

// Glyph coverage of a text in the default font, worked out here apart from
// the output: the test's own layout, drawn white on black into a pixmap of
// its own and read back. Rows of w values, one per pixel of the text box.
struct coverage {
    int w = 0, h = 0;
    std::vector<rgb> values;
    const rgb& at(int x, int y) const { return values[std::size_t(y * w + x)]; }
    // Whether the blend takes the pixel as glyph: more than half covered.
    bool glyph(int x, int y) const
    {
        const rgb& c = at(x, y);
        return (c[0] + c[1] + c[2]) / 765.0 > 0.5;
    }
};

coverage own_coverage(const text& t)
{
    coverage result;
    PangoContext* context = gdk_pango_context_get();
    PangoLayout* layout = pango_layout_new(context);
    const std::string utf8 = text_to_utf8(t);
    pango_layout_set_text(layout, utf8.data(), int(utf8.size()));
    pango_layout_get_pixel_size(layout, &result.w, &result.h);
    GdkPixmap* pixmap = gdk_pixmap_new(nullptr, result.w, result.h, gdk_visual_get_system()->depth);
    gdk_drawable_set_colormap(pixmap, gdk_colormap_get_system());
    GdkGC* gc = gdk_gc_new(pixmap);
    const GdkColor white = {0xFFFFFF, 0xFF00, 0xFF00, 0xFF00}, black = {0, 0, 0, 0};
    gdk_gc_set_rgb_fg_color(gc, &black);
    gdk_draw_rectangle(pixmap, gc, TRUE, 0, 0, result.w, result.h);
    gdk_draw_layout_with_colors(pixmap, gc, 0, 0, layout, &white, &black);
    GdkPixbuf* read =
        gdk_pixbuf_get_from_drawable(nullptr, pixmap, gdk_colormap_get_system(), 0, 0, 0, 0, result.w, result.h);
    for (int y = 0; y < result.h; ++y)
        for (int x = 0; x < result.w; ++x) {
            const guchar* p = gdk_pixbuf_get_pixels(read) + y * gdk_pixbuf_get_rowstride(read) +
                              x * gdk_pixbuf_get_n_channels(read);
            result.values.push_back({p[0], p[1], p[2]});
        }
    g_object_unref(read);
    g_object_unref(gc);
    g_object_unref(pixmap);
    g_object_unref(layout);
    g_object_unref(context);
    return result;
}

int channel(colour c, int index)
{
    return int(c >> (8 * index) & 0xFF);
}

// Gradient functions that are not the same everywhere: black (t = 0) in
// even columns, white (t = 1) in odd ones.
double by_column(image_output_record*, int x, int)
{
    return x % 2;
}

TEST_F(image_text, empty_text_draws_nothing)
{
    test_image image(40, 30, red_fill);
    start_on(image);
    EXPECT_EQ(text_width(u""), 0);
    EXPECT_EQ(draw_text(7, 3, u"", 0, 0xFFFFFF), 7);
    EXPECT_EQ(draw_text(7, 3, text(1, u'\0'), 0, 0xFFFFFF), 7);
    for (int y = 0; y < 30; ++y)
        for (int x = 0; x < 40; ++x)
            ASSERT_EQ(image.get(x, y), red);
}

TEST_F(image_text, black_on_white_fills_exactly_the_text_box)
{
    test_image image(400, 60, red_fill);
    start_on(image);
    drawing_mode(outlined);
    int w = text_width(sample), h = height_of(sample);
    ASSERT_GT(w, 50);
    ASSERT_GT(h, 5);
    EXPECT_EQ(draw_text(10, 5, sample, 0, 0xFFFFFF), 10 + w);
    int darkest = 255, lightest = 0;
    for (int y = 0; y < 60; ++y)
        for (int x = 0; x < 400; ++x) {
            rgb p = image.get(x, y);
            if (x < 10 || x >= 10 + w || y < 5 || y >= 5 + h) {
                ASSERT_EQ(p, red) << "outside the box at " << x << "," << y;
                continue;
            }
            ASSERT_EQ(p[0], p[1]) << x << "," << y;
            ASSERT_EQ(p[1], p[2]) << x << "," << y;
            darkest = std::min(darkest, p[0]);
            lightest = std::max(lightest, p[0]);
        }
    EXPECT_EQ(lightest, 255);
    EXPECT_LT(darkest, 40) << "glyph stems are black";
}

TEST_F(image_text, colours_blend_by_coverage)
{
    // Per channel (F * c + B * (255 - c)) / 255, with F the front colour
    // (200, 100, 50), or in gradient mode the gradient's colour: white, or
    // black and white by column; B the back colour (10, 20, 30), or with the
    // transparent bit the pixel itself.
    const coverage cover = own_coverage(sample);
    ASSERT_GT(cover.w, 50);
    static constexpr colour front = 0x3264C8, back = 0x1E140A, under = 0xDCA028;
    struct blend_case {
        const char* name;
        std::int32_t mode;
        double (*gradient)(image_output_record*, int, int);
        colour (*front_at)(int x);
        bool paint_back;
    };
    const blend_case cases[] = {
        {"plain", 0, nullptr, [](int) { return front; }, true},
        {"outlined and transparent", outlined | transparent, nullptr, [](int) { return front; }, false},
        {"gradient", gradient, nullptr, [](int) { return colour(0xFFFFFF); }, true},
        {"gradient by column", gradient, by_column, [](int x) { return x % 2 ? colour(0xFFFFFF) : 0; }, true},
        {"gradient by column, transparent", gradient | transparent, by_column,
         [](int x) { return x % 2 ? colour(0xFFFFFF) : 0; }, false},
    };
    for (const blend_case& b : cases) {
        SCOPED_TRACE(b.name);
        test_image image(300, 40, 0x28A0DCFF);
        image_output_record* o = start_on(image);
        if (b.gradient)
            o->gradient_function = b.gradient;
        drawing_mode(b.mode);
        ASSERT_EQ(draw_text(3, 2, sample, front, back), 3 + cover.w);
        int kept = 0;
        for (int y = 0; y < 40; ++y)
            for (int x = 0; x < 300; ++x) {
                const bool in_box = x >= 3 && x < 3 + cover.w && y >= 2 && y < 2 + cover.h;
                rgb expected;
                for (int c = 0; c < 3; ++c) {
                    const int below = b.paint_back ? channel(back, c) : channel(under, c);
                    const int covered = in_box ? cover.at(x - 3, y - 2)[std::size_t(c)] : 0;
                    expected[std::size_t(c)] =
                        in_box ? (channel(b.front_at(x), c) * covered + below * (255 - covered)) / 255
                               : channel(under, c);
                }
                ASSERT_EQ(image.get(x, y), expected) << x << "," << y;
                kept += in_box && image.get(x, y) == (rgb{0x28, 0xA0, 0xDC});
            }
        if (!b.paint_back) {
            EXPECT_GT(kept, cover.w * cover.h / 2) << "most of the box is no glyph and keeps its colour";
        }
        drawing_stop();
    }
}

TEST_F(image_text, xor_text_flips_glyphs_by_the_front_colour_and_the_rest_by_the_back)
{
    // A pixel counts as glyph when (cR + cG + cB) / 765 > 0.5. The sample
    // has pixels on both sides of that line and near it: some between 0.4
    // and 0.5, some between 0.5 and 0.55.
    const coverage cover = own_coverage(sample);
    int below_half = 0, above_half = 0;
    for (const rgb& c : cover.values) {
        const int sum = c[0] + c[1] + c[2];
        below_half += sum > 306 && sum <= 382;
        above_half += sum >= 383 && sum <= 420;
    }
    ASSERT_GT(below_half, 0);
    ASSERT_GT(above_half, 0);

    // On (0x28, 0xA0, 0xDC), front (0xC8, 0x64, 0x32), back (0x0F, 0x0F, 0x0F):
    // glyph pixels become (0xE0, 0xC4, 0xEE), the rest of the box
    // (0x27, 0xAF, 0xD3). In gradient mode (0x42) the front is white: glyph
    // pixels become (0xD7, 0x5F, 0x23). With the transparent bit the rest
    // of the box keeps its colour.
    const rgb under = {0x28, 0xA0, 0xDC};
    struct xor_case {
        std::int32_t mode;
        rgb glyph, rest;
    };
    const xor_case cases[] = {
        {xor_pixels, {0xE0, 0xC4, 0xEE}, {0x27, 0xAF, 0xD3}},
        {xor_pixels | transparent, {0xE0, 0xC4, 0xEE}, under},
        {gradient | xor_pixels, {0xD7, 0x5F, 0x23}, {0x27, 0xAF, 0xD3}},
    };
    for (const xor_case& k : cases) {
        SCOPED_TRACE(k.mode);
        test_image image(300, 40, 0x28A0DCFF);
        start_on(image);
        drawing_mode(k.mode);
        EXPECT_EQ(draw_text(3, 2, sample, 0x3264C8, 0x0F0F0F), 3 + cover.w);
        for (int y = 0; y < 40; ++y)
            for (int x = 0; x < 300; ++x) {
                const bool in_box = x >= 3 && x < 3 + cover.w && y >= 2 && y < 2 + cover.h;
                const rgb expected = !in_box ? under : cover.glyph(x - 3, y - 2) ? k.glyph : k.rest;
                ASSERT_EQ(image.get(x, y), expected) << x << "," << y;
            }
        // Drawn again, every pixel flips back.
        draw_text(3, 2, sample, 0x3264C8, 0x0F0F0F);
        for (int y = 0; y < 40; ++y)
            for (int x = 0; x < 300; ++x)
                ASSERT_EQ(image.get(x, y), under) << x << "," << y;
        drawing_stop();
    }
}

std::vector<std::array<colour, 4>> custom_calls;

// Stores the pixel's place and the alpha it was handed, so the image shows them.
colour note_custom_call(int x, int y, colour source, colour destination)
{
    custom_calls.push_back({colour(x), colour(y), source, destination});
    return colour(x) | colour(y) << 8 | (source >> 24) << 16;
}

TEST_F(image_text, custom_text_hands_every_pixel_of_the_box_to_the_callback)
{
    // The callback gets the front colour with its alpha (200 here) scaled by
    // the coverage, (cR + cG + cB) / 765 * 200 with the fraction dropped,
    // and the pixel as it is (alpha 255 on an image without alpha).
    const coverage cover = own_coverage(u"Мат");
    test_image image(120, 40, 0x28A0DCFF);
    image_output_record* o = start_on(image);
    drawing_mode(custom);
    EXPECT_EQ(draw_text(5, 3, u"Мат", 0xC83264C8, 0x0F0F0F), 5 + cover.w) << "the built-in callback";
    for (int y = 0; y < 40; ++y)
        for (int x = 0; x < 120; ++x)
            ASSERT_EQ(image.get(x, y), (rgb{0x28, 0xA0, 0xDC})) << "the built-in callback keeps " << x << "," << y;

    o->custom_callback = note_custom_call;
    custom_calls.clear();
    draw_text(5, 3, u"Мат", 0xC83264C8, 0x0F0F0F);
    ASSERT_EQ(custom_calls.size(), std::size_t(cover.w * cover.h));
    std::vector<bool> seen(custom_calls.size());
    for (const auto& call : custom_calls) {
        const int x = int(call[0]) - 5, y = int(call[1]) - 3;
        ASSERT_TRUE(x >= 0 && x < cover.w && y >= 0 && y < cover.h) << call[0] << "," << call[1];
        seen[std::size_t(y * cover.w + x)] = true;
        const rgb& c = cover.at(x, y);
        const colour alpha = colour((c[0] + c[1] + c[2]) / 765.0 * 200);
        EXPECT_EQ(call[2], 0x3264C8u | alpha << 24) << x << "," << y;
        EXPECT_EQ(call[3], 0xFFDCA028u) << x << "," << y;
    }
    EXPECT_EQ(std::count(seen.begin(), seen.end(), false), 0) << "each pixel once";
    for (int y = 0; y < 40; ++y)
        for (int x = 0; x < 120; ++x) {
            const bool in_box = x >= 5 && x < 5 + cover.w && y >= 3 && y < 3 + cover.h;
            if (!in_box) {
                ASSERT_EQ(image.get(x, y), (rgb{0x28, 0xA0, 0xDC})) << x << "," << y;
                continue;
            }
            const rgb& c = cover.at(x - 5, y - 3);
            const int alpha = int((c[0] + c[1] + c[2]) / 765.0 * 200);
            ASSERT_EQ(image.get(x, y), (rgb{x, y, alpha})) << x << "," << y;
        }
}

TEST_F(image_text, text_is_cut_at_every_border)
{
    test_image reference(300, 40, red_fill);
    start_on(reference);
    int w = text_width(sample), h = height_of(sample);
    draw_text(0, 0, sample, 0, 0xFFFFFF);
    drawing_stop();

    test_image left(300, 40, red_fill);
    start_on(left);
    EXPECT_EQ(draw_text(-5, 0, sample, 0, 0xFFFFFF), w - 5);
    for (int y = 0; y < 40; ++y)
        for (int x = 0; x < 300; ++x) {
            rgb expected = x <= w - 6 && y < h ? reference.get(x + 5, y) : red;
            ASSERT_EQ(left.get(x, y), expected) << x << "," << y;
        }
    drawing_stop();

    // Right and bottom: text starting near the corner keeps only what fits.
    test_image corner(300, 40, red_fill);
    start_on(corner);
    EXPECT_EQ(draw_text(300 - 20, 40 - 6, sample, 0, 0xFFFFFF), 300 - 20 + w);
    EXPECT_EQ(draw_text(-2, -3, sample, 0, 0xFFFFFF), w - 2);
    for (int y = 0; y < 40; ++y)
        for (int x = 0; x < 300; ++x) {
            rgb expected = red;
            if (x >= 280 && y >= 34)
                expected = reference.get(x - 280, y - 34);
            else if (x < w - 2 && y < h - 3)
                expected = reference.get(x + 2, y + 3);
            ASSERT_EQ(corner.get(x, y), expected) << x << "," << y;
        }
    EXPECT_EQ(draw_text(300, 0, sample, 0, 0xFFFFFF), 300 + w);
    EXPECT_EQ(draw_text(-w, 0, sample, 0, 0xFFFFFF), 0);
    EXPECT_EQ(draw_text(0, 40, sample, 0, 0xFFFFFF), w);
    drawing_stop();

    // From the ends of the int range nothing reaches the image, and the x
    // after the text stops at INT_MAX rather than wrap.
    test_image far(300, 40, red_fill);
    start_on(far);
    struct far_call {
        int x, y, after;
    };
    const far_call calls[] = {{INT_MAX, 0, INT_MAX},           {INT_MAX - 3, 0, INT_MAX},
                              {INT_MIN, 0, INT_MIN + w},       {0, INT_MIN, w},
                              {0, INT_MAX, w},                 {INT_MIN, INT_MIN, INT_MIN + w},
                              {-w, INT_MAX, 0},                {5, INT_MIN + 1, 5 + w},
                              {5, -h, 5 + w},                  {INT_MAX, INT_MIN, INT_MAX}};
    for (const far_call& c : calls)
        EXPECT_EQ(draw_text(c.x, c.y, sample, 0, 0xFFFFFF), c.after) << c.x << "," << c.y;
    EXPECT_EQ(text_width(sample), w);
    for (int y = 0; y < 40; ++y)
        for (int x = 0; x < 300; ++x)
            ASSERT_EQ(far.get(x, y), red) << x << "," << y;
}

TEST_F(image_text, old_text_never_shows_through_a_layout)
{
    // A short first line leaves part of the layout's box without any run;
    // what was drawn before must not appear there.
    const text lines = u"i\nWWW";
    test_image fresh(200, 100, red_fill);
    start_on(fresh);
    int w = text_width(lines), h = height_of(lines);
    draw_text(0, 0, lines, 0, 0xFFFFFF);
    drawing_stop();

    test_image reused(200, 100, red_fill);
    start_on(reused);
    draw_text(0, 60, u"WWWWWWWWWWWW", 0, 0xFFFFFF);
    draw_text(0, 0, lines, 0, 0xFFFFFF);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            ASSERT_EQ(reused.get(x, y), fresh.get(x, y)) << x << "," << y;
}

TEST_F(image_text, text_taller_than_the_pixmap_is_cut)
{
    const text lines = u"1\n2\n3\n4\n5\n6";
    test_image image(100, 200, red_fill);
    image_output_record* o = start_on(image);
    ASSERT_GT(height_of(lines), o->pixmap_height);
    int w = text_width(lines);
    EXPECT_EQ(draw_text(0, 0, lines, 0, 0xFFFFFF), w);
    for (int x = 0; x < w; ++x) {
        EXPECT_NE(image.get(x, o->pixmap_height - 1), red) << x;
        EXPECT_EQ(image.get(x, o->pixmap_height), red) << x;
    }
}

// A description whose "Hg" is exactly the given height, in a layout like the
// output's.
PangoFontDescription* font_with_hg_height(int pixels)
{
    PangoContext* context = gdk_pango_context_get();
    PangoLayout* layout = pango_layout_new(context);
    pango_layout_set_text(layout, "Hg", 2);
    PangoFontDescription* description = pango_font_description_from_string("Sans");
    bool found = false;
    for (int size = 20 * PANGO_SCALE; size < 80 * PANGO_SCALE && !found; size += PANGO_SCALE / 8) {
        pango_font_description_set_absolute_size(description, size);
        pango_layout_set_font_description(layout, description);
        int w = 0, h = 0;
        pango_layout_get_size(layout, &w, &h);
        found = h / PANGO_SCALE == pixels;
    }
    g_object_unref(layout);
    g_object_unref(context);
    if (!found) {
        pango_font_description_free(description);
        return nullptr;
    }
    return description;
}

TEST_F(image_text, pixmap_grows_with_the_font_and_never_shrinks)
{
    PangoFontDescription* tall = font_with_hg_height(60);
    ASSERT_NE(tall, nullptr);
    ASSERT_NE(font_load(0, u"", 12), 0);
    test_image image(120, 100, red_fill);
    image_output_record* o = start_on(image);
    EXPECT_EQ(o->pixmap_height, 50) << "small fonts get the least height";
    GdkPixmap* first = o->text_pixmap;

    drawing_font(font_handle(0));
    EXPECT_EQ(o->text_pixmap, first) << "a font that fits keeps the pixmap";
    drawing_font(tall);
    EXPECT_EQ(height_of(u"Hg"), 60);
    EXPECT_EQ(o->pixmap_height, 80);
    int pixmap_height = 0;
    gdk_drawable_get_size(o->text_pixmap, nullptr, &pixmap_height);
    EXPECT_EQ(pixmap_height, 80);

    drawing_font(font_handle(0));
    EXPECT_EQ(o->pixmap_height, 80);
    EXPECT_LT(height_of(u"Hg"), 30);
    pango_font_description_free(tall);
}

TEST_F(image_text, fonts_change_the_measure_until_the_default_comes_back)
{
    ASSERT_NE(font_load(0, u"", 12), 0);
    ASSERT_NE(font_load(1, u"", 24), 0);
    ASSERT_NE(font_load(2, u"", 12, font_flag::bold), 0);
    test_image image(10, 10, red_fill);
    start_on(image);
    int initial = text_width(sample);
    drawing_font(font_handle(0));
    int small = text_width(sample);
    drawing_font(font_handle(1));
    int large = text_width(sample);
    EXPECT_GT(large, small * 3 / 2);
    drawing_font(font_handle(2));
    EXPECT_GT(text_width(sample), small) << "bold runs wider";
    drawing_font(output_default_font);
    EXPECT_EQ(text_width(sample), initial);
    drawing_font(font_handle(9));  // absent: the context's font
    EXPECT_GT(text_width(sample), 0);
}

// ---- text taken again from the snapshot ----

// One line of text drawn on a fresh 240 × 30 image in its own session;
// the pixels, and how many requests the draw sent to the X server.
struct drawn_line {
    std::vector<rgb> pixels;
    unsigned long requests = 0;
};

drawn_line draw_line(const text& t, const PangoFontDescription* font, int x, colour front, colour back)
{
    test_image image(240, 30, red_fill);
    auto* o = reinterpret_cast<image_output_record*>(image_output_for_pixbuf(image.pixbuf));
    drawn_line line;
    if (!drawing_start(&o->base))
        return line;
    drawing_font(font);
    Display* display = gdk_x11_get_default_xdisplay();
    unsigned long before = NextRequest(display);
    draw_text(x, 4, t, front, back);
    line.requests = NextRequest(display) - before;
    drawing_stop();
    for (int y = 0; y < image.height; ++y)
        for (int i = 0; i < image.width; ++i)
            line.pixels.push_back(image.get(i, y));
    return line;
}

// The same line drawn right after another text, so nothing can be reused.
drawn_line draw_line_afresh(const text& t, const PangoFontDescription* font, int x, colour front, colour back)
{
    draw_line(u"something else entirely", nullptr, 0, 0, 0xFFFFFF);
    return draw_line(t, font, x, front, back);
}

TEST_F(image_text, the_same_text_again_is_taken_from_the_snapshot)
{
    ASSERT_NE(font_load(0, u"", 12), 0);
    drawn_line first = draw_line_afresh(sample, font_handle(0), 10, 0, 0xFFFFFF);
    EXPECT_GT(first.requests, 0u);
    drawn_line again = draw_line(sample, font_handle(0), 10, 0, 0xFFFFFF);
    EXPECT_EQ(again.requests, 0u) << "nothing new to draw";
    EXPECT_EQ(again.pixels, first.pixels);
    EXPECT_NE(std::count(first.pixels.begin(), first.pixels.end(), rgb{0, 0, 0}), 0) << "some glyph is drawn";

    // Colours are blended in afterwards, so they may change without a redraw.
    drawn_line coloured = draw_line(sample, font_handle(0), 10, 0x3264C8, 0x1E140A);
    EXPECT_EQ(coloured.requests, 0u);
    EXPECT_EQ(coloured.pixels, draw_line_afresh(sample, font_handle(0), 10, 0x3264C8, 0x1E140A).pixels);
}

TEST_F(image_text, other_glyphs_or_another_box_are_drawn_afresh)
{
    ASSERT_NE(font_load(0, u"", 12), 0);
    ASSERT_NE(font_load(1, u"", 12, font_flag::bold), 0);
    const text two = u"Мат в 2 хода", three = u"Мат в 3 хода";
    draw_line(two, font_handle(0), 10, 0, 0xFFFFFF);

    // Same length and, most likely, the same box: only the glyphs differ.
    drawn_line changed = draw_line(three, font_handle(0), 10, 0, 0xFFFFFF);
    EXPECT_GT(changed.requests, 0u);
    drawn_line three_afresh = draw_line_afresh(three, font_handle(0), 10, 0, 0xFFFFFF);
    EXPECT_EQ(changed.pixels, three_afresh.pixels);
    EXPECT_NE(changed.pixels, draw_line_afresh(two, font_handle(0), 10, 0, 0xFFFFFF).pixels);

    draw_line(three, font_handle(0), 10, 0, 0xFFFFFF);
    drawn_line bold = draw_line(three, font_handle(1), 10, 0, 0xFFFFFF);
    EXPECT_GT(bold.requests, 0u);
    EXPECT_EQ(bold.pixels, draw_line_afresh(three, font_handle(1), 10, 0, 0xFFFFFF).pixels);
    EXPECT_NE(bold.pixels, three_afresh.pixels);

    // Cut at the left border, the text lies elsewhere in the pixmap.
    draw_line(three, font_handle(0), 10, 0, 0xFFFFFF);
    drawn_line cut = draw_line(three, font_handle(0), -7, 0, 0xFFFFFF);
    EXPECT_GT(cut.requests, 0u);
    EXPECT_EQ(cut.pixels, draw_line_afresh(three, font_handle(0), -7, 0, 0xFFFFFF).pixels);

    // Cut at the right border, only part of it was read back.
    draw_line(three, font_handle(0), 200, 0, 0xFFFFFF);
    drawn_line whole = draw_line(three, font_handle(0), 10, 0, 0xFFFFFF);
    EXPECT_GT(whole.requests, 0u);
    EXPECT_EQ(whole.pixels, three_afresh.pixels);
}

}  // namespace
