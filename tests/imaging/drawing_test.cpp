// Drawing sessions and the pixel work of image outputs, without a display:
// boxes, modes, blits and the colour passing of the entry operations.
// Expected pixels are worked out by hand in the comments beside them.
#include <gtest/gtest.h>

#include <array>
#include <climits>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "imaging/drawing.h"
#include "imaging/image_output.h"
#include "imaging/image_store.h"

using namespace drawing_mode_bit;

namespace {

using rgba = std::array<int, 4>;

// A pixbuf of our own, filled with 0xRRGGBBAA as gdk_pixbuf_fill takes it.
struct test_image {
    GdkPixbuf* pixbuf;
    test_image(int w, int h, bool alpha, guint32 fill)
        : pixbuf(gdk_pixbuf_new(GDK_COLORSPACE_RGB, alpha, 8, w, h))
    {
        gdk_pixbuf_fill(pixbuf, fill);
    }
    ~test_image() { g_object_unref(pixbuf); }
    test_image(const test_image&) = delete;
    test_image& operator=(const test_image&) = delete;
    int channels() const { return gdk_pixbuf_get_n_channels(pixbuf); }
    guchar* at(int x, int y) const
    {
        return gdk_pixbuf_get_pixels(pixbuf) + y * gdk_pixbuf_get_rowstride(pixbuf) + x * channels();
    }
    rgba get(int x, int y) const
    {
        const guchar* p = at(x, y);
        return {p[0], p[1], p[2], channels() == 4 ? p[3] : -1};
    }
    void set(int x, int y, rgba v)
    {
        guchar* p = at(x, y);
        for (int c = 0; c < channels(); ++c)
            p[c] = guchar(v[std::size_t(c)]);
    }
};

rgba rgb(int r, int g, int b)
{
    return {r, g, b, -1};
}

class image_drawing : public testing::Test {
protected:
    void SetUp() override { drawing_init(); }
    // Frees whatever output a test left current.
    void TearDown() override { drawing_stop(); }

    static image_output_record* output_on(test_image& image)
    {
        return reinterpret_cast<image_output_record*>(image_output_for_pixbuf(image.pixbuf));
    }
    static void plot_one(image_output_record* o, std::int32_t mode, colour c)
    {
        o->base.ops.set_mode(&o->base, mode);
        o->base.front_colour = c;
        o->base.ops.set_front_colour(&o->base, c);
        o->base.ops.plot(&o->base, 0, 0);
    }
};

// The pixels of image (w x h) that differ from fill.
std::vector<std::pair<int, int>> changed(const test_image& image, int w, int h, rgba fill)
{
    std::vector<std::pair<int, int>> result;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            if (image.get(x, y) != fill)
                result.emplace_back(x, y);
    return result;
}

using pixel_list = std::vector<std::pair<int, int>>;

TEST_F(image_drawing, gradient_box_paints_white_whatever_the_colour)
{
    image_store_init();
    for (colour c : {colour(0xFFFFFF), colour(0), colour(0x123456)}) {
        ASSERT_NE(image_create(100, 5, 5), 0);
        ASSERT_NE(drawing_start(image_output(100)), 0);
        drawing_mode(gradient);
        draw_box(0, 0, 10, 10, c);
        drawing_stop();
        const guchar* pixels = gdk_pixbuf_get_pixels(image_handle(100));
        int stride = gdk_pixbuf_get_rowstride(image_handle(100));
        for (int y = 0; y < 5; ++y)
            for (int x = 0; x < 15; ++x)
                ASSERT_EQ(pixels[y * stride + x], 255) << "colour " << c << " byte " << x << " row " << y;
    }
    image_store_shutdown();
}

TEST_F(image_drawing, filled_boxes_are_normalised_and_clipped)
{
    test_image image(5, 5, false, 0x000000FF);
    output_on(image);
    draw_box(2, 2, -2, -2, 0xFFFFFF);
    EXPECT_EQ(changed(image, 5, 5, rgb(0, 0, 0)), (pixel_list{{0, 0}, {1, 0}, {0, 1}, {1, 1}}));

    gdk_pixbuf_fill(image.pixbuf, 0x000000FF);
    draw_box(3, 3, 10, 10, 0xFFFFFF);
    EXPECT_EQ(changed(image, 5, 5, rgb(0, 0, 0)), (pixel_list{{3, 3}, {4, 3}, {3, 4}, {4, 4}}));

    gdk_pixbuf_fill(image.pixbuf, 0x000000FF);
    draw_box(-4, -4, 5, 5, 0xFFFFFF);
    draw_box(5, 0, 3, 3, 0xFFFFFF);
    draw_box(0, 0, 0, 4, 0xFFFFFF);
    EXPECT_EQ(changed(image, 5, 5, rgb(0, 0, 0)), (pixel_list{{0, 0}}));
}

TEST_F(image_drawing, outlined_box_draws_edges_only)
{
    image_store_init();
    ASSERT_NE(image_create(100, 5, 5), 0);
    ASSERT_NE(drawing_start(image_output(100)), 0);
    drawing_mode(gradient);
    draw_box(0, 0, 5, 5, 0xFFFFFF);
    drawing_mode(outlined);
    draw_box(0, 0, 5, 3, 0);
    drawing_stop();
    const guchar* pixels = gdk_pixbuf_get_pixels(image_handle(100));
    int stride = gdk_pixbuf_get_rowstride(image_handle(100));
    for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 5; ++x) {
            bool black = y == 0 || y == 2 || (y == 1 && (x == 0 || x == 4));
            for (int c = 0; c < 3; ++c)
                ASSERT_EQ(pixels[y * stride + 3 * x + c], black ? 0 : 255) << x << "," << y;
        }
    image_store_shutdown();
}

