// The BMP decoder against ImageMagick's own reading of the files it writes,
// against hand-built files whose pixels are known, and against malformed
// files, which must be rejected or decoded within the image's bounds.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "imaging/bmp_decoder.h"
#include "imaging/image_plugins.h"
#include "imaging/image_store.h"
#include "tests/imaging/bmp_builder.h"
#include "tests/imaging/image_test_support.h"
#include "tests/support/test_support.h"

namespace {

using namespace bmp_builder;
using image_test::rgb_image;

constexpr std::uint8_t untouched = 0xA5;

// The result of probing and decoding one file with the BMP decoder alone,
// into a buffer of exactly height + 1 rows filled with `untouched`.
struct decoded {
    int accepted = 0;
    int result = 0;
    int width = 0;
    int height = 0;
    int source_depth = 0;
    int pitch = 0;
    std::vector<std::uint8_t> buffer;

    const std::uint8_t* pixel(int x, int y) const { return buffer.data() + std::size_t(y) * pitch + 3 * x; }
    bool pixel_is(int x, int y, rgb colour) const
    {
        const std::uint8_t* p = pixel(x, y);
        return p[0] == colour[0] && p[1] == colour[1] && p[2] == colour[2];
    }
    bool pixel_untouched(int x, int y) const { return pixel_is(x, y, {untouched, untouched, untouched}); }
};

decoded decode(const bytes& content)
{
    temp_folder folder;
    std::string path = folder.file("image.bmp");
    write_file_bytes(path, content);
    image_plugins_init();
    image_decoder_register(bmp_decoder());
    decoded out;
    out.accepted = image_probe_file(path.c_str());
    if (!out.accepted)
        return out;
    const image_load_context* context = image_load_context_current();
    out.width = context->width;
    out.height = context->height;
    out.source_depth = context->source_depth;
    EXPECT_EQ(context->depth, 24);
    out.pitch = image_load_pitch(out.width, 24);
    std::size_t size = std::size_t(out.pitch) * (out.height + 1);
    // An exact heap block, so the sanitizer sees any write past it.
    auto* block = static_cast<std::uint8_t*>(std::malloc(size));
    std::memset(block, untouched, size);
    out.result = image_decode_rows(block, out.pitch, 0);
    out.buffer.assign(block, block + size);
    std::free(block);
    return out;
}

const std::vector<rgb> eight = ramp_palette(8);

// ---- against ImageMagick ----

// A picture with horizontal runs and single odd pixels, so that RLE files
// hold both runs and literal groups.
bool write_source_ppm(const std::string& path, int width, int height)
{
    std::string header = "P6\n" + std::to_string(width) + " " + std::to_string(height) + "\n255\n";
    bytes content(header.begin(), header.end());
    unsigned state = 12345;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            state = state * 1103515245u + 12345u;
            unsigned shade = ((x / 3) * 7 + y * 3) % 11;
            if ((state >> 16) % 5 == 0)
                shade = (state >> 8) % 23;
            content.push_back(std::uint8_t(shade * 23));
            content.push_back(std::uint8_t(255 - shade * 11));
            content.push_back(std::uint8_t((shade * 97) % 256));
        }
    return write_file_bytes(path, content);
}

struct imagemagick_case {
    const char* options;
    int bits;
    int compression;
};

