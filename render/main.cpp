// chess-diagram-render: the editor's diagrams from positions written as FEN,
// print sheets of them as PDF, and positions read back from diagrams. It
// draws through the same layers as the editor, so the look is the editor's.
#include <cstdio>
#include <string>

#include "codec/jpeg_plugin.h"
#include "imaging/bmp_decoder.h"
#include "imaging/drawing.h"
#include "imaging/fonts.h"
#include "imaging/image_plugins.h"
#include "imaging/image_store.h"
#include "layout/folders.h"
#include "layout/square_set.h"
#include "render/diagram_files.h"
#include "render/options.h"
#include "render/position_list.h"
#include "render/read_back.h"
#include "render/sheets_pdf.h"

namespace {

int fail(const std::string& line)
{
    report_problem(line);
    return 1;
}

// Everything but the display, which each process opens for itself.
bool start_imaging(const render_options& options, std::string* error)
{
    image_plugins_init();
    image_decoder_register(bmp_decoder());
    jpeg_decoder_register();
    jpeg_encoder_register();
    image_store_init();
    drawing_init();
    font_store_init();
    font_load(0, u"", 12);
    const std::string set = options.data_folder.empty() ? default_square_set() : options.data_folder;
    if (set.empty()) {
        *error = "набор клеток не найден: нет ни ./DATA, ни " + user_folder() +
                 "/DATA, ни набора по умолчанию; укажите его ключом --data";
        return false;
    }
    return square_set_load(set, error);
}

int render_one(const render_options& options)
{
    board_position position;
    std::string error;
    if (!parse_fen(options.fen, &position, &error) ||
        !place_markers(options.cross_squares, cross_marker, &position, &error) ||
        !place_markers(options.ring_squares, ring_marker, &position, &error))
        return fail(error);
    if (!g_utf8_validate(options.task_text.data(), gssize(options.task_text.size()), nullptr))
        return fail("текст задания не в кодировке UTF-8");
    if (!start_imaging(options, &error))
        return fail(error);
    open_display_if_any();
    if (!write_diagram_file(position, text_from_utf8(options.task_text), options.output, &error))
        return fail(error);
    return 0;
}

int render_list(const render_options& options)
{
    position_list list;
    std::string error;
    if (!read_position_list(options.list_file, &list, &error))
        return fail(error);
    for (const std::string& line : list.errors)
        fail(line);
    if (!start_imaging(options, &error))
        return fail(error);
    bool written = true;
    if (!options.sheets_pdf.empty())
        written = write_sheets_pdf(list, options.sheets_pdf, options.output);
    else
        written = write_listed_diagrams(list, options.output);
    return written && list.errors.empty() ? 0 : 1;
}

int read_back(const render_options& options)
{
    std::string error;
    board_position position;
    if (!start_imaging(options, &error) || !read_diagram(options.read_file, &position, &error))
        return fail(error);
    print_read_position(position);
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    render_options options;
    std::string error;
    if (!parse_render_options(argc, argv, &options, &error))
        return fail(error);
    switch (options.mode) {
    case render_mode::help: std::fputs(render_usage, stdout); return 0;
    case render_mode::one_position: return render_one(options);
    case render_mode::position_list: return render_list(options);
    case render_mode::read_back: return read_back(options);
    case render_mode::none: break;
    }
    return fail("нужен один из ключей --fen, --list или --read");
}
