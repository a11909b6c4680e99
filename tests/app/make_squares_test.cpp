// Runs the square-set generator into a temporary folder and checks what the
// board and the diagram rely on: the file set, the image sizes, the pairing of
// light and dark variants, and strips that fit together above, below and
// beside the board. Pixels are read back with GdkPixbuf, not our decoder.
#include <gdk-pixbuf/gdk-pixbuf.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "tests/support/test_support.h"

namespace {

// One image as grey levels, which is all the set uses.
struct grey_image {
    int width = 0;
    int height = 0;
    std::vector<int> level;
    int at(int x, int y) const { return level[std::size_t(y) * std::size_t(width) + std::size_t(x)]; }
};

grey_image load_grey(const std::string& path)
{
    grey_image image;
    GdkPixbuf* pixbuf = gdk_pixbuf_new_from_file(path.c_str(), nullptr);
    if (!pixbuf)
        return image;
    image.width = gdk_pixbuf_get_width(pixbuf);
    image.height = gdk_pixbuf_get_height(pixbuf);
    int channels = gdk_pixbuf_get_n_channels(pixbuf);
    int stride = gdk_pixbuf_get_rowstride(pixbuf);
    const guchar* pixels = gdk_pixbuf_get_pixels(pixbuf);
    for (int y = 0; y < image.height; ++y)
        for (int x = 0; x < image.width; ++x) {
            const guchar* p = pixels + std::ptrdiff_t(y) * stride + std::ptrdiff_t(x) * channels;
            image.level.push_back((p[0] + p[1] + p[2]) / 3);
        }
    g_object_unref(pixbuf);
    return image;
}

bool is_ink(int level)
{
    return level < 80;
}

bool is_paper(int level)
{
    return level > 200;
}

// A set drawn once per test into a folder that the tool has to make, two
// levels below an existing one.
struct square_set {
    temp_folder scratch;
    std::string folder;
    int size;
    int status;
    std::vector<grey_image> images;  // index = image number; 0 unused

    explicit square_set(int s) : folder(scratch.file("new/DATA")), size(s)
    {
        status = run_command(build_tool("make-squares") + " " + folder + " " + std::to_string(s));
        images.resize(33);
        if (status == 0)
            for (int n = 1; n <= 32; ++n)
                images[std::size_t(n)] = load_grey(file(std::to_string(n) + ".jpg"));
    }
    std::string file(const std::string& name) const { return folder + "/" + name; }
    const grey_image& operator[](int n) const { return images[std::size_t(n)]; }
};

struct ink_box {
    int x1, y1, x2, y2;  // inclusive; x2 < x1 when there is no ink
};

ink_box find_ink(const grey_image& image)
{
    ink_box box{image.width, image.height, -1, -1};
    for (int y = 0; y < image.height; ++y)
        for (int x = 0; x < image.width; ++x)
            if (is_ink(image.at(x, y))) {
                box.x1 = std::min(box.x1, x);
                box.y1 = std::min(box.y1, y);
                box.x2 = std::max(box.x2, x);
                box.y2 = std::max(box.y2, y);
            }
    return box;
}

double ink_share(const grey_image& image)
{
    int count = 0;
    for (int level : image.level)
        count += is_ink(level);
    return double(count) / double(image.level.size());
}

double mean_level(const grey_image& image, int x0, int y0, int w, int h)
{
    long sum = 0;
    for (int y = y0; y < y0 + h; ++y)
        for (int x = x0; x < x0 + w; ++x)
            sum += image.at(x, y);
    return double(sum) / double(w * h);
}

// The first luminance quantisation step of a JPEG file: 3 or less means
// library quality 90 or better with the standard tables.
int first_luminance_step(const std::vector<std::uint8_t>& bytes)
{
    for (std::size_t i = 0; i + 5 < bytes.size(); ++i)
        if (bytes[i] == 0xFF && bytes[i + 1] == 0xDB && (bytes[i + 4] & 0x0F) == 0)
            return (bytes[i + 4] >> 4) == 0 ? bytes[i + 5] : (bytes[i + 5] << 8 | bytes[i + 6]);
    return -1;
}

bool has_marker(const std::vector<std::uint8_t>& bytes, std::uint8_t marker)
{
    for (std::size_t i = 0; i + 1 < bytes.size(); ++i)
        if (bytes[i] == 0xFF && bytes[i + 1] == marker)
            return true;
    return false;
}

}  // namespace

