// Copying files, the current directory and decimal numbers, for the composer.
// Names cross into the file system as UTF-8.
#include "app/file_services.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <sys/stat.h>
#include <unistd.h>

namespace {

// Copies size bytes in chunks; false when a read or a write falls short.
bool copy_chunks(std::FILE* from, std::FILE* to, std::int64_t size, char* buffer)
{
    for (std::int64_t remaining = size; remaining > 0; remaining -= file_copy_chunk) {
        std::size_t n = std::size_t(std::min(remaining, file_copy_chunk));
        if (std::fread(buffer, 1, n, from) != n || std::fwrite(buffer, 1, n, to) != n)
            return false;
    }
    return true;
}

}  // namespace

std::int32_t file_copy(const text& source, const text& destination)
{
    std::string from_name = text_to_utf8(source);
    std::string to_name = text_to_utf8(destination);
    std::FILE* from = std::fopen(from_name.c_str(), "rb");
    if (!from)
        return 0;
    std::FILE* to = std::fopen(to_name.c_str(), "wb");
    if (!to) {
        std::fclose(from);
        return 0;
    }
    struct stat source_status, destination_status;
    char* buffer = nullptr;
    if (fstat(fileno(from), &source_status) == 0)
        buffer = static_cast<char*>(std::malloc(std::size_t(std::clamp<std::int64_t>(source_status.st_size, 1, file_copy_chunk))));
    if (!buffer) {
        std::fclose(to);
        std::fclose(from);
        return 0;
    }
    bool regular = fstat(fileno(to), &destination_status) == 0 && S_ISREG(destination_status.st_mode);
    bool copied = copy_chunks(from, to, source_status.st_size, buffer);
    std::free(buffer);
    copied = std::fclose(to) == 0 && copied;
    std::fclose(from);
    if (copied)
        return 1;
    // A copy cut short is not the source's content: say so, and leave no
    // truncated file behind that could pass for a good one. Devices and
    // pipes are not ours to remove.
    if (regular)
        std::remove(to_name.c_str());
    return 0;
}

text directory_current()
{
    constexpr std::size_t limit = 4096;
    char* path = static_cast<char*>(std::calloc(limit + 2, 1));
    if (!path)
        return {};
    text result;
    if (getcwd(path, limit)) {
        std::size_t length = std::strlen(path);
        if (length >= 2 && path[length - 1] != '/')
            path[length] = '/';
        result = text_from_utf8(path);
    }
    std::free(path);
    return result;
}

std::int32_t directory_set_current(const text& folder)
{
    return chdir(text_to_utf8(folder).c_str()) == 0 ? 0 : -1;
}

text number_to_string(std::int64_t value)
{
    // Work on the magnitude as unsigned so the most negative value has one.
    std::uint64_t magnitude = value < 0 ? 0 - std::uint64_t(value) : std::uint64_t(value);
    char16_t digits[21];
    int at = 21;
    do {
        digits[--at] = char16_t(u'0' + magnitude % 10);
        magnitude /= 10;
    } while (magnitude > 0);
    text result = value < 0 ? u"-" : u"";
    return result.append(digits + at, digits + 21);
}
