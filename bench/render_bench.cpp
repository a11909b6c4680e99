// Rendering and collecting a diagram at s = 60 with an 18-piece position and
// a Russian task text, the program started up as it starts for the user.
//
// render_diagram: ours against the same composition on a cairo image surface
// (peer: white paint, the frame outline, the task text with Pango on its
// white box, then the 68 blits of the very pixbufs the board shows) and
// against a memcpy of as many bytes as the diagram holds (limit).
//
// add_to_print: ours (render, then save TEMP/1.jpg) against TurboJPEG
// encoding the rendered pixels at the quality and subsampling our default
// save uses (peer) and a memcpy of the file's bytes (limit).
//
// Needs a display: make bench runs it under xvfb-run.

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include <unistd.h>

#include <cairo.h>
#include <gtk/gtk.h>
#include <pango/pangocairo.h>
#include <turbojpeg.h>

#include "app/composer.h"
#include "bench/bench_report.h"
#include "imaging/fonts.h"
#include "imaging/image_store.h"
#include "toolkit/gadget.h"

namespace {

constexpr int square = 60;
constexpr int diagram_width = 9 * square;
constexpr int diagram_height = 9 * square + square / 2;
constexpr int diagram_image = 100;
constexpr int task_text_gadget = 82;
const char16_t task_text[] = u"Мат в 2 хода";
// The text the rows "new text" swap in every other render, so that no render
// finds its text already drawn.
const char16_t other_task_text[] = u"Мат в 3 хода";
// What image_save's default quality 7 becomes in the library, and the
// library's default chroma subsampling.
constexpr int jpeg_quality = 70;

// Odd image numbers of the pieces on their light-square variant.
enum piece : int {
    white_king = 1, white_queen = 3, white_rook = 5, white_bishop = 7, white_knight = 9, white_pawn = 11,
    black_king = 13, black_queen = 15, black_rook = 17, black_bishop = 19, black_knight = 21, black_pawn = 23,
};

struct placed_piece {
    piece what;
    char file;  // 'a' … 'h'
    int rank;   // 1 … 8
};

// A middlegame problem position, 11 white and 7 black men.
const placed_piece position[] = {
    {white_king, 'g', 1},  {white_queen, 'd', 1}, {white_rook, 'a', 1},  {white_rook, 'f', 1},
    {white_bishop, 'c', 4}, {white_knight, 'f', 3}, {white_pawn, 'a', 2}, {white_pawn, 'b', 2},
    {white_pawn, 'c', 3},  {white_pawn, 'g', 2},  {white_pawn, 'h', 2},  {black_king, 'g', 8},
    {black_queen, 'd', 8}, {black_rook, 'e', 8},  {black_knight, 'f', 6}, {black_pawn, 'f', 7},
    {black_pawn, 'g', 7},  {black_pawn, 'h', 7},
};

// Square gadgets run down each file from the top: gadget (col − 1) × 8 + row.
int square_gadget(char file, int rank)
{
    return (file - 'a') * 8 + (9 - rank);
}

std::string make_squares_path()
{
    if (const char* build = std::getenv("CHESS_BUILD_DIR"))
        return std::string(build) + "/tools/make-squares";
    std::error_code ignored;
    std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", ignored);
    return (self.parent_path().parent_path() / "tools" / "make-squares").string();
}

// A working folder with the default squares at s = 60, the composer started
// in it and the position set up; the folder goes when the program ends.
struct bench_session {
    std::string folder;
    std::string problem;  // why the benchmarks cannot run, empty when they can
    std::string initial_directory;

    bench_session()
    {
        if (!std::getenv("DISPLAY")) {
            problem = "no display: run under xvfb-run";
            return;
        }
        char name[] = "/tmp/chess-render-bench-XXXXXX";
        if (!mkdtemp(name)) {
            problem = "cannot make a working folder";
            return;
        }
        folder = name;
        std::filesystem::create_directory(folder + "/DATA");
        std::string command = make_squares_path() + " " + folder + "/DATA " + std::to_string(square);
        if (std::system(command.c_str()) != 0) {
            problem = "make-squares failed: " + command;
            return;
        }
        char here[PATH_MAX];
        initial_directory = getcwd(here, sizeof here) ? here : "/";
        if (chdir(folder.c_str()) != 0) {
            problem = "cannot enter " + folder;
            return;
        }
        int argc = 1;
        char program[] = "chess-diagram";
        char* args[] = {program, nullptr};
        char** argv = args;
        if (composer_start(&argc, &argv) != 0) {
            problem = "composer_start failed";
            return;
        }
        for (const placed_piece& p : position) {
            composer.selected_piece = p.what;
            place_piece(square_gadget(p.file, p.rank));
        }
        gadget_set_text(task_text_gadget, task_text);
        while (gtk_events_pending())
            gtk_main_iteration_do(FALSE);
        if (composer.square_size != square)
            problem = "unexpected square size " + std::to_string(composer.square_size);
    }