TEST(make_squares, writes_the_set_at_the_layout_sizes_for_even_and_odd_squares)
{
    for (int s : {60, 61}) {
        square_set set(s);
        ASSERT_EQ(set.status, 0) << "s = " << s;
        for (int n = 1; n <= 32; ++n) {
            int width = n == 27 ? 9 * s : n == 28 ? s / 2 : s;
            int height = n == 27 ? s / 2 : n == 28 ? 8 * s : s;
            EXPECT_EQ(set[n].width, width) << "image " << n << ", s = " << s;
            EXPECT_EQ(set[n].height, height) << "image " << n << ", s = " << s;
        }
        EXPECT_FALSE(file_exists(set.file("0.jpg")));
        EXPECT_FALSE(file_exists(set.file("33.jpg")));
    }
}

TEST(make_squares, files_are_baseline_jpeg_at_quality_90_or_better)
{
    square_set set(60);
    ASSERT_EQ(set.status, 0);
    for (int n : {1, 26, 27, 28, 32}) {
        auto bytes = read_file_bytes(set.file(std::to_string(n) + ".jpg"));
        ASSERT_GT(bytes.size(), 4u);
        EXPECT_EQ(bytes[0], 0xFF);
        EXPECT_EQ(bytes[1], 0xD8);
        EXPECT_TRUE(has_marker(bytes, 0xC0)) << "image " << n << " is not baseline";
        EXPECT_FALSE(has_marker(bytes, 0xC2)) << "image " << n << " is progressive";
        int step = first_luminance_step(bytes);
        EXPECT_GE(step, 1) << n;
        EXPECT_LE(step, 3) << "image " << n;
    }
}

TEST(make_squares, light_squares_are_white_and_dark_squares_evenly_hatched)
{
    square_set set(60);
    ASSERT_EQ(set.status, 0);
    const grey_image& light = set[25];
    const grey_image& dark = set[26];
    EXPECT_GT(mean_level(light, 0, 0, 60, 60), 250);
    EXPECT_GT(std::count_if(light.level.begin(), light.level.end(), is_paper), 60 * 60 * 99 / 100);

    double mean = mean_level(dark, 0, 0, 60, 60);
    EXPECT_LT(mean, 225);
    EXPECT_GT(mean, 120);
    // Hatching, not a flat grey: real ink and real paper side by side.
    EXPECT_GT(ink_share(dark), 0.10);
    EXPECT_GT(std::count_if(dark.level.begin(), dark.level.end(), is_paper), 60 * 60 / 2);
    // Even all over: every tile about as dark as the whole square.
    for (int y = 0; y < 60; y += 12)
        for (int x = 0; x < 60; x += 12)
            EXPECT_NEAR(mean_level(dark, x, y, 12, 12), mean, 12) << "tile at " << x << ", " << y;
}

TEST(make_squares, pieces_are_centred_in_proportion_and_all_different)
{
    square_set set(60);
    ASSERT_EQ(set.status, 0);
    int largest = 0;
    for (int n = 1; n <= 23; n += 2) {
        ink_box box = find_ink(set[n]);
        ASSERT_GE(box.x2, box.x1) << "image " << n << " has no ink";
        // A margin on every side, and the ink centred on the square.
        EXPECT_GE(box.x1, 2) << n;
        EXPECT_GE(box.y1, 2) << n;
        EXPECT_LE(box.x2, 57) << n;
        EXPECT_LE(box.y2, 57) << n;
        EXPECT_NEAR((box.x1 + box.x2) / 2.0, 29.5, 2.5) << "image " << n;
        EXPECT_NEAR((box.y1 + box.y2) / 2.0, 29.5, 2.5) << "image " << n;
        largest = std::max({largest, box.x2 - box.x1 + 1, box.y2 - box.y1 + 1});
        // The king and the pawn of one colour are not the same size.
        if (n == 1 || n == 13) {
            ink_box pawn = find_ink(set[n + 10]);
            EXPECT_LT(pawn.y2 - pawn.y1, box.y2 - box.y1) << n;
        }
    }
    EXPECT_GE(largest, 45);  // about 80-90 % of the square
    EXPECT_LE(largest, 56);

    for (int a = 1; a <= 23; a += 2)
        for (int b = a + 2; b <= 23; b += 2) {
            int differing = 0;
            for (std::size_t i = 0; i < set[a].level.size(); ++i)
                differing += is_ink(set[a].level[i]) != is_ink(set[b].level[i]);
            EXPECT_GT(differing, 60) << "images " << a << " and " << b << " look alike";
        }
}

