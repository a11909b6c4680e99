// Draws the default set of 32 square images for one square size: the twelve
// pieces and the empty square on light and dark squares, the two frame strips
// and the two problem markers, written as OUTDIR/1.jpg ... OUTDIR/32.jpg
// (OUTDIR is made when missing). It runs at build time; the program itself
// only reads the files.
#include <cairo.h>
#include <pango/pangocairo.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "codec/jpeg_plugin.h"
#include "toolkit/safe_write.h"

namespace {

constexpr int default_size = 60;
constexpr int smallest_size = 16;  // below this the frame lines and glyphs turn to mush
constexpr int largest_size = 1000;
constexpr std::int32_t jpeg_quality = 9;  // library quality 90: no visible ringing on the hatching

// Pieces in the order of the Unicode chess block and of the image numbers.
constexpr int piece_count = 6;
constexpr gunichar white_glyphs = 0x2654;  // outline pieces, king first
constexpr gunichar black_glyphs = 0x265A;  // solid pieces, king first

// The largest piece takes this share of the square, the rest is margin.
constexpr double piece_share = 0.86;

enum class shade { light, dark };
enum class side { white, black };
enum class marker { cross, ring };

// An opaque RGB drawing surface with its context.
struct canvas {
    cairo_surface_t* surface;
    cairo_t* cr;
    int width;
    int height;
};

canvas canvas_create(int width, int height)
{
    canvas c;
    c.surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, width, height);
    c.cr = cairo_create(c.surface);
    c.width = width;
    c.height = height;
    cairo_set_source_rgb(c.cr, 1, 1, 1);
    cairo_paint(c.cr);
    return c;
}

bool canvas_ok(const canvas& c)
{
    return cairo_status(c.cr) == CAIRO_STATUS_SUCCESS && cairo_surface_status(c.surface) == CAIRO_STATUS_SUCCESS;
}

void canvas_destroy(canvas& c)
{
    cairo_destroy(c.cr);
    cairo_surface_destroy(c.surface);
}

// The hatching of a dark square: 45-degree lines rising to the right, set on
// whole pixels so they stay crisp instead of smearing into grey.
int hatch_period(int s)
{
    return std::max(3, int(std::lround(s / 14.0)));
}

int hatch_width(int s)
{
    return std::max(1, hatch_period(s) / 4);
}

// Pieces and markers keep this much white between their ink and the hatching.
double rim_width(int s)
{
    return s / 40.0;
}

void paint_background(canvas& c, shade kind)
{
    cairo_set_source_rgb(c.cr, 1, 1, 1);
    cairo_paint(c.cr);
    if (kind == shade::light)
        return;
    cairo_surface_flush(c.surface);
    int period = hatch_period(c.width);
    int width = hatch_width(c.width);
    unsigned char* data = cairo_image_surface_get_data(c.surface);
    int stride = cairo_image_surface_get_stride(c.surface);
    for (int y = 0; y < c.height; ++y) {
        auto* row = reinterpret_cast<std::uint32_t*>(data + std::ptrdiff_t(y) * stride);
        for (int x = 0; x < c.width; ++x)
            if ((x + y) % period < width)
                row[x] = 0x000000;
    }
    cairo_surface_mark_dirty(c.surface);
}

// Glyph outlines come from Pango as paths, unhinted, so they scale exactly
// and every piece is drawn anti-aliased from the same outline.
struct glyph_font {
    PangoLayout* layout;
    double scale;  // from the layout's font size to the piece size of this square
};

constexpr int reference_size = 200;  // pixels; the outlines are measured at this size

void layout_set_glyph(PangoLayout* layout, gunichar glyph)
{
    char utf8[8] = {};
    g_unichar_to_utf8(glyph, utf8);
    pango_layout_set_text(layout, utf8, -1);
}

struct extents {
    double x1, y1, x2, y2;
};

extents glyph_extents(cairo_t* cr, PangoLayout* layout, gunichar glyph)
{
    layout_set_glyph(layout, glyph);
    cairo_new_path(cr);
    pango_cairo_layout_path(cr, layout);
    extents e;
    cairo_fill_extents(cr, &e.x1, &e.y1, &e.x2, &e.y2);
    cairo_new_path(cr);
    return e;
}

