#include "app/file_services.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
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

}  // namespace

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

TEST(file_copy, unwritable_destination_fails)
{
    temp_folder dir;
    write_file_bytes(dir.file("source"), {1});
    EXPECT_EQ(file_copy(u16(dir.file("source")), u16(dir.file("no/such/folder/copy"))), 0);
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