TEST_F(image_drawing, outlined_box_keeps_edges_inside_when_one_is_outside)
{
    test_image image(5, 5, false, 0x000000FF);
    output_on(image);
    drawing_mode(outlined);
    draw_box(-1, 1, 4, 4, 0xFFFFFF);  // left edge at column -1, right at 2, rows 1 and 4
    EXPECT_EQ(changed(image, 5, 5, rgb(0, 0, 0)),
              (pixel_list{{0, 1}, {1, 1}, {2, 1}, {2, 2}, {2, 3}, {0, 4}, {1, 4}, {2, 4}}));

    gdk_pixbuf_fill(image.pixbuf, 0x000000FF);
    draw_box(3, -1, -3, 7, 0xFFFFFF);  // columns 0 and 2, from row -1 to row 5: only the sides show
    EXPECT_EQ(changed(image, 5, 5, rgb(0, 0, 0)),
              (pixel_list{{0, 0}, {2, 0}, {0, 1}, {2, 1}, {0, 2}, {2, 2}, {0, 3}, {2, 3}, {0, 4}, {2, 4}}));
}

TEST_F(image_drawing, outlined_box_edges_overlap_as_drawn)
{
    // In xor mode a pixel drawn twice returns to what it was, which shows
    // how often each edge covers it.
    test_image image(5, 5, false, 0x000000FF);
    output_on(image);
    drawing_mode(outlined | xor_pixels);
    draw_box(0, 0, 5, 1, 0xFFFFFF);  // one row high: top and bottom edge are the same row
    EXPECT_TRUE(changed(image, 5, 5, rgb(0, 0, 0)).empty());
    draw_box(0, 2, 3, 2, 0xFFFFFF);  // two rows high: no side edges
    EXPECT_EQ(changed(image, 5, 5, rgb(0, 0, 0)), (pixel_list{{0, 2}, {1, 2}, {2, 2}, {0, 3}, {1, 3}, {2, 3}}));
    gdk_pixbuf_fill(image.pixbuf, 0x000000FF);
    draw_box(1, 0, 1, 4, 0xFFFFFF);  // one column wide: left and right edge are the same column
    EXPECT_EQ(changed(image, 5, 5, rgb(0, 0, 0)), (pixel_list{{1, 0}, {1, 3}}));
}

TEST_F(image_drawing, colour_bytes_are_red_green_blue_from_the_low_byte)
{
    test_image image(3, 1, false, 0x000000FF);
    output_on(image);
    draw_box(0, 0, 1, 1, 0x0000FF);
    draw_box(1, 0, 1, 1, 0x00FF00);
    draw_box(2, 0, 1, 1, 0xFF0000);
    EXPECT_EQ(image.get(0, 0), rgb(255, 0, 0));
    EXPECT_EQ(image.get(1, 0), rgb(0, 255, 0));
    EXPECT_EQ(image.get(2, 0), rgb(0, 0, 255));
}

TEST_F(image_drawing, long_rows_of_any_colour_fill_exactly)
{
    test_image image(40, 3, false, 0x000000FF);
    output_on(image);
    draw_box(1, 1, 37, 1, 0x563412);
    for (int x = 0; x < 40; ++x) {
        rgba expected = x >= 1 && x <= 37 ? rgb(0x12, 0x34, 0x56) : rgb(0, 0, 0);
        EXPECT_EQ(image.get(x, 1), expected) << x;
        EXPECT_EQ(image.get(x, 0), rgb(0, 0, 0));
        EXPECT_EQ(image.get(x, 2), rgb(0, 0, 0));
    }
}

