// The image store: creating, loading, saving and resizing numbered images,
// what a failure leaves behind, the load buffer the decoders write into, the
// JPEG round trip through the program's registry, and the image-convert tool.
#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include <sys/stat.h>

#include "imaging/image_plugins.h"
#include "imaging/image_store.h"
#include "tests/imaging/bmp_builder.h"
#include "tests/imaging/image_test_support.h"
#include "tests/support/test_support.h"

namespace {

using namespace bmp_builder;
using image_test::rgb_image;

// Every pixel of an image, as bytes per pixel (3 or 4) in a row.
std::vector<std::uint8_t> pixel_bytes(object_number number)
{
    std::vector<std::uint8_t> out;
    GdkPixbuf* pixbuf = image_handle(number);
    int channels = gdk_pixbuf_get_n_channels(pixbuf);
    for (int y = 0; y < gdk_pixbuf_get_height(pixbuf); ++y) {
        const guchar* row = gdk_pixbuf_get_pixels(pixbuf) + std::size_t(y) * gdk_pixbuf_get_rowstride(pixbuf);
        out.insert(out.end(), row, row + std::size_t(gdk_pixbuf_get_width(pixbuf)) * channels);
    }
    return out;
}

int folder_entries_count(const std::string& folder)
{
    int count = 0;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        (void)entry;
        ++count;
    }
    return count;
}

std::string file_text(const std::string& path)
{
    bytes content = read_file_bytes(path);
    return std::string(content.begin(), content.end());
}

bool all_pixels_are(object_number number, std::vector<std::uint8_t> pixel)
{
    std::vector<std::uint8_t> bytes = pixel_bytes(number);
    for (std::size_t i = 0; i < bytes.size(); ++i)
        if (bytes[i] != pixel[i % pixel.size()])
            return false;
    return !bytes.empty();
}

class image_store : public testing::Test {
protected:
    void SetUp() override
    {
        image_test::program_registry();
        image_store_init();
    }
    void TearDown() override { image_store_shutdown(); }

    std::string bmp_file(const std::string& name, int width, int height, int bits = 24)
    {
        layout shape;
        shape.width = width;
        shape.height = height;
        shape.bits = std::uint16_t(bits);
        if (bits <= 8)
            shape.palette = ramp_palette(1 << bits);
        shape.pixels = rows(width, height, bits, [bits](int x, int y) {
            return bits <= 8 ? std::uint32_t(x + y) % (1u << bits) : std::uint32_t(0x0A0B0C * (x + 1) + 0x20 * y);
        });
        std::string path = folder.file(name);
        write_file_bytes(path, file(shape));
        return path;
    }
    temp_folder folder;
};

// ---- create ----

TEST_F(image_store, created_images_are_black_and_only_depth_32_has_alpha)
{
    ASSERT_NE(image_create(100, 7, 3), 0);
    EXPECT_EQ(gdk_pixbuf_get_n_channels(image_handle(100)), 3);
    EXPECT_TRUE(all_pixels_are(100, {0, 0, 0}));
    EXPECT_EQ(image_lookup(100)->depth, 24);
    EXPECT_EQ(image_lookup(100)->source_depth, 24);

    ASSERT_NE(image_create(101, 4, 4, 32), 0);
    EXPECT_TRUE(all_pixels_are(101, {0, 0, 0, 255}));
    EXPECT_EQ(image_lookup(101)->depth, 32);
    ASSERT_NE(image_create(102, 4, 4, 32 | image_transparent), 0);
    EXPECT_TRUE(all_pixels_are(102, {0, 0, 0, 0}));
    ASSERT_NE(image_create(103, 4, 4, 24 | image_transparent), 0);
    EXPECT_TRUE(all_pixels_are(103, {0, 0, 0}));
    ASSERT_NE(image_create(104, 4, 4, 33), 0);
    EXPECT_EQ(image_lookup(104)->depth, 24);
    EXPECT_EQ(gdk_pixbuf_get_n_channels(image_handle(104)), 3);
    // Number 0 is an ordinary image number.
    created_object zero = image_create(0, 5, 5);
    EXPECT_EQ(zero, reinterpret_cast<created_object>(image_handle(0)));
    EXPECT_EQ(image_width(0), 5);
}

