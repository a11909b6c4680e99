// Workers take the list in chunks from a counter they share, so a slow
// worker takes fewer, and a worker that dies leaves only its current chunk
// unwritten, which the parent then names. A worker killed between renaming
// a diagram into place and reporting it has written it all the same; what
// stood at the name before tells the parent so.
#include "render/listed_diagrams.h"

#include <atomic>
#include <new>

#include <sys/mman.h>
#include <sys/stat.h>

#include "layout/console.h"
#include "render/diagram_files.h"
#include "layout/list_outcome.h"
#include "layout/workers.h"

namespace {

constexpr int chunk_size = 16;

struct file_identity {
    bool exists;
    dev_t device;
    ino_t inode;
};

file_identity identity_of(const std::string& path)
{
    struct stat status;
    if (stat(path.c_str(), &status) != 0)
        return {false, 0, 0};
    return {true, status.st_dev, status.st_ino};
}

// The diagram a worker is writing, in memory it shares with the parent.
struct write_in_flight {
    std::atomic<int> index;  // the position, or -1 between positions
    file_identity before;    // what stood at its name when the worker began
};

// What the workers and the parent share: the next chunk to take, and what
// each worker is writing.
struct shared_progress {
    std::atomic<int> next_chunk;
    write_in_flight* in_flight;  // one per worker, just after this in the same mapping
};

struct list_job {
    const position_list* list;
    const output_target* output;
    shared_progress* shared;
    list_outcome outcome;
};

// Memory the forked workers share with the parent; null when there is none.
shared_progress* map_shared_progress(int workers, std::size_t* size)
{
    const std::size_t header = (sizeof(shared_progress) + alignof(write_in_flight) - 1) / alignof(write_in_flight) *
                               alignof(write_in_flight);
    *size = header + sizeof(write_in_flight) * std::size_t(workers);
    void* memory = mmap(nullptr, *size, PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0);
    if (memory == MAP_FAILED)
        return nullptr;
    auto* slots = reinterpret_cast<write_in_flight*>(static_cast<char*>(memory) + header);
    for (int w = 0; w < workers; w++)
        new (&slots[w]) write_in_flight{{-1}, {}};
    return new (memory) shared_progress{{0}, slots};
}

std::string path_of(const list_job& job, int index)
{
    return output_file_name(*job.output, job.list->positions[std::size_t(index)].number, job.list->position_lines);
}

std::string on_line(const listed_position& entry, const std::string& what)
{
    return "строка " + std::to_string(entry.line) + ": " + what;
}

void write_one(const list_job& job, int index, int fd)
{
    const listed_position& entry = job.list->positions[std::size_t(index)];
    std::string error, warning;
    const std::string path = path_of(job, index);
    if (!draw_position(board_from_fen(entry.position), entry.task_text, &error, &warning) ||
        !save_rendered_diagram(path, job.output->format, &error)) {
        report_send(fd, report_kind::failed, index, on_line(entry, error));
        return;
    }
    if (!warning.empty())
        report_send(fd, report_kind::warning, index, on_line(entry, warning));
    report_send(fd, report_kind::done, index);
}

void share(void* data, int worker, int, int fd)
{
    const auto& job = *static_cast<const list_job*>(data);
    open_display_if_any();  // a display cannot be shared with the parent
    write_in_flight& slot = job.shared->in_flight[worker];
    const int total = int(job.list->positions.size());
    for (int first; (first = job.shared->next_chunk.fetch_add(1) * chunk_size) < total;)
        for (int i = first; i < std::min(first + chunk_size, total); i++) {
            slot.before = identity_of(path_of(job, i));
            slot.index.store(i);
            write_one(job, i, fd);
            slot.index.store(-1);
        }
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

// A renamed diagram is a new file at the name: another one than stood
// there before, or one where none stood.
void gone(void* data, int worker)
{
    auto& job = *static_cast<list_job*>(data);
    const write_in_flight& slot = job.shared->in_flight[worker];
    const int index = slot.index.load();
    if (index < 0 || job.outcome.settled[std::size_t(index)])
        return;
    const file_identity now = identity_of(path_of(job, index));
    if (now.exists && (!slot.before.exists || now.device != slot.before.device || now.inode != slot.before.inode))
        outcome_settle(&job.outcome, index, true);
}

}  // namespace

bool write_listed_diagrams(const position_list& list, const output_target& output)
{
    const int workers = worker_count(int(list.positions.size()));
    std::size_t size = 0;
    shared_progress* shared = map_shared_progress(workers, &size);
    if (!shared) {
        report_problem("не хватает памяти для обработчиков списка");
        return false;
    }
    list_job job{&list, &output, shared, {}};
    outcome_start(&job.outcome, list);
    const worker_job work{&job, workers, share, any_worker, take, gone};
    std::string abnormal;
    const bool workers_well = workers_run(work, &abnormal);
    munmap(shared, size);
    return outcome_finish(job.outcome, list, workers_well, abnormal);
}