TEST_F(image_drawing, full_width_boxes_stop_at_their_last_row)
{
    // 4 pixels of 3 bytes: rows follow each other without padding.
    test_image three(4, 5, false, 0x000000FF);
    ASSERT_EQ(gdk_pixbuf_get_rowstride(three.pixbuf), 12);
    output_on(three);
    draw_box(0, 1, 4, 2, 0x563412);
    drawing_mode(gradient);
    draw_box(0, 4, 9, 1, 0);
    for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 4; ++x) {
            rgba expected = y == 1 || y == 2 ? rgb(0x12, 0x34, 0x56) : y == 4 ? rgb(255, 255, 255) : rgb(0, 0, 0);
            EXPECT_EQ(three.get(x, y), expected) << x << "," << y;
        }
    drawing_stop();

    // Alpha blend of (255, 0, 0) at alpha 255 over transparent rows 1-2 only.
    test_image four(3, 4, true, 0);
    output_on(four);
    drawing_mode(alpha_blend);
    draw_box(0, 1, 3, 2, 0xFF0000FF);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 3; ++x)
            EXPECT_EQ(four.get(x, y), y == 1 || y == 2 ? (rgba{255, 0, 0, 255}) : (rgba{0, 0, 0, 0})) << x << "," << y;
}

int front_colour_calls = 0;
void (*forward_set_front_colour)(drawing_output*, colour) = nullptr;

void counting_set_front_colour(drawing_output* o, colour c)
{
    ++front_colour_calls;
    forward_set_front_colour(o, c);
}

TEST_F(image_drawing, same_colour_twice_is_passed_on_once)
{
    test_image image(4, 1, false, 0x000000FF);
    image_output_record* o = output_on(image);
    forward_set_front_colour = o->base.ops.set_front_colour;
    o->base.ops.set_front_colour = counting_set_front_colour;
    front_colour_calls = 0;

    draw_box(0, 0, 1, 1, 0x0000FF);
    drawing_mode(gradient);
    draw_box(3, 0, 1, 1, 0x0000FF);
    drawing_mode(0);
    draw_box(1, 0, 1, 1, 0x0000FF);
    EXPECT_EQ(front_colour_calls, 1);
    // The gradient box in between drew white, and the mode change gave the
    // next box its colour back without the colour being passed again.
    EXPECT_EQ(image.get(3, 0), rgb(255, 255, 255));
    EXPECT_EQ(image.get(1, 0), rgb(255, 0, 0));

    draw_box(2, 0, 1, 1, 0x00FF00);
    EXPECT_EQ(front_colour_calls, 2);
    EXPECT_EQ(o->base.front_colour, 0x00FF00u);
}

TEST_F(image_drawing, xor_routine)
{
    test_image image(1, 1, false, 0x123456FF);
    plot_one(output_on(image), xor_pixels, 0x0F0F0F);
    EXPECT_EQ(image.get(0, 0), rgb(0x1D, 0x3B, 0x59));
    drawing_stop();

    test_image four(1, 1, true, 0x12345680);
    plot_one(output_on(four), xor_pixels | alpha_blend, 0xFFF00F0F);  // xor wins; alpha untouched
    EXPECT_EQ(four.get(0, 0), (rgba{0x1D, 0x3B, 0xA6, 0x80}));
}

TEST_F(image_drawing, alpha_channel_routine)
{
    test_image four(1, 1, true, 0x0A141E28);
    plot_one(output_on(four), alpha_channel, 0x80C8C8C8);
    EXPECT_EQ(four.get(0, 0), (rgba{10, 20, 30, 0x80}));
    drawing_stop();

    test_image three(1, 1, false, 0x0A141EFF);
    image_output_record* o = output_on(three);
    plot_one(o, alpha_channel, 0x80C8C8C8);
    o->base.ops.box(&o->base, 0, 0, 1, 1);
    EXPECT_EQ(three.get(0, 0), rgb(10, 20, 30));
}

TEST_F(image_drawing, alpha_blend_routine_on_three_bytes)
{
    // Colour (200, 0, 255) at alpha 64 over (100, 200, 50):
    // red (100*191 + 200*64)/255 = 125, green 200*191/255 = 149,
    // blue (50*191 + 255*64)/255 = 101.
    // White at alpha 128 over white stays white: (255*127 + 255*128)/255
    // = 255, where a division by 256 would give 254.
    for (std::int32_t mode : {alpha_blend, alpha_clip}) {
        test_image image(1, 1, false, 0x64C832FF);
        plot_one(output_on(image), mode, 0x40FF00C8);
        EXPECT_EQ(image.get(0, 0), rgb(125, 149, 101)) << mode;
        drawing_stop();

        test_image white(1, 1, false, 0xFFFFFFFF);
        plot_one(output_on(white), mode, 0x80FFFFFF);
        EXPECT_EQ(white.get(0, 0), rgb(255, 255, 255)) << mode;
        drawing_stop();
    }
}

