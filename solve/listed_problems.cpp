// Workers take one line at a time from a counter they share: one problem may
// take minutes where its neighbours take milliseconds. A verdict that comes
// early waits in the parent until every line before it is printed. The
// program stays single-threaded until the workers are forked; each worker
// then checks its problems on its share of the processors.
#include "solve/listed_problems.h"

#include <algorithm>
#include <atomic>
#include <csignal>
#include <cstdio>
#include <new>

#include <sys/mman.h>

#include "layout/console.h"
#include "layout/interruption.h"
#include "layout/list_outcome.h"
#include "layout/workers.h"

namespace {

struct line_result {
    bool ready = false;
    bool checked = false;
    std::string text;  // the verdict, or the reason the line could not be checked
};

struct list_job {
    const list_check* check;
    std::atomic<int>* next_line;  // shared with the workers
    int jobs_per_worker;
    std::vector<line_result> results;
    std::vector<char> settled;  // as list_outcome wants it: nonzero once reported
    int settled_count = 0;
    std::size_t printed = 0;  // lines before this one are printed
    bool some_failed = false;
};

void share(void* data, int, int, int fd)
{
    const auto& job = *static_cast<const list_job*>(data);
    const position_list& list = *job.check->list;
    search_control control;
    control.jobs = job.jobs_per_worker;
    for (int i; (i = job.next_line->fetch_add(1)) < int(list.positions.size());) {
        std::string verdict, error;
        if (job.check->check(job.check->context, list.positions[std::size_t(i)], control, &verdict, &error))
            report_send(fd, report_kind::done, i, verdict);
        else
            report_send(fd, report_kind::failed, i, error);
    }
}

int any_worker(void*)
{
    return -1;
}

// Prints the lines that are ready, in the list's order, up to the first
// that is not; with `all`, skips over those that never will be.
void print_ready(list_job* job, bool all)
{
    const position_list& list = *job->check->list;
    for (; job->printed < job->results.size(); job->printed++) {
        const line_result& r = job->results[job->printed];
        if (!r.ready && !all)
            break;
        if (!r.ready)
            continue;
        const int line = list.positions[job->printed].line;
        if (r.checked) {
            progress_clear();
            std::printf("%s %d: %s\n", job->check->english ? "line" : "строка", line, r.text.c_str());
            std::fflush(stdout);
        } else {
            report_problem("строка " + std::to_string(line) + ": " + r.text);
        }
    }
}

void take(void* data, int, const worker_report& report)
{
    auto& job = *static_cast<list_job*>(data);
    if (report.index < 0 || report.index >= int(job.results.size()) || job.results[std::size_t(report.index)].ready)
        return;
    job.results[std::size_t(report.index)] = {true, report.kind == report_kind::done, std::string(report.payload)};
    job.settled[std::size_t(report.index)] = 1;
    job.settled_count++;
    job.some_failed = job.some_failed || report.kind != report_kind::done;
    print_ready(&job, false);
    progress_show(job.settled_count, int(job.results.size()));
}

void gone(void*, int) {}

}  // namespace

int check_listed_problems(const list_check& check)
{
    const int lines = int(check.list->positions.size());
    const int workers = std::max(1, std::min({check.jobs, lines, most_workers}));
    void* memory = mmap(nullptr, sizeof(std::atomic<int>), PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0);
    if (memory == MAP_FAILED) {
        report_problem("не хватает памяти для обработчиков списка");
        return 1;
    }
    list_job job{&check, new (memory) std::atomic<int>{0}, std::max(1, check.jobs / workers), {}, {}, 0, 0, false};
    job.results.resize(std::size_t(lines));
    job.settled.assign(std::size_t(lines), 0);
    std::string abnormal;
    const bool workers_well = workers_run({&job, workers, share, any_worker, take, gone}, &abnormal);
    munmap(memory, sizeof(std::atomic<int>));
    print_ready(&job, true);
    progress_clear();
    std::vector<int> line_numbers;
    for (const listed_position& entry : check.list->positions)
        line_numbers.push_back(entry.line);
    const std::string missing = lines_not_checked(line_numbers, job.settled, check.english);
    if (const int signal = interruption_signal()) {
        const std::string said = check.english ? (signal == SIGINT ? "interrupted" : "stopped")
                                               : (signal == SIGINT ? "прервано" : "остановлено");
        report_problem(missing.empty() ? said : said + "; " + missing);
        return 128 + signal;
    }
    if (!workers_well || !missing.empty())
        report_problem(abnormal.empty() ? missing : missing.empty() ? abnormal : abnormal + "; " + missing);
    return workers_well && missing.empty() && !job.some_failed ? 0 : 1;
}
