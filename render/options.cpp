// Options take their value as the next argument or after "=" (--fen=...,
// --text=...). A mode's options are checked against each other here, so the
// rest of the program can trust them.
#include "render/options.h"

#include <string_view>

#include "chess/command_line.h"

const char render_usage[] =
    "Использование:\n"
    "  chess-diagram-render --fen FEN [--text ТЕКСТ] [--cross КЛЕТКИ] [--ring КЛЕТКИ] [--data ПАПКА] -o ДИАГРАММА.jpg\n"
    "  chess-diagram-render --list СПИСОК [--data ПАПКА] [-o ДИАГРАММА.jpg] [--sheets ЛИСТЫ.pdf]\n"
    "  chess-diagram-render --read ДИАГРАММА.jpg [--data ПАПКА]\n"
    "\n"
    "Рисует диаграммы шахматных задач так же, как редактор chess-diagram, и читает их обратно.\n"
    "\n"
    "  --fen FEN        позиция: FEN или строка EPD (KQRBNP белые, kqrbnp чёрные, цифры — пустые\n"
    "                   клетки, / между рядами, первым ряд 8); поля после доски не обязательны,\n"
    "                   но если есть, проверяются\n"
    "  --text ТЕКСТ     текст задания под доской\n"
    "  --cross КЛЕТКИ   клетки с крестиком, через запятую: e4,f5 или \"e4, f5\"\n"
    "  --ring КЛЕТКИ    клетки с кружком\n"
    "  --data ПАПКА     набор клеток 1.jpg … 32.jpg (без него ./DATA, иначе ~/chess-diagram/DATA,\n"
    "                   иначе набор из установки)\n"
    "  -o ФАЙЛ          куда записать диаграмму: .jpg или .jpeg — JPEG, .png — PNG без потерь;\n"
    "                   для списка ФАЙЛ-001.jpg, ФАЙЛ-002.jpg, …; папка (или имя с / в конце) —\n"
    "                   ПАПКА/001.jpg, ПАПКА/002.jpg, … (для --fen — ПАПКА/001.jpg)\n"
    "  --list СПИСОК    по позиции в строке: FEN, табуляция, текст задания (или строка EPD,\n"
    "                   текст — из её id); пустые строки и строки с # в начале пропускаются\n"
    "  --sheets ФАЙЛ    листы печати по четыре диаграммы, страница A4 на лист, в PDF\n"
    "  --read ФАЙЛ      напечатать позицию (FEN) и клетки с метками диаграммы,\n"
    "                   нарисованной редактором или этой программой с тем же набором клеток\n"
    "  -h, --help       эта справка\n"
    "\n"
    "Код выхода 0, если всё сделано; 1, если нет (причина одной строкой на stderr;\n"
    "при ошибке файл не пишется, а из списка пишутся все правильные позиции);\n"
    "130 после Ctrl-C и 143 после SIGTERM (недописанные файлы удаляются).\n";

namespace {

struct option_entry {
    const char* name;
    std::string render_options::*value;              // an option given once
    std::vector<std::string> render_options::*list;  // or one that may be repeated
    render_mode mode;                                // the mode this option starts, or none
};

constexpr option_entry option_table[] = {
    {"--fen", &render_options::fen, nullptr, render_mode::one_position},
    {"--list", &render_options::list_file, nullptr, render_mode::position_list},
    {"--read", &render_options::read_file, nullptr, render_mode::read_back},
    {"--text", &render_options::task_text, nullptr, render_mode::none},
    {"--cross", nullptr, &render_options::cross_squares, render_mode::none},
    {"--ring", nullptr, &render_options::ring_squares, render_mode::none},
    {"--data", &render_options::data_folder, nullptr, render_mode::none},
    {"-o", &render_options::output, nullptr, render_mode::none},
    {"--output", &render_options::output, nullptr, render_mode::none},
    {"--sheets", &render_options::sheets_pdf, nullptr, render_mode::none},
};

const option_entry* find_option(std::string_view name)
{
    for (const option_entry& entry : option_table)
        if (name == entry.name)
            return &entry;
    return nullptr;
}

bool known_option(std::string_view name)
{
    return find_option(name) != nullptr;
}

bool check_mode(const render_options& o, std::string* error)
{
    const bool with_position = !o.task_text.empty() || !o.cross_squares.empty() || !o.ring_squares.empty();
    switch (o.mode) {
    case render_mode::none: *error = "нужен один из ключей --fen, --list или --read (справка: --help)"; return false;
    case render_mode::help: return true;
    case render_mode::one_position:
        if (o.output.empty())
            *error = "для --fen нужен -o ФАЙЛ";
        else if (!o.sheets_pdf.empty())
            *error = "--sheets работает только со списком (--list)";
        break;
    case render_mode::position_list:
        if (o.output.empty() && o.sheets_pdf.empty())
            *error = "для --list нужен -o ФАЙЛ или --sheets ФАЙЛ.pdf";
        else if (with_position)
            *error = "--text, --cross и --ring относятся к --fen; в списке текст идёт после табуляции";
        break;
    case render_mode::read_back:
        if (with_position || !o.output.empty() || !o.sheets_pdf.empty())
            *error = "с --read можно указать только --data";
        break;
    }
    return error->empty();
}

}  // namespace

bool parse_render_options(int argc, char** argv, render_options* options, std::string* error)
{
    render_options o;
    error->clear();
    for (int i = 1; i < argc; i++) {
        const std::string_view argument = argv[i];
        if (argument == "-h" || argument == "--help") {
            o.mode = render_mode::help;
            continue;
        }
        command_line_option option;
        if (!read_command_line_option(argc, argv, &i, known_option, &option, error))
            return false;
        const option_entry* entry = find_option(option.name);
        const std::string& value = option.value;
        // Markers may be given in several lists; everything else once.
        if (entry->list) {
            (o.*(entry->list)).push_back(value);
        } else if (!(o.*(entry->value)).empty()) {
            *error = "ключ " + std::string(entry->name) + " указан дважды";
            return false;
        } else {
            o.*(entry->value) = value;
        }
        if (entry->mode != render_mode::none) {
            if (o.mode != render_mode::none && o.mode != render_mode::help) {
                *error = "--fen, --list и --read нельзя указывать вместе";
                return false;
            }
            if (o.mode != render_mode::help)
                o.mode = entry->mode;
        }
    }
    if (!check_mode(o, error))
        return false;
    *options = o;
    return true;
}

