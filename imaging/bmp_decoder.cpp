// The built-in BMP decoder: uncompressed files of 1, 4, 8, 16 (5-5-5), 24 and
// 32 bits per pixel, and RLE8. It does not decode RLE4 or the OS/2 header
// layout, and ignores bit-field masks. Every byte is read through a bounded
// view of the file, and every pixel written is clipped to the image.
#include "imaging/bmp_decoder.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>

#include <sys/types.h>

namespace {

// Private words of the load context.
constexpr int word_buffer = 0;  // the whole file, owned
constexpr int word_data = 1;    // the file's first byte
constexpr int word_size = 2;    // the file's length in bytes

constexpr std::uint32_t compression_rle8 = 1;
constexpr std::uint32_t compression_rle4 = 2;

constexpr std::uint64_t file_header_size = 14;
constexpr std::uint32_t info_header_size = 40;  // the smallest header whose fields we read
// A file larger than the largest image the store can hold is not a BMP we can use.
constexpr std::uint64_t file_size_limit = 4ull * image_size_limit * image_size_limit + (1u << 20);

// The file's bytes; nothing is read without checking the range first.
struct file_bytes {
    std::uint8_t* data;
    std::uint64_t size;

    bool has(std::uint64_t at, std::uint64_t count) const { return at <= size && count <= size - at; }
    std::uint64_t left(std::uint64_t at) const { return at < size ? size - at : 0; }
    std::uint32_t u8(std::uint64_t at) const { return has(at, 1) ? data[at] : 0; }
    std::uint32_t u16(std::uint64_t at) const { return has(at, 2) ? data[at] | std::uint32_t(data[at + 1]) << 8 : 0; }
    std::uint32_t u32(std::uint64_t at) const
    {
        if (!has(at, 4))
            return 0;
        return data[at] | std::uint32_t(data[at + 1]) << 8 | std::uint32_t(data[at + 2]) << 16 |
               std::uint32_t(data[at + 3]) << 24;
    }
    std::int32_t i32(std::uint64_t at) const { return std::int32_t(u32(at)); }
};

file_bytes bytes_of(const image_load_context* context)
{
    return {static_cast<std::uint8_t*>(context->private_words[word_data]),
            std::uint64_t(reinterpret_cast<std::uintptr_t>(context->private_words[word_size]))};
}

// The palette after its entries were turned into red, green, blue order.
// Indices past the entries the file holds give black.
struct palette_view {
    const std::uint8_t* entries;
    std::uint32_t count;

