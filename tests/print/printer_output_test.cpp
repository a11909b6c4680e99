// The printer output on an A4 job (page height 841): the page calls each
// drawing call becomes, read from the call recorder, and where the result
// lands on paper once the page is played back.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <functional>
#include <sstream>

#include "imaging/drawing.h"
#include "print/print_job.h"
#include "print/printer_output.h"
#include "tests/print/print_test_support.h"

using namespace drawing_mode_bit;

namespace {

class printer_drawing : public testing::Test {
protected:
    void SetUp() override
    {
        drawing_init();
        printer_init();
        printer_request();  // no display: answers 0 but holds a job
        printing_start(u"print diagram");
        output = printer_output();
        ASSERT_NE(output, nullptr);
        ASSERT_NE(drawing_start(output), 0);
        page_context_record_calls(printer_context(), &log);
    }
    void TearDown() override
    {
        drawing_stop();
        printer_init();
    }
    std::vector<std::string> lines() const { return recorded_lines(log); }
    // The page as drawn so far, played onto white paper.
    played_page paper() const { return played_page(printer_job(), 0, 595.28, 841.89); }
    drawing_output* output = nullptr;
    std::string log;
};

// The drawing is 841 points high on paper 841.89 high, so drawing row y
// lies 0.89 points lower on paper: paper row y + 1 is mostly drawing row y.
int row(int y)
{
    return y + 1;
}

}  // namespace

TEST(printer_output, needs_a_job)
{
    drawing_init();
    printer_init();
    EXPECT_EQ(printer_output(), nullptr);
    EXPECT_EQ(drawing_current(), nullptr);
}

TEST_F(printer_drawing, is_current_and_sized_from_the_page_in_whole_points)
{
    EXPECT_EQ(drawing_current(), output);
    EXPECT_EQ(output->width, 595);
    EXPECT_EQ(output->height, 841);
    EXPECT_EQ(output->depth, 24);
    EXPECT_EQ(output->front_colour, 0xFFFFFFFFu);
    EXPECT_EQ(output->back_colour, 0xFFFFFFFFu);
}

TEST_F(printer_drawing, a_page_sized_image_fills_the_page)
{
    GdkPixbuf* sheet = gdk_pixbuf_new(GDK_COLORSPACE_RGB, FALSE, 8, 595, 841);
    gdk_pixbuf_fill(sheet, 0x000000FF);
    draw_image(sheet, 0, 0);
    g_object_unref(sheet);
    EXPECT_EQ(lines(), (std::vector<std::string>{"gsave", "translate 0 0", "scale 595 841", "rgbimage 595 841",
                                                 "grestore"}));
}

TEST_F(printer_drawing, an_image_lands_with_its_first_row_at_its_drawing_y)
{
    // Ten red rows over ten blue ones, 4 pixels wide, at (50, 100).
    std::vector<std::uint32_t> pixels(80, 0xFF0000);
    std::fill(pixels.begin() + 40, pixels.end(), 0x0000FF);
    GdkPixbuf* image = pixbuf_from(4, 20, false, pixels);
    draw_image(image, 50, 100);
    draw_image(nullptr, 0, 0);
    g_object_unref(image);
    EXPECT_EQ(lines(), (std::vector<std::string>{"gsave", "translate 50 721", "scale 4 20", "rgbimage 4 20",
                                                 "grestore"}));
    played_page page = paper();
    EXPECT_EQ(page.at(52, row(102)), (rgb_pixel{255, 0, 0}));
    EXPECT_EQ(page.at(52, row(115)), (rgb_pixel{0, 0, 255}));
    EXPECT_FALSE(page.inked(52, row(121)));
    EXPECT_FALSE(page.inked(52, row(98)));
}

TEST_F(printer_drawing, a_pixbuf_with_alpha_goes_through_the_rgba_image_call)
{
    GdkPixbuf* image = pixbuf_from(1, 1, true, {0x00FF00FF});
    draw_image(image, 0, 0);
    g_object_unref(image);
    EXPECT_EQ(lines()[3], "rgbaimage 1 1");
}