TEST(make_squares, white_pieces_are_outlined_and_filled_black_pieces_solid)
{
    square_set set(60);
    ASSERT_EQ(set.status, 0);
    const grey_image& hatching = set[26];
    for (int piece = 0; piece < 6; ++piece) {
        int white_light = 1 + 2 * piece, white_dark = white_light + 1;
        int black_light = 13 + 2 * piece, black_dark = black_light + 1;

        // An outline: some ink, but mostly paper inside the piece's box.
        ink_box box = find_ink(set[white_light]);
        int inside = 0, ink = 0;
        for (int y = box.y1; y <= box.y2; ++y)
            for (int x = box.x1; x <= box.x2; ++x) {
                ++inside;
                ink += is_ink(set[white_light].at(x, y));
            }
        EXPECT_GT(ink, inside / 12) << "image " << white_light;
        EXPECT_LT(ink, inside / 2) << "image " << white_light;
        EXPECT_GT(ink_share(set[black_light]), 1.25 * ink_share(set[white_light])) << "image " << black_light;

        // Where the piece has paper on a light square, a dark square must not
        // show its hatching through: the body is white. Only the outside may
        // be hatched, so the middle of the box stays clean.
        int hatched = 0, looked = 0;
        int cx = (box.x1 + box.x2) / 2, cy = (box.y1 + box.y2) / 2;
        for (int y = cy - 4; y <= cy + 4; ++y)
            for (int x = cx - 4; x <= cx + 4; ++x)
                if (is_paper(set[white_light].at(x, y)) && is_ink(hatching.at(x, y))) {
                    ++looked;
                    hatched += is_ink(set[white_dark].at(x, y));
                }
        EXPECT_EQ(hatched, 0) << "hatching shows inside image " << white_dark << " (" << looked << " looked at)";

        // A black piece covers most of its box in ink, on either square.
        ink_box solid = find_ink(set[black_light]);
        int covered = 0, area = 0;
        for (int y = solid.y1; y <= solid.y2; ++y)
            for (int x = solid.x1; x <= solid.x2; ++x) {
                ++area;
                covered += is_ink(set[black_light].at(x, y));
            }
        EXPECT_GT(covered, area * 2 / 5) << "image " << black_light;
        // On the dark square the same ink, not lost in the hatching.
        int kept = 0;
        for (int y = solid.y1; y <= solid.y2; ++y)
            for (int x = solid.x1; x <= solid.x2; ++x)
                kept += is_ink(set[black_light].at(x, y)) && is_ink(set[black_dark].at(x, y));
        EXPECT_GT(kept, covered * 95 / 100) << "image " << black_dark;
    }
}

TEST(make_squares, light_and_dark_variants_differ_only_in_the_background)
{
    for (int s : {60, 61}) {
        square_set set(s);
        ASSERT_EQ(set.status, 0);
        const grey_image& dark = set[26];
        for (int light_n = 1; light_n <= 31; light_n += 2) {
            if (light_n == 27)
                continue;  // the strips are no pair
            const grey_image& light = set[light_n];
            const grey_image& variant = set[light_n + 1];
            int strays = 0, background = 0;
            for (int y = 0; y < s; ++y)
                for (int x = 0; x < s; ++x) {
                    int a = light.at(x, y), b = variant.at(x, y);
                    if (std::abs(a - b) < 60)
                        continue;
                    // A difference is fine only where the light variant shows
                    // bare paper and the dark one its hatching, or the white
                    // rim that keeps the hatching off the ink.
                    if (is_paper(a) && b > dark.at(x, y) - 60)
                        ++background;
                    else
                        ++strays;
                }
            EXPECT_LE(strays, s / 4) << "images " << light_n << "/" << light_n + 1 << ", s = " << s;
            EXPECT_GT(background, 0) << "images " << light_n << "/" << light_n + 1 << " do not differ";
        }
    }
}

TEST(make_squares, markers_are_a_cross_and_a_ring)
{
    square_set set(60);
    ASSERT_EQ(set.status, 0);
    for (int n : {29, 30}) {
        EXPECT_TRUE(is_ink(set[n].at(30, 30))) << "cross " << n << " has no centre";
        EXPECT_TRUE(is_ink(set[n].at(21, 21))) << n;
        EXPECT_TRUE(is_ink(set[n].at(38, 21))) << n;
    }
    EXPECT_TRUE(is_paper(set[29].at(30, 20))) << "the cross is not a cross";
    for (int n : {31, 32}) {
        EXPECT_TRUE(is_ink(set[n].at(30, 15))) << n;
        EXPECT_TRUE(is_ink(set[n].at(15, 30))) << n;
        EXPECT_TRUE(is_ink(set[n].at(45, 30))) << n;
        EXPECT_TRUE(is_ink(set[n].at(30, 45))) << n;
    }
    EXPECT_TRUE(is_paper(set[31].at(30, 30))) << "the ring is filled";
}

