// make-seeds TARGET FOLDER: writes a seed corpus of small valid files for a
// fuzz target. BMP files of every depth and compression the decoder reads go
// to every target; JPEG files, made by the program's own encoder, go to the
// targets that load through the whole registry.
#include <cstdint>
#include <cstdio>
#include <initializer_list>
#include <string>
#include <string_view>

#include <gdk-pixbuf/gdk-pixbuf.h>

#include "codec/jpeg_plugin.h"
#include "imaging/image_plugins.h"
#include "imaging/image_store.h"
#include "tests/imaging/bmp_builder.h"

namespace {

using namespace bmp_builder;

bool write_seed(const std::string& folder, const std::string& name, const bytes& content)
{
    std::string path = folder + "/" + name;
    std::FILE* out = std::fopen(path.c_str(), "wb");
    if (!out)
        return false;
    bool ok = std::fwrite(content.data(), 1, content.size(), out) == content.size();
    return std::fclose(out) == 0 && ok;
}

std::uint32_t pattern(int x, int y)
{
    return std::uint32_t(x * 53 + y * 97 + x * y * 7);
}

bool write_bmp_seeds(const std::string& folder)
{
    bool ok = true;
    for (int bits : {1, 4, 8, 16, 24, 32}) {
        for (auto [width, height] : {std::pair{1, 1}, std::pair{5, 3}, std::pair{8, 2}}) {
            layout shape;
            shape.width = width;
            shape.height = height;
            shape.bits = std::uint16_t(bits);
            if (bits <= 8)
                shape.palette = ramp_palette(1 << bits);
            shape.pixels = rows(width, height, bits, [bits](int x, int y) {
                std::uint32_t v = pattern(x, y);
                return bits <= 8 ? v % (1u << bits) : v * 0x010305u;
            });
            std::string name = "bmp" + std::to_string(bits) + "-" + std::to_string(width) + "x" +
                               std::to_string(height) + ".bmp";
            ok = write_seed(folder, name, file(shape)) && ok;
        }
    }
    // RLE8 with every escape: runs, a literal group with its pad byte, a
    // delta, line ends and the end of the image.
    layout rle;
    rle.width = 6;
    rle.height = 4;
    rle.bits = 8;
    rle.compression = 1;
    rle.palette = ramp_palette(8);
    rle.pixels = {3, 1, 0, 3, 2, 3, 4, 0, 0, 0, 0, 2, 2, 1, 6, 5, 0, 0, 2, 7, 0, 1};
    ok = write_seed(folder, "bmp8-rle.bmp", file(rle)) && ok;
    layout rle4 = rle;
    rle4.bits = 4;
    rle4.compression = 2;
    rle4.pixels = {4, 0x12, 0, 0, 0, 1};
    ok = write_seed(folder, "bmp4-rle.bmp", file(rle4)) && ok;
    return ok;
}

bool write_jpeg_seeds(const std::string& folder)
{
    image_plugins_init();
    jpeg_encoder_register();
    image_store_init();
    bool ok = true;
    for (auto [width, height] : {std::pair{1, 1}, std::pair{9, 7}, std::pair{17, 16}}) {
        if (!image_create(0, width, height)) {
            ok = false;
            continue;
        }
        GdkPixbuf* pixbuf = image_handle(0);
        guchar* pixels = gdk_pixbuf_get_pixels(pixbuf);
        int stride = gdk_pixbuf_get_rowstride(pixbuf);
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x)
                for (int c = 0; c < 3; ++c)
                    pixels[y * stride + 3 * x + c] = guchar(pattern(x, y) * (c + 1));
        // Quality 2 gives 16-bit tables and an extended-sequential frame.
        for (int quality : {2, 7}) {
            std::string path = folder + "/jpeg-q" + std::to_string(quality) + "-" + std::to_string(width) + "x" +
                               std::to_string(height) + ".jpg";
            ok = image_save(0, text_from_utf8(path), four_letter_code("JPEG"), quality) && ok;
        }
    }
    image_store_shutdown();
    return ok;
}

// Positions as people write them: full FEN, the board field alone, markers.
bool write_position_seeds(const std::string& folder)
{
    const char* seeds[] = {
        "rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR b KQkq e3 0 1\n",
        "7k/6pp/8/8/8/5N2/8/3Q3K\nf7,e4",
        "8/8/8/8/8/8/8/8\na1,h8,E4",
        "r3k2r/1b4bq/8/8/8/8/7B/R3K2R w KQkq - 0 1\nb1",
    };
    bool ok = true;
    for (std::size_t i = 0; i < std::size(seeds); i++) {
        std::FILE* file = std::fopen((folder + "/position-" + std::to_string(i)).c_str(), "wb");
        ok = file && std::fputs(seeds[i], file) >= 0 && std::fclose(file) == 0 && ok;
    }
    return ok;
}