TEST_F(printer_drawing, boxes_become_page_rectangles_whichever_way_their_size_points)
{
    draw_box(10, 20, 100, 50, 0);
    const std::vector<std::string> rectangle = {"moveto 10 821", "lineto 110 821", "lineto 110 771",
                                                "lineto 10 771", "lineto 10 821"};
    std::vector<std::string> filled = {"setrgbcolor 0 0 0"};
    filled.insert(filled.end(), rectangle.begin(), rectangle.end());
    filled.push_back("fill");
    EXPECT_EQ(lines(), filled);

    log.clear();
    draw_box(110, 70, -100, -50, 0);
    std::vector<std::string> again(rectangle);
    again.push_back("fill");
    EXPECT_EQ(lines(), again);

    log.clear();
    drawing_mode(outlined);
    draw_box(110, 20, -100, 50, 0);
    std::vector<std::string> stroked(rectangle);
    stroked.push_back("stroke");
    EXPECT_EQ(lines(), stroked);
}

TEST_F(printer_drawing, colours_go_as_fractions_of_255_and_alpha_is_ignored)
{
    draw_box(0, 0, 1, 1, 0xFF0000FF);
    draw_box(0, 0, 1, 1, 0x00FF8033);
    auto l = lines();
    ASSERT_EQ(l.size(), 14u);
    EXPECT_EQ(l[0], "setrgbcolor 1 0 0");
    EXPECT_EQ(l[7], "setrgbcolor 0.2 0.501961 1");
}

TEST_F(printer_drawing, a_filled_box_covers_its_points_on_paper)
{
    draw_box(10, 20, 100, 50, 0x0000FF);
    played_page page = paper();
    EXPECT_EQ(page.at(10, row(20)), (rgb_pixel{255, 0, 0}));
    EXPECT_EQ(page.at(109, row(68)), (rgb_pixel{255, 0, 0}));
    EXPECT_FALSE(page.inked(110, row(40)));
    EXPECT_FALSE(page.inked(50, row(70)));
    EXPECT_FALSE(page.inked(9, row(40)));
}

TEST_F(printer_drawing, text_sits_on_its_filled_background_unless_transparent)
{
    const int advance = text_width(u"Ход");
    ASSERT_GT(advance, 0);
    log.clear();
    drawing_mode(outlined);  // the background is filled all the same
    EXPECT_EQ(draw_text(10, 20, u"Ход", 0, 0xFFFFFF), 10 + advance);
    auto l = lines();
    ASSERT_EQ(l.size(), 11u);
    EXPECT_EQ(l[0], "setrgbcolor 0 0 0");  // the front colour passed in
    EXPECT_EQ(l[1], "setrgbcolor 1 1 1");  // back, for the background
    EXPECT_EQ(l[2], "moveto 10 821");
    EXPECT_EQ(l[3], "lineto " + std::to_string(10 + advance) + " 821");
    EXPECT_EQ(l[7], "fill");
    EXPECT_EQ(l[8], "setrgbcolor 0 0 0");
    EXPECT_EQ(l[9], "moveto 10 821");
    EXPECT_EQ(l[10], "layout Ход");

    log.clear();
    drawing_mode(transparent);
    EXPECT_EQ(draw_text(10, 20, u"Ход", 0, 0xFFFFFF), 10 + advance);
    EXPECT_EQ(lines(), (std::vector<std::string>{"moveto 10 821", "layout Ход"}));
}

TEST_F(printer_drawing, empty_text_returns_x_and_draws_nothing)
{
    EXPECT_EQ(draw_text(33, 20, u"", 0, 0xFFFFFF), 33);
    // Only the colour changes the entry operation passes on reach the page.
    for (const std::string& line : lines())
        EXPECT_EQ(line.rfind("setrgbcolor", 0), 0u) << line;
    EXPECT_EQ(text_width(u""), 0);
}

