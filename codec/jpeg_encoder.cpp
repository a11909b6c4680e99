// The JPEG encoder: writes 24-bit RGB rows as a baseline JFIF file with the
// library's defaults (4:2:0 chroma, standard Huffman tables), one row at a
// time. A save that fails removes the file it created, leaves a file that
// was there before as it was, and prints nothing.

#include "codec/jpeg_errors.h"
#include "codec/jpeg_plugin.h"

#include <cerrno>
#include <csetjmp>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr std::size_t stream_buffer_size = 1 << 16;

// Everything the jump may come back to lives here rather than in locals,
// whose values the jump would leave undefined.
struct jpeg_write_state {
    jpeg_error_block errors;
    jpeg_compress_struct compressor;
    std::FILE* file;
    char* written;   // the file this call made, which a failure removes; null for a device
    char* replaces;  // the earlier file that written is renamed over once complete, or null
    char stream_buffer[stream_buffer_size];  // the file's, until it is closed
};

std::FILE* stream_on(int fd)
{
    std::FILE* file = fdopen(fd, "wb");
    if (!file)
        close(fd);
    return file;
}

// A regular file already at the path keeps its bytes until the new ones are
// complete: they go to a new file beside it (beside the file a link points
// at), with its permissions, which is renamed over it at the end.
std::FILE* open_beside(const char* path, mode_t mode, jpeg_write_state* state)
{
    char* target = realpath(path, nullptr);
    if (!target)
        return nullptr;
    // The resolved path is absolute, so it has a slash before its last name.
    const char* base = std::strrchr(target, '/') + 1;
    std::string name = std::string(target, std::size_t(base - target)) + "." + base + ".XXXXXX";
    int fd = mkstemp(name.data());
    if (fd < 0) {
        std::free(target);
        return nullptr;
    }
    fchmod(fd, mode & 07777);
    std::FILE* file = stream_on(fd);
    if (!file) {
        unlink(name.c_str());
        std::free(target);
        return nullptr;
    }
    state->written = strdup(name.c_str());
    state->replaces = target;
    return file;
}

// Opens the file to write, so that a failure never removes or spoils a file
// that was there before, nor a device. With create_new_file only a new file
// will do.
std::FILE* open_target(const char* path, std::int32_t flags, jpeg_write_state* state)
{
    int fd = open(path, O_WRONLY | O_CREAT | O_EXCL, 0666);
    if (fd >= 0) {
        std::FILE* file = stream_on(fd);
        if (!file) {
            unlink(path);
            return nullptr;
        }
        state->written = strdup(path);
        return file;
    }
    if (errno != EEXIST || (flags & create_new_file))
        return nullptr;
    struct stat info;
    if (stat(path, &info) == 0 && S_ISREG(info.st_mode))
        return open_beside(path, info.st_mode, state);
    return std::fopen(path, "wb");
}

void free_state(jpeg_write_state* state)
{
    std::free(state->written);
    std::free(state->replaces);
    std::free(state);
}

}  // namespace

int jpeg_library_quality(std::int32_t quality)
{
    if (quality < 0)
        return 0;  // the library takes this as its minimum, 1
    if (quality > 10)
        return 100;
    return 10 * quality;
}

int jpeg_write(const char* path, const std::uint8_t* pixels, std::int32_t width, std::int32_t height,
               std::int32_t pitch, std::int32_t flags, std::int32_t quality, std::int32_t)
{
    if (!path || !pixels)
        return 0;
    auto* state = static_cast<jpeg_write_state*>(std::calloc(1, sizeof(jpeg_write_state)));
    if (!state)
        return 0;
    state->file = open_target(path, flags, state);
    if (!state->file) {
        int reason = errno;
        free_state(state);
        errno = reason;
        return 0;
    }

    // The library hands over 4096 bytes at a time; a larger stream buffer
    // turns a diagram's dozen writes into one or two.
    std::setvbuf(state->file, state->stream_buffer, _IOFBF, stream_buffer_size);

    jpeg_compress_struct* compressor = &state->compressor;
    compressor->err = jpeg_error_block_setup(&state->errors);
    // Below 0 so that even level-0 notices, such as the one about 16-bit
    // tables at low qualities, stay silent.
    compressor->err->trace_level = -1;
    if (setjmp(state->errors.jump)) {
        // errno still says why a write failed; the caller reports it.
        int reason = errno;
        jpeg_destroy_compress(compressor);
        std::fclose(state->file);
        if (state->written)
            unlink(state->written);
        free_state(state);
        errno = reason;
        return 0;
    }
    jpeg_create_compress(compressor);
    jpeg_stdio_dest(compressor, state->file);
    // Negative sizes turn into huge ones, which the library rejects.
    compressor->image_width = JDIMENSION(width);
    compressor->image_height = JDIMENSION(height);
    compressor->input_components = 3;
    compressor->in_color_space = JCS_RGB;
    jpeg_set_defaults(compressor);
    jpeg_set_quality(compressor, jpeg_library_quality(quality), FALSE);
    jpeg_start_compress(compressor, TRUE);

    bool bottom_up = (flags & rows_bottom_up) != 0;
    for (std::int32_t i = 0; i < height; ++i) {
        std::int32_t row = bottom_up ? height - 1 - i : i;
        // The library takes rows as writable pointers but only reads them.
        JSAMPROW source = const_cast<JSAMPLE*>(pixels + std::ptrdiff_t(pitch) * row);
        jpeg_write_scanlines(compressor, &source, 1);
    }
    jpeg_finish_compress(compressor);
    jpeg_destroy_compress(compressor);
    // The last buffered bytes can still fail to reach the disk here.
    bool done = std::fclose(state->file) == 0;
    if (done && state->replaces)
        done = rename(state->written, state->replaces) == 0;
    int reason = errno;
    if (!done && state->written)
        unlink(state->written);
    free_state(state);
    errno = reason;
    return done ? 1 : 0;
}
