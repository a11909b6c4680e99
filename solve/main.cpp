// chess-diagram-solve: checks a chess problem before it is published, in
// every orthodox genre. In battle play (#, s#, r#, =, s=) it finds every key
// (so a cook shows), the threats, the solution tree and the tries of a
// two-mover; in help and series play every solution. It reads the same FEN
// and task texts as the editor and the renderer, and the problem files of the
// standard solver and of problem databases, twin by twin.
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
#include "solve/problem_check.h"
#include "solve/problem_report.h"

namespace {

int fail(const std::string& line)
{
    std::fprintf(stderr, "chess-diagram-solve: %s\n", line.c_str());
    return 1;
}

// The stipulation with what the command line adds to it.
bool task_read(const std::string& text, const solve_options& options, stipulation* task, std::string* error)
{
    if (!stipulation_read(text, task, error))
        return false;
    task->set_play |= options.set_play;
    task->duplex |= options.duplex;
    return true;
}

// A --fen or --read problem as a file would hold it: the stipulation's short
// form, its stated number of solutions, set play and duplex as options, and
// the twins of --twin. A twin that does not fit the position is a fault of
// the command line, said as one.
bool problem_from_command_line(const solve_options& options, const fen_record& record, const stipulation& task,
                               problem_record* problem, std::string* error)
{
    problem->position = record;
    problem->options.set_play = task.set_play;
    problem->options.duplex = task.duplex;
    if (task.solutions > 1 && !problem_stated_set(std::to_string(task.solutions), problem, error))
        return false;
    std::vector<problem_part> parts;
    return problem_stipulation_set(stipulation_short_form(task), problem, error) &&
           problem_twins_add_written(options.twins, problem, error) && problem_finish(problem, error) &&
           problem_parts(*problem, options.language, &parts, error);
}

// A --fen or --read position with twins, or to be written out: checked as a
// file's problem is, then written in the format asked for with the solutions.
int solve_as_problem(const solve_options& options, const fen_record& record, const stipulation& task)
{
    problem_record problem;
    std::string error, report;
    if (!problem_from_command_line(options, record, task, &problem, &error))
        return fail(error);
    const bool checked = problem_parts_report(problem, 1, options.language, &report);
    // The head line names a file's problem; one given on the command line needs none.
    report.erase(0, report.find('\n') + 1);
    if (options.write_as.empty()) {
        std::fputs(report.c_str(), stdout);
        return checked ? 0 : 1;
    }
    problem.solution = report;
    std::fputs((options.write_as == "popeye" ? solver_input_write(problem) : yaml_problem_write(problem)).c_str(), stdout);
    return checked ? 0 : 1;
}

// A position from --fen or from the diagram --read names.
int solve_one(const solve_options& options)
{
    fen_record record;
    stipulation task;
    problem_report report;
    std::string error;
    // The stipulation first: a diagram is not read for a task that cannot be checked.
    if (!task_read(options.stipulation, options, &task, &error))
        return fail(error);
    const bool have_record = options.mode == solve_mode::diagram
                                 ? diagram_position(options.read_file, options.data_folder, &record, &error)
                                 : position_text_read(options.fen, &record, &error);
    if (!have_record)
        return fail(error);
    if (!options.twins.empty() || !options.write_as.empty())
        return solve_as_problem(options, record, task);
    if (!problem_check(record, task, options.language, &report, &error))
        return fail(error);
    std::fputs(report.text.c_str(), stdout);
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
        problem_report report;
        if (!task_read(text, options, &task, &error) ||
            !problem_check(entry.position, task, options.language, &report, &error)) {
            fail("строка " + std::to_string(entry.line) + ": " + error);
            every_line_checked = false;
            continue;
        }
        std::printf("%s %d: %s\n", russian ? "строка" : "line", entry.line, report.verdict.c_str());
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
        every_problem_checked = problem_parts_report(entry.record, entry.number, options.language, &report) &&
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
