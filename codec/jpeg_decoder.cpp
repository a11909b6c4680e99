// The JPEG decoder: reads the whole file into memory once and lets the
// library decode it one row at a time straight into the caller's buffer as
// 24-bit RGB. Greyscale files come out as RGB; four-component files
// (CMYK, YCCK) are turned into RGB here. It prints nothing.

#include "codec/jpeg_errors.h"
#include "codec/jpeg_plugin.h"

#include <csetjmp>
#include <cstddef>
#include <cstdio>
#include <cstdlib>

#include <jerror.h>

namespace {

// The load context's private words this decoder uses.
enum private_word : int {
    word_decompressor = 0,
    word_errors = 1,
    word_row_sink = 2,
    word_file_data = 3,
    words_used = 4,
};

constexpr std::size_t scratch_size = 4096;

// A source over the file's bytes in memory. When the library asks for more
// than the file holds, it gets an end-of-image marker instead of a suspension.
struct jpeg_memory_source {
    jpeg_source_mgr manager;  // first: the library only sees this part
    const JOCTET* data;
    std::size_t remaining;  // bytes not yet handed to the library
    JOCTET scratch[scratch_size];
};

// How a decoded sample row becomes an RGB row.
enum class row_kind { rgb, cmyk, cmyk_inverted };

struct jpeg_row_sink {
    JSAMPARRAY row;        // one row, width padded to a multiple of 4; four-component files decode here
    JSAMPROW destination;  // the caller's row being decoded
    row_kind kind;
};

void source_init(j_decompress_ptr) {}

void source_term(j_decompress_ptr) {}

boolean source_fill(j_decompress_ptr library)
{
    auto* source = reinterpret_cast<jpeg_memory_source*>(library->src);
    if (source->remaining > 0) {
        source->manager.next_input_byte = source->data;
        source->manager.bytes_in_buffer = source->remaining;
        source->remaining = 0;
        return TRUE;
    }
    // The file ended early; a fake end of image lets the library finish.
    library->err->msg_code = JWRN_JPEG_EOF;
    library->err->emit_message(reinterpret_cast<j_common_ptr>(library), -1);
    source->scratch[0] = 0xFF;
    source->scratch[1] = JPEG_EOI;
    source->manager.next_input_byte = source->scratch;
    source->manager.bytes_in_buffer = 2;
    return TRUE;
}

void source_skip(j_decompress_ptr library, long count)
{
    if (count <= 0)
        return;
    jpeg_source_mgr* manager = library->src;
    while (count > static_cast<long>(manager->bytes_in_buffer)) {
        count -= static_cast<long>(manager->bytes_in_buffer);
        manager->fill_input_buffer(library);
    }
    manager->next_input_byte += count;
    manager->bytes_in_buffer -= static_cast<std::size_t>(count);
}

void memory_source_install(j_decompress_ptr library, const JOCTET* data, std::size_t size)
{
    if (!library->src) {
        void* block = library->mem->alloc_small(reinterpret_cast<j_common_ptr>(library), JPOOL_PERMANENT,
                                                sizeof(jpeg_memory_source));
        library->src = static_cast<jpeg_source_mgr*>(block);
    }
    auto* source = reinterpret_cast<jpeg_memory_source*>(library->src);
    source->manager.init_source = source_init;
    source->manager.fill_input_buffer = source_fill;
    source->manager.skip_input_data = source_skip;
    source->manager.resync_to_restart = jpeg_resync_to_restart;
    source->manager.term_source = source_term;
    source->manager.next_input_byte = nullptr;
    source->manager.bytes_in_buffer = 0;
    source->data = data;
    source->remaining = size;
}

// Both CMYK conversions divide by 255 with truncation, like the rest of the
// pixel arithmetic. Files with an Adobe marker store the values inverted
// (0 is full ink), so there the product of the stored values is the colour.
void convert_cmyk_row(const jpeg_row_sink* sink, JDIMENSION width)
{
    const JSAMPLE* in = sink->row[0];
    std::uint8_t* out = sink->destination;
    bool inverted = sink->kind == row_kind::cmyk_inverted;
    for (JDIMENSION x = 0; x < width; ++x, in += 4, out += 3) {
        unsigned c = in[0], m = in[1], y = in[2], k = in[3];
        if (!inverted)
            c = 255 - c, m = 255 - m, y = 255 - y, k = 255 - k;
        out[0] = std::uint8_t(c * k / 255);
        out[1] = std::uint8_t(m * k / 255);
        out[2] = std::uint8_t(y * k / 255);
    }
}

}  // namespace