void expect_decodes_like_imagemagick(const imagemagick_case& c, int width, int height)
{
    SCOPED_TRACE(std::string(c.options) + " at " + std::to_string(width) + "x" + std::to_string(height));
    temp_folder folder;
    std::string source = folder.file("source.ppm");
    std::string bmp = folder.file("image.bmp");
    std::string reference = folder.file("reference.ppm");
    ASSERT_TRUE(write_source_ppm(source, width, height));
    ASSERT_EQ(run_command("convert " + source + " " + c.options + " BMP3:" + bmp), 0);
    ASSERT_EQ(run_command("convert BMP3:" + bmp + " -alpha off -depth 8 " + reference), 0);
    bytes file = read_file_bytes(bmp);
    ASSERT_GE(file.size(), headers_size);
    // Make sure ImageMagick wrote the kind of file this case is about.
    ASSERT_EQ(file[28] | file[29] << 8, c.bits);
    ASSERT_EQ(file[30], c.compression);

    rgb_image expected;
    ASSERT_TRUE(image_test::read_ppm(reference, expected));
    image_test::program_registry();
    image_store_init();
    ASSERT_NE(image_load(7, text_from_utf8(bmp)), 0);
    EXPECT_EQ(image_lookup(7)->source_depth, c.bits);
    rgb_image got = image_test::stored_pixels(7);
    ASSERT_EQ(got.width, expected.width);
    ASSERT_EQ(got.height, expected.height);
    if (c.bits == 1) {
        // Set bits are white whatever the palette says: map ImageMagick's
        // palette colours back to bits.
        const std::uint8_t one[3] = {file[headers_size + 6], file[headers_size + 5], file[headers_size + 4]};
        for (std::size_t i = 0; i < expected.pixels.size(); i += 3) {
            std::uint8_t value = std::memcmp(&expected.pixels[i], one, 3) == 0 ? 255 : 0;
            expected.pixels[i] = expected.pixels[i + 1] = expected.pixels[i + 2] = value;
        }
    }
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            ASSERT_EQ(0, std::memcmp(got.at(x, y), expected.at(x, y), 3)) << "pixel " << x << "," << y;
    image_release(7);
}

TEST(bmp_decoder, decodes_imagemagick_files_of_every_depth_exactly)
{
    const imagemagick_case cases[] = {
        {"-type truecolor", 24, 0},
        {"-alpha set -channel A -evaluate set 50% +channel -define bmp3:alpha=true", 32, 0},
        {"-type palette -compress none", 8, 0},
        {"-type palette -compress RLE", 8, 1},
        {"-type palette -colors 12 -compress none", 4, 0},
        {"-monochrome", 1, 0},
    };
    for (const imagemagick_case& c : cases) {
        expect_decodes_like_imagemagick(c, 13, 7);
        expect_decodes_like_imagemagick(c, 18, 5);
    }
}

// ---- hand-built files ----

TEST(bmp_decoder, one_bit_files_are_black_and_white_whatever_the_palette)
{
    layout shape;
    shape.width = 10;
    shape.height = 2;
    shape.bits = 1;
    shape.palette = {{255, 0, 0}, {0, 0, 255}};
    shape.pixels = rows(10, 2, 1, [](int x, int y) { return std::uint32_t((x + y) % 3 == 0); });
    decoded d = decode(file(shape));
    ASSERT_TRUE(d.accepted);
    EXPECT_EQ(d.source_depth, 1);
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 10; ++x)
            EXPECT_TRUE(d.pixel_is(x, y, (x + y) % 3 == 0 ? rgb{255, 255, 255} : rgb{0, 0, 0})) << x << "," << y;
}

TEST(bmp_decoder, odd_width_four_bit_rows_hold_exactly_width_pixels)
{
    layout shape;
    shape.width = 5;
    shape.height = 3;
    shape.bits = 4;
    shape.palette = ramp_palette(16);
    shape.pixels = rows(5, 3, 4, [](int x, int y) { return std::uint32_t(x * 3 + y) % 16; });
    decoded d = decode(file(shape));
    ASSERT_TRUE(d.accepted);
    ASSERT_EQ(d.pitch, 16);
    for (int y = 0; y < 3; ++y) {
        for (int x = 0; x < 5; ++x)
            EXPECT_TRUE(d.pixel_is(x, y, shape.palette[(x * 3 + y) % 16])) << x << "," << y;
        // The pitch's padding byte and the spare row are not written.
        EXPECT_EQ(d.buffer[std::size_t(y) * 16 + 15], untouched);
    }
    for (int x = 0; x < 5; ++x)
        EXPECT_TRUE(d.pixel_untouched(x, 3));
}

TEST(bmp_decoder, colours_used_zero_means_the_full_palette)
{
    layout shape;
    shape.width = 16;
    shape.height = 16;
    shape.bits = 8;
    shape.palette = ramp_palette(256);
    shape.colours_used = 0;
    shape.pixels = rows(16, 16, 8, [](int x, int y) { return std::uint32_t(y * 16 + x); });
    decoded d = decode(file(shape));
    ASSERT_TRUE(d.accepted);
    for (int i = 0; i < 256; ++i)
        EXPECT_TRUE(d.pixel_is(i % 16, i / 16, shape.palette[i])) << "index " << i;
}