// The fill works on whole rows and whole buffers, so odd widths, single
// rows and single columns show whether it stops at the last pixel.
TEST_F(image_store, every_pixel_of_a_created_image_is_filled_whatever_its_shape)
{
    struct shape {
        int width, height;
    };
    const shape shapes[] = {{1, 1}, {1, 9}, {9, 1}, {5, 3}, {7, 4}, {541, 3}, {3, 571}};
    struct kind {
        std::int32_t depth;
        std::vector<std::uint8_t> pixel;
    };
    const kind kinds[] = {{24, {0, 0, 0}},
                          {24 | image_transparent, {0, 0, 0}},
                          {32, {0, 0, 0, 255}},
                          {32 | image_transparent, {0, 0, 0, 0}}};
    for (const kind& k : kinds)
        for (const shape& size : shapes) {
            // Should gdk_pixbuf_new ever hand back a used buffer, one left
            // dirty by an image of the same size is the likeliest.
            ASSERT_NE(image_create(30, size.width, size.height, k.depth), 0);
            GdkPixbuf* dirty = image_handle(30);
            std::memset(gdk_pixbuf_get_pixels(dirty), 0x5A, gdk_pixbuf_get_byte_length(dirty));
            ASSERT_NE(image_create(30, size.width, size.height, k.depth), 0);
            EXPECT_TRUE(all_pixels_are(30, k.pixel))
                << size.width << "x" << size.height << " at depth " << k.depth;
            EXPECT_EQ(pixel_bytes(30).size(), std::size_t(size.width) * size.height * k.pixel.size());
        }
}

TEST_F(image_store, a_failed_create_has_already_released_the_old_image)
{
    ASSERT_NE(image_create(5, 8, 8), 0);
    std::string noise = image_test::captured_stderr([] {
        EXPECT_EQ(image_create(5, 0, 10), 0);
        EXPECT_EQ(image_create(6, 10, -1), 0);
        EXPECT_EQ(image_create(7, 32768, 1), 0);
    });
    EXPECT_EQ(noise, "");
    EXPECT_EQ(image_width(5), 0);
    EXPECT_EQ(image_handle(5), nullptr);
    EXPECT_EQ(image_lookup(5), nullptr);
}

TEST_F(image_store, dynamic_images_live_under_their_handle)
{
    created_object handle = image_create(dynamic_number, 6, 2);
    ASSERT_NE(handle, 0);
    object_number number = object_number(handle);
    EXPECT_EQ(image_width(number), 6);
    EXPECT_EQ(image_height(number), 2);
    EXPECT_EQ(image_width(dynamic_number), 0);
    image_release(number);
    EXPECT_EQ(image_width(number), 0);
    EXPECT_EQ(image_handle(number), nullptr);
}

TEST_F(image_store, shutdown_releases_every_image)
{
    image_create(1, 2, 2);
    image_create(40, 2, 2);
    object_number dynamic = object_number(image_create(dynamic_number, 2, 2));
    image_store_shutdown();
    EXPECT_EQ(image_handle(1), nullptr);
    EXPECT_EQ(image_handle(40), nullptr);
    EXPECT_EQ(image_handle(dynamic), nullptr);
}

// ---- load ----

TEST_F(image_store, loaded_rows_have_the_load_pitch)
{
    ASSERT_NE(image_load(1, text_from_utf8(bmp_file("five.bmp", 5, 2))), 0);
    EXPECT_EQ(gdk_pixbuf_get_rowstride(image_handle(1)), 16);
    ASSERT_NE(image_load(2, text_from_utf8(bmp_file("four.bmp", 4, 2))), 0);
    EXPECT_EQ(gdk_pixbuf_get_rowstride(image_handle(2)), 12);
    EXPECT_EQ(image_load_pitch(6, 24), 20);
    EXPECT_EQ(image_load_pitch(6, 32), 24);
    // The top row of the image comes first: colour 0x0A0B0C × (x + 1) + 0x20 × y.
    rgb_image got = image_test::stored_pixels(1);
    EXPECT_EQ(std::vector<std::uint8_t>(got.at(4, 1), got.at(4, 1) + 3), (std::vector<std::uint8_t>{50, 55, 92}));
    EXPECT_EQ(image_lookup(1)->source_depth, 24);
}

