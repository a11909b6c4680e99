// chess-diagram-solve: checks a chess problem before it is published. For a
// directmate it finds every key (so a cook shows), the threats, the solution
// tree and the tries of a two-mover; for a helpmate every solution. It reads
// the same FEN and task texts as the editor and the renderer.
#include <cstdio>
#include <string>

#include "chess/moves.h"
#include "chess/problem_file.h"
#include "chess/problem_writer.h"
#include "chess/position_list.h"
#include "chess/position_text.h"
#include "chess/quoted_input.h"
#include "solve/diagram_input.h"
#include "solve/options.h"
#include "solve/problem_report.h"
#include "solve/report.h"

namespace {

int fail(const std::string& line)
{
    std::fprintf(stderr, "chess-diagram-solve: %s\n", line.c_str());
    return 1;
}

// The problem's position, or one line saying why it cannot be solved.
bool problem_position(const fen_record& record, const stipulation& task, position* p, std::string* error)
{
    // In a helpmate Black moves first, whatever the FEN's side field says.
    *p = task.kind == stipulation_kind::helpmate ? position_from_fen(record, black) : position_from_fen(record);
    *error = position_problem(*p);
    return error->empty();
}

// The lines of the check and the verdict; the verdict is also returned alone.
std::string check_problem(const position& p, const stipulation& task, notation language, std::string* verdict)
{
    if (task.kind == stipulation_kind::helpmate) {
        const helpmate_result result = check_helpmate(p, task.moves);
        *verdict = helpmate_verdict(p, task.moves, result, language);
        return helpmate_lines(p, result, language);
    }
    const directmate_result result = check_directmate(p, task.moves);
    *verdict = directmate_verdict(p, task.moves, result, language);
    return directmate_lines(p, result, language);
}

// One part of a problem file or of --twin: a position and a short stipulation.
// The searches here know neither duplex nor stated numbers of solutions, so a
// problem that states them is not checked as if it did not; set play is
// extra play beside the solution and leaves the verdict alone.
bool check_part(const problem_record& problem, const problem_part& part, notation language, part_report* report,
                std::string* error)
{
    stipulation task;
    position p;
    const problem_options& o = problem.options;
    if (o.duplex || o.half_duplex || problem.stated_solutions > 1) {
        *error = "дуплекс, полудуплекс и заявленное число решений пока не проверяются";
        return false;
    }
    if (!stipulation_read(part.stipulation, &task, error) || !problem_position(part.position, task, &p, error))
        return false;
    report->lines = check_problem(p, task, language, &report->verdict);
    return true;
}

// The stipulation as problem files write it.
std::string short_form(const stipulation& task)
{
    return (task.kind == stipulation_kind::helpmate ? "h#" : "#") + std::to_string(task.moves);
}

// A --fen or --read position with twins, or to be written out: checked as a
// file's problem is, then written in the format asked for with the solutions.
int solve_as_problem(const solve_options& options, const fen_record& record, const stipulation& task)
{
    problem_record problem;
    problem.position = record;
    std::string error, report;
    if (!problem_stipulation_set(short_form(task), &problem, &error) ||
        !problem_twins_add_written(options.twins, &problem, &error) || !problem_finish(&problem, &error))
        return fail(error);
    // A twin that does not fit the position is a fault of the command line, said as one.
    std::vector<problem_part> parts;
    if (!problem_parts(problem, options.language == notation::russian ? task_language::russian : task_language::english,
                       &parts, &error))
        return fail(error);
    const bool checked = problem_report(problem, 1, options.language, check_part, &report);
    if (options.write_as.empty()) {
        // The head line names a file's problem; one given on the command line needs none.
        std::fputs(report.substr(report.find('\n') + 1).c_str(), stdout);
        return checked ? 0 : 1;
    }
    problem.solution = report.substr(report.find('\n') + 1);
    std::fputs((options.write_as == "popeye" ? solver_input_write(problem) : yaml_problem_write(problem)).c_str(), stdout);
    return checked ? 0 : 1;
}

// A position from --fen or from the diagram --read names.
int solve_one(const solve_options& options)
{
    fen_record record;
    stipulation task;
    position p;
    std::string error, verdict;
    // The stipulation first: a diagram is not read for a task that cannot be checked.
    if (!stipulation_read(options.stipulation, &task, &error))
        return fail(error);
    const bool have_record = options.mode == solve_mode::diagram
                                 ? diagram_position(options.read_file, options.data_folder, &record, &error)
                                 : position_text_read(options.fen, &record, &error);
    if (!have_record)
        return fail(error);
    if (!options.twins.empty() || !options.write_as.empty())
        return solve_as_problem(options, record, task);
    if (!problem_position(record, task, &p, &error))
        return fail(error);
    const std::string lines = check_problem(p, task, options.language, &verdict);
    std::printf("%s%s\n", lines.c_str(), verdict.c_str());
    return 0;
}

int solve_list(const solve_options& options)
{
    position_list list;
    std::string error;
    if (!position_list_read(options.list_file, &list, &error))
        return fail(error);
    if (list.position_lines == 0)
        return fail("в списке " + quoted_input(options.list_file) + " нет ни одной позиции");
    bool every_line_checked = list.errors.empty();
    for (const std::string& line : list.errors)
        fail(line);
    const bool russian = options.language == notation::russian;
    for (const listed_position& entry : list.positions) {
        const std::string& text = options.stipulation.empty() ? entry.task_text : options.stipulation;
        stipulation task;
        position p;
        std::string verdict;
        if (!stipulation_read(text, &task, &error) || !problem_position(entry.position, task, &p, &error)) {
            fail("строка " + std::to_string(entry.line) + ": " + error);
            every_line_checked = false;
            continue;
        }
        check_problem(p, task, options.language, &verdict);
        std::printf("%s %d: %s\n", russian ? "строка" : "line", entry.line, verdict.c_str());
        std::fflush(stdout);
    }
    return every_line_checked ? 0 : 1;
}

// Every problem of the file, each under its head line; a problem that is not
// read or not checked is named on standard error and the rest go on.
int solve_problem_file(const solve_options& options)
{
    problem_file file;
    std::string error;
    if (!problem_file_open(options.problem_file, &file, &error))
        return fail(error);
    bool every_problem_checked = true;
    int problems = 0;
    for (problem_entry entry; problem_file_next(&file, &entry);) {
        problems++;
        if (!entry.read) {
            fail(entry.error);
            every_problem_checked = false;
            continue;
        }
        std::string report;
        every_problem_checked = problem_report(entry.record, entry.number, options.language, check_part, &report) &&
                                every_problem_checked;
        std::printf("%s%s", problems > 1 ? "\n" : "", report.c_str());
        std::fflush(stdout);
    }
    problem_file_close(&file);
    if (problems == 0)
        return fail("в файле " + quoted_input(options.problem_file) + " нет ни одной задачи");
    return every_problem_checked ? 0 : 1;
}

int count_perft(const solve_options& options)
{
    fen_record record;
    position p;
    std::string error;
    const std::string& depth = options.perft_depth;
    if (depth.size() != 1 || depth[0] < '1' || depth[0] > '9')
        return fail("--perft " + quoted_input(depth) + ": нужно число ходов от 1 до 9");
    if (!position_text_read(options.fen, &record, &error))
        return fail(error);
    p = position_from_fen(record);
    if (std::string problem = position_problem(p); !problem.empty())
        return fail(problem);
    std::printf("%llu\n", static_cast<unsigned long long>(perft(&p, depth[0] - '0')));
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    solve_options options;
    std::string error;
    if (!parse_solve_options(argc, argv, &options, &error))
        return fail(error);
    switch (options.mode) {
    case solve_mode::help: std::fputs(solve_usage, stdout); return 0;
    case solve_mode::one_problem:
    case solve_mode::diagram: return solve_one(options);
    case solve_mode::problem_list: return solve_list(options);
    case solve_mode::problem_file: return solve_problem_file(options);
    case solve_mode::perft: return count_perft(options);
    case solve_mode::none: break;
    }
    return fail("нужен --fen, --list или --read (справка: --help)");
}
