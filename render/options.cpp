// Options take their value as the next argument or after "=" (--fen=...,
// --text=...). A mode's options are checked against each other here, so the
// rest of the program can trust them.
#include "render/options.h"

#include <string_view>

#include "chess/command_line.h"

const char render_usage[] =
    "Использование:\n"
    "  chess-diagram-render --fen FEN [--text ТЕКСТ] [--twin БЛИЗНЕЦ …] [--count] [--cross КЛЕТКИ] [--ring КЛЕТКИ]\n"
    "                       [--data ПАПКА] -o ДИАГРАММА.jpg\n"
    "  chess-diagram-render --list СПИСОК [--data ПАПКА] [-o ДИАГРАММА.jpg] [--sheets ЛИСТЫ.pdf]\n"
    "  chess-diagram-render --problem ФАЙЛ [--text ТЕКСТ] [--count] [--data ПАПКА] [-o ДИАГРАММА.jpg] [--sheets ЛИСТЫ.pdf]\n"
    "  chess-diagram-render --read ДИАГРАММА.jpg [--as fen|pieces|popeye|yaml] [--stipulation h#2]\n"
    "                       [--author АВТОР] [--source ИСТОЧНИК] [--data ПАПКА]\n"
    "\n"
    "Рисует диаграммы шахматных задач так же, как редактор chess-diagram, и читает их обратно.\n"
    "\n"
    "  --fen FEN        позиция: FEN или строка EPD (KQRBNP белые, kqrbnp чёрные, цифры — пустые\n"
    "                   клетки, / между рядами, первым ряд 8); поля после доски не обязательны,\n"
    "                   но если есть, проверяются; или список фигур: «White: Kh1 Qd1 Sf3 Pg2\n"
    "                   Black: Kh8 (4+1)», «Белые: Крh1 Фd1 Кf3 g2 Чёрные: Крh8», «Weiß: … Schwarz: …»\n"
    "  --text ТЕКСТ     текст задания под доской\n"
    "  --twin БЛИЗНЕЦ   близнец к позиции --fen, для каждого свой ключ: 'b) Kd5→e5', 'c) -Sf3',\n"
    "                   'b) +wPc3', 'b) Kd5↔e5', 'b) a1↔h1', 'b) 90°', '+c) …' (от близнеца b)\n"
    "  --count          счёт фигур после текста задания: «Мат в 2 хода (7+5)»\n"
    "  --cross КЛЕТКИ   клетки с крестиком, через запятую: e4,f5 или \"e4, f5\"\n"
    "  --ring КЛЕТКИ    клетки с кружком\n"
    "  --data ПАПКА     набор клеток 1.jpg … 32.jpg (без него ./DATA, иначе ~/chess-diagram/DATA,\n"
    "                   иначе набор из установки)\n"
    "  -o ФАЙЛ          куда записать диаграмму: .jpg или .jpeg — JPEG, .png — PNG без потерь;\n"
    "                   для списка ФАЙЛ-001.jpg, ФАЙЛ-002.jpg, …; папка (или имя с / в конце) —\n"
    "                   ПАПКА/001.jpg, ПАПКА/002.jpg, … (для --fen — ПАПКА/001.jpg)\n"
    "  --list СПИСОК    по позиции в строке: FEN, табуляция, текст задания (или строка EPD,\n"
    "                   текст — из её id); пустые строки и строки с # в начале пропускаются\n"
    "  --problem ФАЙЛ   задачи из файла решателя (begin … end) или записей YAML задачников,\n"
    "                   по диаграмме на задачу; текст задания — условие, число решений, близнецы\n"
    "  --sheets ФАЙЛ    листы печати по четыре диаграммы, страница A4 на лист, в PDF\n"
    "  --read ФАЙЛ      напечатать позицию (FEN) и клетки с метками диаграммы,\n"
    "                   нарисованной редактором или этой программой с тем же набором клеток\n"
    "  --as ФОРМАТ      с --read: позиция как fen, pieces (список фигур по-английски и по-русски),\n"
    "                   popeye (входной файл решателя) или yaml (запись задачника); для popeye и\n"
    "                   yaml нужно --stipulation (#2, h#2, h#2.5, s#3, …), можно --author и --source\n"
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
    {"--problem", &render_options::problem_file, nullptr, render_mode::problem_file},
    {"--twin", nullptr, &render_options::twins, render_mode::none},
    {"--as", &render_options::read_as, nullptr, render_mode::none},
    {"--stipulation", &render_options::stipulation, nullptr, render_mode::none},
    {"--author", &render_options::author, nullptr, render_mode::none},
    {"--source", &render_options::source, nullptr, render_mode::none},
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
    const bool with_record = !o.stipulation.empty() || !o.author.empty() || !o.source.empty();
    if (o.mode != render_mode::read_back && (!o.read_as.empty() || with_record))
        *error = "--as, --stipulation, --author и --source относятся к --read";
    else if (o.mode != render_mode::one_position && !o.twins.empty())
        *error = "--twin относится к --fen; в файле задач близнецы записаны в самих задачах";
    else if (o.count && o.mode != render_mode::one_position && o.mode != render_mode::problem_file)
        *error = "--count относится к --fen и --problem";
    if (!error->empty())
        return false;
    switch (o.mode) {
    case render_mode::none: *error = "нужен один из ключей --fen, --list, --problem или --read (справка: --help)"; return false;
    case render_mode::help: return true;
    case render_mode::one_position:
        if (o.output.empty())
            *error = "для --fen нужен -o ФАЙЛ";
        else if (!o.sheets_pdf.empty())
            *error = "--sheets работает только со списком (--list) и файлом задач (--problem)";
        break;
    case render_mode::position_list:
        if (o.output.empty() && o.sheets_pdf.empty())
            *error = "для --list нужен -o ФАЙЛ или --sheets ФАЙЛ.pdf";
        else if (with_position)
            *error = "--text, --cross и --ring относятся к --fen; в списке текст идёт после табуляции";
        break;
    case render_mode::problem_file:
        if (o.output.empty() && o.sheets_pdf.empty())
            *error = "для --problem нужен -o ФАЙЛ или --sheets ФАЙЛ.pdf";
        else if (!o.cross_squares.empty() || !o.ring_squares.empty())
            *error = "--cross и --ring относятся к --fen";
        break;
    case render_mode::read_back:
        if (with_position || !o.output.empty() || !o.sheets_pdf.empty())
            *error = "с --read можно указать только --data, --as, --stipulation, --author и --source";
        else if (!o.read_as.empty() && o.read_as != "fen" && o.read_as != "pieces" && o.read_as != "popeye" &&
                 o.read_as != "yaml")
            *error = "--as " + o.read_as + ": нужно fen, pieces, popeye или yaml";
        else if ((o.read_as == "popeye" || o.read_as == "yaml") && o.stipulation.empty())
            *error = "для --as " + o.read_as + " нужно --stipulation: задача без условия не задача";
        else if (with_record && o.read_as != "popeye" && o.read_as != "yaml")
            *error = "--stipulation, --author и --source пишутся только в --as popeye и --as yaml";
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
        if (argument == "--count") {  // a switch, with no value
            o.count = true;
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
                *error = "--fen, --list, --problem и --read нельзя указывать вместе";
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

