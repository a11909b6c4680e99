// Helpers for the image tests: a registry set up the way the program sets it
// up (BMP first, then JPEG), PPM reading for comparing with ImageMagick, and
// a way to catch everything written to stderr while a piece of code runs.
#pragma once

#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include <fcntl.h>
#include <unistd.h>

#include "codec/jpeg_plugin.h"
#include "imaging/bmp_decoder.h"
#include "imaging/image_plugins.h"
#include "imaging/image_store.h"
#include "tests/support/test_support.h"

namespace image_test {

constexpr std::uint32_t jpeg_code = four_letter_code("JPEG");

inline const image_decoder jpeg_table = {.probe = jpeg_probe, .decode = jpeg_decode, .close = jpeg_close};
inline const image_encoder jpeg_entry = {.code = jpeg_code, .encode24 = jpeg_write, .encode32 = nullptr};

// Empties the registry and registers the program's decoders in its order.
// The registration functions run once per process, so the tables are
// registered directly.
inline void program_registry(bool with_jpeg_encoder = true)
{
    image_plugins_init();
    image_decoder_register(bmp_decoder());
    image_decoder_register(&jpeg_table);
    if (with_jpeg_encoder)
        image_encoder_register(&jpeg_entry);
}

struct rgb_image {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> pixels;  // 3 bytes a pixel, rows top to bottom, no padding

    const std::uint8_t* at(int x, int y) const { return pixels.data() + 3 * (std::size_t(y) * width + x); }
};

// Binary PPM with maxval 255, as ImageMagick and image-convert write it.
inline bool read_ppm(const std::string& path, rgb_image& image)
{
    std::vector<std::uint8_t> bytes = read_file_bytes(path);
    std::size_t at = 0;
    auto token = [&]() {
        while (at < bytes.size() && (bytes[at] == ' ' || bytes[at] == '\n' || bytes[at] == '\r' || bytes[at] == '\t'))
            ++at;
        std::string word;
        while (at < bytes.size() && !(bytes[at] == ' ' || bytes[at] == '\n' || bytes[at] == '\r' || bytes[at] == '\t'))
            word += char(bytes[at++]);
        return word;
    };
    if (token() != "P6")
        return false;
    image.width = std::stoi(token());
    image.height = std::stoi(token());
    if (token() != "255")
        return false;
    ++at;
    std::size_t size = std::size_t(image.width) * image.height * 3;
    if (bytes.size() - at != size)
        return false;
    image.pixels.assign(bytes.begin() + std::ptrdiff_t(at), bytes.end());
    return true;
}

// The RGB pixels of a stored image, without row padding or alpha.
inline rgb_image stored_pixels(object_number number)
{
    rgb_image image;
    GdkPixbuf* pixbuf = image_handle(number);
    if (!pixbuf)
        return image;
    image.width = gdk_pixbuf_get_width(pixbuf);
    image.height = gdk_pixbuf_get_height(pixbuf);
    int channels = gdk_pixbuf_get_n_channels(pixbuf);
    int stride = gdk_pixbuf_get_rowstride(pixbuf);
    const guchar* pixels = gdk_pixbuf_get_pixels(pixbuf);
    for (int y = 0; y < image.height; ++y)
        for (int x = 0; x < image.width; ++x)
            for (int c = 0; c < 3; ++c)
                image.pixels.push_back(pixels[std::size_t(y) * stride + std::size_t(x) * channels + c]);
    return image;
}

// Everything written to file descriptor 2 while body runs.
inline std::string captured_stderr(const std::function<void()>& body)
{
    std::fflush(stderr);
    char name[] = "/tmp/chess-stderr-XXXXXX";
    int capture = mkstemp(name);
    int saved = dup(2);
    dup2(capture, 2);
    body();
    std::fflush(stderr);
    dup2(saved, 2);
    close(saved);
    close(capture);
    std::vector<std::uint8_t> bytes = read_file_bytes(name);
    unlink(name);
    return std::string(bytes.begin(), bytes.end());
}

inline std::string quoted(const std::string& path)
{
    return "'" + path + "'";
}

}  // namespace image_test
