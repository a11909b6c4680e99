// Each report is a small header and its payload; a worker that dies leaves
// at most a cut-off report, which is dropped. What the parent loaded before
// the fork is shared; what cannot be shared (a display) the share opens.
#include "layout/workers.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <vector>

#include <fcntl.h>
#include <poll.h>
#include <sched.h>
#include <sys/wait.h>
#include <unistd.h>

#include "layout/interruption.h"
#include "toolkit/safe_write.h"

namespace {

constexpr int positions_per_worker = 8;  // fewer are not worth a process
constexpr std::uint32_t largest_payload = 64u << 20;
constexpr std::size_t read_size = 65536;

struct report_header {
    report_kind kind;
    std::int32_t index;
    std::uint32_t size;
};

struct worker_state {
    pid_t pid = 0;
    int fd = -1;              // -1 once the pipe has ended
    std::string buffer;       // bytes read and not yet taken
    std::size_t taken = 0;    // where the next report starts in buffer
    bool finished = false;    // it reported its share done
    bool gone = false;        // the job has been told it is gone
};

bool write_all(int fd, const void* data, std::size_t size)
{
    const char* bytes = static_cast<const char*>(data);
    while (size > 0) {
        const ssize_t n = write(fd, bytes, size);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        bytes += n;
        size -= std::size_t(n);
    }
    return true;
}

// The next whole report in the worker's buffer, if there is one.
bool next_report(const worker_state& w, worker_report* report, std::size_t* length)
{
    if (w.buffer.size() - w.taken < sizeof(report_header))
        return false;
    report_header header;
    std::memcpy(&header, w.buffer.data() + w.taken, sizeof header);
    if (w.buffer.size() - w.taken - sizeof header < header.size)
        return false;
    *report = {header.kind, header.index, std::string_view(w.buffer).substr(w.taken + sizeof header, header.size)};
    *length = sizeof header + header.size;
    return true;
}

void take(const worker_job& job, int index, worker_state* w, const worker_report& report, std::size_t length)
{
    if (report.kind == report_kind::finished)
        w->finished = true;
    else
        job.take(job.job, index, report);
    w->taken += length;
}

// Reads what the worker has sent. The pipe's end closes it, and so does a
// report too large to be one of ours.
void read_from(worker_state* w)
{
    if (w->taken == w->buffer.size()) {
        w->buffer.clear();
        w->taken = 0;
    } else if (w->taken > read_size) {
        w->buffer.erase(0, w->taken);
        w->taken = 0;
    }
    const std::size_t before = w->buffer.size();
    w->buffer.resize(before + read_size);
    ssize_t n;
    do
        n = read(w->fd, w->buffer.data() + before, read_size);
    while (n < 0 && errno == EINTR);
    w->buffer.resize(before + std::size_t(std::max<ssize_t>(n, 0)));
    report_header header{};
    if (w->buffer.size() - w->taken >= sizeof header)
        std::memcpy(&header, w->buffer.data() + w->taken, sizeof header);
    if (n <= 0 || header.size > largest_payload) {
        close(w->fd);
        w->fd = -1;
    }
}

void wait_for_reports(std::vector<worker_state>* workers, int wanted)
{
    std::vector<pollfd> watched;
    std::vector<worker_state*> owners;
    for (int i = 0; i < int(workers->size()); i++) {
        worker_state& w = (*workers)[std::size_t(i)];
        if (w.fd >= 0 && (wanted < 0 || wanted == i)) {
            watched.push_back({w.fd, POLLIN, 0});
            owners.push_back(&w);
        }
    }
    if (poll(watched.data(), nfds_t(watched.size()), -1) < 0)
        return;  // interrupted: the caller looks again
    for (std::size_t i = 0; i < watched.size(); i++)
        if (watched[i].revents)
            read_from(owners[i]);
}

// Takes reports until every worker's pipe has ended and its reports are taken.
void take_reports(const worker_job& job, std::vector<worker_state>* workers)
{
    for (;;) {
        int wanted = job.next_worker(job.job);
        if (wanted >= 0 && (*workers)[std::size_t(wanted)].gone)
            wanted = -1;  // a job that names a worker it was told is gone gets any
        bool took = false, open = false;
        for (int i = 0; i < int(workers->size()) && !took; i++) {
            worker_state& w = (*workers)[std::size_t(i)];
            worker_report report;
            std::size_t length;
            if (wanted >= 0 && wanted != i)
                continue;
            if (next_report(w, &report, &length)) {
                take(job, i, &w, report, length);
                took = true;
            } else if (w.fd < 0 && !w.gone) {
                w.gone = true;
                job.gone(job.job, i);
                took = true;
            }
            open = open || w.fd >= 0;
        }
        if (took)
            continue;
        if (!open && wanted < 0)
            return;
        wait_for_reports(workers, wanted);
    }
}

std::string how_it_ended(int worker, pid_t pid, int status)
{
    const std::string who = "обработчик " + std::to_string(worker + 1) + " (процесс " + std::to_string(pid) + ")";
    if (WIFSIGNALED(status)) {
        const char* name = sigabbrev_np(WTERMSIG(status));
        return who + " убит сигналом " + std::to_string(WTERMSIG(status)) +
               (name ? " (SIG" + std::string(name) + ")" : std::string());
    }
    if (WIFEXITED(status) && WEXITSTATUS(status) != 0)
        return who + " завершился с кодом " + std::to_string(WEXITSTATUS(status));
    return who + " не закончил свою часть работы";
}

// Waits for every worker; true when all finished and exited normally.
bool wait_for_workers(std::vector<worker_state>* workers, std::string* abnormal)
{
    bool all_well = true;
    for (int i = 0; i < int(workers->size()); i++) {
        worker_state& w = (*workers)[std::size_t(i)];
        interruption_note_worker(i, 0);
        int status = 0;
        pid_t got;
        do
            got = waitpid(w.pid, &status, 0);
        while (got < 0 && errno == EINTR);
        // A worker killed outright leaves its unfinished files for us.
        if (got > 0)
            safe_write_remove_pending_part(i + 1);
        std::string trouble;
        if (got < 0)
            trouble = "не удалось узнать, как завершился обработчик " + std::to_string(i + 1) + ": " +
                      std::strerror(errno);
        else if (!w.finished || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
            trouble = how_it_ended(i, w.pid, status);
        if (!trouble.empty() && all_well)
            *abnormal = trouble;
        all_well = all_well && trouble.empty();
    }
    return all_well;
}

[[noreturn]] void run_worker(const worker_job& job, int worker, int fd, pid_t parent, const sigset_t& mask)
{
    interruption_become_worker(parent, worker);
    pthread_sigmask(SIG_SETMASK, &mask, nullptr);
    job.share(job.job, worker, job.workers, fd);
    report_send(fd, report_kind::finished, worker);
    _exit(0);
}

// Forks the workers with SIGINT and SIGTERM held, so that none is started
// without being noted for the handler. False with the reason when one could
// not be started; those that were are left to be ended.
bool start_workers(const worker_job& job, std::vector<worker_state>* workers, std::string* why)
{
    safe_write_share_pending(most_workers + 1);
    sigset_t held, before;
    sigemptyset(&held);
    sigaddset(&held, SIGINT);
    sigaddset(&held, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &held, &before);
    const pid_t parent = getpid();
    bool started = true;
    for (int i = 0; i < job.workers && started; i++) {
        int ends[2];
        pid_t pid = -1;
        if (pipe2(ends, O_CLOEXEC) == 0) {
            pid = fork();
            if (pid == 0) {
                close(ends[0]);
                for (const worker_state& earlier : *workers)
                    close(earlier.fd);
                run_worker(job, i, ends[1], parent, before);
            }
            const int reason = errno;
            close(ends[1]);
            if (pid < 0)
                close(ends[0]);
            errno = reason;
        }
        if (pid < 0) {
            *why = "не удалось запустить обработчик: " + std::string(std::strerror(errno));
            started = false;
            break;
        }
        workers->push_back({pid, ends[0], {}, 0, false, false});
        interruption_note_worker(i, pid);
    }
    pthread_sigmask(SIG_SETMASK, &before, nullptr);
    return started;
}

}  // namespace

void report_send(int fd, report_kind kind, int index, std::string_view payload)
{
    const report_header header{kind, index, std::uint32_t(payload.size())};
    // A parent that is gone ends the worker: its work has no one to go to.
    if (!write_all(fd, &header, sizeof header) || !write_all(fd, payload.data(), payload.size()))
        interruption_worker_cut_off();
}

int processor_count()
{
    cpu_set_t allowed;
    const long processors = sched_getaffinity(0, sizeof allowed, &allowed) == 0 ? CPU_COUNT(&allowed)
                                                                                 : sysconf(_SC_NPROCESSORS_ONLN);
    return int(std::max(1L, processors));
}

int worker_count(int units)
{
    return std::min({processor_count(), most_workers, std::max(1, units / positions_per_worker)});
}

bool workers_run(const worker_job& job, std::string* abnormal)
{
    std::vector<worker_state> workers;
    workers.reserve(std::size_t(job.workers));
    std::string why;
    if (!start_workers(job, &workers, &why)) {
        for (worker_state& w : workers) {
            kill(w.pid, SIGTERM);
            close(w.fd);
        }
        wait_for_workers(&workers, abnormal);
        *abnormal = why;
        return false;
    }
    take_reports(job, &workers);
    return wait_for_workers(&workers, abnormal);
}
