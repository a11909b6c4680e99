// What a running check shares with the program around it: how many threads
// it may use, a request to stop (Ctrl-C), and how far it has got, for a
// progress line. The searches read the request now and then and give up at
// once; what they had finished before it stays proven. Nothing here draws
// or prints.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <vector>

struct search_control {
    int jobs = 1;                    // threads one check may use
    std::atomic<bool> stop{false};  // set by the program; the check ends as soon as it sees it

    // For the progress line; written by the check, read by the program.
    std::atomic<int> first_moves{0};  // first moves of the current round
    std::atomic<int> first_done{0};   // of them, finished
    std::atomic<int> length{0};       // moves (help: plies) the current round tries
    std::atomic<int> found{0};        // keys or solutions proven so far

    bool stopped() const { return stop.load(std::memory_order_relaxed); }

    // How long the last round took, so that the next one, a move longer,
    // knows whether it is worth threads, and how long a round runs on one
    // thread before it is shared (0 shares every round at once).
    double last_round_seconds = 0;
    double share_after_seconds = 0.003;
};

// A control that never stops and runs on one thread: for callers that do not care.
search_control& quiet_control();

// Runs work(thread, index) once for every index below count, the indices
// handed out in their order to up to control.jobs threads (thread 0 is the
// caller's); each thread keeps its own search state, indexed by `thread`.
// A round of one first move, or one job, runs on the caller's thread alone;
// so does a round that is over within milliseconds: threads are only started
// once the round, or the one before it, has run for a few milliseconds.
// Returns which indices finished with the control never stopped meanwhile:
// only those results may be believed after a stop.
std::vector<char> each_shared(int count, search_control& control, int threads_wanted,
                              const std::function<void(int thread, int index)>& work);
