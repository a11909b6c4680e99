// The built-in BMP decoder, registered first so every load tries it first.
#pragma once

#include "imaging/image_plugins.h"

const image_decoder* bmp_decoder();

// Adds the BMP decoder to the registry once; later calls do nothing. Returns 1.
int bmp_decoder_register();