// FEN and list lines as they are pasted and as test suites publish them.
bool write_pasted_input_seeds(const std::string& folder)
{
    const char* seeds[] = {
        "\xEF\xBB\xBFrnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1\r\n",
        "2rr3k/pp3pp1/1nnqbN1p/3pN3/2pP4/2P3Q1/PPB4P/R4RK1 w - - bm Qg6; id \"WAC.001\";\n",
        "r3k2r/8/8/8/8/8/8/R3K2R\u00A0b\tHAha e3 12 40\n",
        "# list\n7k/6pp/8/8/8/5N2/8/3Q3K\tМат в 2 хода\r\nQ~7/8/8/8/8/8/8/k6K w Bg -\tMate in 1\r",
    };
    bool ok = true;
    for (std::size_t i = 0; i < std::size(seeds); i++) {
        std::FILE* file = std::fopen((folder + "/pasted-" + std::to_string(i)).c_str(), "wb");
        ok = file && std::fputs(seeds[i], file) >= 0 && std::fclose(file) == 0 && ok;
    }
    return ok;
}

bool write_text_seeds(const std::string& folder, const char* prefix, std::initializer_list<const char*> seeds)
{
    bool ok = true;
    int i = 0;
    for (const char* seed : seeds) {
        std::FILE* file = std::fopen((folder + "/" + prefix + "-" + std::to_string(i++)).c_str(), "wb");
        ok = file && std::fputs(seed, file) >= 0 && std::fclose(file) == 0 && ok;
    }
    return ok;
}

// Piece lists, twins and problem files as composers and databases write them.
bool write_problem_seeds(const std::string& folder, std::string_view target)
{
    if (target == "problem_text_fuzz")
        return write_text_seeds(folder, "list",
                                {"White: Kh1 Qd1 Sf3 Pg2 Black: Kh8 Ph7 (4+2)", "Белые: Крh1 Фd1 Кf3 g2 Чёрные: Крh8 h7",
                                 "Weiß: Kh1 Dd1 Tf1 Lc1 Sf3 Bg2 Schwarz: Kh8", "w: Ka1 Pa2b3c4; b: Kh8"});
    if (target == "twin_fuzz")
        return write_text_seeds(folder, "twin",
                                {"b) Kd5→e5", "+c) −Sf3, +bBe7", "b) Кр d5→e5", "b) a1↔h8", "b) 90°",
                                 "continued move d5 e5 remove f3 add white Pc3d4", "mirror a1<-->h1 shift a1 b2 polish"});
    if (target == "solver_input_fuzz")
        return write_text_seeds(folder, "solver",
                                {"title T\nauthor A\npieces white kd5 sf3 black ke7 pb7\nstip h#2\n"
                                 "option setplay whitetoplay\ntwin move d5 e5\ntwin cont rem f3\nnext\n"
                                 "forsyth 6k1/6K1/40Q\nstip #1\nend\n"});
    return write_text_seeds(folder, "yaml",
                            {"authors: [A]\nsource: {name: S, date: {year: 1965}}\nalgebraic:\n  white: [Kh1, Sf3]\n"
                             "  black: [Kh8]\nstipulation: \"#2\"\nintended-solutions: 2.1\n"
                             "twins: {b: Move h1 g1, c: Continued Remove f3}\n---\nalgebraic: {white: [Kh1]}\n"});
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: make-seeds TARGET FOLDER\n");
        return 1;
    }
    std::string_view target = argv[1];
    std::string folder = argv[2];
    const bool problems = target == "problem_text_fuzz" || target == "twin_fuzz" ||
                          target == "solver_input_fuzz" || target == "yaml_problem_fuzz";
    const bool text = target == "position_fuzz" || target == "pasted_input_fuzz" || problems;
    bool ok = problems                        ? write_problem_seeds(folder, target)
              : target == "position_fuzz"     ? write_position_seeds(folder)
              : target == "pasted_input_fuzz" ? write_pasted_input_seeds(folder)
                                              : write_bmp_seeds(folder);
    if (target != "bmp_decode_fuzz" && !text)
        ok = write_jpeg_seeds(folder) && ok;
    if (!ok) {
        std::fprintf(stderr, "make-seeds: %s: could not write every seed\n", folder.c_str());
        return 1;
    }
    return 0;
}