// Returns false when no installed font has the chess glyphs.
bool glyph_font_open(glyph_font& font, int s)
{
    cairo_surface_t* scratch = cairo_image_surface_create(CAIRO_FORMAT_A8, 1, 1);
    cairo_t* cr = cairo_create(scratch);
    font.layout = pango_cairo_create_layout(cr);
    cairo_font_options_t* options = cairo_font_options_create();
    cairo_font_options_set_hint_style(options, CAIRO_HINT_STYLE_NONE);
    cairo_font_options_set_hint_metrics(options, CAIRO_HINT_METRICS_OFF);
    cairo_font_options_set_antialias(options, CAIRO_ANTIALIAS_GRAY);
    pango_cairo_context_set_font_options(pango_layout_get_context(font.layout), options);
    cairo_font_options_destroy(options);
    PangoFontDescription* description = pango_font_description_from_string("FreeSerif, DejaVu Sans");
    pango_font_description_set_absolute_size(description, reference_size * PANGO_SCALE);
    pango_layout_set_font_description(font.layout, description);
    pango_font_description_free(description);
    pango_layout_context_changed(font.layout);

    // One scale for all pieces keeps their sizes in proportion: the biggest
    // glyph fills the piece share of the square.
    bool complete = true;
    double largest = 0;
    for (gunichar first : {white_glyphs, black_glyphs})
        for (int i = 0; i < piece_count; ++i) {
            extents e = glyph_extents(cr, font.layout, first + gunichar(i));
            if (pango_layout_get_unknown_glyphs_count(font.layout) > 0 || e.x2 <= e.x1)
                complete = false;
            largest = std::max({largest, e.x2 - e.x1, e.y2 - e.y1});
        }
    font.scale = largest > 0 ? piece_share * s / largest : 1;
    cairo_destroy(cr);
    cairo_surface_destroy(scratch);
    return complete;
}

void glyph_font_close(glyph_font& font)
{
    g_object_unref(font.layout);
}

// Sets the path of a glyph scaled and centred on its ink in the square.
void glyph_path(canvas& c, const glyph_font& font, gunichar glyph)
{
    extents e = glyph_extents(c.cr, font.layout, glyph);
    cairo_save(c.cr);
    cairo_translate(c.cr, c.width / 2.0, c.height / 2.0);
    cairo_scale(c.cr, font.scale, font.scale);
    cairo_translate(c.cr, -(e.x1 + e.x2) / 2, -(e.y1 + e.y2) / 2);
    cairo_new_path(c.cr);
    pango_cairo_layout_path(c.cr, font.layout);
    cairo_restore(c.cr);
}

// Paints white everything the glyph encloses, so the square's hatching never
// shows inside a piece. The glyph is rendered as a mask and the outside is
// flooded from the border; what the flood cannot reach is inside.
void fill_enclosed(canvas& c, const glyph_font& font, gunichar glyph)
{
    int w = c.width, h = c.height;
    cairo_surface_t* mask = cairo_image_surface_create(CAIRO_FORMAT_A8, w, h);
    cairo_t* cr = cairo_create(mask);
    canvas m{mask, cr, w, h};
    glyph_path(m, font, glyph);
    cairo_set_source_rgba(cr, 0, 0, 0, 1);
    cairo_fill(cr);
    cairo_surface_flush(mask);

    // Pixels at least this covered by the glyph are walls the flood stops at.
    constexpr unsigned char wall = 96;
    const unsigned char* coverage = cairo_image_surface_get_data(mask);
    int stride = cairo_image_surface_get_stride(mask);
    std::vector<unsigned char> outside(std::size_t(w) * std::size_t(h), 0);
    std::vector<int> pending;
    auto visit = [&](int x, int y) {
        std::size_t at = std::size_t(y) * std::size_t(w) + std::size_t(x);
        if (outside[at] || coverage[std::ptrdiff_t(y) * stride + x] >= wall)
            return;
        outside[at] = 1;
        pending.push_back(int(at));
    };
    for (int x = 0; x < w; ++x) {
        visit(x, 0);
        visit(x, h - 1);
    }
    for (int y = 0; y < h; ++y) {
        visit(0, y);
        visit(w - 1, y);
    }
    // Four neighbours only, so the flood cannot slip through a diagonal wall.
    while (!pending.empty()) {
        int at = pending.back();
        pending.pop_back();
        int x = at % w, y = at / w;
        if (x > 0)
            visit(x - 1, y);
        if (x + 1 < w)
            visit(x + 1, y);
        if (y > 0)
            visit(x, y - 1);
        if (y + 1 < h)
            visit(x, y + 1);
    }
    cairo_destroy(cr);
    cairo_surface_destroy(mask);

    cairo_surface_flush(c.surface);
    unsigned char* data = cairo_image_surface_get_data(c.surface);
    int target_stride = cairo_image_surface_get_stride(c.surface);
    for (int y = 0; y < h; ++y) {
        auto* row = reinterpret_cast<std::uint32_t*>(data + std::ptrdiff_t(y) * target_stride);
        for (int x = 0; x < w; ++x)
            if (!outside[std::size_t(y) * std::size_t(w) + std::size_t(x)])
                row[x] = 0xFFFFFF;
    }
    cairo_surface_mark_dirty(c.surface);
}