    ~bench_session()
    {
        if (!folder.empty()) {
            if (chdir(initial_directory.c_str()) != 0) {
                // The folder is removed by absolute path either way.
            }
            std::error_code ignored;
            std::filesystem::remove_all(folder, ignored);
        }
    }
};

bench_session& session()
{
    static bench_session made;
    return made;
}

bool ready(benchmark::State& state)
{
    if (session().problem.empty())
        return true;
    state.SkipWithError(session().problem.c_str());
    return false;
}

// The diagram's pixels as the peers get them: render once, then read image 100.
struct rendered_pixels {
    const std::uint8_t* pixels;
    int width, height, pitch;
};

rendered_pixels render_once()
{
    render_diagram();
    GdkPixbuf* pixbuf = image_handle(diagram_image);
    return {gdk_pixbuf_get_pixels(pixbuf), gdk_pixbuf_get_width(pixbuf), gdk_pixbuf_get_height(pixbuf),
            gdk_pixbuf_get_rowstride(pixbuf)};
}

void render_ours(benchmark::State& state, bool new_text)
{
    if (!ready(state))
        return;
    bool other = false;
    for (auto _ : state) {
        if (new_text) {
            state.PauseTiming();
            other = !other;
            gadget_set_text(task_text_gadget, other ? other_task_text : task_text);
            state.ResumeTiming();
        }
        render_diagram();
        benchmark::DoNotOptimize(image_handle(diagram_image));
    }
    gadget_set_text(task_text_gadget, task_text);
    if (image_width(diagram_image) != diagram_width || image_height(diagram_image) != diagram_height)
        state.SkipWithError("the diagram has the wrong size");
}

// A cairo surface holding a copy of a 3-byte pixbuf's pixels.
cairo_surface_t* surface_from_pixbuf(GdkPixbuf* pixbuf)
{
    int w = gdk_pixbuf_get_width(pixbuf), h = gdk_pixbuf_get_height(pixbuf);
    int source_pitch = gdk_pixbuf_get_rowstride(pixbuf);
    const guchar* source = gdk_pixbuf_get_pixels(pixbuf);
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, w, h);
    cairo_surface_flush(surface);
    unsigned char* data = cairo_image_surface_get_data(surface);
    int pitch = cairo_image_surface_get_stride(surface);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const guchar* s = source + y * source_pitch + x * 3;
            std::uint32_t pixel = 0xFF000000u | std::uint32_t(s[0]) << 16 | std::uint32_t(s[1]) << 8 | s[2];
            std::memcpy(data + y * pitch + x * 4, &pixel, 4);
        }
    cairo_surface_mark_dirty(surface);
    return surface;
}

struct blit {
    cairo_surface_t* surface;
    int x, y;
};

// The 68 blits of the render, in its order, over the same pixels.
std::vector<blit> diagram_blits()
{
    const int s = square;
    std::vector<blit> blits;
    auto add = [&](GdkPixbuf* pixbuf, int x, int y) { blits.push_back({surface_from_pixbuf(pixbuf), x, y}); };
    add(image_handle(27), 0, 0);
    add(image_handle(27), 0, 8 * s + s / 2);
    add(image_handle(28), 0, s / 2);
    add(image_handle(28), 8 * s + s / 2, s / 2);
    int k = 0;
    for (int col = 1; col <= 8; col++)
        for (int row = 1; row <= 8; row++)
            add(reinterpret_cast<GdkPixbuf*>(gadget_get_state(++k)), col * s - s / 2, row * s - s / 2);
    return blits;
}

char* utf8_of(const char16_t* value)
{
    return g_utf16_to_utf8(reinterpret_cast<const gunichar2*>(value), -1, nullptr, nullptr, nullptr);
}

void render_peer(benchmark::State& state, bool new_text)
{
    if (!ready(state))
        return;
    const int s = square;
    std::vector<blit> blits = diagram_blits();
    const PangoFontDescription* font = font_handle(0);
    char* texts[2] = {utf8_of(task_text), utf8_of(other_task_text)};
    bool other = false;
    for (auto _ : state) {
        other = new_text && !other;
        cairo_surface_t* target = cairo_image_surface_create(CAIRO_FORMAT_RGB24, diagram_width, diagram_height);
        cairo_t* cr = cairo_create(target);
        cairo_set_antialias(cr, CAIRO_ANTIALIAS_NONE);
        cairo_set_source_rgb(cr, 1, 1, 1);
        cairo_paint(cr);
        cairo_set_source_rgb(cr, 0, 0, 0);
        cairo_set_line_width(cr, 1);
        cairo_rectangle(cr, 0.5, 0.5, 9 * s - 1, s / 2 - 1);
        cairo_stroke(cr);

        PangoLayout* layout = pango_cairo_create_layout(cr);
        pango_layout_set_font_description(layout, font);
        pango_layout_set_text(layout, texts[other], -1);
        int w = 0, h = 0;
        pango_layout_get_pixel_size(layout, &w, &h);
        const int text_x = (9 * s - w) / 2, text_y = 9 * s + 2;
        cairo_set_source_rgb(cr, 1, 1, 1);
        cairo_rectangle(cr, text_x, text_y, w, h);
        cairo_fill(cr);
        cairo_set_antialias(cr, CAIRO_ANTIALIAS_DEFAULT);
        cairo_set_source_rgb(cr, 0, 0, 0);
        cairo_move_to(cr, text_x, text_y);
        pango_cairo_show_layout(cr, layout);
        g_object_unref(layout);

        for (const blit& b : blits) {
            cairo_set_source_surface(cr, b.surface, b.x, b.y);
            cairo_rectangle(cr, b.x, b.y, cairo_image_surface_get_width(b.surface),
                            cairo_image_surface_get_height(b.surface));
            cairo_fill(cr);
        }
        cairo_destroy(cr);
        cairo_surface_flush(target);
        benchmark::DoNotOptimize(cairo_image_surface_get_data(target));
        cairo_surface_destroy(target);
    }
    g_free(texts[0]);
    g_free(texts[1]);
    for (const blit& b : blits)
        cairo_surface_destroy(b.surface);
}

