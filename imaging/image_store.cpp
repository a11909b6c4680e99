// The image store: numbered GdkPixbufs in an object table. Created images
// come from gdk_pixbuf_new; loaded images are decoded straight into a buffer
// the store allocates and then wrap it, so a load never copies pixels.
#include "imaging/image_store.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include <gdk/gdk.h>

#include "imaging/image_plugins.h"

namespace {

object_table* images;

constexpr std::uint32_t opaque_black = 0x000000FF;
constexpr std::uint32_t transparent_black = 0;

bool size_fits(std::int32_t width, std::int32_t height)
{
    return width > 0 && height > 0 && width <= image_size_limit && height <= image_size_limit;
}

void free_pixels(guchar* pixels, gpointer)
{
    std::free(pixels);
}

image_record* live_record(object_number number)
{
    return images ? table_lookup_as<image_record>(images, number) : nullptr;
}

// gdk_pixbuf_fill goes pixel by pixel. A new image is black, or
// transparent black, so usually every byte it holds is the same and one
// memset does; otherwise the first row is filled and copied down.
void fill_pixels(GdkPixbuf* pixbuf, std::uint32_t rgba)
{
    const int channels = gdk_pixbuf_get_n_channels(pixbuf);
    const std::uint8_t pixel[4] = {std::uint8_t(rgba >> 24), std::uint8_t(rgba >> 16), std::uint8_t(rgba >> 8),
                                   std::uint8_t(rgba)};
    guchar* pixels = gdk_pixbuf_get_pixels(pixbuf);
    if (std::all_of(pixel, pixel + channels, [&](std::uint8_t byte) { return byte == pixel[0]; })) {
        // The byte length stops at the last pixel, not a row stride beyond it.
        std::memset(pixels, pixel[0], gdk_pixbuf_get_byte_length(pixbuf));
        return;
    }
    const std::size_t row_bytes = std::size_t(gdk_pixbuf_get_width(pixbuf)) * std::size_t(channels);
    for (std::size_t at = 0; at < row_bytes; at += std::size_t(channels))
        std::memcpy(pixels + at, pixel, std::size_t(channels));
    const std::size_t pitch = std::size_t(gdk_pixbuf_get_rowstride(pixbuf));
    for (int y = 1; y < gdk_pixbuf_get_height(pixbuf); ++y)
        std::memcpy(pixels + std::size_t(y) * pitch, pixels, row_bytes);
}

created_object creator_result(object_number requested, object_number assigned, GdkPixbuf* pixbuf)
{
    return requested == dynamic_number ? created_object(assigned) : reinterpret_cast<created_object>(pixbuf);
}

}  // namespace

std::int32_t image_load_pitch(std::int32_t width, std::int32_t depth)
{
    return depth == 32 ? 4 * width : 3 * width + width % 4;
}

void image_store_init()
{
    if (!images)
        images = table_create(sizeof(image_record), 16, image_release);
    gdk_rgb_init();
}

void image_store_shutdown()
{
    if (images)
        table_release_all(images);
}

created_object image_create(object_number number, std::int32_t width, std::int32_t height, std::int32_t depth)
{
    if (!images || number < dynamic_number)
        return 0;
    std::uint32_t fill = opaque_black;
    if (depth & image_transparent) {
        depth &= ~image_transparent;
        fill = transparent_black;
    }
    object_number assigned = number;
    auto* record = static_cast<image_record*>(table_allocate(images, number, &assigned));
    if (!record)
        return 0;
    bool alpha = depth == 32;
    // Checked here rather than left to GdkPixbuf, which would complain on
    // stderr; sizes beyond 16 bits do not fit the record.
    GdkPixbuf* pixbuf = size_fits(width, height) ? gdk_pixbuf_new(GDK_COLORSPACE_RGB, alpha, 8, width, height)
                                                 : nullptr;
    if (!pixbuf) {
        table_release(images, assigned);
        return 0;
    }
    fill_pixels(pixbuf, fill);
    record->handle = pixbuf;
    record->width = std::int16_t(width);
    record->height = std::int16_t(height);
    record->depth = record->source_depth = alpha ? 32 : 24;
    return creator_result(number, assigned, pixbuf);
}