TEST(bmp_decoder, palette_indices_past_the_palette_are_black)
{
    layout shape;
    shape.width = 4;
    shape.height = 1;
    shape.bits = 8;
    shape.palette = ramp_palette(2);
    shape.pixels = {0, 1, 2, 255};
    decoded d = decode(file(shape));
    ASSERT_TRUE(d.accepted);
    EXPECT_TRUE(d.pixel_is(0, 0, shape.palette[0]));
    EXPECT_TRUE(d.pixel_is(1, 0, shape.palette[1]));
    EXPECT_TRUE(d.pixel_is(2, 0, {0, 0, 0}));
    EXPECT_TRUE(d.pixel_is(3, 0, {0, 0, 0}));
}

TEST(bmp_decoder, sixteen_bit_files_are_five_five_five)
{
    layout shape;
    shape.width = 3;  // odd: each row carries two bytes of padding
    shape.height = 2;
    shape.bits = 16;
    const std::uint32_t words[2][3] = {{0x7C00, 0x03E0, 0x001F}, {0x7FFF, 0x8000, 0x4210}};
    shape.pixels = rows(3, 2, 16, [&](int x, int y) { return words[y][x]; });
    ASSERT_EQ(shape.pixels.size(), 16u);
    decoded d = decode(file(shape));
    ASSERT_TRUE(d.accepted);
    EXPECT_TRUE(d.pixel_is(0, 0, {248, 0, 0}));
    EXPECT_TRUE(d.pixel_is(1, 0, {0, 248, 0}));
    EXPECT_TRUE(d.pixel_is(2, 0, {0, 0, 248}));
    EXPECT_TRUE(d.pixel_is(0, 1, {248, 248, 248}));
    EXPECT_TRUE(d.pixel_is(1, 1, {0, 0, 0}));  // the top bit is not a colour
    EXPECT_TRUE(d.pixel_is(2, 1, {128, 128, 128}));
}

TEST(bmp_decoder, rle8_runs_literals_deltas_and_line_ends)
{
    layout shape;
    shape.width = 6;
    shape.height = 4;
    shape.bits = 8;
    shape.compression = 1;
    shape.palette = eight;
    shape.pixels = {
        3, 1,              // bottom row: three of colour 1
        0, 3, 2, 3, 4, 0,  // a literal group of three, padded to four bytes
        0, 0,              // next row up
        0, 2, 2, 1,        // move right 2, up 1
        6, 5,              // a run that overshoots the row end
        0, 0,              // next row up
        2, 7,              // top row
        0, 1,              // end of image
    };
    decoded d = decode(file(shape));
    ASSERT_TRUE(d.accepted);
    ASSERT_EQ(d.result, 1);
    const std::vector<rgb>& p = shape.palette;
    // Buffer row 3 is the bottom row of the image.
    EXPECT_TRUE(d.pixel_is(0, 3, p[1]) && d.pixel_is(1, 3, p[1]) && d.pixel_is(2, 3, p[1]));
    EXPECT_TRUE(d.pixel_is(3, 3, p[2]) && d.pixel_is(4, 3, p[3]) && d.pixel_is(5, 3, p[4]));
    for (int x = 0; x < 6; ++x)
        EXPECT_TRUE(d.pixel_untouched(x, 2)) << x;
    EXPECT_TRUE(d.pixel_untouched(0, 1) && d.pixel_untouched(1, 1));
    for (int x = 2; x < 6; ++x)
        EXPECT_TRUE(d.pixel_is(x, 1, p[5])) << x;
    EXPECT_TRUE(d.pixel_is(0, 0, p[7]) && d.pixel_is(1, 0, p[7]));
    for (int x = 2; x < 6; ++x)
        EXPECT_TRUE(d.pixel_untouched(x, 0)) << x;
    // The run past the row end spilled neither into the padding nor the spare row.
    EXPECT_EQ(d.buffer[std::size_t(1) * d.pitch + 18], untouched);
    for (int x = 0; x < 6; ++x)
        EXPECT_TRUE(d.pixel_untouched(x, 4));
}