void render_limit(benchmark::State& state)
{
    std::vector<std::uint8_t> from(std::size_t(diagram_width) * 3 * diagram_height, 0xFF);
    std::vector<std::uint8_t> to(from.size());
    for (auto _ : state) {
        std::memcpy(to.data(), from.data(), from.size());
        benchmark::DoNotOptimize(to.data());
        benchmark::ClobberMemory();
    }
}

// Replacing an existing file makes ext4 push the new one to disk at the
// rename, which would measure the disk; every save goes to a fresh name.
void remove_untimed(benchmark::State& state, const std::string& path)
{
    state.PauseTiming();
    std::remove(path.c_str());
    state.ResumeTiming();
}

void add_ours(benchmark::State& state)
{
    if (!ready(state))
        return;
    const std::string collected = session().folder + "/TEMP/1.jpg";
    std::remove(collected.c_str());
    for (auto _ : state) {
        // Always the first diagram, so the guard against a fifth never stops it.
        composer.collected_count = 0;
        add_to_print();
        if (composer.collected_count != 1) {
            state.SkipWithError("add_to_print did not collect the diagram");
            break;
        }
        remove_untimed(state, collected);
    }
}

void add_peer(benchmark::State& state)
{
    if (!ready(state))
        return;
    rendered_pixels picture = render_once();
    tjhandle compressor = tjInitCompress();
    for (auto _ : state) {
        unsigned char* jpeg = nullptr;
        unsigned long size = 0;
        if (tjCompress2(compressor, picture.pixels, picture.width, picture.pitch, picture.height, TJPF_RGB, &jpeg,
                        &size, TJSAMP_420, jpeg_quality, 0) != 0) {
            state.SkipWithError("tjCompress2 failed");
            break;
        }
        benchmark::DoNotOptimize(jpeg);
        tjFree(jpeg);
    }
    tjDestroy(compressor);
}

// The floor for the file itself: moving its bytes once in memory.
void add_limit(benchmark::State& state)
{
    if (!ready(state))
        return;
    composer.collected_count = 0;
    add_to_print();
    std::error_code failed;
    auto size = std::filesystem::file_size(session().folder + "/TEMP/1.jpg", failed);
    if (failed) {
        state.SkipWithError("no collected diagram to size");
        return;
    }
    std::vector<std::uint8_t> from(size, 0x5A), to(size);
    for (auto _ : state) {
        std::memcpy(to.data(), from.data(), from.size());
        benchmark::DoNotOptimize(to.data());
        benchmark::ClobberMemory();
    }
}

}  // namespace

BENCHMARK_CAPTURE(render_ours, same, false)->Name("render_diagram/ours")->Repetitions(9)->ReportAggregatesOnly(true)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(render_peer, same, false)->Name("render_diagram/peer")->Repetitions(9)->ReportAggregatesOnly(true)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(render_ours, new, true)->Name("render_diagram, new text/ours")->Repetitions(9)->ReportAggregatesOnly(true)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(render_peer, new, true)->Name("render_diagram, new text/peer")->Repetitions(9)->ReportAggregatesOnly(true)->Unit(benchmark::kMillisecond);
BENCHMARK(render_limit)->Name("render_diagram/limit")->Repetitions(9)->ReportAggregatesOnly(true)->Unit(benchmark::kMillisecond);
BENCHMARK(add_ours)->Name("add_to_print/ours")->Repetitions(9)->ReportAggregatesOnly(true)->Unit(benchmark::kMillisecond);
BENCHMARK(add_peer)->Name("add_to_print/peer")->Repetitions(9)->ReportAggregatesOnly(true)->Unit(benchmark::kMillisecond);
BENCHMARK(add_limit)->Name("add_to_print/limit")->Repetitions(9)->ReportAggregatesOnly(true)->Unit(benchmark::kMillisecond);

CHESS_BENCHMARK_MAIN()
