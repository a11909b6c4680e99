// The image plugin registry: decoders tried in registration order until one
// accepts a file (the built-in BMP decoder is always first), and encoders
// picked by a four-letter code. The registry knows no pixels beyond the rows
// it hands over; the image store owns the buffers.
#pragma once

#include <cstdint>
#include <cstdio>

#include "toolkit/text.h"

// Four ASCII letters, the first in the least significant byte: "JPEG" is 0x4745504A.
constexpr std::uint32_t four_letter_code(const char (&letters)[5])
{
    return std::uint32_t(std::uint8_t(letters[0])) | std::uint32_t(std::uint8_t(letters[1])) << 8 |
           std::uint32_t(std::uint8_t(letters[2])) << 16 | std::uint32_t(std::uint8_t(letters[3])) << 24;
}
static_assert(four_letter_code("JPEG") == 0x4745504A);

// Decode and encode flag: the buffer's rows run bottom row first.
constexpr std::int32_t rows_bottom_up = 2;

// Encode flag the registry sets when it saves: the writer must create the
// file at the path itself and fail with EEXIST when the name is taken, so it
// never writes into a file it did not make.
constexpr std::int32_t create_new_file = 4;

// Encode flag for names the program owns (a collected diagram, a blank): a
// symbolic link there is replaced by the new file, never written through.
// Without it, the file a link names is replaced and the link stays. The
// registry takes the flag off before calling a writer.
constexpr std::int32_t own_file_name = 8;

// Largest width or height a decoder may report; the image store keeps sizes in 16 bits.
constexpr std::int32_t image_size_limit = 32767;

struct image_decoder;

// The state of the one load in progress, shared by the registry and the decoders.
struct image_load_context {
    const image_decoder* decoder;  // the decoder that accepted the file
    const char* path;              // UTF-8
    std::FILE* file;               // open for binary reading
    std::int32_t width;
    std::int32_t height;
    std::int32_t depth;  // bits per pixel decode writes: 24 or 32
    void* private_words[8];  // the decoder's own; cleared before every probe
    std::int32_t source_depth;  // bits per pixel of the file itself
};

struct image_decoder {
    int (*probe)(image_load_context* context);  // nonzero accepts; sets size and depths
    // Writes height rows of width pixels; the buffer holds (height + 1) × pitch bytes.
    int (*decode)(image_load_context* context, std::uint8_t* buffer, std::int32_t pitch, std::int32_t flags);
    void (*close)(image_load_context* context);  // releases the decoder's state, not the file
};

using image_writer = int (*)(const char* path, const std::uint8_t* pixels, std::int32_t width, std::int32_t height,
                             std::int32_t pitch, std::int32_t flags, std::int32_t quality, std::int32_t save_depth);

struct image_encoder {
    std::uint32_t code;
    image_writer encode24;  // 3-byte RGB rows; required
    image_writer encode32;  // 4-byte RGBA rows; null: the registry flattens over white
};

void image_plugins_init();
int image_decoder_register(const image_decoder* decoder);  // returns the new count
int image_encoder_register(const image_encoder* encoder);

// Opens the file and finds a decoder for it; 1 when one accepted.
int image_probe_file(const char* path);
image_load_context* image_load_context_current();
int image_decode_rows(std::uint8_t* buffer, std::int32_t pitch, std::int32_t flags);  // then closes
void image_decode_close();

// Writes the pixels with the encoder of code. The file replaces an existing
// one only when it is complete: a failed save leaves what was there, and no
// partial file. Returns nonzero on success.
int image_encode(const text& path, const std::uint8_t* pixels, std::uint32_t code, std::int32_t width,
                 std::int32_t height, std::int32_t pitch, std::int32_t depth, std::int32_t flags,
                 std::int32_t quality, std::int32_t save_depth);

// errno of the last failed image_encode (0 when the encoder failed for
// another reason, such as an empty image or an unknown code).
int image_encode_last_errno();