TEST_F(printer_drawing, text_on_paper_hangs_below_its_point_on_its_background)
{
    draw_box(0, 0, 595, 841, 0x0000FF);  // red paper, so the background shows
    drawing_mode(0);
    const int right = draw_text(100, 100, u"Ход", 0, 0xFFFFFF);
    played_page page = paper();
    EXPECT_EQ(page.at(100, row(100)), (rgb_pixel{255, 255, 255}));
    EXPECT_EQ(page.at(100, row(98)), (rgb_pixel{255, 0, 0}));
    EXPECT_EQ(page.at(right, row(101)), (rgb_pixel{255, 0, 0}));
    bool dark = false;
    for (int y = row(100); y < row(130); ++y)
        for (int x = 100; x < right; ++x)
            dark = dark || page.at(x, y)[0] < 80;
    EXPECT_TRUE(dark);
}

TEST_F(printer_drawing, fonts_change_the_measure_and_minus_one_brings_the_default_back)
{
    const int plain = output->ops.text_width(output, u"diagram");
    const int plain_height = output->ops.text_height(output, u"diagram");
    PangoFontDescription* big = pango_font_description_from_string("DejaVu Sans 40");
    drawing_font(big);
    EXPECT_GT(output->ops.text_width(output, u"diagram"), plain * 2);
    EXPECT_GT(output->ops.text_height(output, u"diagram"), plain_height * 2);
    drawing_font(output_default_font);
    EXPECT_EQ(output->ops.text_width(output, u"diagram"), plain);
    pango_font_description_free(big);
    EXPECT_EQ(output->ops.text_height(output, u""), 0);
}

TEST_F(printer_drawing, closed_shapes_fill_or_stroke_by_the_outlined_bit)
{
    output->ops.circle(output, 100, 100, 10);
    drawing_mode(outlined);
    output->ops.circle(output, 100, 100, 10);
    output->ops.ellipse(output, 100, 100, 20, 10);
    output->ops.rounded_box(output, 10, 10, 40, 30, 5, 5);
    output->ops.line(output, 1, 2, 3, 4);
    output->ops.plot(output, 7, 8);
    auto l = lines();
    EXPECT_EQ(std::vector<std::string>(l.begin(), l.begin() + 4),
              (std::vector<std::string>{"arcto 100 741 10 1 360 0", "fill", "arcto 100 741 10 1 360 0", "stroke"}));
    // ellipse: the leftmost point, eight curves, round to the start
    EXPECT_EQ(l[4], "moveto 80 741");
    EXPECT_EQ(l[6].substr(l[6].rfind(' ', l[6].rfind(' ') - 1) + 1), "100 751");  // the top
    EXPECT_EQ(l[12].substr(l[12].rfind(' ', l[12].rfind(' ') - 1) + 1), "80 741");
    EXPECT_EQ(l[13], "stroke");
    // rounded box from (15, 831) round to (15, 831), one point wider and taller than a box
    EXPECT_EQ(l[14], "moveto 15 831");
    EXPECT_EQ(l[15], "lineto 46 831");
    EXPECT_EQ(l[17], "lineto 51 805");
    EXPECT_EQ(l[19], "lineto 15 800");
    EXPECT_EQ(l[21], "lineto 10 826");
    EXPECT_EQ(l[22].substr(l[22].rfind(' ', l[22].rfind(' ') - 1) + 1), "15 831");
    EXPECT_EQ(l[23], "stroke");
    EXPECT_EQ(std::vector<std::string>(l.begin() + 24, l.end()),
              (std::vector<std::string>{"moveto 1 839", "lineto 3 837", "stroke", "moveto 7 833", "lineto 8 833",
                                        "stroke"}));
}

