// The JPEG decoder driven directly with a load context filled by hand, and
// once through the registry. Pixels are checked against GdkPixbuf's loader
// or against colours worked out by hand, never against the decoder itself.

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

#include "codec/jpeg_plugin.h"
#include "imaging/bmp_decoder.h"
#include "tests/codec/jpeg_test_support.h"
#include "tests/support/test_support.h"

namespace {

// Board-like colour blocks on the 16-pixel grid, so JPEG loss stays small.
std::uint8_t board_sample(int x, int y, int c)
{
    bool dark = ((x / 16) + (y / 16)) % 2 != 0;
    static const std::uint8_t light[3] = {238, 238, 210};
    static const std::uint8_t shade[3] = {118, 150, 86};
    return dark ? shade[c] : light[c];
}

int max_difference(const plugin_load& load, const reference_image& reference)
{
    int worst = 0;
    for (int y = 0; y < reference.height; ++y)
        for (int x = 0; x < reference.width; ++x)
            for (int c = 0; c < 3; ++c)
                worst = std::max(worst, std::abs(load.pixel(x, y)[c] - reference.pixel(x, y)[c]));
    return worst;
}

}  // namespace

TEST(jpeg_decoder, colour_file_matches_reference_and_stays_inside_rows)
{
    temp_folder folder;
    std::string path = folder.file("board.jpg");
    write_test_jpeg(path, 61, 37, board_sample);
    reference_image reference = reference_decode(path);
    ASSERT_EQ(reference.width, 61);

    stderr_capture errors;
    plugin_load load = load_with_plugin(path, 0, 7);
    EXPECT_EQ(errors.text(), "");
    ASSERT_EQ(load.probed, 1);
    EXPECT_EQ(load.decoded, 1);
    EXPECT_EQ(load.context.width, 61);
    EXPECT_EQ(load.context.height, 37);
    EXPECT_EQ(load.context.depth, 24);
    EXPECT_EQ(load.context.source_depth, 24);
    EXPECT_LE(max_difference(load, reference), 2);
    EXPECT_TRUE(load.words_clear_after_close);
    // The padding at the end of every row keeps what the buffer held.
    for (int y = 0; y < 37; ++y)
        for (int pad = 0; pad < 7; ++pad)
            ASSERT_EQ(load.pixels[std::size_t(y * load.pitch + 61 * 3 + pad)], 0xAB) << "row " << y;

    // Bottom-up rows: the image's top row lands in the last buffer row, into
    // a buffer with no padding and no spare row.
    plugin_load flipped = load_with_plugin(path, rows_bottom_up);
    ASSERT_EQ(flipped.decoded, 1);
    for (int y = 0; y < 37; ++y)
        ASSERT_EQ(std::memcmp(flipped.pixel(0, 36 - y), load.pixel(0, y), 61 * 3), 0) << "row " << y;
}

TEST(jpeg_decoder, greyscale_comes_out_as_equal_rgb_channels)
{
    temp_folder folder;
    std::string path = folder.file("grey.jpg");
    ASSERT_EQ(run_command("convert -size 40x30 gradient:white-black -colorspace Gray " + path), 0);
    std::vector<jpeg_segment> segments = jpeg_header_segments(read_file_bytes(path));
    const jpeg_segment* frame = find_segment(segments, 0xC0);
    ASSERT_NE(frame, nullptr);
    ASSERT_EQ(frame->payload[5], 1) << "the test file should have one component";

    plugin_load load = load_with_plugin(path);
    ASSERT_EQ(load.decoded, 1);
    EXPECT_EQ(load.context.depth, 24);
    EXPECT_EQ(load.context.source_depth, 24);
    for (int y = 0; y < 30; ++y)
        for (int x = 0; x < 40; ++x) {
            const std::uint8_t* p = load.pixel(x, y);
            ASSERT_TRUE(p[0] == p[1] && p[1] == p[2]) << x << "," << y;
        }
    EXPECT_GT(load.pixel(0, 0)[0], 240);
    EXPECT_LT(load.pixel(0, 29)[0], 15);
}

// Four-component files become RGB by (255 - C)(255 - K)/255 and so on; with
// an Adobe marker the stored values are inverted, so the product is C × K/255.
TEST(jpeg_decoder, cmyk_and_ycck_files_become_rgb)
{
    temp_folder folder;
    // C 0, M 128, Y 255, K 64 is (191, 95, 0) in RGB.
    const std::uint8_t plain[4] = {0, 128, 255, 64};
    struct variant {
        const char* name;
        J_COLOR_SPACE file_space;
        bool adobe;
    };
    for (variant v : {variant{"cmyk", JCS_CMYK, false}, variant{"adobe-cmyk", JCS_CMYK, true},
                      variant{"adobe-ycck", JCS_YCCK, true}}) {
        SCOPED_TRACE(v.name);
        std::string path = folder.file(std::string(v.name) + ".jpg");
        test_jpeg_layout layout{.components = 4, .input_space = JCS_CMYK, .file_space = v.file_space,
                                .adobe_marker = v.adobe, .quality = 95};
        write_test_jpeg(
            path, 24, 16, [&](int, int, int c) { return std::uint8_t(v.adobe ? 255 - plain[c] : plain[c]); },
            layout);
        stderr_capture errors;
        plugin_load load = load_with_plugin(path);
        EXPECT_EQ(errors.text(), "");
        ASSERT_EQ(load.decoded, 1);
        EXPECT_EQ(load.context.depth, 24);
        EXPECT_EQ(load.context.source_depth, 32);
        const std::uint8_t* p = load.pixel(12, 8);
        EXPECT_NEAR(p[0], 191, 4);
        EXPECT_NEAR(p[1], 95, 4);
        EXPECT_NEAR(p[2], 0, 4);
    }

    // A file made by another program from pure red.
    std::string path = folder.file("magick.jpg");
    ASSERT_EQ(run_command("convert -size 24x16 xc:red -colorspace CMYK -quality 95 " + path), 0);
    plugin_load load = load_with_plugin(path);
    ASSERT_EQ(load.decoded, 1);
    const std::uint8_t* p = load.pixel(12, 8);
    EXPECT_GT(p[0], 240);
    EXPECT_LT(p[1], 16);
    EXPECT_LT(p[2], 16);
}

