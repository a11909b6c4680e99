// The page layer without a display: default paper, named pages, and where
// page-space drawing lands on paper once a recorded page is played back
// (origin at the bottom-left, y upward, images and text upright).
#include <gtest/gtest.h>

#include <pango/pangocairo.h>

#include "tests/print/print_test_support.h"

namespace {

// The default paper: these tests never call setlocale, so they run in the
// C locale, whose paper is A4 whatever the machine's locale says.
constexpr double a4_width = 595.28, a4_height = 841.89;

// Paper row for a page-space y on A4.
int row(double page_y)
{
    return int(a4_height - page_y);
}

class page_drawing : public testing::Test {
protected:
    void SetUp() override
    {
        job = page_job_new();
        c = page_job_context(job);
        page_begin(c, "1");
    }
    void TearDown() override { page_job_free(job); }
    page_job* job = nullptr;
    page_context* c = nullptr;
};

void fill_rectangle(page_context* c, double x0, double y0, double x1, double y1)
{
    page_move_to(c, x0, y0);
    page_line_to(c, x1, y0);
    page_line_to(c, x1, y1);
    page_line_to(c, x0, y1);
    page_fill(c);
}

}  // namespace

TEST(page_job, starts_on_a4_portrait_with_a_context_and_no_pages)
{
    page_job* job = page_job_new();
    double w = 0, h = 0;
    ASSERT_TRUE(page_job_page_size(job, &w, &h));
    EXPECT_NEAR(w, a4_width, 0.01);
    EXPECT_NEAR(h, a4_height, 0.01);
    EXPECT_NE(page_job_context(job), nullptr);
    EXPECT_EQ(page_job_page_count(job), 0);
    page_job_free(job);
}

TEST(page_job, pages_keep_their_names_and_an_open_page_is_closed_by_the_next)
{
    page_job* job = page_job_new();
    page_context* c = page_job_context(job);
    std::string log;
    page_context_record_calls(c, &log);
    page_begin(c, "1");
    page_show(c);
    page_begin(c, "2");
    page_begin(c, "3");
    EXPECT_EQ(page_job_page_count(job), 3);
    EXPECT_EQ(page_job_page_name(job, 0), "1");
    EXPECT_EQ(page_job_page_name(job, 2), "3");
    EXPECT_EQ(page_job_page_name(job, 3), "");
    EXPECT_EQ(page_job_page_name(job, -1), "");
    EXPECT_EQ(log, "beginpage 1\nshowpage\nbeginpage 2\nbeginpage 3\nshowpage\n");
    page_job_free(job);
}

TEST(page_job, live_count_follows_new_and_free)
{
    std::int32_t before = page_job_live_count();
    page_job* a = page_job_new();
    page_job* b = page_job_new();
    EXPECT_EQ(page_job_live_count(), before + 2);
    page_job_free(a);
    page_job_free(b);
    page_job_free(nullptr);
    EXPECT_EQ(page_job_live_count(), before);
}

TEST(page_job, printing_without_a_chosen_printer_fails_aloud_and_an_empty_job_sends_nothing)
{
    page_job* job = page_job_new();
    std::string failure = "stale";
    EXPECT_TRUE(page_job_print(job, &failure));
    EXPECT_EQ(failure, "");
    page_begin(page_job_context(job), "1");
    EXPECT_FALSE(page_job_print(job, &failure));
    EXPECT_FALSE(failure.empty());
    page_job_free(job);
}

TEST(page_job, without_a_display_the_dialog_answers_0)
{
    page_job* job = page_job_new();
    EXPECT_EQ(page_job_run_dialog(job), 0);
    page_job_free(job);
}

TEST_F(page_drawing, a_rectangle_lands_measured_from_the_bottom_left)
{
    page_set_rgb(c, 1, 0, 0);
    fill_rectangle(c, 10, 771, 110, 821);
    played_page paper(job, 0, a4_width, a4_height);
    EXPECT_EQ(paper.at(60, row(796)), (rgb_pixel{255, 0, 0}));
    EXPECT_EQ(paper.at(60, 25), (rgb_pixel{255, 0, 0}));  // near the paper's top
    EXPECT_FALSE(paper.inked(60, row(760)));
    EXPECT_FALSE(paper.inked(5, row(796)));
    EXPECT_FALSE(paper.inked(60, paper.height() - 25));
}

