// A list's work shared among worker processes, one per processor the program
// may use: the drawing layers draw in one thread per process, and diagrams
// do not depend on each other. Each worker runs its share right after the
// fork and reports to the parent through a pipe of its own; the parent takes
// the reports in the order the job asks for. What a report means is the
// job's business.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

enum class report_kind : std::uint32_t {
    done,     // position `index` is written
    failed,   // position `index` is not written; the payload is the line saying why
    warning,  // position `index` is written, and the payload is a line to show
    sheet,    // sheet `index` of a PDF; the payload is the page as the writer wants it
    finished  // the worker's share is done (sent by this module)
};

struct worker_report {
    report_kind kind;
    int index;
    std::string_view payload;  // valid until the next report is taken
};

// In a worker: sends one report to the parent.
void report_send(int fd, report_kind kind, int index, std::string_view payload = {});

struct worker_job {
    void* job;
    int workers;
    // In worker `worker` of `workers`, after the fork: its share, reported on fd.
    void (*share)(void* job, int worker, int workers, int fd);
    // In the parent: the worker whose reports to take next, or -1 for any.
    int (*next_worker)(void* job);
    void (*take)(void* job, int worker, const worker_report& report);
    // Every report of that worker has been taken, and it sends no more;
    // next_worker must not name it again.
    void (*gone)(void* job, int worker);
};

// The processors this program may run on (its affinity), at least 1.
int processor_count();

// How many workers `units` pieces of work are worth here: one per processor
// the program may run on, fewer for a short list.
int worker_count(int units);

// Starts the workers, takes their reports until all have ended, and waits
// for them. True when every worker finished its share and exited normally;
// otherwise false with one phrase in *abnormal saying which did not and how.
bool workers_run(const worker_job& job, std::string* abnormal);
