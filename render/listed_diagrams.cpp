// Workers take the list in chunks from a counter they share, so a slow
// worker takes fewer, and a worker that dies leaves only its current chunk
// unwritten, which the parent then names.
#include "render/listed_diagrams.h"

#include <atomic>
#include <new>

#include <sys/mman.h>

#include "render/console.h"
#include "render/diagram_files.h"
#include "render/list_outcome.h"
#include "render/workers.h"

namespace {

constexpr int chunk_size = 16;

struct list_job {
    const position_list* list;
    const output_target* output;
    std::atomic<int>* next_chunk;  // shared by the workers
    list_outcome outcome;
};

std::string on_line(const listed_position& entry, const std::string& what)
{
    return "строка " + std::to_string(entry.line) + ": " + what;
}

void write_one(const list_job& job, int index, int fd)
{
    const listed_position& entry = job.list->positions[std::size_t(index)];
    std::string error, warning;
    const std::string path = output_file_name(*job.output, entry.number, job.list->position_lines);
    if (!draw_position(board_from_fen(entry.position), entry.task_text, &error, &warning) ||
        !save_rendered_diagram(path, job.output->format, &error)) {
        report_send(fd, report_kind::failed, index, on_line(entry, error));
        return;
    }
    if (!warning.empty())
        report_send(fd, report_kind::warning, index, on_line(entry, warning));
    report_send(fd, report_kind::done, index);
}

void share(void* data, int, int, int fd)
{
    const auto& job = *static_cast<const list_job*>(data);
    const int total = int(job.list->positions.size());
    for (int first; (first = job.next_chunk->fetch_add(1) * chunk_size) < total;)
        for (int i = first; i < std::min(first + chunk_size, total); i++)
            write_one(job, i, fd);
}

int any_worker(void*)
{
    return -1;
}

void take(void* data, int, const worker_report& report)
{
    auto& job = *static_cast<list_job*>(data);
    if (report.kind == report_kind::failed || report.kind == report_kind::warning)
        report_problem(std::string(report.payload));
    if (report.kind != report_kind::warning)
        outcome_settle(&job.outcome, report.index, report.kind == report_kind::done);
}

void gone(void*, int) {}

}  // namespace

bool write_listed_diagrams(const position_list& list, const output_target& output)
{
    void* shared = mmap(nullptr, sizeof(std::atomic<int>), PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0);
    if (shared == MAP_FAILED) {
        report_problem("не хватает памяти для обработчиков списка");
        return false;
    }
    list_job job{&list, &output, new (shared) std::atomic<int>(0), {}};
    outcome_start(&job.outcome, list);
    const worker_job work{&job, worker_count(int(list.positions.size())), share, any_worker, take, gone};
    std::string abnormal;
    const bool workers_well = workers_run(work, &abnormal);
    munmap(shared, sizeof(std::atomic<int>));
    return outcome_finish(job.outcome, list, workers_well, abnormal);
}
