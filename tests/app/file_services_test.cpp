#include "app/file_services.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdint>
#include <thread>

#include <fcntl.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "tests/support/test_support.h"

namespace {

std::vector<std::uint8_t> pattern_bytes(std::size_t size)
{
    std::vector<std::uint8_t> bytes(size);
    for (std::size_t i = 0; i < size; i++)
        bytes[i] = std::uint8_t(i * 7 + i / 251);
    return bytes;
}

text u16(const std::string& s)
{
    return text_from_utf8(s);
}

// Copies a file of the given size into a pipe whose reader holds back until
// the pipe is full, so the copy is stuck in its first write; then changes
// the source's last byte and lets everything through. The copy shows the
// new byte only if it read that byte after its first write.
struct held_copy {
    std::vector<std::uint8_t> original, copied;
    std::int32_t result = -1;
    bool held = false;
};

held_copy copy_with_last_byte_changed_during_the_first_write(std::size_t size)
{
    held_copy outcome;
    temp_folder dir;
    outcome.original = pattern_bytes(size);
    std::string source = dir.file("source"), pipe = dir.file("pipe");
    if (!write_file_bytes(source, outcome.original) || mkfifo(pipe.c_str(), 0600) != 0)
        return outcome;
    std::thread copier([&] { outcome.result = file_copy(u16(source), u16(pipe)); });
    int reader = open(pipe.c_str(), O_RDONLY);
    int capacity = reader >= 0 ? fcntl(reader, F_GETPIPE_SZ) : -1;
    auto give_up = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    for (int pending = 0; reader >= 0 && std::chrono::steady_clock::now() < give_up;) {
        if (ioctl(reader, FIONREAD, &pending) != 0 || pending >= capacity) {
            outcome.held = pending >= capacity && capacity < int(size);
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    if (outcome.held) {
        int writer = open(source.c_str(), O_WRONLY);
        const std::uint8_t changed = std::uint8_t(~outcome.original.back());
        outcome.held = pwrite(writer, &changed, 1, off_t(size - 1)) == 1;
        close(writer);
    }
    std::uint8_t chunk[65536];
    for (ssize_t n; reader >= 0 && (n = read(reader, chunk, sizeof chunk)) > 0;)
        outcome.copied.insert(outcome.copied.end(), chunk, chunk + n);
    copier.join();
    if (reader >= 0)
        close(reader);
    return outcome;
}

}  // namespace

TEST(file_copy, reads_and_writes_at_most_512000_bytes_at_a_time)
{
    // 512000 bytes are read in one go before anything is written...
    held_copy whole = copy_with_last_byte_changed_during_the_first_write(512000);
    ASSERT_TRUE(whole.held);
    EXPECT_EQ(whole.result, 1);
    EXPECT_EQ(whole.copied, whole.original);
    // ... while the 512001st byte is read only after the first 512000 are written.
    held_copy one_more = copy_with_last_byte_changed_during_the_first_write(512001);
    ASSERT_TRUE(one_more.held);
    EXPECT_EQ(one_more.result, 1);
    ASSERT_EQ(one_more.copied.size(), 512001u);
    EXPECT_TRUE(std::equal(one_more.original.begin(), one_more.original.end() - 1, one_more.copied.begin()));
    EXPECT_NE(one_more.copied.back(), one_more.original.back());
}

TEST(file_copy, copies_bytes_unchanged_around_the_chunk_size)
{
    temp_folder dir;
    for (std::size_t size : {std::size_t(0), std::size_t(1), std::size_t(511999), std::size_t(512000),
                             std::size_t(512001), std::size_t(3 * 512000 + 17)}) {
        auto bytes = pattern_bytes(size);
        ASSERT_TRUE(write_file_bytes(dir.file("source"), bytes));
        EXPECT_EQ(file_copy(u16(dir.file("source")), u16(dir.file("copy"))), 1) << size;
        EXPECT_EQ(read_file_bytes(dir.file("copy")), bytes) << size;
    }
}

TEST(file_copy, replaces_an_existing_destination)
{
    temp_folder dir;
    write_file_bytes(dir.file("source"), {1, 2, 3});
    write_file_bytes(dir.file("copy"), pattern_bytes(1000));
    EXPECT_EQ(file_copy(u16(dir.file("source")), u16(dir.file("copy"))), 1);
    EXPECT_EQ(read_file_bytes(dir.file("copy")), (std::vector<std::uint8_t>{1, 2, 3}));
}

TEST(file_copy, missing_source_creates_no_destination)
{
    temp_folder dir;
    EXPECT_EQ(file_copy(u16(dir.file("missing")), u16(dir.file("copy"))), 0);
    EXPECT_FALSE(file_exists(dir.file("copy")));
}

TEST(file_copy, unwritable_destination_fails_with_its_reason)
{
    temp_folder dir;
    write_file_bytes(dir.file("source"), {1});
    errno = 0;
    EXPECT_EQ(file_copy(u16(dir.file("source")), u16(dir.file("no/such/folder/copy"))), 0);
    EXPECT_EQ(errno, ENOENT);
}

TEST(file_copy, a_link_at_the_destination_is_replaced_and_its_file_spared)
{
    temp_folder dir;
    write_file_bytes(dir.file("source"), {1, 2, 3});
    write_file_bytes(dir.file("private"), {7});
    ASSERT_EQ(symlink(dir.file("private").c_str(), dir.file("2.jpg").c_str()), 0);
    EXPECT_EQ(file_copy(u16(dir.file("source")), u16(dir.file("2.jpg"))), 1);
    struct stat status;
    ASSERT_EQ(lstat(dir.file("2.jpg").c_str(), &status), 0);
    EXPECT_TRUE(S_ISREG(status.st_mode));
    EXPECT_EQ(read_file_bytes(dir.file("2.jpg")), (std::vector<std::uint8_t>{1, 2, 3}));
    EXPECT_EQ(read_file_bytes(dir.file("private")), (std::vector<std::uint8_t>{7}));
}

TEST(file_copy, write_error_midway_reports_failure_and_spares_the_device)
{
    temp_folder dir;
    // Both sizes: one that stdio buffers until close, one written at once.
    for (std::size_t size : {std::size_t(100), std::size_t(700000)}) {
        write_file_bytes(dir.file("source"), pattern_bytes(size));
        EXPECT_EQ(file_copy(u16(dir.file("source")), u"/dev/full"), 0) << size;
        struct stat status;
        ASSERT_EQ(stat("/dev/full", &status), 0);
        EXPECT_TRUE(S_ISCHR(status.st_mode));
    }
}

TEST(file_copy, relative_names_resolve_in_the_current_directory)
{
    temp_folder dir;
    text before = directory_current();
    ASSERT_EQ(directory_set_current(u16(dir.path)), 0);
    write_file_bytes("1.jpg", {9, 9});
    EXPECT_EQ(file_copy(u"1.jpg", u"2.jpg"), 1);
    EXPECT_EQ(read_file_bytes(dir.file("2.jpg")), (std::vector<std::uint8_t>{9, 9}));
    directory_set_current(before);
}

TEST(directory, current_ends_in_a_slash_and_round_trips)
{
    temp_folder dir;
    text before = directory_current();
    ASSERT_EQ(directory_set_current(u16(dir.path)), 0);
    char real[4096];
    ASSERT_NE(realpath(dir.path.c_str(), real), nullptr);
    EXPECT_EQ(directory_current(), u16(std::string(real) + "/"));
    ASSERT_EQ(directory_set_current(u"/"), 0);
    EXPECT_EQ(directory_current(), u"/");
    EXPECT_EQ(directory_set_current(u16(dir.file("missing"))), -1);
    EXPECT_EQ(directory_current(), u"/");
    directory_set_current(before);
}

TEST(directory, non_ascii_folder_names_cross_as_utf8)
{
    temp_folder dir;
    text before = directory_current();
    std::string name = dir.file("Задачи");
    ASSERT_EQ(mkdir(name.c_str(), 0700), 0);
    ASSERT_EQ(directory_set_current(u16(name)), 0);
    text current = directory_current();
    EXPECT_EQ(current.substr(current.size() - 8), u"/Задачи/");
    directory_set_current(before);
}

TEST(number_to_string, gives_plain_decimal_digits)
{
    EXPECT_EQ(number_to_string(0), u"0");
    EXPECT_EQ(number_to_string(1), u"1");
    EXPECT_EQ(number_to_string(32), u"32");
    EXPECT_EQ(number_to_string(-5), u"-5");
    EXPECT_EQ(number_to_string(1000000), u"1000000");
    EXPECT_EQ(number_to_string(INT64_MAX), u"9223372036854775807");
    EXPECT_EQ(number_to_string(INT64_MIN), u"-9223372036854775808");
}
