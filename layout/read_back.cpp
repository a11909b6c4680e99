// Each board square of the diagram is compared with every image the square
// set has for a square of its shade, and the nearest one wins. Distances are
// taken between block averages rather than single pixels: JPEG's losses are
// mostly fine ringing, which averaging removes, while a different piece
// differs in whole areas, which averaging keeps.
#include "layout/read_back.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <string_view>

#include <sys/stat.h>

#include "chess/quoted_input.h"
#include "imaging/image_plugins.h"
#include "imaging/image_store.h"
#include "layout/image_numbers.h"
#include "layout/square_set.h"

namespace {

constexpr std::int32_t read_image = read_back_image;

// What a square can show; the frame strips are never a square.
constexpr std::string_view candidate_content = "KQRBNPkqrbnp.+o";

// Measured on book-style and flat-colour sets from s = 16 to 90 at the
// diagrams' JPEG quality: the right image stays within 5 of a square, any
// other image is 17 or more away.
constexpr double match_threshold = 10.0;
constexpr int block = 2;

struct square_area {
    GdkPixbuf* pixbuf;
    int x, y;
};

// JPEG smears colour across a square's edge into its neighbours, so a few
// pixels at the edge are left out of the comparison.
int edge_margin(int s)
{
    return std::clamp(s / 20, 1, 3);
}

// Mean absolute difference per channel of two s x s areas, taken between
// averages of 2 x 2 blocks inside the edge margin. An image too small to
// hold the area matches nothing.
double area_distance(const square_area& a, const square_area& b, int s)
{
    const int margin = edge_margin(s);
    const int blocks = (s - 2 * margin) / block;
    for (const square_area* area : {&a, &b})
        if (gdk_pixbuf_get_width(area->pixbuf) < area->x + s || gdk_pixbuf_get_height(area->pixbuf) < area->y + s)
            return std::numeric_limits<double>::max();
    if (blocks <= 0)
        return 0;
    const int channels_a = gdk_pixbuf_get_n_channels(a.pixbuf), channels_b = gdk_pixbuf_get_n_channels(b.pixbuf);
    const int stride_a = gdk_pixbuf_get_rowstride(a.pixbuf), stride_b = gdk_pixbuf_get_rowstride(b.pixbuf);
    const std::uint8_t* pixels_a = gdk_pixbuf_get_pixels(a.pixbuf);
    const std::uint8_t* pixels_b = gdk_pixbuf_get_pixels(b.pixbuf);
    std::uint64_t total = 0;
    for (int by = 0; by < blocks; by++)
        for (int bx = 0; bx < blocks; bx++) {
            int sum_a[3] = {}, sum_b[3] = {};
            for (int y = margin + by * block; y < margin + (by + 1) * block; y++) {
                const int x = margin + bx * block;
                const std::uint8_t* pa = pixels_a + std::ptrdiff_t(a.y + y) * stride_a + std::ptrdiff_t(a.x + x) * channels_a;
                const std::uint8_t* pb = pixels_b + std::ptrdiff_t(b.y + y) * stride_b + std::ptrdiff_t(b.x + x) * channels_b;
                for (int i = 0; i < block; i++, pa += channels_a, pb += channels_b)
                    for (int c = 0; c < 3; c++) {
                        sum_a[c] += pa[c];
                        sum_b[c] += pb[c];
                    }
            }
            for (int c = 0; c < 3; c++)
                total += std::uint64_t(std::abs(sum_a[c] - sum_b[c]));
        }
    return double(total) / (double(blocks) * blocks * 3 * block * block);
}

std::string size_text(std::int32_t width, std::int32_t height)
{
    return std::to_string(width) + " × " + std::to_string(height);
}

// A PNG, as the renderer writes for print, is read through GdkPixbuf; other
// formats GdkPixbuf knows are not diagrams of ours and are left alone.
bool png_size(const std::string& path, std::int32_t* width, std::int32_t* height)
{
    gint w = 0, h = 0;
    GdkPixbufFormat* format = gdk_pixbuf_get_file_info(path.c_str(), &w, &h);
    gchar* name = format ? gdk_pixbuf_format_get_name(format) : nullptr;
    const bool png = name && std::string_view(name) == "png";
    g_free(name);
    *width = w;
    *height = h;
    return png;
}

// Everything that can be known without decoding: the file is there, is an
// image we read, and has the size of this set's diagram. A header may claim
// any size up to 32767 x 32767, so the size is checked before a buffer is
// made for it.
bool check_file(const std::string& path, bool* png, std::string* error)
{
    const std::string name = "рисунок " + quoted_input(path);
    std::FILE* file = std::fopen(path.c_str(), "rb");
    struct stat info;
    const int reason = !file ? errno : fstat(fileno(file), &info) != 0 ? errno : S_ISDIR(info.st_mode) ? EISDIR : 0;
    if (file)
        std::fclose(file);
    if (reason) {
        *error = "не удалось открыть " + name + ": " + std::strerror(reason);
        return false;
    }
    std::int32_t width = 0, height = 0;
    *png = false;
    if (image_probe_file(path.c_str())) {
        const image_load_context* context = image_load_context_current();
        width = context->width;
        height = context->height;
        image_decode_close();
    } else if (!(*png = png_size(path, &width, &height))) {
        *error = name + " — не JPEG, не BMP и не PNG";
        return false;
    }
    const std::int32_t s = square_set_size();
    if (width == diagram_width(s) && height == diagram_height(s))
        return true;
    *error = name + " размером " + size_text(width, height) + ", а диаграмма этого набора клеток — " +
             size_text(diagram_width(s), diagram_height(s));
    return false;
}

// One reference to the decoded picture, or null.
GdkPixbuf* load_picture(const std::string& path, bool png)
{
    if (png)
        return gdk_pixbuf_new_from_file(path.c_str(), nullptr);
    if (!image_load(read_image, text_from_utf8(path)))
        return nullptr;
    GdkPixbuf* picture = GDK_PIXBUF(g_object_ref(image_handle(read_image)));
    image_release(read_image);
    return picture;
}

bool match_squares(GdkPixbuf* picture, const std::string& path, board_squares_shown* squares, std::string* error)
{
    const int s = square_set_size();
    for (int n = 1; n <= board_squares; n++) {
        const square_area shown{picture, diagram_square_x(n, s), diagram_square_y(n, s)};
        double best = std::numeric_limits<double>::max();
        std::size_t chosen = 0;
        for (std::size_t i = 0; i < candidate_content.size(); i++) {
            const object_number candidate = square_image_number(candidate_content[i], n);
            const double d = area_distance(shown, {image_handle(candidate), 0, 0}, s);
            if (d < best) {
                best = d;
                chosen = i;
            }
        }
        if (best > match_threshold) {
            *error = "рисунок " + quoted_input(path) + ": клетка " + square_name(n) +
                     " не похожа ни на одно изображение набора клеток (диаграмма нарисована другим набором?)";
            return false;
        }
        (*squares)[std::size_t(n - 1)] = candidate_content[chosen];
    }
    return true;
}

}  // namespace

bool read_back_diagram(const std::string& path, board_squares_shown* squares, std::string* error)
{
    bool png = false;
    if (!check_file(path, &png, error))
        return false;
    GdkPixbuf* picture = load_picture(path, png);
    if (!picture) {
        *error = "не удалось прочитать рисунок " + quoted_input(path);
        return false;
    }
    const bool matched = match_squares(picture, path, squares, error);
    g_object_unref(picture);
    return matched;
}
