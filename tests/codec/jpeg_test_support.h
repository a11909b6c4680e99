// Helpers for the JPEG plugin tests: catching everything written to stderr,
// making JPEG files of a chosen colour space with the library directly,
// decoding through the plugin with a load context filled by hand, an
// independent reference decode (GdkPixbuf), and a walk over a file's markers.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include <gdk-pixbuf/gdk-pixbuf.h>
#include <jpeglib.h>
#include <unistd.h>

#include "codec/jpeg_plugin.h"

// Points fd 2 at a temporary file for its lifetime; text() says what arrived.
class stderr_capture {
public:
    stderr_capture()
    {
        std::fflush(stderr);
        saved_ = dup(2);
        sink_ = std::tmpfile();
        dup2(fileno(sink_), 2);
    }
    ~stderr_capture() { restore(); }
    stderr_capture(const stderr_capture&) = delete;
    stderr_capture& operator=(const stderr_capture&) = delete;

    std::string text()
    {
        restore();
        std::string seen;
        std::rewind(sink_);
        for (int c; (c = std::fgetc(sink_)) != EOF;)
            seen += char(c);
        return seen;
    }

private:
    void restore()
    {
        if (saved_ < 0)
            return;
        std::fflush(stderr);
        dup2(saved_, 2);
        close(saved_);
        saved_ = -1;
    }
    int saved_ = -1;
    std::FILE* sink_ = nullptr;
};

// The sample at x, y (component c) of a generated test picture.
using sample_function = std::function<std::uint8_t(int x, int y, int c)>;

struct test_jpeg_layout {
    int components = 3;
    J_COLOR_SPACE input_space = JCS_RGB;
    J_COLOR_SPACE file_space = JCS_YCbCr;
    bool adobe_marker = false;  // only meaningful for CMYK and YCCK files
    int quality = 92;
};

// Writes a test file with the library's own stdio destination. These files
// are valid by construction, so the library's stock error exit is fine here.
inline void write_test_jpeg(const std::string& path, int width, int height, const sample_function& sample,
                            const test_jpeg_layout& layout = {})
{
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file)
        std::abort();
    jpeg_compress_struct compressor{};
    jpeg_error_mgr errors{};
    compressor.err = jpeg_std_error(&errors);
    jpeg_create_compress(&compressor);
    jpeg_stdio_dest(&compressor, file);
    compressor.image_width = JDIMENSION(width);
    compressor.image_height = JDIMENSION(height);
    compressor.input_components = layout.components;
    compressor.in_color_space = layout.input_space;
    jpeg_set_defaults(&compressor);
    jpeg_set_colorspace(&compressor, layout.file_space);
    if (layout.file_space == JCS_CMYK || layout.file_space == JCS_YCCK)
        compressor.write_Adobe_marker = layout.adobe_marker;
    jpeg_set_quality(&compressor, layout.quality, TRUE);
    jpeg_start_compress(&compressor, TRUE);
    std::vector<JSAMPLE> row(std::size_t(width) * std::size_t(layout.components));
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x)
            for (int c = 0; c < layout.components; ++c)
                row[std::size_t(x * layout.components + c)] = sample(x, y, c);
        JSAMPROW pointer = row.data();
        jpeg_write_scanlines(&compressor, &pointer, 1);
    }
    jpeg_finish_compress(&compressor);
    jpeg_destroy_compress(&compressor);
    std::fclose(file);
}

// What one load through the plugin gave.
struct plugin_load {
    int probed = 0;
    int decoded = 0;
    image_load_context context{};  // as the probe left it, before close
    std::int32_t pitch = 0;
    std::vector<std::uint8_t> pixels;  // height rows of pitch bytes, prefilled
    bool words_clear_after_close = false;

    const std::uint8_t* pixel(int x, int y) const { return &pixels[std::size_t(y * pitch + x * 3)]; }
};

inline bool private_words_clear(const image_load_context& context)
{
    for (void* word : context.private_words)
        if (word)
            return false;
    return true;
}

// Probes, decodes into a buffer of exactly height rows filled with fill
// (rows padded by extra_pitch bytes) and closes, as the registry would.
inline plugin_load load_with_plugin(const std::string& path, std::int32_t flags = 0, int extra_pitch = 0,
                                    std::uint8_t fill = 0xAB)
{
    plugin_load load;
    image_load_context context{};
    context.file = std::fopen(path.c_str(), "rb");
    if (!context.file)
        return load;
    load.probed = jpeg_probe(&context);
    load.context = context;
    if (load.probed) {
        load.pitch = context.width * 3 + extra_pitch;
        load.pixels.assign(std::size_t(load.pitch) * std::size_t(context.height), fill);
        load.decoded = jpeg_decode(&context, load.pixels.data(), load.pitch, flags);
        jpeg_close(&context);
    }
    load.words_clear_after_close = private_words_clear(context);
    std::fclose(context.file);
    return load;
}

// An independent decode: GdkPixbuf's own JPEG loader, as tight RGB rows.
struct reference_image {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> rgb;
    const std::uint8_t* pixel(int x, int y) const { return &rgb[std::size_t((y * width + x) * 3)]; }
};

inline reference_image reference_decode(const std::string& path)
{
    reference_image image;
    GdkPixbuf* pixbuf = gdk_pixbuf_new_from_file(path.c_str(), nullptr);
    if (!pixbuf)
        return image;
    image.width = gdk_pixbuf_get_width(pixbuf);
    image.height = gdk_pixbuf_get_height(pixbuf);
    int stride = gdk_pixbuf_get_rowstride(pixbuf);
    int channels = gdk_pixbuf_get_n_channels(pixbuf);
    const guchar* data = gdk_pixbuf_get_pixels(pixbuf);
    for (int y = 0; y < image.height; ++y)
        for (int x = 0; x < image.width; ++x)
            for (int c = 0; c < 3; ++c)
                image.rgb.push_back(data[y * stride + x * channels + c]);
    g_object_unref(pixbuf);
    return image;
}

// One marker segment before the scan data: its code (the byte after 0xFF)
// and its payload after the length field.
struct jpeg_segment {
    std::uint8_t marker;
    std::size_t offset;  // of the 0xFF
    std::vector<std::uint8_t> payload;
};

// Walks the segments after SOI up to and including SOS.
inline std::vector<jpeg_segment> jpeg_header_segments(const std::vector<std::uint8_t>& bytes)
{
    std::vector<jpeg_segment> segments;
    std::size_t at = 2;
    while (at + 4 <= bytes.size() && bytes[at] == 0xFF) {
        std::size_t length = std::size_t(bytes[at + 2]) << 8 | bytes[at + 3];
        if (length < 2 || at + 2 + length > bytes.size())
            break;
        segments.push_back({bytes[at + 1], at,
                            std::vector<std::uint8_t>(bytes.begin() + std::ptrdiff_t(at + 4),
                                                      bytes.begin() + std::ptrdiff_t(at + 2 + length))});
        if (bytes[at + 1] == 0xDA)
            break;
        at += 2 + length;
    }
    return segments;
}

inline const jpeg_segment* find_segment(const std::vector<jpeg_segment>& segments, std::uint8_t marker)
{
    for (const jpeg_segment& segment : segments)
        if (segment.marker == marker)
            return &segment;
    return nullptr;
}
