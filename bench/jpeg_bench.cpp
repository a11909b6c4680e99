// Loading and saving a 540 × 570 diagram-like JPEG: our full path (registry
// probe, decode into the store's buffer; image_save through the registry)
// against GdkPixbuf's own JPEG loader and saver (peer) and TurboJPEG's API
// (limit). The picture is drawn once with cairo and Pango: squares, hatching,
// chess glyphs and a line of text, like a saved diagram.

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include <cairo.h>
#include <gdk-pixbuf/gdk-pixbuf.h>
#include <pango/pangocairo.h>
#include <turbojpeg.h>

#include "bench/bench_report.h"
#include "codec/jpeg_plugin.h"
#include "imaging/bmp_decoder.h"
#include "imaging/image_plugins.h"
#include "imaging/image_store.h"

namespace {

constexpr int square = 60;
constexpr int picture_width = 9 * square;                // 540
constexpr int picture_height = 9 * square + square / 2;  // 570
constexpr object_number loaded_image = 1;

// Draws the diagram into an RGB buffer with 3 × width bytes per row.
std::vector<unsigned char> draw_diagram()
{
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, picture_width, picture_height);
    cairo_t* cr = cairo_create(surface);
    cairo_set_source_rgb(cr, 1, 1, 1);
    cairo_paint(cr);

    const double board = square / 2.0;
    for (int row = 0; row < 8; ++row)
        for (int column = 0; column < 8; ++column) {
            if ((row + column) % 2 == 0)
                continue;
            double x = board + column * square, y = board + row * square;
            cairo_save(cr);
            cairo_rectangle(cr, x, y, square, square);
            cairo_clip(cr);
            cairo_set_source_rgb(cr, 0.35, 0.35, 0.35);
            cairo_set_line_width(cr, 1);
            for (int d = -square; d < square; d += 4) {
                cairo_move_to(cr, x + d, y + square);
                cairo_line_to(cr, x + d + square, y);
            }
            cairo_stroke(cr);
            cairo_restore(cr);
        }
    cairo_set_source_rgb(cr, 0, 0, 0);
    cairo_set_line_width(cr, 3);
    cairo_rectangle(cr, board - 2, board - 2, 8 * square + 4, 8 * square + 4);
    cairo_stroke(cr);

    PangoLayout* layout = pango_cairo_create_layout(cr);
    PangoFontDescription* pieces = pango_font_description_from_string("FreeSerif 40");
    pango_layout_set_font_description(layout, pieces);
    const char* placed[] = {"♔", "♛", "♜", "♗", "♞", "♙", "♚", "♕", "♖", "♝", "♘", "♟"};
    const int spots[][2] = {{0, 4}, {1, 2}, {2, 6}, {3, 1}, {4, 5}, {5, 3},
                            {6, 0}, {7, 7}, {2, 2}, {5, 6}, {6, 4}, {1, 5}};
    for (int i = 0; i < 12; ++i) {
        // White under the glyph so hatching never shows through a piece.
        double x = board + spots[i][1] * square, y = board + spots[i][0] * square;
        cairo_set_source_rgb(cr, 1, 1, 1);
        cairo_arc(cr, x + square / 2.0, y + square / 2.0, square * 0.36, 0, 6.2832);
        cairo_fill(cr);
        cairo_set_source_rgb(cr, 0, 0, 0);
        pango_layout_set_text(layout, placed[i], -1);
        cairo_move_to(cr, x + 6, y + 2);
        pango_cairo_show_layout(cr, layout);
    }
    PangoFontDescription* caption = pango_font_description_from_string("FreeSerif 16");
    pango_layout_set_font_description(layout, caption);
    pango_layout_set_text(layout, "Мат в 2 хода", -1);
    cairo_move_to(cr, 200, 8.5 * square + 2);
    pango_cairo_show_layout(cr, layout);
    pango_font_description_free(caption);
    pango_font_description_free(pieces);
    g_object_unref(layout);
    cairo_destroy(cr);
    cairo_surface_flush(surface);

