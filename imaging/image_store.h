// The image store: numbered images, each one GdkPixbuf (RGB, 8 bits per
// sample, 24 or 32 bits per pixel). Loading and saving go through the plugin
// registry; the store itself knows no file format.
#pragma once

#include <cstdint>

#include <gdk-pixbuf/gdk-pixbuf.h>

#include "toolkit/object_table.h"
#include "toolkit/text.h"

// With image_create's depth: fill with transparent black instead of opaque black.
constexpr std::int32_t image_transparent = 0x100;

struct image_record {
    GdkPixbuf* handle;  // one reference, owned; live while set
    std::int16_t width;
    std::int16_t height;
    std::int16_t depth;         // 24 or 32
    std::int16_t source_depth;  // the file's depth; the default depth of a save
};

void image_store_init();
void image_store_shutdown();

created_object image_create(object_number number, std::int32_t width, std::int32_t height, std::int32_t depth = 24);
created_object image_load(object_number number, const text& path);
std::int32_t image_save(object_number number, const text& path, std::uint32_t code, std::int32_t quality = 7,
                        std::int32_t save_depth = -1);
// image_save at default quality for a name the program owns (a collected
// diagram, a blank): a symbolic link there is replaced, never written through.
std::int32_t image_save_owned(object_number number, const text& path, std::uint32_t code);
created_object image_resize(object_number number, std::int32_t width, std::int32_t height,
                            std::int32_t resize_mode = 0);
std::int32_t image_width(object_number number);
std::int32_t image_height(object_number number);
GdkPixbuf* image_handle(object_number number);
void image_release(object_number number);

const image_record* image_lookup(object_number number);  // the live record, or null

// Row pitch of a loaded image: 4 × width, or 3 × width rounded up to a multiple of 4.
std::int32_t image_load_pitch(std::int32_t width, std::int32_t depth);