int jpeg_probe(image_load_context* context)
{
    std::FILE* file = context->file;
    if (!file || std::fseek(file, 0, SEEK_END) != 0)
        return 0;
    long size = std::ftell(file);
    if (size <= 2 || std::fseek(file, 0, SEEK_SET) != 0)
        return 0;

    auto* data = static_cast<JOCTET*>(std::calloc(std::size_t(size), 1));
    if (!data)
        return 0;
    context->private_words[word_file_data] = data;
    if (std::fread(data, 1, 2, file) != 2 || data[0] != 0xFF || data[1] != 0xD8) {
        jpeg_close(context);
        return 0;
    }

    auto* decompressor = static_cast<jpeg_decompress_struct*>(std::calloc(1, sizeof(jpeg_decompress_struct)));
    auto* errors = static_cast<jpeg_error_block*>(std::calloc(1, sizeof(jpeg_error_block)));
    context->private_words[word_decompressor] = decompressor;
    context->private_words[word_errors] = errors;
    if (!decompressor || !errors) {
        jpeg_close(context);
        return 0;
    }
    // A short read leaves zeros, which the library sees as damaged data.
    [[maybe_unused]] const std::size_t read = std::fread(data + 2, 1, std::size_t(size) - 2, file);

    decompressor->err = jpeg_error_block_setup(errors);
    if (setjmp(errors->jump)) {
        jpeg_close(context);
        return 0;
    }
    jpeg_create_decompress(decompressor);
    decompressor->err->trace_level = 0;
    memory_source_install(decompressor, data, std::size_t(size));
    if (jpeg_read_header(decompressor, TRUE) != JPEG_HEADER_OK) {
        jpeg_close(context);
        return 0;
    }

    decompressor->dct_method = JDCT_ISLOW;
    row_kind kind = row_kind::rgb;
    switch (decompressor->jpeg_color_space) {
    case JCS_GRAYSCALE:
        decompressor->out_color_space = JCS_RGB;
        break;
    case JCS_CMYK:
    case JCS_YCCK:
        decompressor->out_color_space = JCS_CMYK;
        kind = decompressor->saw_Adobe_marker ? row_kind::cmyk_inverted : row_kind::cmyk;
        break;
    default:
        break;
    }

    auto* sink = static_cast<jpeg_row_sink*>(decompressor->mem->alloc_small(
        reinterpret_cast<j_common_ptr>(decompressor), JPOOL_IMAGE, sizeof(jpeg_row_sink)));
    jpeg_calc_output_dimensions(decompressor);
    // Rows reach the caller as three bytes a pixel, written in place or
    // converted from four; any other layout would not fit the rows.
    int components = decompressor->output_components;
    bool layout_known = (kind == row_kind::rgb && components == 3) || (kind != row_kind::rgb && components == 4);
    if (!layout_known || decompressor->output_width > JDIMENSION(image_size_limit) ||
        decompressor->output_height > JDIMENSION(image_size_limit)) {
        jpeg_close(context);
        return 0;
    }
    JDIMENSION row_width = (decompressor->output_width * JDIMENSION(components) + 3) & ~JDIMENSION(3);
    sink->row = decompressor->mem->alloc_sarray(reinterpret_cast<j_common_ptr>(decompressor), JPOOL_IMAGE,
                                                row_width, 1);
    sink->destination = nullptr;
    sink->kind = kind;
    context->private_words[word_row_sink] = sink;

    jpeg_start_decompress(decompressor);
    context->width = std::int32_t(decompressor->output_width);
    context->height = std::int32_t(decompressor->output_height);
    context->depth = 24;
    context->source_depth = 8 * components;
    return 1;
}

int jpeg_decode(image_load_context* context, std::uint8_t* destination, std::int32_t pitch, std::int32_t flags)
{
    auto* decompressor = static_cast<jpeg_decompress_struct*>(context->private_words[word_decompressor]);
    auto* errors = static_cast<jpeg_error_block*>(context->private_words[word_errors]);
    auto* sink = static_cast<jpeg_row_sink*>(context->private_words[word_row_sink]);
    if (!decompressor || !errors || !sink || !destination)
        return 0;
    JDIMENSION width = decompressor->output_width;
    if (pitch < 0 || std::uint64_t(pitch) < std::uint64_t(width) * 3)
        return 0;

    if (setjmp(errors->jump))
        return 0;
    std::int32_t height = std::int32_t(decompressor->output_height);
    bool bottom_up = (flags & rows_bottom_up) != 0;
    for (std::int32_t i = 0; i < height; ++i) {
        std::int32_t row = bottom_up ? height - 1 - i : i;
        sink->destination = destination + std::ptrdiff_t(pitch) * row;
        if (sink->kind == row_kind::rgb) {
            // Three samples a pixel is the caller's layout already, so the
            // library writes the row in place; a copy here costs a quarter
            // of the decode.
            JSAMPROW in_place = sink->destination;
            if (jpeg_read_scanlines(decompressor, &in_place, 1) != 1)
                return 0;
            continue;
        }
        if (jpeg_read_scanlines(decompressor, sink->row, 1) != 1)
            return 0;
        convert_cmyk_row(sink, width);
    }
    jpeg_finish_decompress(decompressor);
    return 1;
}

void jpeg_close(image_load_context* context)
{
    auto* decompressor = static_cast<jpeg_decompress_struct*>(context->private_words[word_decompressor]);
    if (decompressor) {
        // Harmless on a zero-filled object that was never created.
        jpeg_destroy_decompress(decompressor);
        std::free(decompressor);
    }
    std::free(context->private_words[word_errors]);
    std::free(context->private_words[word_file_data]);
    // The row sink lived in the library's pool and died with it.
    for (int word = 0; word < words_used; ++word)
        context->private_words[word] = nullptr;
}
