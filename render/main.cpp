// chess-diagram-render: the editor's diagrams from positions written as FEN
// or piece lists and from problem files, print sheets of them as PDF, and
// positions read back from diagrams, also as problem files. It
// draws through the same layers as the editor, so the look is the editor's.
#include <algorithm>
#include <cstdio>
#include <string>

#include "chess/position_text.h"
#include "chess/position_list.h"
#include "chess/quoted_input.h"
#include "layout/quoted_file_name.h"
#include "codec/jpeg_plugin.h"
#include "imaging/bmp_decoder.h"
#include "imaging/drawing.h"
#include "imaging/fonts.h"
#include "imaging/image_plugins.h"
#include "imaging/image_store.h"
#include "layout/folders.h"
#include "layout/read_back.h"
#include "layout/square_set.h"
#include "layout/console.h"
#include "render/diagram_files.h"
#include "layout/interruption.h"
#include "render/listed_diagrams.h"
#include "render/options.h"
#include "render/problem_diagrams.h"
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
    const std::string set = chosen_square_set(options.data_folder, error);
    return !set.empty() && square_set_load(set, error);
}

// The task text as the editor's one-line field could hold it.
bool check_task_text(const std::string& task_text, std::string* error)
{
    const bool control = std::any_of(task_text.begin(), task_text.end(), [](char c) {
        const auto byte = static_cast<unsigned char>(c);
        return byte < 0x20 || byte == 0x7F;
    });
    if (!is_valid_utf8(task_text))
        *error = "текст задания не в кодировке UTF-8: " + quoted_input(task_text);
    else if (control)
        *error = "в тексте задания управляющий знак: " + quoted_input(task_text);
    return error->empty();
}

bool read_position(const render_options& options, board_position* position, std::string* task_text,
                   std::string* error)
{
    fen_record record;
    if (!position_text_read(options.fen, &record, error) ||
        !task_text_with_twins(options.task_text, record, options.twins, options.count, task_text, error))
        return false;
    *position = board_from_fen(record);
    for (const std::string& squares : options.cross_squares)
        if (!place_markers(squares, cross_marker, position, error))
            return false;
    for (const std::string& squares : options.ring_squares)
        if (!place_markers(squares, ring_marker, position, error))
            return false;
    return check_task_text(*task_text, error);
}

int render_one(const render_options& options)
{
    board_position position;
    output_target output;
    std::string error, warning, task_text;
    if (!read_position(options, &position, &task_text, &error) || !output_target_read(options.output, &output, &error) ||
        !start_imaging(options, &error))
        return fail(error);
    open_display_if_any();
    if (!draw_position(position, task_text, &error, &warning))
        return fail(error);
    if (!warning.empty())
        report_problem(warning);
    if (!save_rendered_diagram(output.single, output.format, &error))
        return fail(error);
    return 0;
}

// A list of positions, or a file of problems made into one.
int render_list(const render_options& options)
{
    position_list list;
    output_target output;
    std::string error;
    const bool problems = options.mode == render_mode::problem_file;
    if (problems ? !check_task_text(options.task_text, &error) ||
                       !problem_file_diagrams(options.problem_file, options.task_text, options.count, &list, &error)
                 : !position_list_read(options.list_file, &list, &error))
        return fail(error);
    for (const std::string& line : list.errors)
        report_problem(line);
    if (list.position_lines == 0)
        return fail(problems ? "в файле " + quoted_file_name(options.problem_file) + " нет ни одной задачи"
                             : "в списке " + quoted_file_name(options.list_file) + " нет ни одной позиции");
    if (list.positions.empty())
        return 1;  // every position line is bad, and each has been said
    if ((!options.output.empty() && !output_target_read(options.output, &output, &error)) ||
        !start_imaging(options, &error))
        return fail(error);
    const bool written = options.sheets_pdf.empty()
                             ? write_listed_diagrams(list, output)
                             : write_sheets_pdf(list, options.sheets_pdf, options.output.empty() ? nullptr : &output);
    return written && list.errors.empty() ? 0 : 1;
}

// The board field, then a line per marker kind present: "cross: e4,f5".
void print_read_position(const board_position& position)
{
    std::printf("%s\n", board_fen(position).c_str());
    for (auto [marker, name] : {std::pair{cross_marker, "cross"}, std::pair{ring_marker, "ring"}}) {
        std::string squares;
        for (int n = 1; n <= board_squares; n++)
            if (position[std::size_t(n - 1)] == marker)
                squares += (squares.empty() ? "" : ",") + square_name(n);
        if (!squares.empty())
            std::printf("%s: %s\n", name, squares.c_str());
    }
}

int read_back(const render_options& options)
{
    std::string error;
    board_position position;
    if (!start_imaging(options, &error) || !read_back_diagram(options.read_file, &position, &error))
        return fail(error);
    if (options.read_as.empty()) {
        print_read_position(position);
        return 0;
    }
    fen_record record;
    record.squares = fen_squares(position);
    std::string text;
    if (!problem_text_as(options.read_as, record, options.stipulation, options.author, options.source, &text, &error))
        return fail(error);
    std::fputs(text.c_str(), stdout);
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    console_start("chess-diagram-render");
    interruption_install();
    render_options options;
    std::string error;
    if (!parse_render_options(argc, argv, &options, &error))
        return fail(error);
    switch (options.mode) {
    case render_mode::help: std::fputs(render_usage, stdout); return 0;
    case render_mode::one_position: return render_one(options);
    case render_mode::position_list:
    case render_mode::problem_file: return render_list(options);
    case render_mode::read_back: return read_back(options);
    case render_mode::none: break;
    }
    return fail("нужен один из ключей --fen, --list, --problem или --read");
}
