// The font store: descriptions under numbers, their size, weight and style,
// and what replacing and releasing a number does.
#include <gtest/gtest.h>

#include "imaging/fonts.h"

namespace {

class font_store : public testing::Test {
protected:
    void SetUp() override { font_store_init(); }
    void TearDown() override { font_store_shutdown(); }
};

TEST_F(font_store, empty_name_gives_the_default_family_at_the_size)
{
    created_object made = font_load(0, u"", 12);
    ASSERT_NE(made, 0);
    PangoFontDescription* description = font_handle(0);
    EXPECT_EQ(reinterpret_cast<created_object>(description), made);
    EXPECT_EQ(pango_font_description_get_size(description), 12 * PANGO_SCALE);
    EXPECT_FALSE(pango_font_description_get_set_fields(description) & PANGO_FONT_MASK_FAMILY);
    EXPECT_EQ(pango_font_description_get_weight(description), PANGO_WEIGHT_NORMAL);
    EXPECT_EQ(pango_font_description_get_style(description), PANGO_STYLE_NORMAL);
}

TEST_F(font_store, flags_set_weight_and_style)
{
    PangoFontDescription* both = reinterpret_cast<PangoFontDescription*>(font_load(3, u"Sans", 12, 3));
    ASSERT_NE(both, nullptr);
    EXPECT_EQ(pango_font_description_get_weight(both), 700);
    EXPECT_EQ(pango_font_description_get_style(both), PANGO_STYLE_ITALIC);
    EXPECT_EQ(pango_font_description_get_size(both), 12 * PANGO_SCALE);
    EXPECT_STREQ(pango_font_description_get_family(both), "Sans");

    PangoFontDescription* bold = reinterpret_cast<PangoFontDescription*>(font_load(1, u"Serif", 9, 1));
    EXPECT_EQ(pango_font_description_get_weight(bold), 700);
    EXPECT_EQ(pango_font_description_get_style(bold), PANGO_STYLE_NORMAL);

    PangoFontDescription* italic = reinterpret_cast<PangoFontDescription*>(font_load(2, u"Serif", 9, 2 | 8));
    EXPECT_EQ(pango_font_description_get_weight(italic), PANGO_WEIGHT_NORMAL);
    EXPECT_EQ(pango_font_description_get_style(italic), PANGO_STYLE_ITALIC);
}

TEST_F(font_store, a_number_names_only_its_newest_font)
{
    ASSERT_NE(font_load(20, u"Sans", 10), 0);
    created_object second = font_load(20, u"Serif", 14);
    ASSERT_NE(second, 0);
    EXPECT_EQ(reinterpret_cast<created_object>(font_handle(20)), second);
    EXPECT_EQ(pango_font_description_get_size(font_handle(20)), 14 * PANGO_SCALE);

    font_release(20);
    EXPECT_EQ(font_handle(20), nullptr);
    font_release(20);
    EXPECT_EQ(font_handle(19), nullptr);
    EXPECT_EQ(font_handle(-5), nullptr);
}

TEST_F(font_store, dynamic_number_returns_a_handle_that_finds_the_font)
{
    created_object handle = font_load(dynamic_number, u"Sans", 11);
    ASSERT_NE(handle, 0);
    PangoFontDescription* description = font_handle(object_number(handle));
    ASSERT_NE(description, nullptr);
    EXPECT_EQ(pango_font_description_get_size(description), 11 * PANGO_SCALE);
    font_store_shutdown();
    EXPECT_EQ(font_handle(object_number(handle)), nullptr);
}

TEST_F(font_store, shutdown_releases_every_font)
{
    ASSERT_NE(font_load(0, u"", 12), 0);
    ASSERT_NE(font_load(40, u"", 12), 0);
    font_store_shutdown();
    EXPECT_EQ(font_handle(0), nullptr);
    EXPECT_EQ(font_handle(40), nullptr);
}

}  // namespace
