// image-convert IN OUT: loads IN the way the program does (BMP first, then
// JPEG) and writes the pixels the image store holds, as binary PPM when OUT
// ends in ".ppm" or as JPEG at quality 7 when it ends in ".jpg". Used by the
// tests and by developers to see what a file decodes to.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>

#include <gdk-pixbuf/gdk-pixbuf.h>

#include "codec/jpeg_plugin.h"
#include "imaging/bmp_decoder.h"
#include "imaging/image_plugins.h"
#include "imaging/image_store.h"

namespace {

constexpr object_number converted = 0;

bool ends_with(std::string_view name, std::string_view suffix)
{
    return name.size() >= suffix.size() && name.substr(name.size() - suffix.size()) == suffix;
}

int fail(const char* file, const std::string& what)
{
    std::fprintf(stderr, "image-convert: %s: %s\n", file, what.c_str());
    return 1;
}

std::string load_failure(const char* path)
{
    std::FILE* file = std::fopen(path, "rb");
    if (!file)
        return std::string("cannot open: ") + std::strerror(errno);
    std::fclose(file);
    return "not a BMP or JPEG image this program can load";
}

// P6 with the stored RGB samples; an alpha channel, if any, is left out.
bool write_ppm(const char* path, GdkPixbuf* pixbuf)
{
    std::FILE* out = std::fopen(path, "wb");
    if (!out)
        return false;
    int width = gdk_pixbuf_get_width(pixbuf);
    int height = gdk_pixbuf_get_height(pixbuf);
    int channels = gdk_pixbuf_get_n_channels(pixbuf);
    int stride = gdk_pixbuf_get_rowstride(pixbuf);
    const guchar* pixels = gdk_pixbuf_get_pixels(pixbuf);
    bool ok = std::fprintf(out, "P6\n%d %d\n255\n", width, height) > 0;
    for (int y = 0; ok && y < height; ++y) {
        const guchar* row = pixels + std::ptrdiff_t(y) * stride;
        for (int x = 0; ok && x < width; ++x)
            ok = std::fwrite(row + x * channels, 1, 3, out) == 3;
    }
    int saved = errno;
    if (std::fclose(out) != 0 && ok) {
        ok = false;
        saved = errno;
    }
    errno = saved;
    return ok;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: image-convert IN OUT.ppm|OUT.jpg\n");
        return 1;
    }
    const char* in = argv[1];
    const char* out = argv[2];
    bool ppm = ends_with(out, ".ppm");
    if (!ppm && !ends_with(out, ".jpg"))
        return fail(out, "unknown output type (the name must end in .ppm or .jpg)");

    image_plugins_init();
    bmp_decoder_register();
    jpeg_decoder_register();
    jpeg_encoder_register();
    image_store_init();

    if (!image_load(converted, text_from_utf8(in)))
        return fail(in, load_failure(in));
    int status = 0;
    if (ppm) {
        errno = 0;
        if (!write_ppm(out, image_handle(converted)))
            status = fail(out, std::string("cannot write: ") + std::strerror(errno ? errno : EIO));
    } else if (!image_save(converted, text_from_utf8(out), four_letter_code("JPEG"))) {
        int reason = image_encode_last_errno();
        status = fail(out, reason ? std::string("cannot write: ") + std::strerror(reason)
                                  : std::string("the JPEG encoder refused the image"));
    }
    image_store_shutdown();
    return status;
}