// A white piece is the outline glyph on a white body; a black piece is the
// solid glyph, whose cut-out details show white rather than the square. A
// white rim around either keeps the hatching off the outline.
void draw_piece(canvas& c, const glyph_font& font, side colour, int piece)
{
    gunichar outline = white_glyphs + gunichar(piece);
    gunichar solid = black_glyphs + gunichar(piece);
    gunichar drawn = colour == side::white ? outline : solid;
    fill_enclosed(c, font, drawn);
    glyph_path(c, font, drawn);
    cairo_set_source_rgb(c.cr, 1, 1, 1);
    cairo_set_line_width(c.cr, 2 * rim_width(c.width));
    cairo_set_line_join(c.cr, CAIRO_LINE_JOIN_ROUND);
    cairo_stroke_preserve(c.cr);
    cairo_set_source_rgb(c.cr, 0, 0, 0);
    cairo_fill(c.cr);
}

void draw_marker(canvas& c, marker kind)
{
    double s = c.width;
    double line = std::max(2.0, s / 14);
    double rim = rim_width(c.width);
    double centre = s / 2;
    cairo_new_path(c.cr);
    if (kind == marker::cross) {
        double reach = s * 0.22;
        cairo_move_to(c.cr, centre - reach, centre - reach);
        cairo_line_to(c.cr, centre + reach, centre + reach);
        cairo_move_to(c.cr, centre + reach, centre - reach);
        cairo_line_to(c.cr, centre - reach, centre + reach);
        cairo_set_line_cap(c.cr, CAIRO_LINE_CAP_ROUND);
    } else {
        cairo_arc(c.cr, centre, centre, s * 0.25, 0, 2 * M_PI);
    }
    cairo_set_line_width(c.cr, line + 2 * rim);
    cairo_set_source_rgb(c.cr, 1, 1, 1);
    cairo_stroke_preserve(c.cr);
    cairo_set_line_width(c.cr, line);
    cairo_set_source_rgb(c.cr, 0, 0, 0);
    cairo_stroke(c.cr);
}

// The frame is one bold rule that fills the strips. One horizontal strip
// serves above and below the board and one vertical strip left and right,
// so the left end of the horizontal strip is the top-left corner and the
// bottom-left corner at once. Any line that told the strip's inner edge from
// its outer one would close the corner above the board with the shape the
// corner below needs, leaving a box or a bar there; a rule as wide as the
// strip is the same from either side and meets the other strips squarely.
void fill_rect(canvas& c, int x, int y, int w, int h)
{
    cairo_rectangle(c.cr, x, y, w, h);
    cairo_set_source_rgb(c.cr, 0, 0, 0);
    cairo_fill(c.cr);
}

void draw_horizontal_strip(canvas& c, int s)
{
    int band = s / 2;
    // For odd s the vertical strips leave the last of the 9 s columns
    // uncovered, on screen and in the diagram; the frame ends before it.
    fill_rect(c, 0, 0, 8 * s + 2 * band, band);
}

void draw_vertical_strip(canvas& c, int s)
{
    fill_rect(c, 0, 0, s / 2, 8 * s);
}