TEST_F(image_drawing, alpha_blend_routine_on_four_bytes)
{
    // Colour (200, 0, 255) at alpha 64 over (100, 200, 50) at alpha 128:
    // below = 191*128 = 24448, total = 24448 + 64*255 = 40768;
    // red (200*64*255 + 24448*100)/40768 = 140, green 24448*200/40768 = 119,
    // blue (255*64*255 + 24448*50)/40768 = 132; alpha (64*255 + 128*191)/255 = 159.
    test_image blend(1, 1, true, 0x64C83280);
    plot_one(output_on(blend), alpha_blend, 0x40FF00C8);
    EXPECT_EQ(blend.get(0, 0), (rgba{140, 119, 132, 159}));
    drawing_stop();

    test_image clip(1, 1, true, 0x64C83280);
    plot_one(output_on(clip), alpha_clip, 0x40FF00C8);
    EXPECT_EQ(clip.get(0, 0), (rgba{140, 119, 132, 128}));
    drawing_stop();

    // A transparent pixel takes the colour; alpha becomes 64*255/255.
    test_image empty(1, 1, true, 0x64C83200);
    plot_one(output_on(empty), alpha_blend, 0x40FF00C8);
    EXPECT_EQ(empty.get(0, 0), (rgba{200, 0, 255, 64}));
    drawing_stop();

    // A transparent colour changes nothing, alpha included.
    test_image unchanged(1, 1, true, 0x64C83280);
    plot_one(output_on(unchanged), alpha_blend, 0x00FF00C8);
    EXPECT_EQ(unchanged.get(0, 0), (rgba{100, 200, 50, 128}));
}

TEST_F(image_drawing, direct_alpha_routine)
{
    test_image four(1, 1, true, 0x64C83280);
    image_output_record* o = output_on(four);
    plot_one(o, direct_alpha | alpha_blend | alpha_channel, 0x40FF00C8);
    EXPECT_EQ(o->mode, direct_alpha);
    EXPECT_EQ(four.get(0, 0), (rgba{200, 0, 255, 64}));
    drawing_stop();

    // Three-byte images have no alpha to write: the bit and the alpha modes go.
    test_image three(1, 1, false, 0x64C832FF);
    o = output_on(three);
    plot_one(o, direct_alpha | alpha_blend, 0x40FF00C8);
    EXPECT_EQ(o->mode, 0);
    EXPECT_EQ(three.get(0, 0), rgb(200, 0, 255));
}

double half_way(image_output_record*, int, int)
{
    return 0.5;
}

TEST_F(image_drawing, gradient_colour_goes_through_the_rest_of_the_mode)
{
    // Gradient with alpha blend: opaque white, premultiplied, over a
    // transparent pixel gives opaque white.
    test_image four(2, 1, true, 0x10203000);
    output_on(four);
    drawing_mode(gradient | alpha_blend);
    draw_box(0, 0, 1, 1, 0);
    EXPECT_EQ(four.get(0, 0), (rgba{255, 255, 255, 255}));
    EXPECT_EQ(four.get(1, 0), (rgba{0x10, 0x20, 0x30, 0}));
    drawing_stop();

    // A gradient function of one half: each channel of 0xFF000000 and
    // 0xFFFFFFFF meets at the integer part of 127.5.
    test_image three(3, 1, false, 0x000000FF);
    image_output_record* o = output_on(three);
    o->gradient_function = half_way;
    drawing_mode(gradient);
    draw_box(0, 0, 2, 1, 0x0000FF);
    EXPECT_EQ(three.get(0, 0), rgb(127, 127, 127));
    EXPECT_EQ(three.get(1, 0), rgb(127, 127, 127));
    EXPECT_EQ(three.get(2, 0), rgb(0, 0, 0));
}

std::vector<std::array<colour, 4>> custom_calls;

colour record_custom(int x, int y, colour source, colour destination)
{
    custom_calls.push_back({colour(x), colour(y), source, destination});
    return 0x11223344;
}

TEST_F(image_drawing, custom_mode_hands_each_pixel_to_the_callback)
{
    test_image image(3, 2, false, 0x0A141EFF);
    image_output_record* o = output_on(image);
    drawing_mode(custom);
    draw_box(0, 0, 3, 2, 0x0000FF);
    EXPECT_TRUE(changed(image, 3, 2, rgb(10, 20, 30)).empty()) << "the built-in callback keeps the pixel";

    o->custom_callback = record_custom;
    custom_calls.clear();
    draw_box(1, 1, 1, 1, 0x00C0FFEE);
    ASSERT_EQ(custom_calls.size(), 1u);
    EXPECT_EQ(custom_calls[0], (std::array<colour, 4>{1, 1, 0x00C0FFEE, 0xFF1E140A}));
    EXPECT_EQ(image.get(1, 1), rgb(0x44, 0x33, 0x22));
}