    std::vector<unsigned char> rgb(std::size_t(picture_width) * 3 * picture_height);
    const unsigned char* data = cairo_image_surface_get_data(surface);
    int stride = cairo_image_surface_get_stride(surface);
    for (int y = 0; y < picture_height; ++y)
        for (int x = 0; x < picture_width; ++x) {
            std::uint32_t pixel;
            std::memcpy(&pixel, data + y * stride + x * 4, 4);
            unsigned char* out = &rgb[std::size_t(y * picture_width + x) * 3];
            out[0] = (pixel >> 16) & 0xFF, out[1] = (pixel >> 8) & 0xFF, out[2] = pixel & 0xFF;
        }
    cairo_surface_destroy(surface);
    return rgb;
}

// The picture as a quality-70 JPEG in a folder of its own, and the toolkit
// state our path needs; the folder goes when the program ends.
struct bench_files {
    std::string folder;
    std::string source;  // the JPEG every load reads
    std::vector<unsigned char> rgb;

    bench_files()
    {
        char name[] = "/tmp/chess-bench-XXXXXX";
        folder = mkdtemp(name) ? name : "/tmp";
        source = folder + "/diagram.jpg";
        rgb = draw_diagram();
        tjhandle compressor = tjInitCompress();
        unsigned char* jpeg = nullptr;
        unsigned long size = 0;
        tjCompress2(compressor, rgb.data(), picture_width, 0, picture_height, TJPF_RGB, &jpeg, &size, TJSAMP_420,
                    70, 0);
        std::FILE* file = std::fopen(source.c_str(), "wb");
        std::fwrite(jpeg, 1, size, file);
        std::fclose(file);
        tjFree(jpeg);
        tjDestroy(compressor);

        image_plugins_init();
        bmp_decoder_register();
        jpeg_decoder_register();
        jpeg_encoder_register();
        image_store_init();
    }
    ~bench_files()
    {
        image_store_shutdown();
        std::error_code ignored;
        std::filesystem::remove_all(folder, ignored);
    }
};

bench_files& files()
{
    static bench_files made;
    return made;
}

void load_ours(benchmark::State& state)
{
    text path = text_from_utf8(files().source);
    for (auto _ : state) {
        if (!image_load(loaded_image, path)) {
            state.SkipWithError("image_load failed");
            break;
        }
        benchmark::DoNotOptimize(image_handle(loaded_image));
        image_release(loaded_image);
    }
}

void load_peer(benchmark::State& state)
{
    const std::string& path = files().source;
    for (auto _ : state) {
        GdkPixbuf* pixbuf = gdk_pixbuf_new_from_file(path.c_str(), nullptr);
        if (!pixbuf) {
            state.SkipWithError("gdk_pixbuf_new_from_file failed");
            break;
        }
        g_object_unref(pixbuf);
    }
}

// The floor: read the file, size it and decode to RGB with the same accurate
// DCT and fancy upsampling as ours. Its buffers are made once, so the
// allocator's page handling never counts against it.
void load_limit(benchmark::State& state)
{
    const std::string& path = files().source;
    tjhandle decompressor = tjInitDecompress();
    std::vector<unsigned char> pixels(std::size_t(picture_width * 3 + 3) / 4 * 4 * (picture_height + 1));
    std::vector<unsigned char> jpeg;
    for (auto _ : state) {
        std::FILE* file = std::fopen(path.c_str(), "rb");
        std::fseek(file, 0, SEEK_END);
        jpeg.resize(std::size_t(std::ftell(file)));
        std::fseek(file, 0, SEEK_SET);
        jpeg.resize(std::fread(jpeg.data(), 1, jpeg.size(), file));
        std::fclose(file);
        int width = 0, height = 0, subsampling = 0, colourspace = 0;
        tjDecompressHeader3(decompressor, jpeg.data(), jpeg.size(), &width, &height, &subsampling, &colourspace);
        int pitch = (width * 3 + 3) & ~3;
        if (std::size_t(pitch) * std::size_t(height) > pixels.size() ||
            tjDecompress2(decompressor, jpeg.data(), jpeg.size(), pixels.data(), width, pitch, height, TJPF_RGB,
                          0) != 0) {
            state.SkipWithError("tjDecompress2 failed");
            break;
        }
        benchmark::DoNotOptimize(pixels.data());
    }
    tjDestroy(decompressor);
}

