// The pattern-list reading that decides the save dialog's filters.
#include <gtest/gtest.h>

#include "toolkit/save_requester.h"

namespace {

using patterns = std::vector<std::string>;

TEST(pattern_list, names_alternate_with_patterns)
{
    auto one = parse_pattern_list("JPEG Image|*.jpg");
    ASSERT_EQ(one.size(), 1u);
    EXPECT_EQ(one[0].name, "JPEG Image");
    EXPECT_EQ(one[0].patterns, patterns{"*.jpg"});

    auto two = parse_pattern_list("Pictures|*.jpg;*.jpeg|All files|*.*");
    ASSERT_EQ(two.size(), 2u);
    EXPECT_EQ(two[0].name, "Pictures");
    EXPECT_EQ(two[0].patterns, (patterns{"*.jpg", "*.jpeg"}));
    EXPECT_EQ(two[1].name, "All files");
    EXPECT_EQ(two[1].patterns, patterns{"*"});
}

TEST(pattern_list, all_files_pattern_becomes_star_only_when_whole)
{
    auto filters = parse_pattern_list("Mixed|*.*;*.*x;a*.*");
    ASSERT_EQ(filters.size(), 1u);
    EXPECT_EQ(filters[0].patterns, (patterns{"*", "*.*x", "a*.*"}));
}

TEST(pattern_list, name_without_bar_opens_no_filter)
{
    EXPECT_TRUE(parse_pattern_list("").empty());
    EXPECT_TRUE(parse_pattern_list("JPEG Image").empty());
    EXPECT_TRUE(parse_pattern_list("*.jpg;*.png").empty());

    auto trailing = parse_pattern_list("Text|*.txt|Orphan name");
    ASSERT_EQ(trailing.size(), 1u);
    EXPECT_EQ(trailing[0].name, "Text");
    EXPECT_EQ(trailing[0].patterns, patterns{"*.txt"});

    // A bar after the patterns ends the filter; a name after a bar with
    // nothing behind it still opens one.
    auto closed = parse_pattern_list("Text|*.txt|");
    ASSERT_EQ(closed.size(), 1u);
    EXPECT_EQ(closed[0].patterns, patterns{"*.txt"});
    auto bare = parse_pattern_list("Text|*.txt|Empty|");
    ASSERT_EQ(bare.size(), 2u);
    EXPECT_EQ(bare[1].name, "Empty");
}

TEST(pattern_list, semicolon_in_a_name_is_an_ordinary_character)
{
    auto filters = parse_pattern_list("Jpeg; Png|*.jpg;*.png|Third|x");
    ASSERT_EQ(filters.size(), 2u);
    EXPECT_EQ(filters[0].name, "Jpeg; Png");
    EXPECT_EQ(filters[0].patterns, (patterns{"*.jpg", "*.png"}));
    EXPECT_EQ(filters[1].name, "Third");
}

TEST(pattern_list, utf8_names_pass_through_untouched)
{
    auto filters = parse_pattern_list("Изображение JPEG|*.jpg");
    ASSERT_EQ(filters.size(), 1u);
    EXPECT_EQ(filters[0].name, "Изображение JPEG");
}

}  // namespace
