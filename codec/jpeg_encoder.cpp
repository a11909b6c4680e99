// The JPEG encoder: writes 24-bit RGB rows as a baseline JFIF file with the
// library's defaults (4:2:0 chroma, standard Huffman tables), one row at a
// time. A save that fails removes the file it created, leaves a file that
// was there before as it was, and prints nothing.

#include "codec/jpeg_errors.h"
#include "codec/jpeg_plugin.h"
#include "toolkit/safe_write.h"

#include <cerrno>
#include <csetjmp>
#include <cstddef>
#include <cstdio>
#include <cstdlib>

namespace {

constexpr std::size_t stream_buffer_size = 1 << 16;

// Everything the jump may come back to lives here rather than in locals,
// whose values the jump would leave undefined.
struct jpeg_write_state {
    jpeg_error_block errors;
    jpeg_compress_struct compressor;
    safe_write output;
    char stream_buffer[stream_buffer_size];  // the file's, until it is closed
};

// With create_new_file only a new file at the path will do (the registry's
// temporary); otherwise the safe write keeps a file already there whole
// until the new one is complete.
bool open_target(const char* path, std::int32_t flags, jpeg_write_state* state)
{
    return flags & create_new_file ? safe_write_create(&state->output, path)
                                   : safe_write_open(&state->output, path, link_rule::follow);
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
    if (!open_target(path, flags, state)) {
        int reason = errno;
        std::free(state);
        errno = reason;
        return 0;
    }

    // The library hands over 4096 bytes at a time; a larger stream buffer
    // turns a diagram's dozen writes into one or two.
    std::setvbuf(state->output.stream, state->stream_buffer, _IOFBF, stream_buffer_size);

    jpeg_compress_struct* compressor = &state->compressor;
    compressor->err = jpeg_error_block_setup(&state->errors);
    // Below 0 so that even level-0 notices, such as the one about 16-bit
    // tables at low qualities, stay silent.
    compressor->err->trace_level = -1;
    if (setjmp(state->errors.jump)) {
        // errno still says why a write failed; the caller reports it.
        int reason = errno;
        jpeg_destroy_compress(compressor);
        safe_write_abandon(&state->output);
        std::free(state);
        errno = reason;
        return 0;
    }
    jpeg_create_compress(compressor);
    jpeg_stdio_dest(compressor, state->output.stream);
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
    const bool done = safe_write_commit(&state->output);
    const int reason = errno;
    std::free(state);
    errno = reason;
    return done ? 1 : 0;
}
