// The JPEG plugin over libjpeg's 6b interface: a decoder that reads JFIF
// files into 24-bit RGB rows, and an encoder under the code "JPEG" that
// writes baseline JFIF from RGB rows. It keeps no images and prints nothing.
#pragma once

#include <cstdint>

#include "imaging/image_plugins.h"

int jpeg_decoder_register();  // once; returns 1
int jpeg_encoder_register();  // once; returns 1
// For test processes that start the toolkit more than once: the registry
// starts empty each time, so the plugin must be allowed to register again.
void jpeg_plugin_forget_registrations();

int jpeg_probe(image_load_context* context);
int jpeg_decode(image_load_context* context, std::uint8_t* destination, std::int32_t pitch, std::int32_t flags);
void jpeg_close(image_load_context* context);
int jpeg_write(const char* path, const std::uint8_t* pixels, std::int32_t width, std::int32_t height,
               std::int32_t pitch, std::int32_t flags, std::int32_t quality, std::int32_t save_depth);

// The library quality for a quality argument on the 0–10 scale.
int jpeg_library_quality(std::int32_t quality);