TEST_F(page_drawing, drawing_outside_a_page_is_dropped)
{
    page_show(c);
    page_set_rgb(c, 0, 0, 0);
    fill_rectangle(c, 0, 0, 595, 841);
    played_page paper(job, 0, a4_width, a4_height);
    EXPECT_FALSE(paper.inked(300, 400));
}

TEST_F(page_drawing, images_fill_the_unit_square_with_their_first_row_on_top)
{
    // red green / blue black, as 20 x 20 points with the bottom-left at (100, 700)
    GdkPixbuf* image = pixbuf_from(2, 2, false, {0xFF0000, 0x00FF00, 0x0000FF, 0x000000});
    page_save(c);
    page_translate(c, 100, 700);
    page_scale(c, 20, 20);
    page_rgb_image(c, gdk_pixbuf_get_pixels(image), 2, 2, gdk_pixbuf_get_rowstride(image));
    page_restore(c);
    g_object_unref(image);
    played_page paper(job, 0, a4_width, a4_height);
    EXPECT_EQ(paper.at(105, row(715)), (rgb_pixel{255, 0, 0}));
    EXPECT_EQ(paper.at(115, row(715)), (rgb_pixel{0, 255, 0}));
    EXPECT_EQ(paper.at(105, row(705)), (rgb_pixel{0, 0, 255}));
    EXPECT_EQ(paper.at(115, row(705)), (rgb_pixel{0, 0, 0}));
    EXPECT_FALSE(paper.inked(95, row(710)));
    EXPECT_FALSE(paper.inked(110, row(725)));
}

TEST_F(page_drawing, rgba_images_blend_by_their_alpha)
{
    // opaque black, transparent black, half-transparent black: over white paper
    GdkPixbuf* image = pixbuf_from(3, 1, true, {0x000000FF, 0x00000000, 0x00000080});
    page_translate(c, 0, 0);
    page_scale(c, 30, 10);
    page_rgba_image(c, gdk_pixbuf_get_pixels(image), 3, 1, gdk_pixbuf_get_rowstride(image));
    g_object_unref(image);
    played_page paper(job, 0, a4_width, a4_height);
    const int y = paper.height() - 5;
    EXPECT_EQ(paper.at(5, y), (rgb_pixel{0, 0, 0}));
    EXPECT_EQ(paper.at(15, y), (rgb_pixel{255, 255, 255}));
    EXPECT_NEAR(paper.at(25, y)[0], 127, 2);
}

TEST_F(page_drawing, unusable_image_arguments_draw_nothing)
{
    std::vector<std::uint8_t> pixels(12, 0);
    page_scale(c, 100, 100);
    page_rgb_image(c, nullptr, 2, 2, 6);
    page_rgb_image(c, pixels.data(), 0, 2, 6);
    page_rgb_image(c, pixels.data(), 2, -1, 6);
    page_rgba_image(c, pixels.data(), 2, 2, 4);  // rows shorter than two RGBA pixels
    played_page paper(job, 0, a4_width, a4_height);
    EXPECT_FALSE(paper.inked(50, paper.height() - 50));
}

TEST_F(page_drawing, rotation_is_counter_clockwise_and_save_restore_keeps_colour_and_transform)
{
    page_set_rgb(c, 0, 0, 1);
    page_save(c);
    page_set_rgb(c, 1, 0, 0);
    page_translate(c, 300, 300);
    page_rotate(c, 90);
    fill_rectangle(c, 0, 0, 50, 10);  // now x from 290 to 300, y from 300 to 350
    page_restore(c);
    fill_rectangle(c, 400, 400, 410, 410);  // blue again, untransformed
    played_page paper(job, 0, a4_width, a4_height);
    EXPECT_EQ(paper.at(295, row(325)), (rgb_pixel{255, 0, 0}));
    EXPECT_FALSE(paper.inked(325, row(295)));
    EXPECT_EQ(paper.at(405, row(405)), (rgb_pixel{0, 0, 255}));
}

