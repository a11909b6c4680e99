// Options take their value as the next argument or after "=". Each option is
// one row of the table below; how the modes combine is checked at the end.
#include "solve/options.h"

#include <string_view>

#include "chess/command_line.h"
#include "chess/quoted_input.h"

const char solve_usage[] =
    "Использование:\n"
    "  chess-diagram-solve --fen FEN --stipulation УСЛОВИЕ [--set-play] [--duplex] [--notation en]\n"
    "  chess-diagram-solve --list СПИСОК [--stipulation УСЛОВИЕ] [--notation en]\n"
    "  chess-diagram-solve --read ДИАГРАММА.jpg --stipulation УСЛОВИЕ [--data ПАПКА] [--notation en]\n"
    "  chess-diagram-solve --problem ФАЙЛ [--notation en]\n"
    "  chess-diagram-solve --fen FEN --stipulation УСЛОВИЕ [--twin БЛИЗНЕЦ …] [--as popeye|yaml]\n"
    "  chess-diagram-solve --perft N --fen FEN\n"
    "\n"
    "Проверяет шахматную задачу любого ортодоксального жанра: все ключи (побочные решения), угрозы,\n"
    "варианты и ложные следы, все решения кооперативных и серийных задач.\n"
    "\n"
    "  --fen FEN              позиция (FEN или EPD; одно поле доски тоже годится) или список фигур:\n"
    "                         «White: Kh1 Qd1 Sf3 Black: Kh8 (3+1)», «Белые: Крh1 Фd1 Кf3 Чёрные: Крh8»\n"
    "  --stipulation УСЛОВИЕ  краткая запись или текст задания (N от 1 до 30):\n"
    "                           #N     мат в N ходов               «Мат в N ходов», «Mate in N»\n"
    "                           s#N    обратный мат                «Обратный мат в N ходов», «Selfmate in N»\n"
    "                           r#N    рефлексный мат              «Рефлексный мат в N ходов», «Reflexmate in N»\n"
    "                           =N     пат                         «Пат в N ходов», «Stalemate in N»\n"
    "                           s=N    обратный пат                «Обратный пат в N ходов», «Selfstalemate in N»\n"
    "                           h#N    кооперативный мат (h#2.5: начинают белые)\n"
    "                                  «Кооперативный мат в 2,5 хода», «Helpmate in 2.5»\n"
    "                           h=N    кооперативный пат           «Кооперативный пат в N ходов», «Helpstalemate in N»\n"
    "                           ser-#N, ser-=N, ser-h#N, ser-h=N, ser-s#N   серийные: «Серийный мат в N ходов»,\n"
    "                                  «Серийный кооперативный мат в N ходов», «Series-helpmate in N» и т. п.\n"
    "                         после условия — число решений («h#2, 2 решения», «h#2 (2 sol.)»),\n"
    "                         «*» для мнимой игры (h#2*) и «дуплекс»\n"
    "  --set-play             мнимая игра перед решением\n"
    "  --duplex               решить ещё и с обменом ролей цветов\n"
    "  --problem ФАЙЛ         задачи из файла решателя (begin … end) или записей YAML задачников;\n"
    "                         каждая задача и каждый близнец проверяются в любом жанре выше,\n"
    "                         с SetPlay, Duplex, HalfDuplex, WhiteToPlay и заявленным числом решений;\n"
    "                         сказочные отвергаются\n"
    "  --twin БЛИЗНЕЦ         близнец к --fen или --read, по ключу на близнеца: 'b) Kd5→e5',\n"
    "                         'c) -Sf3', 'b) +wPc3', 'b) Kd5↔e5', 'b) a1↔h1', 'b) 90°', '+c) …'\n"
    "  --as popeye|yaml       после проверки напечатать задачу как входной файл решателя\n"
    "                         или запись YAML с найденными решениями\n"
    "  --list СПИСОК          по позиции в строке: FEN, табуляция, текст задания (условие);\n"
    "                         пустые строки и строки с # в начале пропускаются;\n"
    "                         с --stipulation условие одно для всех строк\n"
    "  --read ДИАГРАММА       позиция с диаграммы, нарисованной редактором или chess-diagram-render\n"
    "                         (ход белых, рокировка там, где король и ладья на своих полях)\n"
    "  --data ПАПКА           набор клеток диаграммы (без него ./DATA, иначе ~/chess-diagram/DATA,\n"
    "                         иначе набор из установки)\n"
    "  --notation en          английские буквы фигур и слова (по умолчанию русские: Кр Ф Л С К)\n"
    "  --jobs N               сколько процессоров занять (по умолчанию все)\n"
    "  --perft N              число последовательностей из N ходов (проверка правил)\n"
    "  -h, --help             эта справка\n"
    "\n"
    "Последняя строка — вердикт: корректна, побочное решение, решений меньше, чем указано,\n"
    "решения нет или короткое решение (с дуплексом у второй половины свой вердикт).\n"
    "Код выхода 0, если задача проверена (каков бы ни был вердикт); 1 при ошибке во входных данных\n"
    "(причина одной строкой на stderr), а для списка — если хотя бы одну строку не удалось проверить.\n"
    "Ctrl-C или SIGTERM: печатается доказанное к этому времени, вердикт «прервано», код 130 или 143.\n";