TEST_F(image_store, a_failed_load_keeps_the_old_image)
{
    ASSERT_NE(image_create(9, 3, 3), 0);
    std::string noise = image_test::captured_stderr([&] {
        EXPECT_EQ(image_load(9, text_from_utf8(folder.file("missing.bmp"))), 0);
        EXPECT_EQ(image_load(9, u""), 0);
        write_file_bytes(folder.file("text.bmp"), {'h', 'e', 'l', 'l', 'o'});
        EXPECT_EQ(image_load(9, text_from_utf8(folder.file("text.bmp"))), 0);
        bytes wide = read_file_bytes(bmp_file("wide.bmp", 2, 2));
        put32(wide, 18, 40000);
        write_file_bytes(folder.file("wide.bmp"), wide);
        EXPECT_EQ(image_load(9, text_from_utf8(folder.file("wide.bmp"))), 0);
    });
    EXPECT_EQ(noise, "");
    EXPECT_EQ(image_width(9), 3);
    EXPECT_TRUE(all_pixels_are(9, {0, 0, 0}));
}

// A decoder of the test's own, for sizes and depths the BMP decoder never reports.
struct fake_load {
    std::int32_t width = 3, height = 2, depth = 32;
    bool buffer_was_zero = false;
    int closes = 0;
} fake;

int fake_probe(image_load_context* context)
{
    context->width = fake.width;
    context->height = fake.height;
    context->depth = fake.depth;
    context->source_depth = 8;
    return 1;
}

int fake_decode(image_load_context* context, std::uint8_t* buffer, std::int32_t pitch, std::int32_t)
{
    std::size_t size = std::size_t(pitch) * (context->height + 1);
    fake.buffer_was_zero = true;
    for (std::size_t i = 0; i < size; ++i)
        fake.buffer_was_zero = fake.buffer_was_zero && buffer[i] == 0;
    // The whole buffer, spare row included, is the decoder's to write.
    std::memset(buffer, 0x77, size);
    return 0;
}

void fake_close(image_load_context*)
{
    ++fake.closes;
}

const image_decoder fake_decoder = {.probe = fake_probe, .decode = fake_decode, .close = fake_close};

TEST_F(image_store, the_load_buffer_is_zeroed_and_holds_a_spare_row)
{
    image_plugins_init();
    image_decoder_register(&fake_decoder);
    fake = {};
    std::string path = folder.file("any");
    write_file_bytes(path, {1});
    ASSERT_NE(image_load(4, text_from_utf8(path)), 0);
    EXPECT_TRUE(fake.buffer_was_zero);
    EXPECT_EQ(fake.closes, 1);
    GdkPixbuf* pixbuf = image_handle(4);
    EXPECT_TRUE(gdk_pixbuf_get_has_alpha(pixbuf));
    EXPECT_EQ(gdk_pixbuf_get_rowstride(pixbuf), 12);
    // The decoder's failure does not undo the image.
    EXPECT_TRUE(all_pixels_are(4, {0x77, 0x77, 0x77, 0x77}));
    EXPECT_EQ(image_lookup(4)->source_depth, 8);
}

TEST_F(image_store, sizes_outside_the_store_are_refused_after_closing_the_decoder)
{
    image_plugins_init();
    image_decoder_register(&fake_decoder);
    std::string path = folder.file("any");
    write_file_bytes(path, {1});
    ASSERT_NE(image_create(4, 2, 2), 0);
    const fake_load refused[] = {{0, 2, 24}, {2, -1, 24}, {32768, 1, 24}, {1, 70000, 24}, {2, 2, 16}};
    for (const fake_load& sizes : refused) {
        fake = sizes;
        EXPECT_EQ(image_load(4, text_from_utf8(path)), 0) << sizes.width << "x" << sizes.height;
        EXPECT_EQ(fake.closes, 1);
        EXPECT_EQ(image_load_context_current()->file, nullptr);
    }
    EXPECT_EQ(image_width(4), 2);
}