TEST_F(printer_drawing, a_filled_ellipse_and_circle_cover_their_centres_and_stay_in_their_boxes)
{
    output->ops.set_front_colour(output, 0);
    output->ops.ellipse(output, 200, 200, 40, 20);
    output->ops.circle(output, 400, 200, 30);
    played_page page = paper();
    EXPECT_TRUE(page.inked(200, row(200)));
    EXPECT_TRUE(page.inked(162, row(200)));
    EXPECT_TRUE(page.inked(200, row(182)));
    EXPECT_FALSE(page.inked(200, row(176)));
    EXPECT_FALSE(page.inked(243, row(200)));
    EXPECT_FALSE(page.inked(238, row(183)));  // outside, near the corner of the box
    EXPECT_TRUE(page.inked(400, row(200)));
    EXPECT_TRUE(page.inked(400, row(172)));
    EXPECT_FALSE(page.inked(400, row(168)));
}

TEST_F(printer_drawing, plot_colour_sends_a_colour_only_when_it_changes)
{
    output->ops.plot_colour(output, 1, 1, 0x0000FF);
    output->ops.plot_colour(output, 2, 1, 0x0000FF);
    int colours = 0;
    for (const std::string& line : lines())
        colours += line.rfind("setrgbcolor", 0) == 0;
    EXPECT_EQ(colours, 1);
    EXPECT_EQ(output->front_colour, 0x0000FFu);
}

TEST_F(printer_drawing, sized_and_faded_images)
{
    GdkPixbuf* black = pixbuf_from(10, 10, false, std::vector<std::uint32_t>(100, 0));
    output->ops.draw_image_sized(output, black, 0, 0, 10, 10);
    output->ops.draw_image_sized(output, black, 10, 10, 20, 10);
    output->ops.draw_image_sized(output, black, 10, 10, 0, 10);
    auto l = lines();
    ASSERT_EQ(l.size(), 10u);
    EXPECT_EQ(l[3], "rgbimage 10 10");
    EXPECT_EQ(l[7], "scale 20 10");
    EXPECT_EQ(l[8], "rgbimage 20 10");

    log.clear();
    output->ops.draw_image_faded(output, black, 100, 100, 0);
    output->ops.draw_image_faded(output, black, 100, 100, -5);
    EXPECT_EQ(log, "");
    output->ops.draw_image_faded(output, black, 100, 100, 300);
    EXPECT_EQ(lines()[3], "rgbimage 10 10");
    log.clear();
    output->ops.draw_image_faded(output, black, 200, 100, 128);
    EXPECT_EQ(lines()[3], "rgbaimage 10 10");
    GdkPixbuf* half = pixbuf_from(10, 10, true, std::vector<std::uint32_t>(100, 0x00000080));
    output->ops.draw_image_faded(output, half, 300, 100, 128);  // 128 x 128 / 255 = 64
    g_object_unref(half);
    g_object_unref(black);
    played_page page = paper();
    EXPECT_EQ(page.at(105, row(105)), (rgb_pixel{0, 0, 0}));
    EXPECT_NEAR(page.at(205, row(105))[0], 127, 2);
    EXPECT_NEAR(page.at(305, row(105))[0], 191, 2);
}

TEST_F(printer_drawing, operations_the_printer_cannot_do_give_their_neutral_values)
{
    EXPECT_EQ(output->ops.buffer, nullptr);
    EXPECT_EQ(output->ops.buffer_pitch, nullptr);
    EXPECT_EQ(output->ops.buffer_format, nullptr);
    EXPECT_EQ(output->ops.release, nullptr);
    EXPECT_EQ(output->ops.grab_image(output, 5, 0, 0, 10, 10), 0);
    EXPECT_EQ(output->ops.point(output, 1, 1), 0u);
    output->ops.fill_area(output, 1, 1, 0);
    output->ops.set_back_colour(output, 0x123456);
    output->ops.draw_text_rotated(output, 1, 1, u"", 45);
    EXPECT_EQ(log, "");
}

TEST_F(printer_drawing, rotated_text_turns_about_its_point_without_a_background)
{
    output->ops.draw_text_rotated(output, 100, 41, u"ab", 90);
    EXPECT_EQ(lines(), (std::vector<std::string>{"gsave", "translate 100 800", "rotate 90", "moveto 0 0",
                                                 "layout ab", "grestore"}));
}