TEST(bmp_decoder, rle4_and_unsupported_depths_are_accepted_and_write_nothing)
{
    layout rle4;
    rle4.width = 4;
    rle4.height = 2;
    rle4.bits = 4;
    rle4.compression = 2;
    rle4.palette = ramp_palette(16);
    rle4.pixels = {4, 0x12, 0, 0, 4, 0x34, 0, 1};
    layout depth2 = rle4;
    depth2.bits = 2;
    depth2.compression = 0;
    depth2.palette = ramp_palette(4);
    layout depth7 = depth2;
    depth7.bits = 7;
    for (const layout& shape : {rle4, depth2, depth7}) {
        SCOPED_TRACE(shape.bits);
        decoded d = decode(file(shape));
        ASSERT_TRUE(d.accepted);
        EXPECT_EQ(d.result, 1);
        EXPECT_EQ(d.source_depth, shape.bits);
        for (std::uint8_t byte : d.buffer)
            ASSERT_EQ(byte, untouched);
    }
}

// ---- malformed files ----

bytes sound_24_bit(int width, int height)
{
    layout shape;
    shape.width = width;
    shape.height = height;
    shape.pixels = rows(width, height, 24, [](int x, int y) { return std::uint32_t(0x102030 * (x + 1) + y); });
    return file(shape);
}

TEST(bmp_decoder, probe_rejects_files_that_cannot_be_bmp_images)
{
    bytes thirteen = sound_24_bit(2, 2);
    thirteen.resize(13);
    static_assert(headers_size == 54);
    bytes reserved6 = sound_24_bit(2, 2);
    reserved6[6] = 1;
    bytes reserved9 = sound_24_bit(2, 2);
    reserved9[9] = 0x80;
    bytes not_bm = sound_24_bit(2, 2);
    not_bm[1] = 'A';
    bytes short_header = sound_24_bit(2, 2);
    short_header.resize(30);
    bytes core_header = sound_24_bit(2, 2);
    put32(core_header, 14, 12);
    bytes header_past_end = sound_24_bit(2, 2);
    put32(header_past_end, 14, 0xFFFFFFF0u);
    bytes zero_width = sound_24_bit(2, 2);
    put32(zero_width, 18, 0);
    bytes negative_height = sound_24_bit(2, 2);
    put32(negative_height, 22, std::uint32_t(-2));
    bytes too_wide = sound_24_bit(2, 2);
    put32(too_wide, 18, 32768);
    bytes huge = sound_24_bit(2, 2);
    put32(huge, 18, 0x7FFFFFFF);
    put32(huge, 22, 0x7FFFFFFF);
    bytes offset_past_end = sound_24_bit(2, 2);
    put32(offset_past_end, 10, std::uint32_t(offset_past_end.size()));
    bytes offset_in_header = sound_24_bit(2, 2);
    put32(offset_in_header, 10, 20);

    int index = 0;
    for (const bytes& content : {thirteen, reserved6, reserved9, not_bm, short_header, core_header,
                                 header_past_end, zero_width, negative_height, too_wide, huge, offset_past_end,
                                 offset_in_header}) {
        EXPECT_FALSE(decode(content).accepted) << "case " << index;
        ++index;
    }
    EXPECT_TRUE(decode(sound_24_bit(2, 2)).accepted);
}

TEST(bmp_decoder, largest_width_the_store_holds_is_accepted)
{
    bytes content = sound_24_bit(1, 1);
    put32(content, 18, 32767);
    decoded d = decode(content);
    ASSERT_TRUE(d.accepted);
    EXPECT_EQ(d.width, 32767);
    // Only the one pixel the file holds is written.
    EXPECT_TRUE(d.pixel_is(0, 0, {0x10, 0x20, 0x30}));
    EXPECT_TRUE(d.pixel_untouched(1, 0));
}

