// The JPEG encoder: the markers and tables of the files it writes, row order,
// and what is left on disk when a save fails. Files are read back with
// GdkPixbuf's loader or by walking their markers, not with our decoder.

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <filesystem>

#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>

#include "codec/jpeg_plugin.h"
#include "toolkit/safe_write.h"
#include "tests/codec/jpeg_test_support.h"
#include "tests/support/test_support.h"

namespace {

// An RGB buffer of width × height with rows pitch bytes apart.
struct rgb_buffer {
    int width;
    int height;
    int pitch;
    std::vector<std::uint8_t> bytes;

    rgb_buffer(int w, int h, int extra = 0) : width(w), height(h), pitch(w * 3 + extra)
    {
        bytes.assign(std::size_t(pitch) * std::size_t(h), 0);
    }
    std::uint8_t* pixel(int x, int y) { return &bytes[std::size_t(y * pitch + x * 3)]; }
    void fill_rows(int from, int to, std::uint8_t r, std::uint8_t g, std::uint8_t b)
    {
        for (int y = from; y < to; ++y)
            for (int x = 0; x < width; ++x) {
                std::uint8_t* p = pixel(x, y);
                p[0] = r, p[1] = g, p[2] = b;
            }
    }
    int save(const std::string& path, int quality = 7, int flags = 0) const
    {
        return jpeg_write(path.c_str(), bytes.data(), width, height, pitch, flags, quality, 24);
    }
};

// The first luminance quantiser entry (the DC one) and the frame marker.
struct table_summary {
    int dc_quantiser = -1;
    int frame_marker = -1;
};

// What a folder holds, by name, sorted.
std::vector<std::string> names_in(const std::string& folder)
{
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

table_summary summarise(const std::string& path)
{
    table_summary summary;
    for (const jpeg_segment& segment : jpeg_header_segments(read_file_bytes(path))) {
        if (segment.marker == 0xDB && summary.dc_quantiser < 0 && segment.payload.size() >= 3) {
            bool sixteen_bit = (segment.payload[0] >> 4) != 0;
            summary.dc_quantiser = sixteen_bit ? segment.payload[1] << 8 | segment.payload[2] : segment.payload[1];
        }
        if (segment.marker >= 0xC0 && segment.marker <= 0xC2)
            summary.frame_marker = segment.marker;
    }
    return summary;
}

}  // namespace

TEST(jpeg_encoder, quality_scale_and_frame_kind)
{
    temp_folder folder;
    rgb_buffer picture(32, 32);
    picture.fill_rows(0, 16, 200, 40, 40);
    struct expectation {
        int quality;
        int dc_quantiser;  // 16 scaled by the library's quality formula
        int frame_marker;
    };
    stderr_capture errors;
    for (expectation e : {expectation{-1, 800, 0xC1}, {0, 800, 0xC1}, {2, 40, 0xC1}, {3, 27, 0xC0},
                          {7, 10, 0xC0}, {10, 1, 0xC0}, {11, 1, 0xC0}}) {
        SCOPED_TRACE(e.quality);
        std::string path = folder.file("q" + std::to_string(e.quality + 1) + ".jpg");
        ASSERT_EQ(picture.save(path, e.quality), 1);
        table_summary summary = summarise(path);
        EXPECT_EQ(summary.dc_quantiser, e.dc_quantiser);
        EXPECT_EQ(summary.frame_marker, e.frame_marker);
    }
    EXPECT_EQ(errors.text(), "");
}

TEST(jpeg_encoder, writes_jfif_with_420_chroma_and_nothing_else)
{
    temp_folder folder;
    std::string path = folder.file("plain.jpg");
    rgb_buffer picture(40, 24);
    ASSERT_EQ(picture.save(path), 1);
    std::vector<jpeg_segment> segments = jpeg_header_segments(read_file_bytes(path));
    ASSERT_FALSE(segments.empty());

    const jpeg_segment& app0 = segments.front();
    ASSERT_EQ(app0.marker, 0xE0);
    const std::uint8_t jfif[] = {'J', 'F', 'I', 'F', 0, 1, 1, 0, 0, 1, 0, 1};
    ASSERT_GE(app0.payload.size(), sizeof jfif);
    EXPECT_EQ(std::memcmp(app0.payload.data(), jfif, sizeof jfif), 0) << "JFIF 1.01, no unit, 1:1";

    const jpeg_segment* frame = find_segment(segments, 0xC0);
    ASSERT_NE(frame, nullptr);
    ASSERT_EQ(frame->payload.size(), 6u + 3 * 3);
    EXPECT_EQ(frame->payload[5], 3);
    EXPECT_EQ(frame->payload[6 + 1], 0x22) << "luma 2x2";
    EXPECT_EQ(frame->payload[9 + 1], 0x11);
    EXPECT_EQ(frame->payload[12 + 1], 0x11);
    EXPECT_EQ(find_segment(segments, 0xEE), nullptr) << "no Adobe marker";
    EXPECT_EQ(find_segment(segments, 0xFE), nullptr) << "no comment";
    EXPECT_EQ(find_segment(segments, 0xDD), nullptr) << "no restart interval";
}

TEST(jpeg_encoder, row_order_and_round_trip)
{
    temp_folder folder;
    // Odd size and padded rows, top half red, bottom half blue.
    rgb_buffer picture(45, 33, 5);
    picture.fill_rows(0, 16, 230, 20, 20);
    picture.fill_rows(16, 33, 20, 20, 230);
    std::string top_down = folder.file("top-down.jpg"), bottom_up = folder.file("bottom-up.jpg");
    ASSERT_EQ(picture.save(top_down), 1);
    ASSERT_EQ(picture.save(bottom_up, 7, rows_bottom_up), 1);

    reference_image straight = reference_decode(top_down);
    reference_image flipped = reference_decode(bottom_up);
    ASSERT_EQ(straight.width, 45);
    ASSERT_EQ(straight.height, 33);
    ASSERT_EQ(flipped.width, 45);
    ASSERT_EQ(flipped.height, 33);
    EXPECT_GT(straight.pixel(20, 2)[0], 200);
    EXPECT_GT(straight.pixel(20, 30)[2], 200);
    EXPECT_GT(flipped.pixel(20, 2)[2], 200) << "the last buffer row is the top of the image";
    EXPECT_GT(flipped.pixel(20, 30)[0], 200);
    for (int y : {0, 8, 24, 32})
        for (int x : {0, 22, 44})
            for (int c = 0; c < 3; ++c)
                EXPECT_NEAR(straight.pixel(x, y)[c], picture.pixel(x, y)[c], 12) << x << "," << y;
}

TEST(jpeg_encoder, failed_saves_leave_no_file_and_remove_only_their_own)
{
    temp_folder folder;
    rgb_buffer picture(16, 16);
    // Real pixels, but no rows or no columns: the file is opened, then the
    // library refuses the image (its empty-image error).
    auto save_empty = [&](const std::string& path, int width, int height) {
        return jpeg_write(path.c_str(), picture.bytes.data(), width, height, picture.pitch, 0, 7, 24);
    };
    const std::vector<std::uint8_t> earlier = {0xFF, 0xD8, 1, 2, 3};
    std::string missing = folder.file("no-such-folder") + "/x.jpg";

    stderr_capture errors;
    EXPECT_EQ(save_empty(folder.file("no-rows.jpg"), 16, 0), 0);
    EXPECT_EQ(save_empty(folder.file("no-columns.jpg"), 0, 16), 0);
    EXPECT_EQ(picture.save(missing), 0);
    EXPECT_EQ(names_in(folder.path), std::vector<std::string>{}) << "nothing created is left behind";

    // A file that was there before the call is not this call's to remove,
    // nor to spoil: it keeps its bytes.
    std::string existing = folder.file("existing.jpg");
    ASSERT_TRUE(write_file_bytes(existing, earlier));
    EXPECT_EQ(save_empty(existing, 16, 0), 0);
    EXPECT_EQ(read_file_bytes(existing), earlier);
    EXPECT_EQ(save_empty(existing, 0, 16), 0);
    EXPECT_EQ(read_file_bytes(existing), earlier);
    // Asked for a new file, it never writes into one that is there.
    errno = 0;
    EXPECT_EQ(jpeg_write(existing.c_str(), picture.bytes.data(), 16, 16, 48, create_new_file, 7, 24), 0);
    EXPECT_EQ(errno, EEXIST);
    EXPECT_EQ(read_file_bytes(existing), earlier);
    EXPECT_EQ(names_in(folder.path), std::vector<std::string>{"existing.jpg"});
    // A save that succeeds replaces it whole, permissions kept.
    ASSERT_EQ(chmod(existing.c_str(), 0640), 0);
    ASSERT_EQ(picture.save(existing), 1);
    EXPECT_EQ(reference_decode(existing).width, 16);
    struct stat replaced {};
    ASSERT_EQ(stat(existing.c_str(), &replaced), 0);
    EXPECT_EQ(replaced.st_mode & 07777, 0640u);
    EXPECT_EQ(names_in(folder.path), std::vector<std::string>{"existing.jpg"});

    // A device is written in place and never removed. The full device takes
    // the open but no bytes, so the library's own write check fails. Where
    // the test may make a node of it (as root) it uses its own, so that an
    // encoder gone wrong could remove only that; elsewhere /dev/full, which
    // only root could remove.
    std::string full = folder.file("full");
    if (mknod(full.c_str(), S_IFCHR | 0666, makedev(1, 7)) != 0)
        full = "/dev/full";
    errno = 0;
    EXPECT_EQ(picture.save(full), 0);
    EXPECT_EQ(errno, ENOSPC);
    struct stat device {};
    ASSERT_EQ(stat(full.c_str(), &device), 0);
    EXPECT_TRUE(S_ISCHR(device.st_mode));
    EXPECT_EQ(errors.text(), "");
}

TEST(jpeg_encoder, short_write_removes_the_partial_file_and_keeps_errno)
{
    temp_folder folder;
    std::string path = folder.file("big.jpg");
    // Noise compresses badly, so the file outgrows a 2000-byte size limit.
    rgb_buffer noise(200, 200);
    std::uint32_t state = 12345;
    for (std::uint8_t& byte : noise.bytes) {
        state = state * 1103515245u + 12345u;
        byte = std::uint8_t(state >> 24);
    }

    rlimit saved{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    rlimit small = saved;
    small.rlim_cur = 2000;
    void (*old_handler)(int) = std::signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    errno = 0;
    int result = noise.save(path, 10);
    int reason = errno;
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, old_handler);

    EXPECT_EQ(result, 0);
    EXPECT_EQ(reason, EFBIG);
    EXPECT_FALSE(file_exists(path));

    // Over a file that was there, the same failure leaves that file as it was.
    const std::vector<std::uint8_t> earlier = {0xFF, 0xD8, 1, 2, 3};
    ASSERT_TRUE(write_file_bytes(path, earlier));
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    old_handler = std::signal(SIGXFSZ, SIG_IGN);
    result = noise.save(path, 10);
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, old_handler);
    EXPECT_EQ(result, 0);
    EXPECT_EQ(read_file_bytes(path), earlier);
    EXPECT_EQ(names_in(folder.path), std::vector<std::string>{"big.jpg"}) << "no partial file beside it";
}