TEST(make_squares, frame_strips_are_one_rule_that_meets_squarely_at_the_corners)
{
    for (int s : {60, 45}) {
        square_set set(s);
        ASSERT_EQ(set.status, 0);
        const grey_image& across = set[27];
        const grey_image& down = set[28];
        int band = s / 2;
        int frame_right = 8 * s + 2 * band;  // the right strip's outer edge

        // One image serves above and below the board, the other left and
        // right, so each must read the same from either side.
        for (int y = 0; y < band; ++y)
            for (int x = 0; x < across.width; x += 7)
                EXPECT_EQ(is_ink(across.at(x, y)), is_ink(across.at(x, band - 1 - y))) << x << "," << y << " s=" << s;
        for (int y = 0; y < down.height; y += 13)
            for (int x = 0; x < band; ++x)
                EXPECT_EQ(is_ink(down.at(x, y)), is_ink(down.at(band - 1 - x, y))) << x << "," << y << " s=" << s;

        // The rule runs along the board's edge on every side.
        for (int x = band; x < 8 * s + band; x += 3)
            EXPECT_TRUE(is_ink(across.at(x, band - 1))) << x << " s=" << s;
        for (int y = 0; y < down.height; y += 5)
            EXPECT_TRUE(is_ink(down.at(band - 1, y))) << y << " s=" << s;

        // On screen and in the diagram alike, the left strip lies under the
        // horizontal strip's first s/2 columns and the right strip under
        // those from 8s + s/2. A clean corner only continues both strips:
        // each of its rows as the horizontal strip has it beside the corner,
        // each of its columns as the vertical strip has it below, so no
        // rule starts, ends or closes a box in there.
        for (int corner_x : {0, 8 * s + band}) {
            int off_row = 0, off_column = 0;
            for (int y = 0; y < band; ++y)
                for (int x = 0; x < band; ++x) {
                    bool ink = is_ink(across.at(corner_x + x, y));
                    off_row += ink != is_ink(across.at(4 * s, y));
                    off_column += ink != is_ink(down.at(x, 0));
                }
            EXPECT_EQ(off_row, 0) << "pixels breaking the rows, corner at " << corner_x << ", s=" << s;
            EXPECT_EQ(off_column, 0) << "pixels breaking the columns, corner at " << corner_x << ", s=" << s;
        }
        // For odd s the horizontal strip is one column wider than the frame;
        // nothing may stick out there.
        for (int x = frame_right; x < across.width; ++x)
            for (int y = 0; y < band; ++y)
                EXPECT_TRUE(is_paper(across.at(x, y))) << x << "," << y << " s=" << s;
    }
}

TEST(make_squares, refuses_bad_arguments_with_one_line)
{
    temp_folder folder;
    std::string tool = build_tool("make-squares");
    std::string errors = folder.file("errors");
    auto lines_in = [](const std::string& path) {
        auto bytes = read_file_bytes(path);
        return std::count(bytes.begin(), bytes.end(), '\n');
    };
    for (const std::string& arguments :
         {std::string(), folder.path + " 0", folder.path + " -60", folder.path + " 60x", folder.path + " 5000",
          folder.path + " 60 7", folder.file("errors") + "/under/a/file 60"}) {
        EXPECT_EQ(run_command(tool + " " + arguments + " 2>" + errors), 1) << "arguments: " << arguments;
        EXPECT_EQ(lines_in(errors), 1) << "arguments: " << arguments;
        EXPECT_FALSE(file_exists(folder.file("1.jpg"))) << "arguments: " << arguments;
    }
}

TEST(make_squares, reports_a_file_it_cannot_write)
{
    temp_folder folder;
    std::string errors = folder.file("errors");
    // A folder in the way of 5.jpg stops the set even for root.
    ASSERT_EQ(run_command("mkdir " + folder.file("5.jpg")), 0);
    EXPECT_EQ(run_command(build_tool("make-squares") + " " + folder.path + " 60 2>" + errors), 1);
    auto message = read_file_bytes(errors);
    EXPECT_EQ(std::count(message.begin(), message.end(), '\n'), 1);
    EXPECT_NE(std::string(message.begin(), message.end()).find("5.jpg"), std::string::npos);
    EXPECT_FALSE(file_exists(folder.file("6.jpg")));
}