TEST_F(image_drawing, plot_and_point)
{
    test_image image(2, 2, false, 0x000000FF);
    image_output_record* o = output_on(image);
    o->base.ops.plot_colour(&o->base, 1, 0, 0x332211);
    o->base.ops.plot_colour(&o->base, 5, 5, 0x332211);
    EXPECT_EQ(o->base.ops.point(&o->base, 1, 0), 0x332211u);
    EXPECT_EQ(o->base.ops.point(&o->base, -1, 0), 0u);
    EXPECT_EQ(changed(image, 2, 2, rgb(0, 0, 0)), (pixel_list{{1, 0}}));
}

// A source whose pixel (x, y) is (x, y, 77), so each copy shows where it came from.
void fill_positions(test_image& source)
{
    int w = gdk_pixbuf_get_width(source.pixbuf), h = gdk_pixbuf_get_height(source.pixbuf);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            source.set(x, y, {x, y, 77, 255});
}

TEST_F(image_drawing, blit_is_clipped_at_every_side)
{
    image_store_init();
    ASSERT_NE(image_create(100, 20, 12), 0);
    test_image source(10, 10, false, 0);
    fill_positions(source);
    ASSERT_NE(drawing_start(image_output(100)), 0);
    draw_image(source.pixbuf, -3, 8);
    drawing_stop();
    const guchar* pixels = gdk_pixbuf_get_pixels(image_handle(100));
    int stride = gdk_pixbuf_get_rowstride(image_handle(100));
    for (int y = 0; y < 12; ++y)
        for (int x = 0; x < 20; ++x) {
            const guchar* p = pixels + y * stride + 3 * x;
            rgba expected = x <= 6 && y >= 8 ? rgb(x + 3, y - 8, 77) : rgb(0, 0, 0);
            ASSERT_EQ(rgb(p[0], p[1], p[2]), expected) << x << "," << y;
        }
    image_store_shutdown();

    test_image target(4, 4, false, 0x000000FF);
    output_on(target);
    draw_image(source.pixbuf, 2, -8);  // source rows 8-9 at rows 0-1, columns 0-1 at 2-3
    draw_image(source.pixbuf, 4, 0);
    draw_image(source.pixbuf, 0, -10);
    draw_image(nullptr, 0, 0);
    EXPECT_EQ(changed(target, 4, 4, rgb(0, 0, 0)), (pixel_list{{2, 0}, {3, 0}, {2, 1}, {3, 1}}));
    EXPECT_EQ(target.get(3, 1), rgb(1, 9, 77));
}

TEST_F(image_drawing, blits_in_the_modes_on_three_bytes)
{
    test_image source(1, 1, false, 0xC8640AFF);  // (200, 100, 10)
    test_image image(1, 1, false, 0x5A1E78FF);   // (90, 30, 120)
    image_output_record* o = output_on(image);

    drawing_mode(xor_pixels);
    draw_image(source.pixbuf, 0, 0);
    EXPECT_EQ(image.get(0, 0), rgb(200 ^ 90, 100 ^ 30, 10 ^ 120));

    image.set(0, 0, rgb(90, 30, 120));
    drawing_mode(alpha_channel);
    draw_image(source.pixbuf, 0, 0);
    EXPECT_EQ(image.get(0, 0), rgb(90, 30, 120));

    // Opacity 64: (200*64 + 90*191)/255 = 117, (100*64 + 30*191)/255 = 47,
    // (10*64 + 120*191)/255 = 92.
    drawing_mode(0);
    o->base.ops.draw_image_faded(&o->base, source.pixbuf, 0, 0, 64);
    EXPECT_EQ(image.get(0, 0), rgb(117, 47, 92));
    o->base.ops.draw_image_faded(&o->base, source.pixbuf, 0, 0, 0);
    EXPECT_EQ(image.get(0, 0), rgb(117, 47, 92));

    // White over white at opacity 128: (255*128 + 255*127)/255 = 255, where
    // a division by 256 would give 254.
    test_image white(1, 1, false, 0xFFFFFFFF);
    image.set(0, 0, rgb(255, 255, 255));
    o->base.ops.draw_image_faded(&o->base, white.pixbuf, 0, 0, 128);
    EXPECT_EQ(image.get(0, 0), rgb(255, 255, 255));
}