created_object image_load(object_number number, const text& path)
{
    if (!images || number < dynamic_number)
        return 0;
    std::string utf8 = text_to_utf8(path);
    if (utf8.empty() || !image_probe_file(utf8.c_str()))
        return 0;
    const image_load_context* context = image_load_context_current();
    std::int32_t width = context->width;
    std::int32_t height = context->height;
    std::int32_t depth = context->depth;
    std::int32_t source_depth = context->source_depth;
    if (!size_fits(width, height) || (depth != 24 && depth != 32)) {
        image_decode_close();
        return 0;
    }
    std::int32_t pitch = image_load_pitch(width, depth);
    // One spare row past the last; zero-filled so rows a short file leaves
    // out are black rather than whatever the heap held.
    auto* buffer = static_cast<std::uint8_t*>(std::calloc(std::size_t(height) + 1, std::size_t(pitch)));
    if (!buffer) {
        image_decode_close();
        return 0;
    }
    // A decoder that accepted the file and then stopped early still gives
    // an image: what it wrote, black elsewhere.
    image_decode_rows(buffer, pitch, 0);
    GdkPixbuf* pixbuf = gdk_pixbuf_new_from_data(buffer, GDK_COLORSPACE_RGB, depth == 32, 8, width, height, pitch,
                                                 free_pixels, nullptr);
    if (!pixbuf) {
        std::free(buffer);
        return 0;
    }
    // Only now is the old image under this number given up.
    object_number assigned = number;
    auto* record = static_cast<image_record*>(table_allocate(images, number, &assigned));
    if (!record) {
        g_object_unref(pixbuf);
        return 0;
    }
    record->handle = pixbuf;
    record->width = std::int16_t(width);
    record->height = std::int16_t(height);
    record->depth = std::int16_t(depth);
    record->source_depth = std::int16_t(source_depth);
    return creator_result(number, assigned, pixbuf);
}

namespace {

std::int32_t save_with_flags(object_number number, const text& path, std::uint32_t code, std::int32_t quality,
                             std::int32_t save_depth, std::int32_t flags)
{
    if (path.empty() || path[0] == 0)
        return 0;
    const image_record* record = live_record(number);
    if (!record)
        return 0;
    if (save_depth == -1)
        save_depth = record->source_depth;
    GdkPixbuf* pixbuf = record->handle;
    return image_encode(path, gdk_pixbuf_get_pixels(pixbuf), code, record->width, record->height,
                        gdk_pixbuf_get_rowstride(pixbuf), record->depth, flags, quality, save_depth);
}

}  // namespace

std::int32_t image_save(object_number number, const text& path, std::uint32_t code, std::int32_t quality,
                        std::int32_t save_depth)
{
    return save_with_flags(number, path, code, quality, save_depth, 0);
}

std::int32_t image_save_owned(object_number number, const text& path, std::uint32_t code)
{
    return save_with_flags(number, path, code, 7, -1, own_file_name);
}

created_object image_resize(object_number number, std::int32_t width, std::int32_t height,
                            std::int32_t resize_mode)
{
    image_record* record = live_record(number);
    if (!record || (width == record->width && height == record->height) || !size_fits(width, height))
        return 0;
    GdkInterpType interpolation = resize_mode == 1 ? GDK_INTERP_NEAREST : GDK_INTERP_BILINEAR;
    GdkPixbuf* scaled = gdk_pixbuf_scale_simple(record->handle, width, height, interpolation);
    if (!scaled)
        return 0;
    g_object_unref(record->handle);
    record->handle = scaled;
    record->width = std::int16_t(width);
    record->height = std::int16_t(height);
    return reinterpret_cast<created_object>(scaled);
}

std::int32_t image_width(object_number number)
{
    const image_record* record = live_record(number);
    return record ? record->width : 0;
}

std::int32_t image_height(object_number number)
{
    const image_record* record = live_record(number);
    return record ? record->height : 0;
}

GdkPixbuf* image_handle(object_number number)
{
    const image_record* record = live_record(number);
    return record ? record->handle : nullptr;
}

void image_release(object_number number)
{
    image_record* record = live_record(number);
    if (!record)
        return;
    g_object_unref(record->handle);
    record->handle = nullptr;
    table_release(images, number);
}

const image_record* image_lookup(object_number number)
{
    return live_record(number);
}
