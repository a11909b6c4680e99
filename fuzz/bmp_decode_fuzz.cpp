// Feeds arbitrary bytes to the BMP decoder alone and decodes into a buffer
// of exactly height + 1 rows of the narrowest pitch the decoder is allowed,
// so any write past the rows it may touch is caught by the sanitizers.
#include <cstdint>
#include <cstdlib>

#include "fuzz/fuzz_input.h"
#include "imaging/bmp_decoder.h"
#include "imaging/image_plugins.h"

namespace {
fuzz_input_file* input;
}

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    image_plugins_init();
    bmp_decoder_register();
    input = new fuzz_input_file;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string& path = input->hold(data, size);
    if (!image_probe_file(path.c_str()))
        return 0;
    const image_load_context* context = image_load_context_current();
    if (context->width <= 0 || context->height <= 0 || context->width > image_size_limit ||
        context->height > image_size_limit || context->depth != 24) {
        std::abort();  // the probe promised a size the store can hold
    }
    std::size_t pitch = std::size_t(context->width) * 3;
    auto* buffer = static_cast<std::uint8_t*>(std::malloc(pitch * (std::size_t(context->height) + 1)));
    if (!image_decode_rows(buffer, std::int32_t(pitch), 0))
        std::abort();
    std::free(buffer);
    return 0;
}