// Closes the stream, then says the close failed, as an NFS server or a full
// quota does when the last bytes reach it only at the close.
int close_failing_with_quota(std::FILE* stream)
{
    std::fclose(stream);
    errno = EDQUOT;
    return EOF;
}

TEST(jpeg_encoder, a_failed_close_leaves_the_old_file_byte_for_byte)
{
    temp_folder folder;
    rgb_buffer picture(16, 16);
    const std::vector<std::uint8_t> earlier = {0xFF, 0xD8, 1, 2, 3};
    std::string path = folder.file("old.jpg");
    ASSERT_TRUE(write_file_bytes(path, earlier));
    image_plugins_init();
    jpeg_plugin_forget_registrations();
    jpeg_encoder_register();

    safe_write_close_stream = close_failing_with_quota;
    errno = 0;
    const int direct = picture.save(path);
    const int reason = errno;
    const int registered = image_encode(text_from_utf8(path), picture.bytes.data(), four_letter_code("JPEG"), 16,
                                        16, picture.pitch, 24, 0, 7, 24);
    safe_write_close_stream = std::fclose;

    EXPECT_EQ(direct, 0);
    EXPECT_EQ(reason, EDQUOT);
    EXPECT_EQ(registered, 0) << "through the registry's temporary as well";
    EXPECT_EQ(image_encode_last_errno(), EDQUOT);
    EXPECT_EQ(read_file_bytes(path), earlier);
    EXPECT_EQ(names_in(folder.path), std::vector<std::string>{"old.jpg"}) << "no temporary left beside it";
}

TEST(jpeg_encoder, registers_once_under_its_code)
{
    temp_folder folder;
    image_plugins_init();
    EXPECT_EQ(jpeg_encoder_register(), 1);
    EXPECT_EQ(jpeg_encoder_register(), 1);
    static const image_encoder other = {.code = four_letter_code("TEST"), .encode24 = jpeg_write, .encode32 = nullptr};
    EXPECT_EQ(image_encoder_register(&other), 2) << "the JPEG encoder, once, then this one";

    rgb_buffer picture(20, 10);
    picture.fill_rows(0, 10, 10, 200, 10);
    std::string path = folder.file("saved.jpg");
    ASSERT_EQ(image_encode(text_from_utf8(path), picture.bytes.data(), four_letter_code("JPEG"), 20, 10,
                           picture.pitch, 24, 0, 7, 24),
              1);
    reference_image saved = reference_decode(path);
    EXPECT_EQ(saved.width, 20);
    EXPECT_GT(saved.pixel(10, 5)[1], 180);
}
