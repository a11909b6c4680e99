// Registration of the JPEG plugin with the image registry: the decoder, and
// the encoder under the code "JPEG". Each happens once per process.

#include "codec/jpeg_plugin.h"

namespace {

const image_decoder jpeg_decoder_table = {
    .probe = jpeg_probe,    // accepts JFIF files the library can start; reads the whole file
    .decode = jpeg_decode,  // all rows as RGB into the caller's buffer
    .close = jpeg_close,    // frees the decoder's state, leaves the file open
};

const image_encoder jpeg_encoder_record = {
    .code = four_letter_code("JPEG"),
    .encode24 = jpeg_write,  // baseline JFIF from RGB rows
    .encode32 = nullptr,     // the registry flattens RGBA over white first
};

bool decoder_registered;
bool encoder_registered;

}  // namespace

int jpeg_decoder_register()
{
    if (!decoder_registered) {
        decoder_registered = true;
        image_decoder_register(&jpeg_decoder_table);
    }
    return 1;
}

int jpeg_encoder_register()
{
    if (!encoder_registered) {
        encoder_registered = true;
        image_encoder_register(&jpeg_encoder_record);
    }
    return 1;
}

void jpeg_plugin_forget_registrations()
{
    decoder_registered = false;
    encoder_registered = false;
}