TEST_F(image_drawing, alpha_source_is_weighted_by_its_alpha)
{
    // (200, 100, 0) at alpha 128 over (0, 0, 255): 200*128/255 = 100,
    // 100*128/255 = 50, 255*127/255 = 127.
    test_image source(2, 1, true, 0xC8640080);
    source.set(1, 0, {200, 100, 0, 0});
    test_image image(2, 1, false, 0x0000FFFF);
    image_output_record* o = output_on(image);
    draw_image(source.pixbuf, 0, 0);
    EXPECT_EQ(image.get(0, 0), rgb(100, 50, 127));
    EXPECT_EQ(image.get(1, 0), rgb(0, 0, 255));

    // With opacity 128 the weight is 128*128/255 = 64:
    // (200*64 + 0*191)/255 = 50, 100*64/255 = 25, 255*191/255 = 191.
    image.set(0, 0, rgb(0, 0, 255));
    o->base.ops.draw_image_faded(&o->base, source.pixbuf, 0, 0, 128);
    EXPECT_EQ(image.get(0, 0), rgb(50, 25, 191));
}

TEST_F(image_drawing, blits_onto_four_bytes)
{
    test_image source(1, 1, false, 0xC8640AFF);
    test_image image(1, 1, true, 0x5A1E7880);
    image_output_record* o = output_on(image);
    draw_image(source.pixbuf, 0, 0);
    EXPECT_EQ(image.get(0, 0), (rgba{200, 100, 10, 0x80})) << "an opaque copy keeps the pixel's alpha";

    drawing_mode(direct_alpha);
    o->base.ops.draw_image_faded(&o->base, source.pixbuf, 0, 0, 99);
    EXPECT_EQ(image.get(0, 0), (rgba{200, 100, 10, 99}));

    drawing_mode(alpha_channel);
    o->base.ops.draw_image_faded(&o->base, source.pixbuf, 0, 0, 7);
    EXPECT_EQ(image.get(0, 0), (rgba{200, 100, 10, 7}));

    // Alpha blend at full opacity makes the pixel the source, opaque.
    drawing_mode(alpha_blend);
    image.set(0, 0, {1, 2, 3, 40});
    draw_image(source.pixbuf, 0, 0);
    EXPECT_EQ(image.get(0, 0), (rgba{200, 100, 10, 255}));
}

TEST_F(image_drawing, sized_blit_scales_first)
{
    test_image source(2, 2, false, 0x2040C0FF);
    test_image image(6, 6, false, 0x000000FF);
    image_output_record* o = output_on(image);
    o->base.ops.draw_image_sized(&o->base, source.pixbuf, 1, 1, 4, 4);
    pixel_list inside;
    for (int y = 1; y < 5; ++y)
        for (int x = 1; x < 5; ++x)
            inside.emplace_back(x, y);
    EXPECT_EQ(changed(image, 6, 6, rgb(0, 0, 0)), inside);
    EXPECT_EQ(image.get(4, 4), rgb(0x20, 0x40, 0xC0));
    drawing_stop();

    // Cut at the top-left, the pixels are those of GdkPixbuf's own scaling
    // of the whole, from its column 6 and row 5 on.
    test_image positions(10, 10, false, 0);
    fill_positions(positions);
    test_image target(12, 9, false, 0x000000FF);
    o = output_on(target);
    o->base.ops.draw_image_sized(&o->base, positions.pixbuf, -6, -5, 23, 17);
    GdkPixbuf* whole = gdk_pixbuf_scale_simple(positions.pixbuf, 23, 17, GDK_INTERP_BILINEAR);
    const int stride = gdk_pixbuf_get_rowstride(whole);
    for (int y = 0; y < 9; ++y)
        for (int x = 0; x < 12; ++x) {
            rgba expected = rgb(0, 0, 0);
            if (x < 17 && y < 12) {
                const guchar* p = gdk_pixbuf_get_pixels(whole) + (y + 5) * stride + (x + 6) * 3;
                expected = rgb(p[0], p[1], p[2]);
            }
            ASSERT_EQ(target.get(x, y), expected) << x << "," << y;
        }
    g_object_unref(whole);
    drawing_stop();

    // Magnified past what GdkPixbuf's scaler can step through: black and
    // white, stretched to INT_MAX columns (INT_MAX / 2 each), seen from
    // column 805306367 on, which lies a quarter of the way from the centre
    // of the black pixel to that of the white: 255 / 4 = 63.75, so 64.
    test_image black_white(2, 1, false, 0x000000FF);
    black_white.set(1, 0, rgb(255, 255, 255));
    test_image far(8, 2, false, 0x0000FFFF);
    o = output_on(far);
    o->base.ops.draw_image_sized(&o->base, black_white.pixbuf, -805306367, 0, INT_MAX, 1);
    for (int x = 0; x < 8; ++x) {
        EXPECT_EQ(far.get(x, 0), rgb(64, 64, 64)) << x;
        EXPECT_EQ(far.get(x, 1), rgb(0, 0, 255)) << x;
    }
}

