// Copying files, the current directory and decimal numbers, for the composer.
// Names cross into the file system as UTF-8.
#include "app/file_services.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <sys/stat.h>
#include <unistd.h>

#include "toolkit/safe_write.h"

namespace {

// Copies size bytes in chunks; false with errno when a read or a write
// falls short.
bool copy_chunks(std::FILE* from, std::FILE* to, std::int64_t size, char* buffer)
{
    for (std::int64_t remaining = size; remaining > 0; remaining -= file_copy_chunk) {
        std::size_t n = std::size_t(std::min(remaining, file_copy_chunk));
        if (std::fread(buffer, 1, n, from) != n) {
            if (!std::ferror(from))
                errno = EIO;  // the source shrank while it was copied
            return false;
        }
        if (std::fwrite(buffer, 1, n, to) != n)
            return false;
    }
    return true;
}

}  // namespace

// The destination is written through the safe write as a name the program
// owns: a copy cut short never passes for a good one, and a link found at
// the destination is replaced rather than written through.
std::int32_t file_copy(const text& source, const text& destination)
{
    std::FILE* from = std::fopen(text_to_utf8(source).c_str(), "rb");
    if (!from)
        return 0;
    safe_write to;
    if (!safe_write_open(&to, text_to_utf8(destination), link_rule::replace)) {
        std::fclose(from);
        errno = to.error;
        return 0;
    }
    struct stat source_status;
    char* buffer = nullptr;
    if (fstat(fileno(from), &source_status) == 0)
        buffer = static_cast<char*>(std::malloc(std::size_t(std::clamp<std::int64_t>(source_status.st_size, 1, file_copy_chunk))));
    bool copied = buffer && copy_chunks(from, to.stream, source_status.st_size, buffer);
    to.error = copied ? 0 : errno;
    std::free(buffer);
    std::fclose(from);
    if (!copied) {
        safe_write_abandon(&to);
        return 0;
    }
    return safe_write_commit(&to) ? 1 : 0;
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