// ---- save ----

struct save_call {
    int calls = 0;
    std::int32_t width = 0, height = 0, pitch = 0, flags = -1, quality = 0, save_depth = 0;
    std::vector<std::uint8_t> first_pixel;
} saved;

int remember(const char* path, const std::uint8_t* pixels, std::int32_t width, std::int32_t height,
             std::int32_t pitch, std::int32_t flags, std::int32_t quality, std::int32_t save_depth)
{
    saved = {saved.calls + 1, width, height, pitch, flags, quality, save_depth, {pixels[0], pixels[1], pixels[2]}};
    write_file_bytes(path, {});
    return 1;
}

constexpr std::uint32_t remember_code = four_letter_code("REME");
const image_encoder remembering = {.code = remember_code, .encode24 = remember, .encode32 = nullptr};

TEST_F(image_store, save_hands_the_registry_the_stored_pixels)
{
    image_encoder_register(&remembering);
    saved = {};
    ASSERT_NE(image_load(1, text_from_utf8(bmp_file("eight.bmp", 5, 3, 8))), 0);
    ASSERT_EQ(image_save(1, text_from_utf8(folder.file("out")), remember_code), 1);
    EXPECT_EQ(saved.width, 5);
    EXPECT_EQ(saved.height, 3);
    EXPECT_EQ(saved.pitch, 16);
    EXPECT_EQ(saved.flags, create_new_file);  // top row first, into a file of its own
    EXPECT_EQ(saved.quality, 7);
    EXPECT_EQ(saved.save_depth, 8);  // the file's depth by default
    ASSERT_EQ(image_save(1, text_from_utf8(folder.file("out")), remember_code, 10, 24), 1);
    EXPECT_EQ(saved.quality, 10);
    EXPECT_EQ(saved.save_depth, 24);

    // A transparent 32-bit image reaches the RGB writer flattened over white.
    ASSERT_NE(image_create(2, 3, 3, 32 | image_transparent), 0);
    ASSERT_EQ(image_save(2, text_from_utf8(folder.file("out")), remember_code), 1);
    EXPECT_EQ(saved.first_pixel, (std::vector<std::uint8_t>{255, 255, 255}));
    EXPECT_EQ(saved.save_depth, 32);
    EXPECT_EQ(saved.pitch, 12);
}

TEST_F(image_store, save_refuses_an_empty_path_or_an_absent_image)
{
    image_encoder_register(&remembering);
    saved = {};
    ASSERT_NE(image_create(1, 2, 2), 0);
    EXPECT_EQ(image_save(1, u"", remember_code), 0);
    EXPECT_EQ(image_save(1, text(1, u'\0') + u"x", remember_code), 0);
    EXPECT_EQ(image_save(2, text_from_utf8(folder.file("absent")), remember_code), 0);
    EXPECT_EQ(saved.calls, 0);
}

// ---- resize ----

