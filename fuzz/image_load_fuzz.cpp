// Loads arbitrary bytes as an image file through the registry the way the
// program does: the BMP decoder first, then JPEG. The sanitizers and the
// exact-size load buffer catch any read or write outside its bounds.
#include <cstdint>
#include <cstdlib>

#include "codec/jpeg_plugin.h"
#include "fuzz/fuzz_input.h"
#include "imaging/bmp_decoder.h"
#include "imaging/image_plugins.h"
#include "imaging/image_store.h"

namespace {
fuzz_input_file* input;
}

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    // A few hundred bytes of progressive JPEG can ask libjpeg for gigabytes
    // of coefficient memory; cap it so the run looks for faults, not for
    // the machine's memory limit.
    setenv("JPEGMEM", "1000m", 0);
    image_plugins_init();
    bmp_decoder_register();
    jpeg_decoder_register();
    jpeg_encoder_register();
    image_store_init();
    input = new fuzz_input_file;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string& path = input->hold(data, size);
    if (image_load(0, text_from_utf8(path))) {
        // Read the ends of every row, so a buffer shorter than the image the
        // pixbuf describes shows up. (gdk_pixbuf_get_byte_length works in
        // int and overflows past 2 GiB, so the sizes are taken here.)
        GdkPixbuf* pixbuf = image_handle(0);
        const guchar* pixels = gdk_pixbuf_get_pixels(pixbuf);
        std::size_t stride = std::size_t(gdk_pixbuf_get_rowstride(pixbuf));
        std::size_t row_bytes = std::size_t(gdk_pixbuf_get_width(pixbuf)) * gdk_pixbuf_get_n_channels(pixbuf);
        unsigned sum = 0;
        for (int y = 0; y < gdk_pixbuf_get_height(pixbuf); ++y)
            sum += pixels[std::size_t(y) * stride] + pixels[std::size_t(y) * stride + row_bytes - 1];
        if (sum == 1u << 31)
            std::abort();
        image_release(0);
    }
    return 0;
}
