// The plugin registry with decoders and encoders of the test's own: probe
// order and file handling, the flattening of RGBA over white, and saves that
// replace a file only when the writer has finished it.
#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include <sys/stat.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include "imaging/image_plugins.h"
#include "toolkit/safe_write.h"
#include "tests/support/test_support.h"

namespace {

namespace fs = std::filesystem;

int open_descriptors()
{
    int count = 0;
    for (const auto& entry : fs::directory_iterator("/proc/self/fd")) {
        (void)entry;
        ++count;
    }
    return count;
}

std::vector<std::string> folder_entries(const std::string& folder)
{
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

// ---- decoders ----

struct probe_log {
    std::vector<char> order;
    long position_at_probe[2] = {-1, -1};
    int decodes = 0;
    int closes = 0;
} probes;

int reader_probe(image_load_context* context)
{
    probes.order.push_back('r');
    probes.position_at_probe[0] = std::ftell(context->file);
    char skipped[5];
    std::size_t ignored = std::fread(skipped, 1, sizeof skipped, context->file);
    (void)ignored;
    return 0;
}

int taker_probe(image_load_context* context)
{
    probes.order.push_back('t');
    probes.position_at_probe[1] = std::ftell(context->file);
    context->width = 3;
    context->height = 2;
    context->depth = 24;
    context->source_depth = 8;
    return 1;
}

int taker_decode(image_load_context* context, std::uint8_t* buffer, std::int32_t pitch, std::int32_t)
{
    ++probes.decodes;
    for (int y = 0; y < context->height; ++y)
        std::memset(buffer + y * pitch, 'a' + y, std::size_t(context->width) * 3);
    return 7;
}

void taker_close(image_load_context*)
{
    ++probes.closes;
}

int refuse_probe(image_load_context*)
{
    probes.order.push_back('x');
    return 0;
}

void nothing_to_close(image_load_context*) {}

const image_decoder reader = {.probe = reader_probe, .decode = taker_decode, .close = nothing_to_close};
const image_decoder taker = {.probe = taker_probe, .decode = taker_decode, .close = taker_close};
const image_decoder refuser = {.probe = refuse_probe, .decode = taker_decode, .close = nothing_to_close};

class registry : public testing::Test {
protected:
    void SetUp() override
    {
        image_plugins_init();
        probes = {};
        file = folder.file("input.bin");
        write_file_bytes(file, {1, 2, 3, 4, 5, 6, 7, 8, 9});
    }
    temp_folder folder;
    std::string file;
};

TEST_F(registry, decoders_are_probed_in_order_each_from_the_first_byte)
{
    image_decoder_register(&reader);
    image_decoder_register(&taker);
    image_decoder_register(&refuser);
    ASSERT_EQ(image_probe_file(file.c_str()), 1);
    EXPECT_EQ(probes.order, (std::vector<char>{'r', 't'}));
    EXPECT_EQ(probes.position_at_probe[0], 0);
    EXPECT_EQ(probes.position_at_probe[1], 0);
    image_load_context* context = image_load_context_current();
    EXPECT_EQ(context->decoder, &taker);
    EXPECT_STREQ(context->path, file.c_str());
    EXPECT_EQ(context->width, 3);

    std::uint8_t buffer[3 * 12] = {};
    EXPECT_EQ(image_decode_rows(buffer, 12, 0), 7);
    EXPECT_EQ(buffer[0], 'a');
    EXPECT_EQ(buffer[12 + 8], 'b');
    EXPECT_EQ(buffer[12 + 9], 0);
    EXPECT_EQ(probes.decodes, 1);
    EXPECT_EQ(probes.closes, 1);
    EXPECT_EQ(context->file, nullptr);
}

TEST_F(registry, a_file_nobody_accepts_is_closed_again)
{
    image_decoder_register(&reader);
    image_decoder_register(&refuser);
    int before = open_descriptors();
    EXPECT_EQ(image_probe_file(file.c_str()), 0);
    EXPECT_EQ(probes.order, (std::vector<char>{'r', 'x'}));
    EXPECT_EQ(open_descriptors(), before);
    EXPECT_EQ(image_probe_file(folder.file("missing").c_str()), 0);
    // A folder opens for reading, but is not offered to any decoder.
    probes.order.clear();
    EXPECT_EQ(image_probe_file(folder.path.c_str()), 0);
    EXPECT_TRUE(probes.order.empty());
    EXPECT_EQ(open_descriptors(), before);
}

TEST_F(registry, probing_again_closes_a_load_that_was_never_decoded)
{
    image_decoder_register(&taker);
    int before = open_descriptors();
    ASSERT_EQ(image_probe_file(file.c_str()), 1);
    ASSERT_EQ(image_probe_file(file.c_str()), 1);
    EXPECT_EQ(probes.closes, 1);
    image_decode_close();
    EXPECT_EQ(open_descriptors(), before);
}

TEST_F(registry, lists_refuse_a_thirty_third_plugin)
{
    static const image_encoder encoder = {.code = 1, .encode24 = [](const char*, const std::uint8_t*, std::int32_t,
                                                                    std::int32_t, std::int32_t, std::int32_t,
                                                                    std::int32_t, std::int32_t) { return 1; }};
    for (int i = 1; i <= 32; ++i) {
        EXPECT_EQ(image_decoder_register(&refuser), i);
        EXPECT_EQ(image_encoder_register(&encoder), i);
    }
    EXPECT_EQ(image_decoder_register(&taker), 0);
    EXPECT_EQ(image_encoder_register(&encoder), 0);
    // The refused decoder is not probed.
    EXPECT_EQ(image_probe_file(file.c_str()), 0);
}

// ---- encoders ----

struct encode_call {
    int calls = 0;
    std::string path;
    std::int32_t width = 0, height = 0, pitch = 0, flags = 0, quality = 0, save_depth = 0;
    std::vector<std::uint8_t> rows;  // the bytes of every row, without padding
};
encode_call seen;

void record(int bytes_per_pixel, const char* path, const std::uint8_t* pixels, std::int32_t width,
            std::int32_t height, std::int32_t pitch, std::int32_t flags, std::int32_t quality,
            std::int32_t save_depth)
{
    seen.calls++;
    seen.path = path;
    seen.width = width;
    seen.height = height;
    seen.pitch = pitch;
    seen.flags = flags;
    seen.quality = quality;
    seen.save_depth = save_depth;
    seen.rows.clear();
    for (int y = 0; y < height; ++y)
        seen.rows.insert(seen.rows.end(), pixels + y * pitch, pixels + y * pitch + width * bytes_per_pixel);
}

// Writes the rows as a binary PPM, the way a real encoder writes its file.
int write_ppm(const char* path, const std::uint8_t* pixels, std::int32_t width, std::int32_t height,
              std::int32_t pitch, std::int32_t flags, std::int32_t quality, std::int32_t save_depth)
{
    record(3, path, pixels, width, height, pitch, flags, quality, save_depth);
    std::FILE* out = std::fopen(path, "wb");
    if (!out)
        return 0;
    std::fprintf(out, "P6\n%d %d\n255\n", width, height);
    bool ok = std::fwrite(seen.rows.data(), 1, seen.rows.size(), out) == seen.rows.size();
    return std::fclose(out) == 0 && ok;
}

int record_rgba(const char* path, const std::uint8_t* pixels, std::int32_t width, std::int32_t height,
                std::int32_t pitch, std::int32_t flags, std::int32_t quality, std::int32_t save_depth)
{
    record(4, path, pixels, width, height, pitch, flags, quality, save_depth);
    std::FILE* out = std::fopen(path, "wb");
    return out && std::fclose(out) == 0;
}

// Starts the file and gives up half-way, as a writer does when the disk fills.
int write_half_then_fail(const char* path, const std::uint8_t*, std::int32_t, std::int32_t, std::int32_t,
                         std::int32_t, std::int32_t, std::int32_t)
{
    seen.calls++;
    seen.path = path;
    std::FILE* out = std::fopen(path, "wb");
    if (out) {
        std::fputs("P6\n2 2\n", out);
        std::fclose(out);
    }
    errno = ENOSPC;
    return 0;
}

constexpr std::uint32_t ppm_code = four_letter_code("PPM ");
constexpr std::uint32_t rgba_code = four_letter_code("RGBA");
constexpr std::uint32_t failing_code = four_letter_code("FAIL");
const image_encoder ppm_encoder = {.code = ppm_code, .encode24 = write_ppm, .encode32 = nullptr};
const image_encoder rgba_encoder = {.code = rgba_code, .encode24 = write_ppm, .encode32 = record_rgba};
const image_encoder failing_encoder = {.code = failing_code, .encode24 = write_half_then_fail, .encode32 = nullptr};

const std::uint8_t two_by_one[8] = {10, 20, 30, 40, 50, 60, 0, 0};  // pitch 8

class saving : public testing::Test {
protected:
    void SetUp() override
    {
        image_plugins_init();
        image_encoder_register(&ppm_encoder);
        image_encoder_register(&rgba_encoder);
        image_encoder_register(&failing_encoder);
        seen = {};
    }
    int save(const std::string& path, std::uint32_t code = ppm_code, const std::uint8_t* pixels = two_by_one,
             std::int32_t depth = 24, std::int32_t pitch = 8)
    {
        return image_encode(text_from_utf8(path), pixels, code, 2, 1, pitch, depth, 0, 7, 24);
    }
    const std::vector<std::uint8_t> saved_ppm = {'P', '6', '\n', '2', ' ', '1', '\n', '2', '5', '5', '\n',
                                                 10,  20,  30,   40,  50,  60};
    temp_folder folder;
};

TEST_F(saving, rgba_is_flattened_over_white_for_an_rgb_only_encoder)
{
    const std::uint8_t rgba[2 * 12] = {200, 100, 0, 128, 10, 20, 30, 255, 90, 90, 90, 0,  // row 0
                                       0,   0,   0, 255, 255, 255, 255, 0, 1, 2, 3, 4};   // row 1
    ASSERT_EQ(image_encode(text_from_utf8(folder.file("flat.ppm")), rgba, ppm_code, 3, 2, 12, 32, rows_bottom_up,
                           3, 32),
              1);
    // (c * a + 255 * (255 - a)) / 255, worked by hand.
    const std::vector<std::uint8_t> expected = {227, 177, 127, 10,  20,  30,  255, 255, 255,
                                                0,   0,   0,   255, 255, 255, 251, 251, 251};
    EXPECT_EQ(seen.rows, expected);
    EXPECT_EQ(seen.pitch, 12);  // 3 × 3 rounded up to 4
    EXPECT_EQ(seen.flags, rows_bottom_up | create_new_file);
    EXPECT_EQ(seen.quality, 3);
    EXPECT_EQ(seen.save_depth, 32);
}

TEST_F(saving, an_rgba_encoder_gets_the_pixels_as_they_are)
{
    const std::uint8_t rgba[8] = {200, 100, 0, 128, 1, 2, 3, 4};
    ASSERT_EQ(save(folder.file("x.rgba"), rgba_code, rgba, 32, 8), 1);
    EXPECT_EQ(seen.rows, std::vector<std::uint8_t>(rgba, rgba + 8));
    EXPECT_EQ(seen.pitch, 8);
}

TEST_F(saving, unknown_codes_and_depths_write_nothing)
{
    EXPECT_EQ(save(folder.file("a.jpg"), four_letter_code("JPEG")), 0);
    EXPECT_EQ(save(folder.file("b.ppm"), ppm_code, two_by_one, 16), 0);
    EXPECT_EQ(save(folder.file("c.ppm"), 0), 0);
    EXPECT_EQ(seen.calls, 0);
    EXPECT_TRUE(folder_entries(folder.path).empty());
}

TEST_F(saving, a_new_file_appears_complete_under_its_name)
{
    std::string target = folder.file("new.ppm");
    mode_t old_mask = umask(022);
    ASSERT_EQ(save(target), 1);
    umask(old_mask);
    EXPECT_EQ(read_file_bytes(target), saved_ppm);
    // The writer was handed a temporary name beside the target.
    EXPECT_EQ(fs::path(seen.path).parent_path(), fs::path(folder.path));
    EXPECT_NE(seen.path, target);
    EXPECT_EQ(folder_entries(folder.path), std::vector<std::string>{"new.ppm"});
    struct stat info;
    ASSERT_EQ(stat(target.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0644u);
}

TEST_F(saving, a_relative_name_is_saved_in_the_current_folder)
{
    std::string old = fs::current_path().string();
    ASSERT_EQ(chdir(folder.path.c_str()), 0);
    int result = save("plain.ppm");
    ASSERT_EQ(chdir(old.c_str()), 0);
    EXPECT_EQ(result, 1);
    EXPECT_EQ(folder_entries(folder.path), std::vector<std::string>{"plain.ppm"});
}

TEST_F(saving, replacing_a_file_keeps_its_permissions)
{
    std::string target = folder.file("old.ppm");
    write_file_bytes(target, {'o', 'l', 'd'});
    chmod(target.c_str(), 0640);
    ASSERT_EQ(save(target), 1);
    EXPECT_EQ(read_file_bytes(target), saved_ppm);
    struct stat info;
    ASSERT_EQ(stat(target.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0640u);
    EXPECT_EQ(folder_entries(folder.path), std::vector<std::string>{"old.ppm"});
}

TEST_F(saving, a_failed_save_leaves_the_old_file_and_no_partial_one)
{
    std::string target = folder.file("kept.ppm");
    write_file_bytes(target, {'o', 'l', 'd'});
    EXPECT_EQ(save(target, failing_code), 0);
    EXPECT_EQ(image_encode_last_errno(), ENOSPC);
    EXPECT_EQ(read_file_bytes(target), (std::vector<std::uint8_t>{'o', 'l', 'd'}));
    EXPECT_EQ(folder_entries(folder.path), std::vector<std::string>{"kept.ppm"});

    EXPECT_EQ(save(folder.file("fresh.ppm"), failing_code), 0);
    EXPECT_EQ(folder_entries(folder.path), std::vector<std::string>{"kept.ppm"});
}

// Says its file name is taken the first `taken` times, as when another
// program made a file of the drawn name first; then writes like write_ppm.
int taken_names = 0;
std::vector<std::string> tried_names;
int write_unless_taken(const char* path, const std::uint8_t* pixels, std::int32_t width, std::int32_t height,
                       std::int32_t pitch, std::int32_t flags, std::int32_t quality, std::int32_t save_depth)
{
    tried_names.push_back(path);
    if (int(tried_names.size()) <= taken_names) {
        errno = EEXIST;
        return 0;
    }
    return write_ppm(path, pixels, width, height, pitch, flags, quality, save_depth);
}

TEST_F(saving, a_taken_temporary_name_is_drawn_again_and_never_written)
{
    constexpr std::uint32_t code = four_letter_code("TAKE");
    const image_encoder taking = {.code = code, .encode24 = write_unless_taken, .encode32 = nullptr};
    image_encoder_register(&taking);
    tried_names.clear();
    taken_names = 2;
    ASSERT_EQ(save(folder.file("t.ppm"), code), 1);
    ASSERT_EQ(tried_names.size(), 3u);
    EXPECT_NE(tried_names[0], tried_names[1]);
    EXPECT_NE(tried_names[1], tried_names[2]);
    EXPECT_EQ(read_file_bytes(folder.file("t.ppm")), saved_ppm);

    tried_names.clear();
    taken_names = 1000;  // every name taken: give up, leaving the old file
    EXPECT_EQ(save(folder.file("t.ppm"), code), 0);
    EXPECT_EQ(image_encode_last_errno(), EEXIST);
    EXPECT_EQ(read_file_bytes(folder.file("t.ppm")), saved_ppm);
    EXPECT_EQ(folder_entries(folder.path), std::vector<std::string>{"t.ppm"});
}

int claim_without_writing(const char*, const std::uint8_t*, std::int32_t, std::int32_t, std::int32_t,
                          std::int32_t, std::int32_t, std::int32_t)
{
    return 1;
}

TEST_F(saving, a_writer_that_made_no_file_has_not_saved)
{
    constexpr std::uint32_t code = four_letter_code("NONE");
    const image_encoder claiming = {.code = code, .encode24 = claim_without_writing, .encode32 = nullptr};
    image_encoder_register(&claiming);
    std::string target = folder.file("kept.ppm");
    write_file_bytes(target, {'o', 'l', 'd'});
    EXPECT_EQ(save(target, code), 0);
    EXPECT_EQ(read_file_bytes(target), (std::vector<std::uint8_t>{'o', 'l', 'd'}));
}

TEST_F(saving, a_missing_folder_or_a_folder_as_target_fails_with_its_reason)
{
    EXPECT_EQ(save(folder.file("absent/x.ppm")), 0);
    EXPECT_EQ(image_encode_last_errno(), ENOENT);
    EXPECT_TRUE(folder_entries(folder.path).empty());
    seen = {};

    fs::create_directory(folder.file("sub"));
    EXPECT_EQ(save(folder.file("sub")), 0);
    EXPECT_EQ(image_encode_last_errno(), EISDIR);
    EXPECT_TRUE(fs::is_directory(folder.file("sub")));
    EXPECT_EQ(image_encode(text(), two_by_one, ppm_code, 2, 1, 8, 24, 0, 7, 24), 0);
    EXPECT_EQ(seen.calls, 0);
}

TEST_F(saving, a_symlinked_target_is_replaced_behind_its_link)
{
    fs::create_directory(folder.file("real"));
    std::string real = folder.file("real/picture.ppm");
    write_file_bytes(real, {'o', 'l', 'd'});
    std::string link = folder.file("link.ppm");
    fs::create_symlink("real/picture.ppm", link);
    ASSERT_EQ(save(link), 1);
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(read_file_bytes(real), saved_ppm);
    EXPECT_EQ(folder_entries(folder.file("real")), std::vector<std::string>{"picture.ppm"});

    // A dangling link gets its file made.
    std::string dangling = folder.file("dangling.ppm");
    fs::create_symlink("real/later.ppm", dangling);
    ASSERT_EQ(save(dangling), 1);
    EXPECT_TRUE(fs::is_symlink(dangling));
    EXPECT_EQ(read_file_bytes(folder.file("real/later.ppm")), saved_ppm);
}

TEST_F(saving, a_link_at_a_name_the_program_owns_is_replaced_and_its_file_spared)
{
    std::string elsewhere = folder.file("private.txt");
    write_file_bytes(elsewhere, {'m', 'i', 'n', 'e'});
    chmod(elsewhere.c_str(), 0600);
    std::string own = folder.file("1.ppm");
    fs::create_symlink(elsewhere, own);
    ASSERT_EQ(image_encode(text_from_utf8(own), two_by_one, ppm_code, 2, 1, 8, 24, own_file_name, 7, 24), 1);
    EXPECT_EQ(seen.flags, create_new_file) << "the registry keeps its own flag to itself";
    EXPECT_FALSE(fs::is_symlink(own));
    EXPECT_EQ(read_file_bytes(own), saved_ppm);
    EXPECT_EQ(read_file_bytes(elsewhere), (std::vector<std::uint8_t>{'m', 'i', 'n', 'e'}));
    EXPECT_EQ(fs::status(elsewhere).permissions() & fs::perms::all, fs::perms::owner_read | fs::perms::owner_write);
}

// Writes half a file, then is interrupted as Ctrl-C interrupts a program.
int write_half_then_interrupted(const char* path, const std::uint8_t*, std::int32_t, std::int32_t, std::int32_t,
                                std::int32_t, std::int32_t, std::int32_t)
{
    std::FILE* out = std::fopen(path, "wb");
    std::fputs("P6\n2 1\n", out);
    std::fclose(out);
    raise(SIGTERM);
    return 0;
}

TEST_F(saving, a_save_interrupted_by_a_signal_leaves_the_old_file_and_no_temporary)
{
    constexpr std::uint32_t code = four_letter_code("STOP");
    const image_encoder stopping = {.code = code, .encode24 = write_half_then_interrupted, .encode32 = nullptr};
    image_encoder_register(&stopping);
    std::string target = folder.file("kept.ppm");
    write_file_bytes(target, {'o', 'l', 'd'});
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        safe_write_remove_on_signals();
        save(target, code);
        _exit(0);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGTERM) << "the signal still ends the program";
    EXPECT_EQ(read_file_bytes(target), (std::vector<std::uint8_t>{'o', 'l', 'd'}));
    EXPECT_EQ(folder_entries(folder.path), std::vector<std::string>{"kept.ppm"});
}

// The same, killed outright, as SIGKILL or the out-of-memory killer ends a process.
int write_half_then_killed(const char* path, const std::uint8_t*, std::int32_t, std::int32_t, std::int32_t,
                           std::int32_t, std::int32_t, std::int32_t)
{
    std::FILE* out = std::fopen(path, "wb");
    std::fputs("P6\n2 1\n", out);
    std::fclose(out);
    raise(SIGKILL);
    return 0;
}

TEST_F(saving, a_worker_killed_outright_leaves_its_temporary_for_the_process_it_shares_the_table_with)
{
    constexpr std::uint32_t code = four_letter_code("KILL");
    const image_encoder killed = {.code = code, .encode24 = write_half_then_killed, .encode32 = nullptr};
    image_encoder_register(&killed);
    std::string target = folder.file("kept.ppm");
    write_file_bytes(target, {'o', 'l', 'd'});
    // A program with one worker, as the renderer shares a list; the test
    // process itself keeps its private table.
    const pid_t program = fork();
    ASSERT_GE(program, 0);
    if (program == 0) {
        if (!safe_write_share_pending(2))
            _exit(2);
        const pid_t worker = fork();
        if (worker == 0) {
            safe_write_take_pending_part(1);
            save(target, code);
            _exit(0);
        }
        int status = 0;
        const bool killed_outright = waitpid(worker, &status, 0) == worker && WIFSIGNALED(status);
        const bool temporary_left = folder_entries(folder.path).size() == 2;
        safe_write_remove_pending_part(1);
        _exit(killed_outright && temporary_left ? 0 : 3);
    }
    int status = 0;
    ASSERT_EQ(waitpid(program, &status, 0), program);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "the worker died leaving its temporary";
    EXPECT_EQ(read_file_bytes(target), (std::vector<std::uint8_t>{'o', 'l', 'd'}));
    EXPECT_EQ(folder_entries(folder.path), std::vector<std::string>{"kept.ppm"});
}

TEST_F(saving, a_device_is_written_in_place_and_never_removed)
{
    struct stat info;
    if (stat("/dev/full", &info) != 0 || !S_ISCHR(info.st_mode) || access("/dev/full", W_OK) != 0)
        GTEST_SKIP() << "no writable /dev/full";
    EXPECT_EQ(save("/dev/full"), 0);
    EXPECT_EQ(image_encode_last_errno(), ENOSPC);
    EXPECT_EQ(save("/dev/full", failing_code), 0);
    ASSERT_EQ(stat("/dev/full", &info), 0);
    EXPECT_TRUE(S_ISCHR(info.st_mode));
    EXPECT_EQ(save("/dev/null"), 1);
    ASSERT_EQ(stat("/dev/null", &info), 0);
    EXPECT_TRUE(S_ISCHR(info.st_mode));
}

TEST_F(saving, a_pipe_receives_the_whole_file_and_stays_a_pipe)
{
    std::string pipe = folder.file("pipe");
    ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
    std::vector<std::uint8_t> received;
    std::thread pipe_reader([&] { received = read_file_bytes(pipe); });
    int result = save(pipe);
    pipe_reader.join();
    EXPECT_EQ(result, 1);
    EXPECT_EQ(received, saved_ppm);
    EXPECT_TRUE(fs::is_fifo(pipe));
    EXPECT_EQ(folder_entries(folder.path), std::vector<std::string>{"pipe"});
}

}  // namespace