// Calls with coordinates and sizes at the ends of the int range, on an 8 × 6
// black image. Each row's picture shows what it must leave: '#' for pixels
// drawn white, '.' for pixels left black.
TEST_F(image_drawing, calls_at_the_ends_of_the_int_range_are_clipped)
{
    constexpr int lo = INT_MIN, hi = INT_MAX;
    using picture = std::vector<std::string>;
    const picture nothing(6, "........");
    test_image white(4, 4, false, 0xFFFFFFFF);
    GdkPixbuf* source = white.pixbuf;
    auto sized = [source](int x, int y, int w, int h) {
        return [=](drawing_output* o) { o->ops.draw_image_sized(o, source, x, y, w, h); };
    };
    auto faded = [source](int x, int y, int opacity) {
        return [=](drawing_output* o) { o->ops.draw_image_faded(o, source, x, y, opacity); };
    };
    auto filled = [](int x, int y, int w, int h) {
        return [=](drawing_output*) { draw_box(x, y, w, h, 0xFFFFFF); };
    };
    auto outlined_box = [](int x, int y, int w, int h) {
        return [=](drawing_output*) {
            drawing_mode(outlined);
            draw_box(x, y, w, h, 0xFFFFFF);
        };
    };
    auto image_at = [source](int x, int y) { return [=](drawing_output*) { draw_image(source, x, y); }; };
    auto plots = [](drawing_output* o) {
        for (int x : {lo, lo + 1, -1, 8, hi - 1, hi})
            for (int y : {lo, -1, 6, hi}) {
                o->ops.plot_colour(o, x, y, 0xFFFFFF);
                o->ops.plot_colour(o, y, x, 0xFFFFFF);
                EXPECT_EQ(o->ops.point(o, x, y), 0u);
            }
    };
    struct row {
        const char* call;
        std::function<void(drawing_output*)> draw;
        picture left;
    };
    const row rows[] = {
        {"box lo, lo, hi, hi: ends at -1", filled(lo, lo, hi, hi), nothing},
        {"box hi, hi, lo, lo: from -1 on", filled(hi, hi, lo, lo), picture(6, "########")},
        {"box lo, 2, lo, 1: further left still", filled(lo, 2, lo, 1), nothing},
        {"box 3, hi, 2, lo: columns 3-4", filled(3, hi, 2, lo),
         picture(6, "...##...")},
        {"box -2, 4, hi, hi", filled(-2, 4, hi, hi),
         {"........", "........", "........", "........", "########", "########"}},
        {"box hi, 1, hi, 1", filled(hi, 1, hi, 1), nothing},
        {"outlined box 1, 1, hi, hi: only top and left show", outlined_box(1, 1, hi, hi),
         {"........", ".#######", ".#......", ".#......", ".#......", ".#......"}},
        {"outlined box hi, hi, lo, lo: every edge outside", outlined_box(hi, hi, lo, lo), nothing},
        {"outlined box 6, 4, lo, lo: right edge 5, bottom edge 3", outlined_box(6, 4, lo, lo),
         {".....#..", ".....#..", ".....#..", "######..", "........", "........"}},
        {"image at the corners of the range",
         [&](drawing_output* o) {
             for (int x : {lo, hi})
                 for (int y : {lo, 0, hi}) {
                     image_at(x, y)(o);
                     image_at(y, x)(o);
                 }
         },
         nothing},
        {"image at -3, -2", image_at(-3, -2),
         {"#.......", "#.......", "........", "........", "........", "........"}},
        {"sized 2, 3, hi, hi", sized(2, 3, hi, hi),
         {"........", "........", "........", "..######", "..######", "..######"}},
        {"sized lo, lo, hi, hi", sized(lo, lo, hi, hi), nothing},
        {"sized -hi, 0, hi, hi: ends at 0", sized(-hi, 0, hi, hi), nothing},
        {"sized 1 - hi, 0, hi, 1: column 0 of row 0", sized(1 - hi, 0, hi, 1),
         {"#.......", "........", "........", "........", "........", "........"}},
        {"sized 5, 5, lo, lo", sized(5, 5, lo, lo), nothing},
        {"faded at hi opacity is opaque", faded(4, 0, hi),
         {"....####", "....####", "....####", "....####", "........", "........"}},
        {"faded at lo opacity, and far away", [&](drawing_output* o) {
             faded(0, 0, lo)(o);
             faded(lo, lo, 255)(o);
             faded(hi, hi, 255)(o);
         },
         nothing},
        {"plots and points outside", plots, nothing},
    };
    for (const row& r : rows) {
        test_image image(8, 6, false, 0x000000FF);
        drawing_output* o = &output_on(image)->base;
        r.draw(o);
        drawing_stop();
        picture left;
        for (int y = 0; y < 6; ++y) {
            std::string line;
            for (int x = 0; x < 8; ++x)
                line += image.get(x, y) == rgb(255, 255, 255) ? '#' : image.get(x, y) == rgb(0, 0, 0) ? '.' : '?';
            left.push_back(line);
        }
        EXPECT_EQ(left, r.left) << r.call;
    }
}

