// The image plugin registry: the ordered decoder list with the one shared
// load context, and the encoder list chosen by four-letter code. Saving goes
// through the safe write, so a failed save never damages what was there.
#include "imaging/image_plugins.h"

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <string>

#include <sys/stat.h>

#include "toolkit/safe_write.h"

namespace {

constexpr int plugin_list_size = 32;

const image_decoder* decoders[plugin_list_size];
int decoder_count;
const image_encoder* encoders[plugin_list_size];
int encoder_count;

image_load_context load_context;
image_load_context* context;  // null until image_plugins_init
std::string context_path;     // what load_context.path points into

int last_encode_errno;

struct pixel_rows {
    const std::uint8_t* pixels;
    std::int32_t width, height, pitch, flags, quality, save_depth;
};

struct writer_call {
    image_writer writer;
    pixel_rows rows;
};

int run_writer(const char* name, bool must_create, void* call_data)
{
    const auto* call = static_cast<const writer_call*>(call_data);
    const pixel_rows& rows = call->rows;
    return call->writer(name, rows.pixels, rows.width, rows.height, rows.pitch,
                        must_create ? rows.flags | create_new_file : rows.flags, rows.quality, rows.save_depth);
}

// Runs the writer through the safe write, so that the target changes only
// when the file is complete.
int write_safely(image_writer writer, const std::string& path, pixel_rows rows)
{
    const link_rule rule = rows.flags & own_file_name ? link_rule::replace : link_rule::follow;
    rows.flags &= ~own_file_name;
    writer_call call{writer, rows};
    return safe_write_by_name(path, rule, run_writer, &call, &last_encode_errno) ? 1 : 0;
}

// Pitch of a 3-byte row, rounded up to a multiple of 4.
std::int64_t rgb_pitch(std::int32_t width)
{
    return (std::int64_t(width) * 3 + 3) / 4 * 4;
}

}  // namespace

void image_plugins_init()
{
    decoder_count = 0;
    encoder_count = 0;
    load_context = {};
    context_path.clear();
    context = &load_context;
}

int image_decoder_register(const image_decoder* decoder)
{
    // The lists are fixed arrays; a registration past their end is refused.
    if (!decoder || decoder_count >= plugin_list_size)
        return 0;
    decoders[decoder_count++] = decoder;
    return decoder_count;
}

int image_encoder_register(const image_encoder* encoder)
{
    if (!encoder || !encoder->encode24 || encoder_count >= plugin_list_size)
        return 0;
    encoders[encoder_count++] = encoder;
    return encoder_count;
}

image_load_context* image_load_context_current()
{
    return context;
}

int image_probe_file(const char* path)
{
    if (!context)
        return 0;
    // A load that was probed but never decoded still holds its file.
    if (context->file)
        image_decode_close();
    *context = {};
    context_path = path ? path : "";
    context->path = context_path.c_str();
    context->file = std::fopen(context->path, "rb");
    if (!context->file)
        return 0;
    // A folder opens for reading on Linux, but no decoder can size it.
    struct stat info;
    if (fstat(fileno(context->file), &info) != 0 || S_ISDIR(info.st_mode)) {
        std::fclose(context->file);
        context->file = nullptr;
        return 0;
    }
    for (int i = 0; i < decoder_count; ++i) {
        if (std::fseek(context->file, 0, SEEK_SET) != 0)
            break;
        if (decoders[i]->probe(context)) {
            context->decoder = decoders[i];
            return 1;
        }
    }
    std::fclose(context->file);
    context->file = nullptr;
    return 0;
}

int image_decode_rows(std::uint8_t* buffer, std::int32_t pitch, std::int32_t flags)
{
    if (!context || !context->decoder)
        return 0;
    int result = context->decoder->decode(context, buffer, pitch, flags);
    image_decode_close();
    return result;
}

void image_decode_close()
{
    if (!context)
        return;
    if (context->decoder)
        context->decoder->close(context);
    context->decoder = nullptr;
    if (context->file)
        std::fclose(context->file);
    context->file = nullptr;
}

int image_encode(const text& path, const std::uint8_t* pixels, std::uint32_t code, std::int32_t width,
                 std::int32_t height, std::int32_t pitch, std::int32_t depth, std::int32_t flags,
                 std::int32_t quality, std::int32_t save_depth)
{
    last_encode_errno = 0;
    std::string utf8 = text_to_utf8(path);
    const image_encoder* encoder = nullptr;
    for (int i = 0; i < encoder_count && !encoder; ++i)
        if (encoders[i]->code == code)
            encoder = encoders[i];
    if (!encoder || !pixels || width <= 0 || height <= 0)
        return 0;

    if (depth == 24)
        return write_safely(encoder->encode24, utf8, {pixels, width, height, pitch, flags, quality, save_depth});
    if (depth != 32)
        return 0;
    if (encoder->encode32)
        return write_safely(encoder->encode32, utf8, {pixels, width, height, pitch, flags, quality, save_depth});

    // No RGBA writer: flatten over white, as the pixels would look on paper.
    std::int64_t flat_pitch = rgb_pitch(width);
    if (flat_pitch > INT32_MAX)
        return 0;
    std::uint8_t* flat = static_cast<std::uint8_t*>(std::calloc(std::size_t(height), std::size_t(flat_pitch)));
    if (!flat) {
        last_encode_errno = ENOMEM;
        return 0;
    }
    for (std::int32_t y = 0; y < height; ++y) {
        const std::uint8_t* from = pixels + std::int64_t(y) * pitch;
        std::uint8_t* to = flat + std::int64_t(y) * flat_pitch;
        for (std::int32_t x = 0; x < width; ++x, from += 4, to += 3) {
            unsigned alpha = from[3];
            for (int channel = 0; channel < 3; ++channel)
                to[channel] = std::uint8_t((from[channel] * alpha + 255 * (255 - alpha)) / 255);
        }
    }
    int result = write_safely(encoder->encode24, utf8,
                              {flat, width, height, std::int32_t(flat_pitch), flags, quality, save_depth});
    std::free(flat);
    return result;
}

int image_encode_last_errno()
{
    return last_encode_errno;
}
