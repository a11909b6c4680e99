// What the renderer reads from its command line besides FEN (which
// tests/chess covers): marker lists, where -o puts the files, and the one
// line naming the list lines a dead worker left unwritten.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "render/list_outcome.h"
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
    const char* squares;
    const char* expected;  // "=b1,e4" the squares marked, or "!part of the refusal"
};

const marker_row marker_rows[] = {
    {"e4", "=e4"},
    {"e4,f5", "=e4,f5"},
    {"e4, f5", "=e4,f5"},
    {" E4 ,\tb1 ", "=b1,e4"},
    {"e4,e4", "=e4"},
    {"a8,h1", "=a8,h1"},
    {"e4,", "!пустой элемент"},
    {",e4", "!пустой элемент"},
    {"e4,,f5", "!пустой элемент"},
    {"", "!пустой элемент"},
    {"e9", "!клетки «e9» нет"},
    {"e0", "!клетки «e0» нет"},
    {"i4", "!клетки «i4» нет"},
    {"e44", "!клетки «e44» нет"},
    {"e4 f5", "!клетки «e4 f5» нет"},
    {"a1", "!стоит фигура"},
    {"h8", "!стоит фигура"},
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

INSTANTIATE_TEST_SUITE_P(rows, marker_lists, testing::ValuesIn(marker_rows));

TEST(marker_lists, ring_cannot_go_where_a_cross_is)
{
    board_position position = kings();
    std::string error;
    ASSERT_TRUE(place_markers("d5", cross_marker, &position, &error));
    EXPECT_FALSE(place_markers("c3, d5", ring_marker, &position, &error));
    EXPECT_NE(error.find("d5 уже стоит другая метка"), std::string::npos) << error;
}

struct name_row {
    std::string output;  // relative to a fresh folder holding the folder "out"
    int number, count;
    std::string expected;  // "=file name" or "!part of the refusal"
    image_format format = image_format::jpeg;
};

const name_row name_rows[] = {
    {"mate.jpg", 7, 120, "=mate-007.jpg"},
    {"mate.jpg", 1, 1, "=mate-001.jpg"},
    {"mate.jpg", 12, 12000, "=mate-00012.jpg"},
    {"mate", 2, 10, "=mate-002.jpg"},
    {"mate.JPEG", 2, 10, "=mate-002.JPEG"},
    {"mate.Png", 2, 10, "=mate-002.Png", image_format::png},
    {".hidden", 3, 10, "=.hidden-003.jpg"},
    {"out.d/x", 3, 10, "=out.d/x-003.jpg"},
    {"out", 5, 10, "=out/005.jpg"},
    {"out/", 5, 10, "=out/005.jpg"},
    {"out/mate.png", 5, 10, "=out/mate-005.png", image_format::png},
    {"mate.gif", 1, 1, "!можно .jpg, .jpeg или .png"},
    {"mate.jpg.txt", 1, 1, "!mate.jpg.txt» не записать"},
    {"missing/", 1, 1, "!missing/» недоступна"},
    {"missing/mate.jpg", 1, 1, "!missing/» недоступна"},
    {"mate.jpg/x.jpg", 1, 1, "!Not a directory"},
    {"a-folder-whose-very-long-name-is-not-there-at-all-on-this-disk-or-any/mate.jpg", 1, 1, "!«…ose-very-long-name-is-not-there-at-all-on-this-disk-or-any/» недоступна"},
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

INSTANTIATE_TEST_SUITE_P(rows, output_names, testing::ValuesIn(name_rows));

struct lines_row {
    std::vector<int> lines;  // the list line of each position
    std::string settled;     // 'x' for a position written or failed, '.' for one never reported
    std::string expected;
};

const lines_row lines_rows[] = {
    {{3, 4, 5}, "xxx", ""},
    {{3, 4, 5}, "x.x", "строка 4 не записана"},
    {{12, 13, 20, 40, 57}, "....x", "строки 12–40 не записаны"},
    {{12, 13, 40, 41, 57}, "..xx.", "строки 12–13, 57 не записаны"},
    {{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20, 21, 22, 23, 24},
     ".x.x.x.x.x.x.x.x.x.x.x.x",
     "строки 1, 3, 5, 7, 9, 11, 13, 15, 17, 19, … (всего 12) не записаны"},
};

class unwritten_lines : public testing::TestWithParam<lines_row> {};

TEST_P(unwritten_lines, are_named_in_compact_ranges)
{
    const lines_row& row = GetParam();
    std::vector<char> settled;
    for (char c : row.settled)
        settled.push_back(c == 'x');
    EXPECT_EQ(lines_not_written(row.lines, settled), row.expected);
}

INSTANTIATE_TEST_SUITE_P(rows, unwritten_lines, testing::ValuesIn(lines_rows));

}  // namespace