// A stand-in output that records what the entry operations do to it. It
// is freed with free() like every output, so what it sees is kept outside.
struct probe_log {
    std::intptr_t start_result;
    std::vector<int> releases;
    int stops;
    int back_colour_calls;
};
probe_log probe;

std::intptr_t probe_start(drawing_output*)
{
    return probe.start_result;
}
void probe_stop(drawing_output*)
{
    ++probe.stops;
}
void probe_release(drawing_output*, int flag)
{
    probe.releases.push_back(flag);
}
void probe_back_colour(drawing_output*, colour)
{
    ++probe.back_colour_calls;
}
int probe_draw_text(drawing_output*, int x, int, const text& t)
{
    return x + int(t.size());
}

drawing_output* make_probe(std::intptr_t start_result)
{
    probe = probe_log{start_result, {}, 0, 0};
    auto* o = static_cast<drawing_output*>(std::calloc(1, sizeof(drawing_output)));
    o->ops.start = probe_start;
    o->ops.stop = probe_stop;
    o->ops.release = probe_release;
    o->ops.set_back_colour = probe_back_colour;
    o->ops.draw_text = probe_draw_text;
    drawing_make_current(o);
    return o;
}

TEST_F(image_drawing, failed_start_discards_the_output)
{
    drawing_output* o = make_probe(0);
    EXPECT_EQ(drawing_current(), o);
    EXPECT_EQ(drawing_start(o), 0);
    EXPECT_EQ(drawing_current(), nullptr);
    EXPECT_EQ(probe.releases, std::vector<int>{0});
    EXPECT_EQ(drawing_start(nullptr), 0);
    // Nothing is left to stop.
    drawing_stop();
    EXPECT_EQ(probe.stops, 0);
}

TEST_F(image_drawing, stop_ends_the_session)
{
    drawing_output* o = make_probe(42);
    EXPECT_EQ(drawing_start(o), 42);
    EXPECT_EQ(drawing_current(), o);
    EXPECT_EQ(draw_text(3, 0, u"abc", 0, 0), 6);
    EXPECT_EQ(draw_text(3, 0, u"abc", 0, 0x10), 6);
    EXPECT_EQ(draw_text(3, 0, u"abc", 0, 0x10), 6);
    EXPECT_EQ(probe.back_colour_calls, 1);
    drawing_stop();
    EXPECT_EQ(probe.stops, 1);
    EXPECT_EQ(probe.releases, std::vector<int>{1});
    EXPECT_EQ(drawing_current(), nullptr);
    // Without a current output the entry operations do nothing.
    draw_box(0, 0, 1, 1, 0);
    EXPECT_EQ(draw_text(7, 0, u"abc", 0, 0), 7);
    EXPECT_EQ(text_width(u"abc"), 0);
}

TEST_F(image_drawing, image_output_follows_the_image)
{
    image_store_init();
    image_release(77);
    EXPECT_EQ(image_output(77), nullptr);
    EXPECT_EQ(drawing_current(), nullptr);

    ASSERT_NE(image_create(5, 3, 2, 32), 0);
    auto* o = reinterpret_cast<image_output_record*>(image_output(5));
    ASSERT_NE(o, nullptr);
    EXPECT_EQ(drawing_current(), &o->base);
    EXPECT_EQ(o->base.width, 3);
    EXPECT_EQ(o->base.height, 2);
    EXPECT_EQ(o->base.depth, 32);
    EXPECT_EQ(o->pixel_format, 32);
    EXPECT_EQ(o->bytes_per_pixel, 4);
    EXPECT_EQ(o->base.gradient_end, 0xFFFFFFFFu);
    EXPECT_EQ(o->base.gradient_start, 0xFF000000u);
    EXPECT_EQ(o->base.ops.buffer(&o->base), gdk_pixbuf_get_pixels(image_handle(5)));
    // Without a display cairo draws the text: the top rows of a text box
    // lie above its glyphs and take the back colour.
    EXPECT_EQ(drawing_start(&o->base), reinterpret_cast<std::intptr_t>(gdk_pixbuf_get_pixels(image_handle(5))));
    const int w = text_width(u"x");
    EXPECT_GT(w, 3);
    EXPECT_EQ(draw_text(0, 0, u"x", 0, 0xFFFFFF), w);
    const guchar* corner = gdk_pixbuf_get_pixels(image_handle(5));
    EXPECT_EQ((std::array<int, 4>{corner[0], corner[1], corner[2], corner[3]}), (std::array<int, 4>{255, 255, 255, 255}));
    drawing_stop();
    image_store_shutdown();
}

}  // namespace
