// Everything a handler here does is safe in a signal handler: kill, waitpid,
// unlink through the safe write's table, write and _exit. The workers are
// sent SIGTERM, which they answer by removing their temporaries and ending.
#include "layout/interruption.h"

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstring>

#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include "layout/console.h"
#include "toolkit/safe_write.h"

namespace {

std::atomic<pid_t> workers[most_workers];
static_assert(std::atomic<pid_t>::is_always_lock_free);
pid_t parent_pid = 0;  // in a worker
std::atomic<int> noted_signal{0};
static_assert(std::atomic<int>::is_always_lock_free);

constexpr int ended_by_signal = 128;
// How long a worker cut off from its parent waits for the parent to be gone.
constexpr int parent_end_wait_ms = 2000;

void say(const char* text)
{
    (void)!write(STDERR_FILENO, text, std::strlen(text));
}

void end_workers()
{
    for (std::atomic<pid_t>& worker : workers)
        if (const pid_t pid = worker.load()) {
            kill(pid, SIGTERM);
            kill(pid, SIGCONT);  // a stopped worker could not end
        }
}

void note_signal(int signal)
{
    if (noted_signal.load() == 0)
        noted_signal.store(signal);
    end_workers();
}

void end_program(int signal)
{
    end_workers();
    for (std::atomic<pid_t>& worker : workers)
        if (const pid_t pid = worker.load())
            while (waitpid(pid, nullptr, 0) < 0 && errno == EINTR) {
            }
    for (int part = 0; part <= most_workers; part++)
        safe_write_remove_pending_part(part);
    safe_write_remove_pending();
    progress_wipe_from_signal();
    program_name_from_signal();
    say(signal == SIGINT ? "прервано (SIGINT), недописанные файлы удалены\n"
                         : "остановлено (SIGTERM), недописанные файлы удалены\n");
    _exit(ended_by_signal + signal);
}

void end_worker(int signal)
{
    safe_write_remove_pending();
    if (getppid() != parent_pid)
        safe_write_remove_pending_part(0);
    // The handler was reset on entry, so the signal now ends the worker.
    raise(signal);
}

void handle(int signal, void (*handler)(int), bool even_if_ignored)
{
    struct sigaction action {};
    if (!even_if_ignored && (sigaction(signal, nullptr, &action) != 0 || action.sa_handler == SIG_IGN))
        return;
    action = {};
    action.sa_handler = handler;
    sigemptyset(&action.sa_mask);
    // Both signals are held while one is handled, so the end runs once.
    sigaddset(&action.sa_mask, SIGINT);
    sigaddset(&action.sa_mask, SIGTERM);
    action.sa_flags = handler == end_worker ? SA_RESETHAND : 0;
    sigaction(signal, &action, nullptr);
}

}  // namespace

void interruption_install()
{
    std::signal(SIGCHLD, SIG_DFL);
    handle(SIGINT, end_program, false);
    handle(SIGTERM, end_program, false);
}

void interruption_install_noted()
{
    std::signal(SIGCHLD, SIG_DFL);
    handle(SIGINT, note_signal, false);
    handle(SIGTERM, note_signal, false);
}

int interruption_signal()
{
    return noted_signal.load();
}

void interruption_note_worker(int worker, pid_t pid)
{
    if (worker >= 0 && worker < most_workers)
        workers[worker].store(pid);
}

void interruption_become_worker(pid_t parent, int worker)
{
    parent_pid = parent;
    for (std::atomic<pid_t>& other : workers)
        other.store(0);
    safe_write_take_pending_part(worker + 1);
    // SIGTERM is how the parent ends a worker, so it is always handled here.
    handle(SIGTERM, end_worker, true);
    handle(SIGINT, end_worker, false);
    // A report to a parent that is gone fails with EPIPE instead of ending the
    // worker outright, so that the parent's temporaries are still removed.
    std::signal(SIGPIPE, SIG_IGN);
    prctl(PR_SET_PDEATHSIG, SIGTERM);
    // The parent may have ended before the line above took effect.
    if (getppid() != parent)
        raise(SIGTERM);
}

void interruption_worker_cut_off()
{
    // Usually the SIGTERM the parent's end sends arrives during this wait.
    for (int waited = 0; getppid() == parent_pid && waited < parent_end_wait_ms; waited++)
        usleep(1000);
    safe_write_remove_pending();
    if (getppid() != parent_pid)
        safe_write_remove_pending_part(0);
    _exit(1);
}