TEST(bmp_decoder, truncated_pixel_data_decodes_the_rows_present)
{
    bytes content = sound_24_bit(3, 4);
    // Keep the two bottom rows (12 bytes each) and half a pixel of the third.
    content.resize(headers_size + 24 + 2);
    decoded d = decode(content);
    ASSERT_TRUE(d.accepted);
    EXPECT_TRUE(d.pixel_is(0, 3, {0x10, 0x20, 0x33}));
    EXPECT_TRUE(d.pixel_is(2, 2, {0x30, 0x60, 0x92}));
    for (int x = 0; x < 3; ++x) {
        EXPECT_TRUE(d.pixel_untouched(x, 1)) << x;
        EXPECT_TRUE(d.pixel_untouched(x, 0)) << x;
    }
}

TEST(bmp_decoder, palette_past_the_end_of_the_file_reads_as_black)
{
    layout shape;
    shape.width = 2;
    shape.height = 1;
    shape.bits = 8;
    shape.pixels = {0, 1, 0, 0};
    bytes content = file(shape);
    // The palette starts where the pixels do, four bytes before the end,
    // and claims 256 entries.
    put32(content, 14, std::uint32_t(content.size() - 14 - 4));
    put32(content, 10, std::uint32_t(content.size() - 4));
    put32(content, 46, 256);
    decoded d = decode(content);
    ASSERT_TRUE(d.accepted);
    // One palette entry lies in the file: the four pixel bytes, read as blue, green, red.
    EXPECT_TRUE(d.pixel_is(0, 0, {0, 1, 0}));
    EXPECT_TRUE(d.pixel_is(1, 0, {0, 0, 0}));
}

TEST(bmp_decoder, rle8_that_leaves_the_image_writes_only_inside_it)
{
    layout base;
    base.width = 3;
    base.height = 2;
    base.bits = 8;
    base.compression = 1;
    base.palette = eight;
    struct stream {
        const char* what;
        bytes pixels;
    };
    const stream streams[] = {
        {"delta past the top", {0, 2, 1, 200, 3, 1, 0, 1}},
        {"delta past the row end", {0, 2, 250, 0, 3, 1, 0, 0, 3, 2}},
        {"line ends past the top", {0, 0, 0, 0, 0, 0, 0, 0, 3, 1, 3, 1}},
        {"literal group past the row end", {0, 9, 1, 2, 3, 4, 5, 6, 7, 1, 2, 0}},
        {"literal group past the file end", {0, 200, 1, 2}},
        {"runs past the row end", {255, 1, 255, 2, 0, 0, 255, 3}},
        {"delta cut off", {0, 2, 1}},
        {"no end of image", {3, 1}},
    };
    for (const stream& s : streams) {
        SCOPED_TRACE(s.what);
        layout shape = base;
        shape.pixels = s.pixels;
        decoded d = decode(file(shape));
        ASSERT_TRUE(d.accepted);
        EXPECT_EQ(d.result, 1);
        for (int x = 0; x < 3; ++x)
            EXPECT_TRUE(d.pixel_untouched(x, 2));
        for (int y = 0; y < 2; ++y)
            for (int x = 9; x < d.pitch; ++x)
                EXPECT_EQ(d.buffer[std::size_t(y) * d.pitch + x], untouched);
    }
}

// Malformed files kept as files, with anything the fuzzers find added as
// found. Each must load within bounds, or be refused, without a word on stderr.
TEST(bmp_decoder, stored_malformed_files_load_safely)
{
    std::filesystem::path folder = std::filesystem::path(__FILE__).parent_path().parent_path() / "data/bmp/malformed";
    ASSERT_TRUE(std::filesystem::is_directory(folder)) << folder;
    int files = 0;
    image_test::program_registry();
    image_store_init();
    std::string noise = image_test::captured_stderr([&] {
        for (const auto& entry : std::filesystem::directory_iterator(folder)) {
            if (entry.path().extension() != ".bmp")
                continue;
            ++files;
            if (image_load(3, text_from_utf8(entry.path().string()))) {
                EXPECT_GT(image_width(3), 0) << entry.path();
                EXPECT_GT(image_height(3), 0) << entry.path();
                image_test::stored_pixels(3);
                image_release(3);
            }
        }
    });
    EXPECT_GT(files, 0);
    EXPECT_EQ(noise, "");
}

}  // namespace