TEST(jpeg_decoder, file_cut_in_its_scan_data_loads_silently)
{
    temp_folder folder;
    std::string whole = folder.file("whole.jpg");
    // Top half red, bottom half blue; the cut loses most of the blue.
    write_test_jpeg(whole, 64, 64, [](int, int y, int c) { return std::uint8_t((y < 32) == (c == 0) ? 220 : 20); });
    std::vector<std::uint8_t> bytes = read_file_bytes(whole);
    std::vector<jpeg_segment> segments = jpeg_header_segments(bytes);
    const jpeg_segment* scan = find_segment(segments, 0xDA);
    ASSERT_NE(scan, nullptr);
    std::size_t scan_data = scan->offset + 4 + scan->payload.size();

    std::string cut = folder.file("cut.jpg");
    ASSERT_TRUE(write_file_bytes(
        cut, std::vector<std::uint8_t>(bytes.begin(), bytes.begin() + std::ptrdiff_t((scan_data + bytes.size()) / 2))));
    std::string headers_only = folder.file("headers.jpg");
    ASSERT_TRUE(write_file_bytes(headers_only,
                                 std::vector<std::uint8_t>(bytes.begin(), bytes.begin() + std::ptrdiff_t(scan->offset))));

    stderr_capture errors;
    plugin_load load = load_with_plugin(cut);
    plugin_load no_scan = load_with_plugin(headers_only);
    EXPECT_EQ(errors.text(), "");
    ASSERT_EQ(load.probed, 1);
    EXPECT_EQ(load.decoded, 1);
    EXPECT_NEAR(load.pixel(5, 5)[0], 220, 6);
    EXPECT_NEAR(load.pixel(5, 5)[2], 20, 6);
    EXPECT_EQ(no_scan.probed, 0);
    EXPECT_TRUE(no_scan.words_clear_after_close);
}

TEST(jpeg_decoder, rejects_what_it_cannot_read_and_keeps_nothing)
{
    temp_folder folder;
    std::string two = folder.file("two.jpg"), three = folder.file("three.jpg"), png = folder.file("a.png");
    ASSERT_TRUE(write_file_bytes(two, {0xFF, 0xD8}));
    ASSERT_TRUE(write_file_bytes(three, {0xFF, 0xD8, 0xFF}));
    GdkPixbuf* picture = gdk_pixbuf_new(GDK_COLORSPACE_RGB, FALSE, 8, 8, 8);
    gdk_pixbuf_fill(picture, 0x336699FF);
    ASSERT_TRUE(gdk_pixbuf_save(picture, png.c_str(), "png", nullptr, nullptr));
    g_object_unref(picture);
    // Two components: the row copy would take more bytes than a row holds.
    std::string pairs = folder.file("pairs.jpg");
    write_test_jpeg(pairs, 16, 16, [](int x, int, int) { return std::uint8_t(x * 8); },
                    {.components = 2, .input_space = JCS_UNKNOWN, .file_space = JCS_UNKNOWN});
    // Wider than the image store can hold.
    std::string wide = folder.file("wide.jpg");
    write_test_jpeg(wide, 40000, 8, [](int, int, int) { return std::uint8_t(128); });

    stderr_capture errors;
    for (const std::string& path : {two, three, png, pairs, wide}) {
        SCOPED_TRACE(path);
        image_load_context context{};
        context.file = std::fopen(path.c_str(), "rb");
        ASSERT_NE(context.file, nullptr);
        EXPECT_EQ(jpeg_probe(&context), 0);
        EXPECT_TRUE(private_words_clear(context));
        jpeg_close(&context);  // a second release finds nothing to free
        std::fclose(context.file);
    }
    EXPECT_EQ(errors.text(), "");
}

TEST(jpeg_decoder, registers_once_after_bmp_and_loads_through_registry)
{
    temp_folder folder;
    std::string path = folder.file("board.jpg");
    write_test_jpeg(path, 32, 48, board_sample);

    image_plugins_init();
    bmp_decoder_register();
    EXPECT_EQ(jpeg_decoder_register(), 1);
    EXPECT_EQ(jpeg_decoder_register(), 1);
    static const image_decoder refuse_all = {
        .probe = [](image_load_context*) { return 0; },
        .decode = [](image_load_context*, std::uint8_t*, std::int32_t, std::int32_t) { return 0; },
        .close = [](image_load_context*) {},
    };
    EXPECT_EQ(image_decoder_register(&refuse_all), 3) << "BMP, JPEG once, then this one";

    ASSERT_EQ(image_probe_file(path.c_str()), 1);
    image_load_context* context = image_load_context_current();
    EXPECT_EQ(context->width, 32);
    EXPECT_EQ(context->height, 48);
    std::vector<std::uint8_t> pixels(std::size_t(32 * 3) * 49);
    EXPECT_EQ(image_decode_rows(pixels.data(), 32 * 3, 0), 1);
    EXPECT_TRUE(private_words_clear(*context));
    EXPECT_EQ(context->file, nullptr);
}
