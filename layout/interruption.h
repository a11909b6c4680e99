// How a command-line program ends when it is interrupted (Ctrl-C, SIGTERM).
// The renderer ends at once: its workers are ended and waited for, every
// temporary file of every process is removed, one line says so, and the
// status is the usual 128 + the signal's number (130, 143). The solver only
// notes the signal and ends its work itself, to print what it had proven.
// Workers end with their parent, however it ends.
#pragma once

#include <sys/types.h>

// The most workers a list is shared among; the table of temporaries has a
// part for each and one for the parent.
constexpr int most_workers = 8;

// At start, before anything is written. A signal the program was started to
// ignore stays ignored. SIGCHLD is reset too: started with it ignored, the
// program could not learn how its workers ended.
void interruption_install();
// The same, but the handler only notes the signal for interruption_signal()
// and ends the workers; the program ends itself when it sees it.
void interruption_install_noted();
// 0 until SIGINT or SIGTERM arrived under interruption_install_noted, then that signal.
int interruption_signal();

// The parent notes each worker it forked (pid 0 when it has been waited for),
// so the handler can end it.
void interruption_note_worker(int worker, pid_t pid);

// In worker number `worker` right after the fork: it ends when the parent
// does, removes its own temporaries when ended, and the parent's as well
// when the parent went first.
void interruption_become_worker(pid_t parent, int worker);

// In a worker whose report could not be written: the parent has ended, or
// is ending, and closed the pipe. Its files close a moment before it is gone,
// so this waits briefly for that, removes what it must as when ended, and
// exits with status 1.
[[noreturn]] void interruption_worker_cut_off();
