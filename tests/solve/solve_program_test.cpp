// chess-diagram-solve as a user runs it: what it prints and its exit status,
// for a problem, a list, a diagram, a perft count, and for input it must
// refuse with one line.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include <sys/wait.h>

#include "tests/support/test_support.h"

namespace {

struct run_result {
    int status = -1;
    std::string out, err;
};

std::string shell_quoted(const std::string& argument)
{
    std::string quoted = "'";
    for (char c : argument)
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

std::string file_text(const std::string& path)
{
    const std::vector<std::uint8_t> bytes = read_file_bytes(path);
    return std::string(bytes.begin(), bytes.end());
}

run_result run(const std::string& program, const std::vector<std::string>& arguments)
{
    temp_folder folder;
    std::string command = shell_quoted(build_dir() + "/" + program);
    for (const std::string& argument : arguments)
        command += " " + shell_quoted(argument);
    command += " >" + folder.file("out") + " 2>" + folder.file("err");
    run_result result;
    const int status = std::system(command.c_str());
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    result.out = file_text(folder.file("out"));
    result.err = file_text(folder.file("err"));
    return result;
}

void write_file_text(const std::string& path, const std::string& text)
{
    ASSERT_TRUE(write_file_bytes(path, std::vector<std::uint8_t>(text.begin(), text.end()))) << path;
}

run_result solve(const std::vector<std::string>& arguments)
{
    return run("chess-diagram-solve", arguments);
}

TEST(solve_program, checks_a_two_mover_and_prints_the_tree_in_russian)
{
    const run_result r = solve({"--fen", "8/8/3Q2p1/6p1/8/4k3/8/R3K2R w KQ - 0 1", "--stipulation", " мат в 2 хода "});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "");
    // The threat still mates after every Black move: no variation is printed.
    EXPECT_EQ(r.out.rfind("1.0-0!\nугроза: 2.Лae1#\n1.Лa4?\n", 0), 0u) << r.out;
    EXPECT_NE(r.out.find("\n1.Лa4?\nугроза: 2.Лh3#, 2.Фa3#, 2.Фg3#\n1...Крf3!\n"), std::string::npos) << r.out;
    EXPECT_TRUE(r.out.ends_with("\nкорректна: одно решение\n")) << r.out;
}

TEST(solve_program, lists_every_helpmate_solution_in_english)
{
    const run_result r = solve({"--fen", "8/8/8/2R5/K5b1/8/8/2k5", "--stipulation", "h#2", "--notation", "en"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "1.Kb1 Ka3 2.Ka1 Rc1#\n1.Kb1 Kb3 2.Ka1 Rc1#\ncooked: 2 solutions\n");
}

TEST(solve_program, checks_a_selfmate_with_its_set_play_in_russian)
{
    const run_result r =
        solve({"--fen", "8/8/8/8/6p1/7k/4Q2p/4b2K w", "--stipulation", "Обратный мат в 2 хода", "--set-play"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "мнимая игра: нет\n1.Фxe1!\nцугцванг\n1...g3 2.Фb4 g2#\nкорректна: одно решение\n");
}

TEST(solve_program, judges_a_stated_number_of_helpmate_solutions_and_the_duplex)
{
    const run_result r = solve({"--fen", "8/8/8/2R5/K5b1/8/8/2k5", "--stipulation",
                                "Кооперативный мат в 2 хода, 2 решения", "--duplex", "--notation", "en"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "1.Kb1 Ka3 2.Ka1 Rc1#\n1.Kb1 Kb3 2.Ka1 Rc1#\nsound: 2 solutions\nduplex:\n"
                     "the position cannot be played with the other side to move\n");
}

TEST(solve_program, checks_a_list_line_by_line_and_fails_when_a_line_could_not_be_checked)
{
    temp_folder folder;
    const std::string list = "\xEF\xBB\xBF# two problems and two bad lines\r\n"
                             "6k1/5ppp/8/8/8/8/8/R5K1 w - - 0 1\tМат в 2 хода\r\n"
                             "8/8/8/8/8/8/8/k7\tМат в 2 хода\r\n"
                             "5k2/8/3N2K1/8/8/1R6/8/8\tВыигрыш\r\n"
                             "7k/1R6/6n1/7B/8/8/7K/8\tКооперативный мат в 2 хода\r\n"
                             "7k/1R6/6n1/7B/8/8/7K/8\th#2 дуплекс\r\n"
                             "8/3k4/8/8/8/8/6R1/K6R w - - 0 1\tМат в 5 ходов\r\n";
    ASSERT_TRUE(write_file_bytes(folder.file("list.txt"), {list.begin(), list.end()}));
    const run_result r = solve({"--list", folder.file("list.txt")});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "строка 2: короткое решение: мат в 1 ход\nстрока 5: корректна: одно решение\n"
                     "строка 6: корректна: одно решение; дуплекс: решения нет\n"
                     "строка 7: короткое решение: мат в 4 хода\n");
    EXPECT_EQ(r.err, "chess-diagram-solve: строка 3: у белых нет короля\n"
                     "chess-diagram-solve: строка 4: условие «Выигрыш» не понято: нужно, например, #2, s#3, r#2, =3, "
                     "s=2, h#2, h=2.5, ser-#3, ser-h#5, ser-s#3 или «Мат в 2 хода», «Обратный мат в 3 хода», "
                     "«Кооперативный мат в 2 хода, 2 решения», «Selfmate in 3», «Helpmate in 2.5»\n");
}

TEST(solve_program, prints_the_same_on_one_processor_and_on_two)
{
    // A problem of every genre, then a list of them all: threads share a
    // problem's first moves, processes a list's lines.
    const std::vector<std::pair<std::string, std::string>> problems = {
        {"5nr1/1B6/1p3p2/1p1P1Kp1/1p1kN1Q1/1P1p1Pp1/3P1p2/q5r1 w - - 0 1", "#6"},
        {"8/8/7N/7p/6Pp/7k/8/1B2B2K w - - 0 1", "s#3"},
        {"8/8/8/8/1p6/k7/p7/K1R1Q3 w - - 0 1", "r#2"},
        {"8/1P2K2k/8/8/8/8/8/8 w - - 0 1", "=3"},
        {"8/8/8/8/1p4Q1/k7/p7/K6b w - - 0 1", "s=2"},
        {"6K1/6n1/8/8/7P/8/5k1n/7R w - - 0 1", "h#3.5"},
        {"8/4P3/K1b5/8/8/2B5/7b/2k5 b - - 0 1", "h=3"},
        {"8/6K1/8/8/8/4n2k/8/6R1 w - - 0 1", "ser-#5"},
        {"8/8/K7/8/3p1r2/4k3/1RP5/8 b - - 0 1", "ser-h#7"},
        {"8/8/8/2p5/7b/kpR5/p7/K7 w - - 0 1", "ser-s#3"},
    };
    temp_folder folder;
    std::string list;
    for (const auto& [fen, stipulation] : problems) {
        const run_result one = solve({"--fen", fen, "--stipulation", stipulation, "--jobs", "1"});
        const run_result two = solve({"--fen", fen, "--stipulation", stipulation, "--jobs", "2"});
        EXPECT_EQ(one.status, 0) << one.err;
        EXPECT_EQ(two.out, one.out) << stipulation;
        list += fen + "\t" + stipulation + "\n";
    }
    ASSERT_TRUE(write_file_bytes(folder.file("list.txt"), {list.begin(), list.end()}));
    const run_result one = solve({"--list", folder.file("list.txt"), "--jobs", "1", "--notation", "en"});
    const run_result two = solve({"--list", folder.file("list.txt"), "--jobs", "2", "--notation", "en"});
    EXPECT_EQ(one.status, 0) << one.err;
    EXPECT_EQ(std::count(one.out.begin(), one.out.end(), '\n'), long(problems.size())) << one.out;
    EXPECT_EQ(two.out, one.out);
    EXPECT_EQ(two.err, "");
}

TEST(solve_program, checks_a_diagram_the_renderer_drew)
{
    temp_folder folder;
    // A marker is an empty square; a placement read back gives White the castling its rooks allow.
    const run_result drawn = run("chess-diagram-render", {"--fen", "8/8/3Q2p1/6p1/8/4k3/8/R3K2R", "--text",
                                                          "Мат в 2 хода", "--cross", "e4", "-o", folder.file("d.jpg")});
    ASSERT_EQ(drawn.status, 0) << drawn.err;
    const run_result r = solve({"--read", folder.file("d.jpg"), "--stipulation", "#2", "--notation", "en"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out.rfind("1.0-0!\nthreat: 2.Rae1#\n", 0), 0u) << r.out;
    EXPECT_TRUE(r.out.ends_with("\nsound: one solution\n")) << r.out;
}

// The toolkit's libraries cost every start of the program several times what
// a small problem takes to solve; only the diagram reader's module needs them.
TEST(solve_program, starts_without_the_toolkit_libraries)
{
    temp_folder folder;
    const std::string program = build_dir() + "/chess-diagram-solve";
    ASSERT_EQ(run_command("readelf -d " + shell_quoted(program) + " >" + folder.file("needed")), 0);
    const std::string needed = file_text(folder.file("needed"));
    ASSERT_NE(needed.find("(NEEDED)"), std::string::npos) << needed;
    for (const char* library : {"libgtk", "libgdk", "libpango", "libcairo", "libX11", "libjpeg", "libglib"})
        EXPECT_EQ(needed.find(library), std::string::npos) << library << " in\n" << needed;
}

TEST(solve_program, says_which_module_it_could_not_load_for_a_diagram)
{
    // A copy of the program with no reader module beside it or installed for it.
    temp_folder folder;
    ASSERT_EQ(run_command("cp " + shell_quoted(build_dir() + "/chess-diagram-solve") + " " + folder.file("solve")), 0);
    const std::string command = shell_quoted(folder.file("solve")) + " --read " + shell_quoted(folder.file("d.jpg")) +
                                " --stipulation '#2' >" + folder.file("out") + " 2>" + folder.file("err");
    const int status = std::system(command.c_str());
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 1) << status;
    EXPECT_EQ(file_text(folder.file("out")), "");
    const std::string err = file_text(folder.file("err"));
    EXPECT_EQ(err.rfind("chess-diagram-solve: не удалось загрузить модуль чтения диаграмм «", 0), 0u) << err;
    EXPECT_NE(err.find("chess-diagram-read.so»: "), std::string::npos) << err;
    EXPECT_EQ(err.find('\n'), err.size() - 1) << err;
}

TEST(solve_program, counts_perft_for_the_rules_to_be_checked)
{
    const run_result r = solve({"--perft", "3", "--fen", "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "8902\n");
}

// A file of problems as the standard solver and the databases keep them:
// each problem under its head line, each twin under its "b) …" line, a fairy
// problem named on standard error while the others are still checked.
TEST(solve_program, checks_every_problem_of_a_file_and_every_twin)
{
    temp_folder folder;
    const std::string file = folder.file("problems.txt");
    write_file_text(file, "begin\ntitle Twins\npieces white kg6 qa1 black kg8\nstip #1\n"
                          "twin remove a1 add white qb1\ntwin cont move g8 h8\n"
                          "next\ncondition madrasi\npieces white kg6 qa1 black kg8\nstip #1\n"
                          "next\npieces white kh2 rb7 bh5 black kh8 sg6\nstip h#2\nend\n");
    const run_result r = solve({"--problem", file, "--notation", "en"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "chess-diagram-solve: задача 2 (строка 8): условие «madrasi» сказочное; такие задачи не проверяются\n");
    EXPECT_EQ(r.out, "Problem 1: Twins\n1.Qg7#!\n1.Qa8#!\ncooked: 1.Qg7#! 1.Qa8#!\n"
                     "b) −Qa1, +wQb1\n1.Qb8#!\nsound: one solution\n"
                     "+c) Kg8→h8\n1.Qb8#!\nsound: one solution\n"
                     "problem: cooked: 1.Qg7#! 1.Qa8#!\n"
                     "\nProblem 3\n1.Ne7 Bg6 2.Ng8 Rh7#\nsound: one solution\n");
}

// A position with twins given on the command line is checked twin by twin,
// and written out as a YAML record that reads back as the same problem.
TEST(solve_program, checks_twins_given_on_the_command_line_and_writes_the_problem_out)
{
    const std::vector<std::string> problem = {"--fen", "Белые: Крg6 Фa1 Чёрные: Крg8", "--stipulation", "#1",
                                              "--twin", "b) Фa1→b1", "--twin", "c) -Qa1"};
    std::vector<std::string> arguments = problem;
    const run_result r = solve(arguments);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "1.Фg7#!\n1.Фa8#!\nпобочное решение: 1.Фg7#! 1.Фa8#!\nb) Фa1→b1\n1.Фb8#!\n"
                     "корректна: одно решение\nc) −Фa1\nрешения нет\nзадача: c) решения нет\n");
    arguments.insert(arguments.end(), {"--as", "yaml"});
    const run_result written = solve(arguments);
    ASSERT_EQ(written.status, 0) << written.err;
    temp_folder folder;
    write_file_text(folder.file("p.yaml"), written.out);
    const run_result again = solve({"--problem", folder.file("p.yaml")});
    EXPECT_EQ(again.status, 0) << again.err << written.out;
    EXPECT_EQ(again.out, "Задача 1\n" + r.out + "решения совпадают с записанными\n");
}

// Problem files in the genres beyond the directmate: a selfmate with its set
// play, and a helpmate whose two solutions are stated, played duplex.
TEST(solve_program, checks_a_problem_file_in_every_genre)
{
    temp_folder folder;
    const std::string file = folder.file("problems.yaml");
    write_file_text(file, "---\nalgebraic: {white: [Qe2, Kh1], black: [Kh3, Be1, Pg4, Ph2]}\nstipulation: s#2\n"
                          "options: [SetPlay]\n---\nalgebraic: {white: [Ka4, Rc5], black: [Kc1, Bg4]}\n"
                          "stipulation: h#2\noptions: [Duplex]\nintended-solutions: 2\n");
    const run_result r = solve({"--problem", file, "--notation", "en"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "Problem 1\nset play: none\n1.Qxe1!\nzugzwang\n1...g3 2.Qb4 g2#\nsound: one solution\n"
                     "\nProblem 2\n1.Kb1 Ka3 2.Ka1 Rc1#\n1.Kb1 Kb3 2.Ka1 Rc1#\nsound: 2 solutions\nduplex:\n"
                     "the position cannot be played with the other side to move\n");
}

// A selfmate written out for the standard solver reads back through
// --problem as the same problem with the same verdict.
TEST(solve_program, writes_a_selfmate_for_the_standard_solver_that_reads_back_the_same)
{
    const std::vector<std::string> problem = {"--fen", "8/8/8/8/6p1/7k/4Q2p/4b2K w", "--stipulation", "s#2*",
                                              "--notation", "en"};
    std::vector<std::string> arguments = problem;
    arguments.insert(arguments.end(), {"--as", "popeye"});
    const run_result written = solve(arguments);
    ASSERT_EQ(written.status, 0) << written.err;
    EXPECT_NE(written.out.find("Stipulation s#2\n"), std::string::npos) << written.out;
    temp_folder folder;
    write_file_text(folder.file("selfmate.txt"), written.out);
    const run_result again = solve({"--problem", folder.file("selfmate.txt"), "--notation", "en"});
    EXPECT_EQ(again.status, 0) << again.err;
    EXPECT_EQ(again.out, "Problem 1\n" + solve(problem).out);
    EXPECT_TRUE(again.out.ends_with("set play: none\n1.Qxe1!\nzugzwang\n1...g3 2.Qb4 g2#\nsound: one solution\n"))
        << again.out;
}

struct refusal_row {
    std::vector<std::string> arguments;
    std::string message;  // the start of the one line on stderr, after the program's name
};

TEST(solve_program, refuses_bad_input_with_one_line_and_status_1)
{
    const std::string start = "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR";
    const refusal_row rows[] = {
        {{"--fen", "8/8/8/8/8/8/8/k7", "--stipulation", "#2"}, "у белых нет короля"},
        {{"--fen", "K6k/8/8/8/8/8/8/K7", "--stipulation", "#2"}, "у белых больше одного короля"},
        {{"--fen", "k6P/8/8/8/8/8/8/K7", "--stipulation", "#2"},
         "пешка на h8: пешки не бывают на первом и последнем ряду"},
        {{"--fen", "k7/8/8/8/8/8/8/R6K w", "--stipulation", "#2"}, "чёрный король под шахом, а ход белых"},
        // In a helpmate Black moves first, so White must not stand in check.
        {{"--fen", "k7/8/8/8/8/8/8/K6r w", "--stipulation", "h#2"}, "белый король под шахом, а ход чёрных"},
        {{"--fen", start + " W KQkq -", "--stipulation", "#2"}, "в FEN поле хода «W», а нужно w или b"},
        {{"--fen", start, "--stipulation", "#31"}, "условие «#31»: проверяются задачи не длиннее 30 ходов"},
        {{"--fen", start, "--stipulation", "Обратный мат в 31 ход"},
         "условие «Обратный мат в 31 ход»: проверяются задачи не длиннее 30 ходов"},
        {{"--fen", start, "--stipulation", "s#2.5"}, "условие «s#2.5» не понято"},
        {{"--fen", start, "--stipulation", "#0"}, "условие «#0» не понято"},
        {{"--fen", start, "--stipulation", "h#"}, "условие «h#» не понято"},
        {{"--fen", start, "--stipulation", "Мат в два хода"}, "условие «Мат в два хода» не понято"},
        {{"--fen", start, "--stipulation", "#99999999999"}, "условие «#99999999999» не понято"},
        {{"--fen", start}, "для --fen нужно --stipulation УСЛОВИЕ, например --stipulation '#2'"},
        {{"--fen", start, "--stipulation", "#2", "--notation", "de"}, "--notation «de»: нужно en или ru"},
        {{"--perft", "0", "--fen", start}, "--perft «0»: нужно число ходов от 1 до 9"},
        {{"--read", "/nonexistent/d.jpg", "--stipulation", "#2"},
         "не удалось открыть рисунок «/nonexistent/d.jpg»: No such file or directory"},
        {{"--fen"}, "у ключа --fen нет значения"},
        {{"--list", "/nonexistent/list.txt"}, "не удалось открыть список «/nonexistent/list.txt»: No such file or directory"},
        {{}, "нужен --fen, --list, --problem или --read (справка: --help)"},
        {{"--fen", "White: Kh1 Black: Kh8 (2+1)", "--stipulation", "#2"}, "в списке фигур 1+1, а в счёте (2+1)"},
        {{"--fen", "White: Kd5 Black: Kh8", "--stipulation", "h#2", "--twin", "b) Qd5-e5"},
         "b) Фd5→e5: в близнеце на клетке d5 стоит не та фигура: K, а не Q"},
        {{"--list", "/nonexistent/list.txt", "--twin", "b) Kd5-e5"}, "--twin и --as относятся к --fen и --read"},
        {{"--problem", "p.txt", "--duplex"}, "--problem берёт позиции, условия и близнецов из файла"},
        {{"--problem", "/nonexistent/p.txt"}, "не удалось открыть файл задач «/nonexistent/p.txt»: No such file or directory"},
        {{"--fen", start, "--stipulation", "#2", "--jobs", "0"}, "--jobs «0»: нужно число процессоров от 1 до 256"},
        {{"--fen", start, "--stipulation", "#2", "--jobs", "two"}, "--jobs «two»: нужно число процессоров от 1 до 256"},
    };
    for (const refusal_row& row : rows) {
        const run_result r = solve(row.arguments);
        EXPECT_EQ(r.status, 1) << row.message;
        EXPECT_EQ(r.out, "") << row.message;
        EXPECT_EQ(r.err.rfind("chess-diagram-solve: " + row.message, 0), 0u) << r.err;
        EXPECT_EQ(r.err.find('\n'), r.err.size() - 1) << r.err;
    }
}

}  // namespace
