// What the renderer reads from its command line besides FEN (which
// tests/chess covers): marker lists, where -o puts the files, and the one
// line naming the list lines a dead worker left unwritten.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "layout/list_outcome.h"
#include "render/output_names.h"
#include "render/position.h"
#include "tests/support/test_support.h"

namespace {

// An empty board with a white king on a1 and a black king on h8.
board_position kings()
{
    fen_record record;
    std::string error;
    EXPECT_TRUE(fen_read("7k/8/8/8/8/8/8/K7", &record, &error)) << error;
    return board_from_fen(record);
}

struct marker_row {
    const char* name;
    const char* squares;
    const char* expected;  // "=b1,e4" the squares marked, or "!part of the refusal"
};

const marker_row marker_rows[] = {
    {"one_square", "e4", "=e4"},
    {"two_squares", "e4,f5", "=e4,f5"},
    {"space_after_comma", "e4, f5", "=e4,f5"},
    {"spaces_tabs_and_capitals", " E4 ,\tb1 ", "=b1,e4"},
    {"same_square_twice", "e4,e4", "=e4"},
    {"corners", "a8,h1", "=a8,h1"},
    {"trailing_comma", "e4,", "!пустой элемент"},
    {"leading_comma", ",e4", "!пустой элемент"},
    {"double_comma", "e4,,f5", "!пустой элемент"},
    {"empty_list", "", "!пустой элемент"},
    {"rank_nine", "e9", "!клетки «e9» нет"},
    {"rank_zero", "e0", "!клетки «e0» нет"},
    {"file_i", "i4", "!клетки «i4» нет"},
    {"three_characters", "e44", "!клетки «e44» нет"},
    {"space_instead_of_comma", "e4 f5", "!клетки «e4 f5» нет"},
    {"on_the_white_king", "a1", "!стоит фигура"},
    {"on_the_black_king", "h8", "!стоит фигура"},
};

class marker_lists : public testing::TestWithParam<marker_row> {};

TEST_P(marker_lists, mark_the_named_squares_or_refuse_in_one_line)
{
    const marker_row& row = GetParam();
    board_position position = kings();
    std::string error;
    const bool placed = place_markers(row.squares, cross_marker, &position, &error);
    const std::string expected = row.expected;
    if (expected[0] == '!') {
        EXPECT_FALSE(placed);
        EXPECT_NE(error.find(expected.substr(1)), std::string::npos) << error;
        EXPECT_EQ(error.find('\n'), std::string::npos) << error;
        return;
    }
    ASSERT_TRUE(placed) << error;
    std::string marked;
    for (int n = 1; n <= board_squares; n++)
        if (position[std::size_t(n - 1)] == cross_marker)
            marked += (marked.empty() ? "" : ",") + square_name(n);
    EXPECT_EQ("=" + marked, expected);
    EXPECT_EQ(board_fen(position), "7k/8/8/8/8/8/8/K7") << "a marker is no piece";
}

INSTANTIATE_TEST_SUITE_P(rows, marker_lists, testing::ValuesIn(marker_rows),
                         [](const testing::TestParamInfo<marker_row>& row) { return row.param.name; });

TEST(marker_lists, ring_cannot_go_where_a_cross_is)
{
    board_position position = kings();
    std::string error;
    ASSERT_TRUE(place_markers("d5", cross_marker, &position, &error));
    EXPECT_FALSE(place_markers("c3, d5", ring_marker, &position, &error));
    EXPECT_NE(error.find("d5 уже стоит другая метка"), std::string::npos) << error;
}

struct name_row {
    const char* name;
    std::string output;  // relative to a fresh folder holding the folder "out"
    int number, count;
    std::string expected;  // "=file name" or "!part of the refusal"
    image_format format = image_format::jpeg;
};

const name_row name_rows[] = {
    {"numbered_beside", "mate.jpg", 7, 120, "=mate-007.jpg"},
    {"one_of_one", "mate.jpg", 1, 1, "=mate-001.jpg"},
    {"five_digits_for_ten_thousand", "mate.jpg", 12, 12000, "=mate-00012.jpg"},
    {"no_extension", "mate", 2, 10, "=mate-002.jpg"},
    {"jpeg_in_capitals", "mate.JPEG", 2, 10, "=mate-002.JPEG"},
    {"png_any_case", "mate.Png", 2, 10, "=mate-002.Png", image_format::png},
    {"hidden_file", ".hidden", 3, 10, "=.hidden-003.jpg"},
    {"dot_in_folder_name", "out.d/x", 3, 10, "=out.d/x-003.jpg"},
    {"existing_folder", "out", 5, 10, "=out/005.jpg"},
    {"trailing_slash", "out/", 5, 10, "=out/005.jpg"},
    {"png_in_folder", "out/mate.png", 5, 10, "=out/mate-005.png", image_format::png},
    {"gif_refused", "mate.gif", 1, 1, "!можно .jpg, .jpeg или .png"},
    {"double_extension_refused", "mate.jpg.txt", 1, 1, "!mate.jpg.txt» не записать"},
    {"missing_folder", "missing/", 1, 1, "!missing/» недоступна"},
    {"missing_folder_of_file", "missing/mate.jpg", 1, 1, "!missing/» недоступна"},
    {"file_as_folder", "mate.jpg/x.jpg", 1, 1, "!Not a directory"},
    {"long_missing_folder", "a-folder-whose-very-long-name-is-not-there-at-all-on-this-disk-or-any/mate.jpg", 1, 1, "!«…ose-very-long-name-is-not-there-at-all-on-this-disk-or-any/» недоступна"},
};

class output_names : public testing::TestWithParam<name_row> {};

TEST_P(output_names, number_files_by_list_place_or_refuse_before_drawing)
{
    const name_row& row = GetParam();
    temp_folder folder;
    ASSERT_EQ(run_command("mkdir " + folder.file("out") + " " + folder.file("out.d") + " && touch " +
                          folder.file("mate.jpg")),
              0);
    output_target target;
    std::string error;
    const bool read = output_target_read(folder.file(row.output), &target, &error);
    if (row.expected[0] == '!') {
        EXPECT_FALSE(read);
        EXPECT_NE(error.find(row.expected.substr(1)), std::string::npos) << error;
        return;
    }
    ASSERT_TRUE(read) << error;
    EXPECT_EQ(output_file_name(target, row.number, row.count), folder.file(row.expected.substr(1)));
    EXPECT_EQ(target.format, row.format);
    EXPECT_EQ(target.single, target.folder ? folder.file("out/001.jpg") : folder.file(row.output));
}

INSTANTIATE_TEST_SUITE_P(rows, output_names, testing::ValuesIn(name_rows),
                         [](const testing::TestParamInfo<name_row>& row) { return row.param.name; });

struct lines_row {
    const char* name;
    std::vector<int> lines;  // the list line of each position
    std::string settled;     // 'x' for a position written or failed, '.' for one never reported
    std::string expected;
    std::string checked_english = {};  // the solver's words for the same lines, when given
};

const lines_row lines_rows[] = {
    {"all_written", {3, 4, 5}, "xxx", ""},
    {"one_line", {3, 4, 5}, "x.x", "строка 4 не записана"},
    {"one_range_across_lines_between", {12, 13, 20, 40, 57}, "....x", "строки 12–40 не записаны"},
    {"two_ranges", {12, 13, 40, 41, 57}, "..xx.", "строки 12–13, 57 не записаны", "lines 12-13, 57 not checked"},
    {"one_line_unchecked", {3, 4, 5}, "x.x", "строка 4 не записана", "line 4 not checked"},
    {"ten_ranges_are_all_named", {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20},
     ".x.x.x.x.x.x.x.x.x.x", "строки 1, 3, 5, 7, 9, 11, 13, 15, 17, 19 не записаны",
     "lines 1, 3, 5, 7, 9, 11, 13, 15, 17, 19 not checked"},
    {"many_ranges_are_cut", {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20, 21, 22, 23, 24},
     ".x.x.x.x.x.x.x.x.x.x.x.x",
     "строки 1, 3, 5, 7, 9, 11, 13, 15, 17, 19, … (всего 12) не записаны",
     "lines 1, 3, 5, 7, 9, 11, 13, 15, 17, 19, ... (12 in all) not checked"},
};

class unwritten_lines : public testing::TestWithParam<lines_row> {};

TEST_P(unwritten_lines, are_named_in_compact_ranges)
{
    const lines_row& row = GetParam();
    std::vector<char> settled;
    for (char c : row.settled)
        settled.push_back(c == 'x');
    EXPECT_EQ(lines_not_written(row.lines, settled), row.expected);
    if (!row.checked_english.empty()) {
        EXPECT_EQ(lines_not_checked(row.lines, settled, true), row.checked_english);
    }
    if (!row.expected.empty()) {
        std::string checked = row.expected;
        checked.replace(checked.rfind("записан"), std::string("записан").size(), "проверен");
        EXPECT_EQ(lines_not_checked(row.lines, settled, false), checked);
    }
}

INSTANTIATE_TEST_SUITE_P(rows, unwritten_lines, testing::ValuesIn(lines_rows),
                         [](const testing::TestParamInfo<lines_row>& row) { return row.param.name; });

}  // namespace