bool write_jpeg(const canvas& c, const std::string& path)
{
    cairo_surface_flush(c.surface);
    const unsigned char* data = cairo_image_surface_get_data(c.surface);
    int stride = cairo_image_surface_get_stride(c.surface);
    std::vector<std::uint8_t> rgb(std::size_t(c.width) * std::size_t(c.height) * 3);
    for (int y = 0; y < c.height; ++y) {
        const auto* row = reinterpret_cast<const std::uint32_t*>(data + std::ptrdiff_t(y) * stride);
        std::uint8_t* out = rgb.data() + std::size_t(y) * std::size_t(c.width) * 3;
        for (int x = 0; x < c.width; ++x) {
            out[3 * x] = std::uint8_t(row[x] >> 16);
            out[3 * x + 1] = std::uint8_t(row[x] >> 8);
            out[3 * x + 2] = std::uint8_t(row[x]);
        }
    }
    return jpeg_write(path.c_str(), rgb.data(), c.width, c.height, c.width * 3, 0, jpeg_quality, 24) == 1;
}

// Draws image number n of the set.
void draw_image(canvas& c, const glyph_font& font, int n, int s)
{
    if (n <= 24) {
        int index = (n - 1) / 2;
        paint_background(c, n % 2 ? shade::light : shade::dark);
        draw_piece(c, font, index < piece_count ? side::white : side::black, index % piece_count);
    } else if (n <= 26) {
        paint_background(c, n % 2 ? shade::light : shade::dark);
    } else if (n == 27) {
        draw_horizontal_strip(c, s);
    } else if (n == 28) {
        draw_vertical_strip(c, s);
    } else {
        paint_background(c, n % 2 ? shade::light : shade::dark);
        draw_marker(c, n <= 30 ? marker::cross : marker::ring);
    }
}

int fail(const std::string& message)
{
    std::fprintf(stderr, "make-squares: %s\n", message.c_str());
    return 1;
}

// Makes the folder and any missing folders above it, as mkdir -p does, so a
// new set can go straight into a folder that does not exist yet.
bool make_folder(const std::string& folder, std::string& why)
{
    for (std::size_t end = folder.find('/', 1);; end = folder.find('/', end + 1)) {
        std::string part = folder.substr(0, end);
        if (mkdir(part.c_str(), 0777) != 0 && errno != EEXIST) {
            why = "cannot create the folder " + part + ": " + std::strerror(errno);
            return false;
        }
        if (end == std::string::npos)
            break;
    }
    struct stat info;
    if (stat(folder.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) {
        why = "not a folder: " + folder;
        return false;
    }
    return true;
}

bool parse_size(const char* argument, int& size)
{
    char* end = nullptr;
    errno = 0;
    long value = std::strtol(argument, &end, 10);
    if (errno || end == argument || *end || value < smallest_size || value > largest_size)
        return false;
    size = int(value);
    return true;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 2 || argc > 3)
        return fail("usage: make-squares OUTDIR [SIZE]");
    // An interrupted run leaves no hidden temporary behind; each file is
    // written whole or not at all by the JPEG writer's safe write.
    safe_write_remove_on_signals();
    std::string folder = argv[1];
    int s = default_size;
    if (argc == 3 && !parse_size(argv[2], s))
        return fail("SIZE must be a whole number from " + std::to_string(smallest_size) + " to " +
                    std::to_string(largest_size) + ", not \"" + argv[2] + "\"");
    std::string why;
    if (!make_folder(folder, why))
        return fail(why);

    glyph_font font;
    if (!glyph_font_open(font, s)) {
        glyph_font_close(font);
        return fail("no installed font has the chess pieces (install fonts-freefont-ttf or fonts-dejavu-core)");
    }
    int status = 0;
    for (int n = 1; n <= 32 && status == 0; ++n) {
        int width = n == 27 ? 9 * s : n == 28 ? s / 2 : s;
        int height = n == 27 ? s / 2 : n == 28 ? 8 * s : s;
        canvas c = canvas_create(width, height);
        draw_image(c, font, n, s);
        std::string path = folder + "/" + std::to_string(n) + ".jpg";
        if (!canvas_ok(c))
            status = fail("cannot draw " + path + ": " + cairo_status_to_string(cairo_status(c.cr)));
        else if (!write_jpeg(c, path))
            status = fail("cannot write " + path + ": " + std::strerror(errno));
        canvas_destroy(c);
    }
    glyph_font_close(font);
    // The font caches stay to the end: Pango may still be setting up
    // fontconfig on a thread of its own, and tearing the caches down under
    // it aborted inside cairo. The leak checker is told about fontconfig.
    return status;
}