    const std::uint8_t* colour(std::uint32_t index) const
    {
        static const std::uint8_t black[4] = {0, 0, 0, 0};
        return index < count ? entries + 4 * index : black;
    }
};

bool has_palette(std::uint32_t bits)
{
    return bits == 0 || (bits >= 2 && bits <= 8);
}

palette_view convert_palette(const file_bytes& file, std::uint32_t bits)
{
    if (!has_palette(bits))
        return {nullptr, 0};
    std::uint64_t at = file_header_size + file.u32(file_header_size);
    std::uint32_t limit = 1u << bits;
    std::uint32_t wanted = file.u32(46);
    wanted = wanted == 0 ? limit : std::min(wanted, limit);
    std::uint32_t count = std::uint32_t(std::min<std::uint64_t>(wanted, file.left(at) / 4));
    // File entries are blue, green, red, unused.
    for (std::uint32_t i = 0; i < count; ++i)
        std::swap(file.data[at + 4 * i], file.data[at + 4 * i + 2]);
    return {count ? file.data + at : nullptr, count};
}

void put_rgb(std::uint8_t* to, const std::uint8_t* rgb)
{
    to[0] = rgb[0];
    to[1] = rgb[1];
    to[2] = rgb[2];
}

// One stored row of an uncompressed file: `count` whole pixels are present.
void decode_row(std::uint32_t bits, const std::uint8_t* row, std::int64_t count, const palette_view& palette,
                std::uint8_t* out)
{
    static const std::uint8_t white[3] = {255, 255, 255};
    static const std::uint8_t black[3] = {0, 0, 0};
    for (std::int64_t x = 0; x < count; ++x, out += 3) {
        switch (bits) {
        case 1:
            // The palette of a 1-bit file is not consulted: set bits are white.
            put_rgb(out, (row[x >> 3] >> (7 - (x & 7))) & 1 ? white : black);
            break;
        case 4:
            put_rgb(out, palette.colour((x & 1) ? row[x >> 1] & 0x0F : row[x >> 1] >> 4));
            break;
        case 8:
            put_rgb(out, palette.colour(row[x]));
            break;
        case 16: {
            std::uint32_t value = row[2 * x] | std::uint32_t(row[2 * x + 1]) << 8;
            out[0] = std::uint8_t(((value >> 10) & 0x1F) << 3);
            out[1] = std::uint8_t(((value >> 5) & 0x1F) << 3);
            out[2] = std::uint8_t((value & 0x1F) << 3);
            break;
        }
        case 24:
            out[0] = row[3 * x + 2];
            out[1] = row[3 * x + 1];
            out[2] = row[3 * x];
            break;
        case 32:
            out[0] = row[4 * x + 2];
            out[1] = row[4 * x + 1];
            out[2] = row[4 * x];
            break;
        }
    }
}

// Rows are stored bottom row first; a file that ends early leaves the rest
// of the buffer as it was.
void decode_uncompressed(const file_bytes& file, std::uint64_t offset, std::uint32_t bits, std::int32_t width,
                         std::int32_t height, const palette_view& palette, std::uint8_t* buffer,
                         std::int32_t pitch)
{
    std::uint64_t stride = (std::uint64_t(width) * bits + 31) / 32 * 4;
    for (std::int32_t stored = 0; stored < height; ++stored) {
        std::uint64_t at = offset + stride * std::uint64_t(stored);
        std::uint64_t present = std::min(stride, file.left(at));
        if (present == 0)
            break;
        std::int64_t count = std::min<std::int64_t>(width, std::int64_t(present * 8 / bits));
        decode_row(bits, file.data + at, count, palette,
                   buffer + std::int64_t(height - 1 - stored) * pitch);
    }
}

// RLE8: runs, line ends, deltas and literal groups. Whatever falls outside
// the image is dropped; the position may wander but nothing is written there.
void decode_rle8(const file_bytes& file, std::uint64_t at, std::int32_t width, std::int32_t height,
                 const palette_view& palette, std::uint8_t* buffer, std::int32_t pitch)
{
    std::int64_t x = 0;
    std::int64_t y = 0;  // stored row: 0 is the bottom one
    auto plot = [&](std::uint32_t index) {
        if (x < width && y < height)
            put_rgb(buffer + (height - 1 - y) * std::int64_t(pitch) + 3 * x, palette.colour(index));
        ++x;
    };
    while (y < height && file.has(at, 2)) {
        std::uint32_t first = file.data[at];
        std::uint32_t second = file.data[at + 1];
        at += 2;
        if (first > 0) {
            for (std::uint32_t i = 0; i < first; ++i)
                plot(second);
            continue;
        }
        if (second == 0) {
            x = 0;
            ++y;
        } else if (second == 1) {
            break;
        } else if (second == 2) {
            if (!file.has(at, 2))
                break;
            x += file.data[at];
            y += file.data[at + 1];
            at += 2;
        } else {
            std::uint64_t present = std::min<std::uint64_t>(second, file.left(at));
            for (std::uint64_t i = 0; i < present; ++i)
                plot(file.data[at + i]);
            if (present < second)
                break;
            at += second + (second & 1);
        }
    }
}

int bmp_probe(image_load_context* context)
{
    std::FILE* file = context->file;
    if (fseeko(file, 0, SEEK_END) != 0)
        return 0;
    off_t end = ftello(file);
    if (fseeko(file, 0, SEEK_SET) != 0 || end < off_t(file_header_size) || std::uint64_t(end) > file_size_limit)
        return 0;
    std::uint64_t size = std::uint64_t(end);
    auto* buffer = static_cast<std::uint8_t*>(std::calloc(std::size_t(size), 1));
    if (!buffer)
        return 0;
    file_bytes bytes{buffer, size};
    if (std::fread(buffer, 1, file_header_size, file) != file_header_size || buffer[0] != 'B' ||
        buffer[1] != 'M' || bytes.u16(6) != 0 || bytes.u16(8) != 0) {
        std::free(buffer);
        return 0;
    }
    // A short read leaves zeros, which the checks below and decode cope with.
    std::size_t ignored = std::fread(buffer + file_header_size, 1, std::size_t(size - file_header_size), file);
    (void)ignored;

    std::uint32_t header_size = bytes.u32(file_header_size);
    std::int32_t width = bytes.i32(18);
    std::int32_t height = bytes.i32(22);
    std::uint64_t offset = bytes.u32(10);
    bool sound = header_size >= info_header_size && bytes.has(file_header_size, header_size) && width > 0 &&
                 width <= image_size_limit && height > 0 && height <= image_size_limit &&
                 offset >= file_header_size + header_size && offset < size;
    if (!sound) {
        std::free(buffer);
        return 0;
    }
    context->width = width;
    context->height = height;
    context->depth = 24;
    context->source_depth = std::int32_t(bytes.u16(28));
    context->private_words[word_buffer] = buffer;
    context->private_words[word_data] = buffer;
    context->private_words[word_size] = reinterpret_cast<void*>(std::uintptr_t(size));
    return 1;
}

int bmp_decode(image_load_context* context, std::uint8_t* buffer, std::int32_t pitch, std::int32_t)
{
    file_bytes file = bytes_of(context);
    std::int32_t width = context->width;
    std::int32_t height = context->height;
    if (!file.data || !buffer || width <= 0 || height <= 0 || pitch < 3 * std::int64_t(width))
        return 0;
    std::uint64_t offset = file.u32(10);
    std::uint32_t bits = file.u16(28);
    std::uint32_t compression = file.u32(30);
    palette_view palette = convert_palette(file, bits);

    switch (bits) {
    case 1:
    case 8:
    case 16:
    case 24:
    case 32:
        if (bits == 8 && compression == compression_rle8)
            decode_rle8(file, offset, width, height, palette, buffer, pitch);
        else
            decode_uncompressed(file, offset, bits, width, height, palette, buffer, pitch);
        break;
    case 4:
        // RLE4 files are accepted but not decoded: the image stays blank.
        if (compression != compression_rle4)
            decode_uncompressed(file, offset, bits, width, height, palette, buffer, pitch);
        break;
    default:
        // Other depths are accepted and leave the image blank.
        break;
    }
    return 1;
}

void bmp_close(image_load_context* context)
{
    std::free(context->private_words[word_buffer]);
    context->private_words[word_buffer] = nullptr;
    context->private_words[word_data] = nullptr;
    context->private_words[word_size] = nullptr;
}

const image_decoder bmp_table = {
    .probe = bmp_probe,    // "BM", zero reserved words, sane header: keeps the whole file
    .decode = bmp_decode,  // writes 24-bit rows bottom-up from the file; always succeeds
    .close = bmp_close,    // frees the file buffer
};

bool registered;

}  // namespace

const image_decoder* bmp_decoder()
{
    return &bmp_table;
}

int bmp_decoder_register()
{
    if (!registered)
        registered = image_decoder_register(&bmp_table) != 0;
    return 1;
}