TEST_F(page_drawing, arcs_run_counter_clockwise_unless_asked_otherwise)
{
    page_set_rgb(c, 0, 0, 0);
    page_move_to(c, 200, 200);
    page_arc_to(c, 200, 200, 50, 0, 90, 0);  // the quarter up and to the right
    page_fill(c);
    page_move_to(c, 400, 200);
    page_arc_to(c, 400, 200, 50, 0, 90, 1);  // the other three quarters
    page_fill(c);
    played_page paper(job, 0, a4_width, a4_height);
    EXPECT_TRUE(paper.inked(220, row(220)));
    EXPECT_FALSE(paper.inked(220, row(180)));
    EXPECT_FALSE(paper.inked(180, row(220)));
    EXPECT_FALSE(paper.inked(420, row(220)));
    EXPECT_TRUE(paper.inked(420, row(180)));
    EXPECT_TRUE(paper.inked(380, row(220)));
}

TEST_F(page_drawing, a_layout_hangs_upright_from_the_current_point)
{
    PangoLayout* layout = page_create_layout(c);
    PangoFontDescription* font = pango_font_description_from_string("DejaVu Sans 60");
    pango_layout_set_font_description(layout, font);
    pango_font_description_free(font);
    pango_layout_set_text(layout, "L", -1);
    int lw = 0, lh = 0;
    pango_layout_get_size(layout, &lw, &lh);
    // Measured in points: a 60-point font gives a line about 70 points high.
    EXPECT_GT(lh / PANGO_SCALE, 55);
    EXPECT_LT(lh / PANGO_SCALE, 90);
    page_set_rgb(c, 0, 0, 0);
    page_move_to(c, 100, 500);
    page_layout(c, layout);
    g_object_unref(layout);
    played_page paper(job, 0, a4_width, a4_height);
    // The ink lies within the layout's box below and right of the point.
    int top = -1, bottom = -1;
    for (int y = 0; y < paper.height(); ++y)
        for (int x = 0; x < paper.width(); ++x)
            if (paper.inked(x, y)) {
                EXPECT_GE(x, 100);
                EXPECT_LT(x, 100 + lw / PANGO_SCALE + 1);
                if (top < 0)
                    top = y;
                bottom = y;
            }
    ASSERT_GE(top, row(500));
    ASSERT_LE(bottom, row(500) + lh / PANGO_SCALE + 1);
    // Upright: the L's foot, at the bottom of its ink, is wider than its top.
    auto ink_width = [&](int y) {
        int n = 0;
        for (int x = 0; x < paper.width(); ++x)
            n += paper.inked(x, y);
        return n;
    };
    EXPECT_GT(ink_width(bottom - 1), 2 * ink_width(top + 1));
}

TEST_F(page_drawing, a_layout_without_a_current_point_draws_nothing)
{
    PangoLayout* layout = page_create_layout(c);
    pango_layout_set_text(layout, "text", -1);
    page_layout(c, layout);
    g_object_unref(layout);
    played_page paper(job, 0, a4_width, a4_height);
    for (int y = 0; y < 60; ++y)
        for (int x = 0; x < 100; ++x)
            ASSERT_FALSE(paper.inked(x, paper.height() - 1 - y));
}

TEST_F(page_drawing, the_recorder_writes_one_line_per_call)
{
    std::string log;
    page_context_record_calls(c, &log);
    page_set_rgb(c, 1, 0.5, 0);
    page_move_to(c, 1.5, 2);
    page_curve_to(c, 1, 2, 3, 4, 5, 6);
    page_arc_to(c, 7, 8, 9, 1, 360, 0);
    page_stroke(c);
    PangoLayout* layout = page_create_layout(c);
    pango_layout_set_text(layout, "ab", -1);
    page_layout(c, layout);
    g_object_unref(layout);
    page_context_record_calls(c, nullptr);
    page_fill(c);
    EXPECT_EQ(log,
              "setrgbcolor 1 0.5 0\nmoveto 1.5 2\ncurveto 1 2 3 4 5 6\narcto 7 8 9 1 360 0\nstroke\nlayout ab\n");
}