namespace {

struct option_entry {
    const char* name;
    std::string solve_options::*value;  // none for --notation, which is read at once
};

constexpr option_entry option_table[] = {
    {"--fen", &solve_options::fen},
    {"--list", &solve_options::list_file},
    {"--read", &solve_options::read_file},
    {"--data", &solve_options::data_folder},
    {"--perft", &solve_options::perft_depth},
    {"--stipulation", &solve_options::stipulation},
    {"--problem", &solve_options::problem_file},
    {"--as", &solve_options::write_as},
    {"--jobs", &solve_options::jobs_text},
    {"--notation", nullptr},
    {"--twin", nullptr},
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

bool check_modes(const solve_options& o, std::string* error)
{
    const bool perft = !o.perft_depth.empty(), list = !o.list_file.empty(), fen = !o.fen.empty();
    const bool read = !o.read_file.empty();
    const bool problems = !o.problem_file.empty();
    if (o.mode == solve_mode::help)
        return true;
    // A file's problems say themselves whether they want set play or duplex.
    if (problems && (perft || list || fen || read || !o.stipulation.empty() || !o.twins.empty() || !o.write_as.empty() ||
                     o.set_play || o.duplex)) {
        *error = "--problem берёт позиции, условия и близнецов из файла: с ним можно только --notation и --jobs";
        return false;
    }
    if (problems)
        return true;
    if ((!o.twins.empty() || !o.write_as.empty()) && !fen && !read) {
        *error = "--twin и --as относятся к --fen и --read";
        return false;
    }
    if (!o.write_as.empty() && o.write_as != "popeye" && o.write_as != "yaml") {
        *error = "--as " + quoted_input(o.write_as) + ": нужно popeye или yaml";
        return false;
    }
    if (perft && (list || read || !o.stipulation.empty()))
        *error = "--perft считает ходы одной позиции: нужны только --perft N и --fen FEN";
    else if (perft && !fen)
        *error = "для --perft нужен --fen FEN";
    else if (int(list) + int(fen) + int(read) > 1)
        *error = "--fen, --list и --read вместе не указываются";
    else if (!o.data_folder.empty() && !read)
        *error = "--data нужен только для --read";
    else if ((fen || read) && !perft && o.stipulation.empty())
        *error = std::string("для ") + (fen ? "--fen" : "--read") +
                 " нужно --stipulation УСЛОВИЕ, например --stipulation '#2'";
    else if (!fen && !list && !read)
        *error = "нужен --fen, --list, --problem или --read (справка: --help)";
    return error->empty();
}

}  // namespace

bool parse_solve_options(int argc, char** argv, solve_options* options, std::string* error)
{
    solve_options o;
    error->clear();
    for (int i = 1; i < argc; i++) {
        const std::string_view argument = argv[i];
        if (argument == "-h" || argument == "--help") {
            o.mode = solve_mode::help;
            continue;
        }
        if (argument == "--set-play" || argument == "--duplex") {
            (argument == "--set-play" ? o.set_play : o.duplex) = true;
            continue;
        }
        command_line_option option;
        if (!read_command_line_option(argc, argv, &i, known_option, &option, error))
            return false;
        const option_entry* entry = find_option(option.name);
        const std::string& value = option.value;
        if (option.name == "--twin") {  // once per twin
            o.twins.push_back(value);
            continue;
        }
        if (!entry->value) {  // --notation
            if (value != "en" && value != "ru") {
                *error = "--notation " + quoted_input(value) + ": нужно en или ru";
                return false;
            }
            o.language = value == "en" ? notation::english : notation::russian;
            continue;
        }
        std::string& field = o.*(entry->value);
        if (!field.empty()) {
            *error = "ключ " + std::string(entry->name) + " указан дважды";
            return false;
        }
        if (value.empty()) {
            *error = "у ключа " + std::string(entry->name) + " пустое значение";
            return false;
        }
        field = value;
    }
    if (!check_modes(o, error))
        return false;
    if (!o.jobs_text.empty()) {
        const std::string& text = o.jobs_text;
        const bool digits = text.size() <= 3 && text.find_first_not_of("0123456789") == std::string::npos;
        o.jobs = digits ? std::stoi(text) : 0;
        if (o.jobs < 1 || o.jobs > 256) {
            *error = "--jobs " + quoted_input(text) + ": нужно число процессоров от 1 до 256";
            return false;
        }
    }
    if (o.mode != solve_mode::help)
        o.mode = !o.perft_depth.empty() ? solve_mode::perft
                 : !o.list_file.empty() ? solve_mode::problem_list
                 : !o.problem_file.empty() ? solve_mode::problem_file
                 : !o.read_file.empty() ? solve_mode::diagram
                                        : solve_mode::one_problem;
    *options = o;
    return true;
}