TEST_F(image_store, resize_scales_bilinear_or_nearest_and_refuses_the_same_size)
{
    ASSERT_NE(image_create(1, 2, 1), 0);
    guchar* pixels = gdk_pixbuf_get_pixels(image_handle(1));
    std::memset(pixels + 3, 255, 3);  // black, white
    GdkPixbuf* before = image_handle(1);
    EXPECT_EQ(image_resize(1, 2, 1), 0);
    EXPECT_EQ(image_handle(1), before);
    EXPECT_EQ(pixel_bytes(1), (std::vector<std::uint8_t>{0, 0, 0, 255, 255, 255}));

    ASSERT_NE(image_create(2, 2, 1), 0);
    std::memset(gdk_pixbuf_get_pixels(image_handle(2)) + 3, 255, 3);
    ASSERT_NE(image_resize(1, 8, 1, 1), 0);
    ASSERT_NE(image_resize(2, 8, 1), 0);
    EXPECT_EQ(image_width(1), 8);
    EXPECT_EQ(image_height(1), 1);
    std::vector<std::uint8_t> nearest = pixel_bytes(1);
    std::vector<std::uint8_t> bilinear = pixel_bytes(2);
    for (int x = 0; x < 8; ++x)
        EXPECT_EQ(nearest[3 * x], x < 4 ? 0 : 255) << x;
    bool blended = false;
    for (int x = 0; x < 8; ++x)
        blended = blended || (bilinear[3 * x] != 0 && bilinear[3 * x] != 255);
    EXPECT_TRUE(blended);

    ASSERT_NE(image_create(3, 4, 4, 32 | image_transparent), 0);
    ASSERT_NE(image_resize(3, 2, 2), 0);
    EXPECT_EQ(image_lookup(3)->depth, 32);
    EXPECT_TRUE(gdk_pixbuf_get_has_alpha(image_handle(3)));
    std::string noise = image_test::captured_stderr([] {
        EXPECT_EQ(image_resize(3, 0, 2), 0);
        EXPECT_EQ(image_resize(3, 2, 40000), 0);
        EXPECT_EQ(image_resize(77, 2, 2), 0);
    });
    EXPECT_EQ(noise, "");
    EXPECT_EQ(image_width(3), 2);
}

// ---- through the program's registry ----

TEST_F(image_store, jpeg_files_pass_the_bmp_probe_and_load_back)
{
    ASSERT_NE(image_create(1, 9, 5), 0);
    std::string path = folder.file("round.jpg");
    ASSERT_EQ(image_save(1, text_from_utf8(path), image_test::jpeg_code), 1);
    bytes content = read_file_bytes(path);
    ASSERT_GE(content.size(), 2u);
    EXPECT_EQ(content[0], 0xFF);
    EXPECT_EQ(content[1], 0xD8);
    ASSERT_NE(image_load(2, text_from_utf8(path)), 0);
    EXPECT_EQ(image_width(2), 9);
    EXPECT_EQ(image_height(2), 5);
    EXPECT_EQ(image_lookup(2)->source_depth, 24);
    EXPECT_EQ(folder_entries_count(folder.path), 1);
}

TEST_F(image_store, failed_saves_leave_the_disk_as_it_was)
{
    ASSERT_NE(image_create(1, 4, 4), 0);
    std::string existing = folder.file("existing.jpg");
    write_file_bytes(existing, {'o', 'l', 'd'});
    std::string noise = image_test::captured_stderr([&] {
        EXPECT_EQ(image_save(1, text_from_utf8(folder.file("x.bmp")), four_letter_code("BMP ")), 0);
        EXPECT_EQ(image_save(1, text_from_utf8(existing), four_letter_code("GIF8")), 0);
        EXPECT_EQ(image_save(1, text_from_utf8(folder.file("no/such/folder.jpg")), image_test::jpeg_code), 0);
        EXPECT_EQ(image_encode_last_errno(), ENOENT);
    });
    EXPECT_EQ(noise, "");
    EXPECT_EQ(read_file_bytes(existing), (bytes{'o', 'l', 'd'}));
    EXPECT_EQ(folder_entries_count(folder.path), 1);

    struct stat info;
    if (stat("/dev/full", &info) == 0 && S_ISCHR(info.st_mode) && access("/dev/full", W_OK) == 0) {
        EXPECT_EQ(image_save(1, u"/dev/full", image_test::jpeg_code), 0);
        EXPECT_EQ(image_encode_last_errno(), ENOSPC);
        ASSERT_EQ(stat("/dev/full", &info), 0);
        EXPECT_TRUE(S_ISCHR(info.st_mode));
    }
}

