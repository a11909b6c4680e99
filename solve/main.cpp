// chess-diagram-solve: checks a chess problem before it is published, in
// every orthodox genre. In battle play (#, s#, r#, =, s=) it finds every key
// (so a cook shows), the threats, the solution tree and the tries of a
// two-mover; in help and series play every solution. It reads the same FEN
// and task texts as the editor and the renderer, and the problem files of the
// standard solver and of problem databases, twin by twin. One problem's first
// moves are shared among threads, a list's lines among processes; on a
// terminal a long check shows its progress, and Ctrl-C prints what was proven.
#include <chrono>
#include <condition_variable>
#include <functional>
#include <cstdio>
#include <mutex>
#include <string>
#include <thread>

#include "chess/moves.h"
#include "chess/problem_file.h"
#include "chess/problem_writer.h"
#include "chess/position_list.h"
#include "chess/position_text.h"
#include "chess/quoted_input.h"
#include "layout/console.h"
#include "layout/interruption.h"
#include "layout/workers.h"
#include "solve/diagram_loader.h"
#include "solve/listed_problems.h"
#include "solve/options.h"
#include "solve/problem_check.h"
#include "solve/problem_report.h"

namespace {

constexpr auto progress_after = std::chrono::seconds(1);
constexpr auto progress_interval = std::chrono::milliseconds(100);

int fail(const std::string& line)
{
    report_problem(line);
    return 1;
}

int jobs_of(const solve_options& options)
{
    return options.jobs > 0 ? options.jobs : processor_count();
}

std::string progress_text(const search_control& control, std::chrono::steady_clock::duration elapsed, bool english)
{
    const long seconds = long(std::chrono::duration_cast<std::chrono::seconds>(elapsed).count());
    const std::string done = std::to_string(std::min(control.first_done.load() + 1, control.first_moves.load()));
    const std::string of = std::to_string(control.first_moves.load());
    const std::string length = std::to_string(control.length.load());
    const std::string found = std::to_string(control.found.load());
    if (english)
        return "length " + length + ": first move " + done + " of " + of + ", found " + found + ", " +
               std::to_string(seconds) + " s";
    return "длина " + length + ": первый ход " + done + " из " + of + ", найдено " + found + ", " +
           std::to_string(seconds) + " с";
}

// Runs a check on this thread while a watcher passes on an interruption and,
// past a second, keeps a progress line on a terminal. The check stays on the
// program's own thread: a new thread's first allocation would set up a heap
// of its own, which costs a small problem more than solving it.
bool run_watched(const solve_options& options, const std::function<bool(search_control&)>& work)
{
    search_control control;
    control.jobs = jobs_of(options);
    std::mutex mutex;
    std::condition_variable ended;
    bool done = false;
    std::thread watcher([&] {
        const auto start = std::chrono::steady_clock::now();
        std::unique_lock<std::mutex> lock(mutex);
        while (!ended.wait_for(lock, progress_interval, [&] { return done; })) {
            if (interruption_signal())
                control.stop.store(true);
            else if (std::chrono::steady_clock::now() - start >= progress_after)
                progress_show_text(progress_text(control, std::chrono::steady_clock::now() - start,
                                                 options.language == notation::english));
        }
    });
    const bool checked = work(control);
    {
        std::lock_guard<std::mutex> lock(mutex);
        done = true;
    }
    ended.notify_one();
    watcher.join();
    progress_clear();
    return checked;
}

bool check_watched(const fen_record& record, const stipulation& task, const solve_options& options,
                   problem_report* report, std::string* error)
{
    return run_watched(options, [&](search_control& control) {
        return problem_check(record, task, options.language, report, error, control);
    });
}

// A problem with its twins, its report put together as --problem prints it.
bool parts_watched(const problem_record& problem, int number, const solve_options& options, std::string* report)
{
    return run_watched(options, [&](search_control& control) {
        return problem_parts_report(problem, number, options.language, report, control);
    });
}

// 0, or 128 + the signal that cut the check short.
int checked_status()
{
    const int signal = interruption_signal();
    return signal ? 128 + signal : 0;
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
    const bool checked = parts_watched(problem, 1, options, &report);
    // The head line names a file's problem; one given on the command line needs none.
    report.erase(0, report.find('\n') + 1);
    if (options.write_as.empty()) {
        std::fputs(report.c_str(), stdout);
    } else {
        problem.solution = report;
        std::fputs((options.write_as == "popeye" ? solver_input_write(problem) : yaml_problem_write(problem)).c_str(),
                   stdout);
    }
    return !checked ? 1 : checked_status();
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
                                 ? diagram_position_from_module(options.read_file, options.data_folder, &record, &error)
                                 : position_text_read(options.fen, &record, &error);
    if (!have_record)
        return fail(error);
    if (!options.twins.empty() || !options.write_as.empty())
        return solve_as_problem(options, record, task);
    if (!check_watched(record, task, options, &report, &error))
        return fail(error);
    std::fputs(report.text.c_str(), stdout);
    return checked_status();
}

struct list_context {
    const solve_options* options;
};

bool check_line(const void* data, const listed_position& entry, search_control& control, std::string* verdict,
                std::string* error)
{
    const solve_options& options = *static_cast<const list_context*>(data)->options;
    const std::string& text = options.stipulation.empty() ? entry.task_text : options.stipulation;
    stipulation task;
    problem_report report;
    if (!task_read(text, options, &task, error) ||
        !problem_check(entry.position, task, options.language, &report, error, control))
        return false;
    *verdict = report.verdict;
    return true;
}

int solve_list(const solve_options& options)
{
    position_list list;
    std::string error;
    if (!position_list_read(options.list_file, &list, &error))
        return fail(error);
    if (list.position_lines == 0)
        return fail("в списке " + quoted_input(options.list_file) + " нет ни одной позиции");
    for (const std::string& line : list.errors)
        fail(line);
    if (list.positions.empty())
        return 1;  // every position line is bad, and each has been said
    const list_context context{&options};
    const int status = check_listed_problems(
        {&list, options.language == notation::english, jobs_of(options), check_line, &context});
    return status == 0 && !list.errors.empty() ? 1 : status;
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
        every_problem_checked = parts_watched(entry.record, entry.number, options, &report) && every_problem_checked;
        std::printf("%s%s", problems > 1 ? "\n" : "", report.c_str());
        std::fflush(stdout);
        // What was proven of the problem cut short is printed; the rest are left.
        if (interruption_signal()) {
            report_problem("проверка прервана на задаче " + std::to_string(entry.number) +
                           "; следующие задачи файла не проверены");
            break;
        }
    }
    problem_file_close(&file);
    if (problems == 0)
        return fail("в файле " + quoted_input(options.problem_file) + " нет ни одной задачи");
    return !every_problem_checked ? 1 : checked_status();
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
    console_start("chess-diagram-solve");
    interruption_install_noted();
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
    return fail("нужен --fen, --list, --problem или --read (справка: --help)");
}