TEST_F(printer_drawing, stopping_ends_the_session_but_not_the_page)
{
    drawing_stop();
    EXPECT_EQ(drawing_current(), nullptr);
    EXPECT_EQ(log, "");
    EXPECT_EQ(page_job_page_count(printer_job()), 1);
}

// Calls with coordinates and sizes at the ends of the int range, each on a
// page of its own. The page keeps points in a fixed-point form that wraps
// past about 8 million points, so a point sent unclipped lands somewhere on
// the paper: every number that reaches the page must stay well inside that
// range, and the paper must show just the part of each shape that lies on
// it. Points are paper pixels, checked inked or left white.
TEST_F(printer_drawing, calls_at_the_ends_of_the_int_range_are_clipped_to_the_page)
{
    constexpr int lo = INT_MIN, hi = INT_MAX;
    constexpr int wraps_to_30 = (1 << 25) + 30;  // 30 again once wrapped
    using point = std::pair<int, int>;
    GdkPixbuf* black = pixbuf_from(10, 10, false, std::vector<std::uint32_t>(100, 0));
    const int advance = text_width(u"Ход");
    ASSERT_GT(advance, 0);
    auto filled = [](int x, int y, int w, int h) { return [=](drawing_output* o) { o->ops.box(o, x, y, w, h); }; };
    auto image_at = [black](int x, int y) { return [=](drawing_output* o) { o->ops.draw_image(o, black, x, y); }; };
    struct call_row {
        const char* call;
        std::function<void(drawing_output*)> draw;
        std::vector<point> inked, white;
    };
    const call_row rows[] = {
        {"box lo, 100, hi, 50: ends at -1", filled(lo, 100, hi, 50), {}, {{0, row(120)}, {300, row(120)}}},
        {"box 10, 100, hi, 50", filled(10, 100, hi, 50), {{10, row(120)}, {594, row(120)}},
         {{8, row(120)}, {300, row(97)}, {300, row(152)}}},
        {"box hi, 100, lo, 50: from -1 on", filled(hi, 100, lo, 50), {{0, row(120)}, {594, row(120)}},
         {{300, row(97)}}},
        {"box far right", filled(wraps_to_30, 100, 40, 50), {}, {{50, row(120)}, {10, row(120)}}},
        {"box 30, hi, 40, lo: from -1 down", filled(30, hi, 40, lo), {{50, 0}, {50, 840}},
         {{28, row(400)}, {71, row(400)}}},
        {"box 30, lo, 40, hi: ends at -1", filled(30, lo, 40, hi), {}, {{50, 0}, {50, row(400)}}},
        {"outlined box 20, 30, hi, hi: top and left edges",
         [](drawing_output* o) {
             o->ops.set_mode(o, outlined);
             o->ops.box(o, 20, 30, hi, hi);
         },
         {{300, row(30)}, {20, row(300)}}, {{300, row(300)}, {300, row(27)}, {17, row(300)}}},
        {"line across the page corner to corner", [](drawing_output* o) { o->ops.line(o, lo, lo, hi, hi); },
         {{100, row(100)}, {500, row(500)}}, {{100, row(200)}, {500, row(300)}}},
        {"line along row 5", [](drawing_output* o) { o->ops.line(o, hi, 5, lo, 5); }, {{0, row(5)}, {594, row(5)}},
         {{300, row(20)}}},
        {"plots far off",
         [](drawing_output* o) {
             for (int x : {lo, hi - 1, hi, wraps_to_30})
                 for (int y : {lo, 100, hi}) {
                     o->ops.plot(o, x, y);
                     o->ops.plot(o, y, x);
                 }
         },
         {}, {{30, row(100)}, {100, row(30)}, {0, 0}}},
        {"circle of radius hi covers the page", [](drawing_output* o) { o->ops.circle(o, 300, 400, hi); },
         {{0, 0}, {594, 840}, {300, 400}}, {}},
        {"circle whose edge crosses the page at y 400",
         [](drawing_output* o) { o->ops.circle(o, 300, (1 << 30) + 400, 1 << 30); },
         {{300, row(410)}, {0, row(410)}, {594, 840}}, {{300, row(390)}, {0, row(390)}, {594, 0}}},
        {"circle far off", [](drawing_output* o) { o->ops.circle(o, wraps_to_30, 100, 20); }, {},
         {{30, row(100)}}},
        {"ellipse of radii hi covers the page", [](drawing_output* o) { o->ops.ellipse(o, 300, 400, hi, hi); },
         {{0, 0}, {594, 840}, {300, 400}}, {}},
        {"ellipse far off", [](drawing_output* o) { o->ops.ellipse(o, 300, wraps_to_30, 40, 20); }, {},
         {{300, row(30)}}},
        {"rounded box 10, 10, hi, hi", [](drawing_output* o) { o->ops.rounded_box(o, 10, 10, hi, hi, 5, 5); },
         {{300, row(300)}, {594, 840}, {12, row(300)}}, {{7, row(300)}, {300, row(7)}}},
        {"images far off",
         [&](drawing_output* o) {
             for (int x : {lo, hi, wraps_to_30})
                 for (int y : {lo, 100, hi}) {
                     image_at(x, y)(o);
                     image_at(y, x)(o);
                     o->ops.draw_image_faded(o, black, x, y, 128);
                 }
         },
         {}, {{35, row(105)}, {105, row(35)}}},
        {"sized 10, 10, hi, hi", [&](drawing_output* o) { o->ops.draw_image_sized(o, black, 10, 10, hi, hi); },
         {{10, row(10)}, {594, 840}}, {{8, row(300)}, {300, row(8)}}},
        {"sized lo, lo, hi, hi: ends at -1",
         [&](drawing_output* o) { o->ops.draw_image_sized(o, black, lo, lo, hi, hi); }, {}, {{0, 0}, {300, 300}}},
        {"text far off",
         [&](drawing_output* o) {
             EXPECT_EQ(draw_text(hi, 100, u"Ход", 0, 0x0000FF), hi);
             EXPECT_EQ(draw_text(hi - 1, 100, u"Ход", 0, 0x0000FF), hi);
             EXPECT_EQ(draw_text(lo, 100, u"Ход", 0, 0x0000FF), lo + advance);
             EXPECT_EQ(draw_text(wraps_to_30, 100, u"Ход", 0, 0x0000FF), wraps_to_30 + advance);
             EXPECT_EQ(draw_text(100, wraps_to_30, u"Ход", 0, 0x0000FF), 100 + advance);
             o->ops.draw_text_rotated(o, wraps_to_30, 100, u"Ход", 30);
         },
         {}, {{30, row(105)}, {105, row(35)}}},
    };
    for (const call_row& r : rows) {
        page_begin(printer_context(), r.call);
        output->ops.set_mode(output, 0);
        output->ops.set_front_colour(output, 0);
        log.clear();
        r.draw(output);
        for (const std::string& line : lines()) {
            std::istringstream words(line);
            std::string word;
            while (words >> word) {
                char* end = nullptr;
                double value = std::strtod(word.c_str(), &end);
                if (end != word.c_str() && *end == 0) {
                    EXPECT_LT(std::abs(value), 1 << 20) << r.call << ": " << line;
                }
            }
        }
        played_page page(printer_job(), page_job_page_count(printer_job()) - 1, 595.28, 841.89);
        for (point p : r.inked)
            EXPECT_TRUE(page.inked(p.first, p.second)) << r.call << " at " << p.first << "," << p.second;
        for (point p : r.white)
            EXPECT_FALSE(page.inked(p.first, p.second)) << r.call << " at " << p.first << "," << p.second;
    }
    g_object_unref(black);
}