TEST_F(image_store, loads_and_saves_print_nothing_whatever_the_file)
{
    std::vector<std::string> inputs = {bmp_file("a.bmp", 3, 3), bmp_file("b.bmp", 7, 2, 4), bmp_file("c.bmp", 2, 9, 1)};
    ASSERT_NE(image_create(1, 16, 16), 0);
    std::string jpeg = folder.file("good.jpg");
    ASSERT_EQ(image_save(1, text_from_utf8(jpeg), image_test::jpeg_code), 1);
    bytes whole = read_file_bytes(jpeg);
    for (std::size_t keep : {std::size_t(2), std::size_t(3), std::size_t(40), whole.size() / 2, whole.size() - 2}) {
        std::string cut = folder.file("cut" + std::to_string(keep) + ".jpg");
        write_file_bytes(cut, bytes(whole.begin(), whole.begin() + std::ptrdiff_t(keep)));
        inputs.push_back(cut);
    }
    bytes truncated_bmp = read_file_bytes(bmp_file("t.bmp", 9, 9));
    truncated_bmp.resize(70);
    write_file_bytes(folder.file("t.bmp"), truncated_bmp);
    inputs.push_back(folder.file("t.bmp"));
    inputs.push_back(folder.path);

    std::string noise = image_test::captured_stderr([&] {
        for (const std::string& input : inputs)
            if (image_load(2, text_from_utf8(input)))
                image_save(2, text_from_utf8(folder.file("copy.jpg")), image_test::jpeg_code, 0);
        image_save(1, text_from_utf8(folder.file("q.jpg")), image_test::jpeg_code, -3);
        image_save(1, text_from_utf8(folder.file("missing/q.jpg")), image_test::jpeg_code);
    });
    EXPECT_EQ(noise, "");
    // The sound files loaded and were saved again.
    EXPECT_TRUE(file_exists(folder.file("copy.jpg")));
}

// ---- image-convert ----

TEST_F(image_store, image_convert_writes_the_stored_pixels_as_ppm)
{
    std::string tool = build_tool("image-convert");
    ASSERT_TRUE(file_exists(tool)) << tool;
    std::string bmp = bmp_file("in.bmp", 5, 4, 8);
    std::string ppm = folder.file("out.ppm");
    ASSERT_EQ(run_command(tool + " " + bmp + " " + ppm), 0);
    ASSERT_NE(image_load(1, text_from_utf8(bmp)), 0);
    rgb_image written;
    ASSERT_TRUE(image_test::read_ppm(ppm, written));
    rgb_image stored = image_test::stored_pixels(1);
    EXPECT_EQ(written.width, 5);
    EXPECT_EQ(written.height, 4);
    EXPECT_EQ(written.pixels, stored.pixels);

    std::string jpeg = folder.file("out.jpg");
    ASSERT_EQ(run_command(tool + " " + bmp + " " + jpeg), 0);
    ASSERT_EQ(run_command(tool + " " + jpeg + " " + folder.file("again.ppm")), 0);
    ASSERT_TRUE(image_test::read_ppm(folder.file("again.ppm"), written));
    EXPECT_EQ(written.width, 5);
}

TEST_F(image_store, image_convert_names_the_file_that_failed)
{
    std::string tool = build_tool("image-convert");
    std::string errors = folder.file("errors.txt");
    std::string missing = folder.file("missing.bmp");
    EXPECT_EQ(run_command(tool + " " + missing + " " + folder.file("o.ppm") + " 2>" + errors), 1);
    std::string said = file_text(errors);
    EXPECT_NE(said.find(missing), std::string::npos) << said;
    EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), 1) << said;

    std::string bmp = bmp_file("in.bmp", 2, 2);
    EXPECT_EQ(run_command(tool + " " + bmp + " " + folder.file("no/dir/o.jpg") + " 2>" + errors), 1);
    said = file_text(errors);
    EXPECT_NE(said.find("no/dir/o.jpg"), std::string::npos) << said;
    EXPECT_NE(said.find(std::strerror(ENOENT)), std::string::npos) << said;
    EXPECT_EQ(run_command(tool + " " + bmp + " " + folder.file("o.gif") + " 2>" + errors), 1);
    EXPECT_FALSE(file_exists(folder.file("o.gif")));
}

}  // namespace