// Every save writes a file that does not exist yet: replacing one makes the
// file system flush the old blocks first, which would measure the disk.
void remove_untimed(benchmark::State& state, const std::string& path)
{
    state.PauseTiming();
    std::remove(path.c_str());
    state.ResumeTiming();
}

void save_ours(benchmark::State& state)
{
    bench_files& made = files();
    if (!image_load(loaded_image, text_from_utf8(made.source))) {
        state.SkipWithError("image_load failed");
        return;
    }
    std::string path = made.folder + "/ours.jpg";
    text target = text_from_utf8(path);
    for (auto _ : state) {
        if (!image_save(loaded_image, target, four_letter_code("JPEG"), 7)) {
            state.SkipWithError("image_save failed");
            break;
        }
        remove_untimed(state, path);
    }
    image_release(loaded_image);
}

void save_peer(benchmark::State& state)
{
    bench_files& made = files();
    GdkPixbuf* pixbuf = gdk_pixbuf_new_from_file(made.source.c_str(), nullptr);
    std::string target = made.folder + "/peer.jpg";
    for (auto _ : state) {
        if (!gdk_pixbuf_save(pixbuf, target.c_str(), "jpeg", nullptr, "quality", "70", nullptr)) {
            state.SkipWithError("gdk_pixbuf_save failed");
            break;
        }
        remove_untimed(state, target);
    }
    g_object_unref(pixbuf);
}

// The floor: compress the same pixels at 70 with 4:2:0 and write the file.
void save_limit(benchmark::State& state)
{
    bench_files& made = files();
    GdkPixbuf* pixbuf = gdk_pixbuf_new_from_file(made.source.c_str(), nullptr);
    std::string target = made.folder + "/limit.jpg";
    tjhandle compressor = tjInitCompress();
    for (auto _ : state) {
        unsigned char* jpeg = nullptr;
        unsigned long size = 0;
        if (tjCompress2(compressor, gdk_pixbuf_get_pixels(pixbuf), picture_width, gdk_pixbuf_get_rowstride(pixbuf),
                        picture_height, TJPF_RGB, &jpeg, &size, TJSAMP_420, 70, 0) != 0) {
            state.SkipWithError("tjCompress2 failed");
            break;
        }
        std::FILE* file = std::fopen(target.c_str(), "wb");
        std::fwrite(jpeg, 1, size, file);
        std::fclose(file);
        tjFree(jpeg);
        remove_untimed(state, target);
    }
    tjDestroy(compressor);
    g_object_unref(pixbuf);
}

}  // namespace

BENCHMARK(load_ours)->Name("jpeg load/ours")->Repetitions(9)->ReportAggregatesOnly(true)->Unit(benchmark::kMillisecond);
BENCHMARK(load_peer)->Name("jpeg load/peer")->Repetitions(9)->ReportAggregatesOnly(true)->Unit(benchmark::kMillisecond);
BENCHMARK(load_limit)->Name("jpeg load/limit")->Repetitions(9)->ReportAggregatesOnly(true)->Unit(benchmark::kMillisecond);
BENCHMARK(save_ours)->Name("jpeg save/ours")->Repetitions(9)->ReportAggregatesOnly(true)->Unit(benchmark::kMillisecond);
BENCHMARK(save_peer)->Name("jpeg save/peer")->Repetitions(9)->ReportAggregatesOnly(true)->Unit(benchmark::kMillisecond);
BENCHMARK(save_limit)->Name("jpeg save/limit")->Repetitions(9)->ReportAggregatesOnly(true)->Unit(benchmark::kMillisecond);

CHESS_BENCHMARK_MAIN()
