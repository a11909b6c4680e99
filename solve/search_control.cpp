// Threads are started per round and joined at its end: a round is a whole
// search of a first move or more, so starting them costs nothing that
// shows, and a two-mover, whose rounds last microseconds, never starts one:
// on a busy machine a new thread may wait for a processor longer than the
// whole check would take.
#include "solve/search_control.h"

#include <algorithm>
#include <chrono>
#include <thread>


search_control& quiet_control()
{
    static search_control control;
    return control;
}

std::vector<char> each_shared(int count, search_control& control, int threads_wanted,
                              const std::function<void(int thread, int index)>& work)
{
    std::vector<char> finished(std::size_t(std::max(count, 0)), 0);
    std::atomic<int> next{0};
    control.first_moves.store(count);
    control.first_done.store(0);
    auto run = [&](int thread) {
        for (int i; !control.stopped() && (i = next.fetch_add(1)) < count;) {
            work(thread, i);
            // A stop seen only now may have cut the work short.
            if (!control.stopped()) {
                finished[std::size_t(i)] = 1;
                control.first_done.fetch_add(1);
            }
        }
    };
    const int threads = std::min({threads_wanted, control.jobs, count});
    const auto start = std::chrono::steady_clock::now();
    auto seconds = [&start] { return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(); };
    std::vector<std::thread> helpers;
    auto share = [&] {
        for (int t = 1; t < threads; t++)
            helpers.emplace_back(run, t);
    };
    if (control.last_round_seconds >= control.share_after_seconds)
        share();
    // The caller's own turn, which shares the round once it proves long.
    for (int i; !control.stopped() && (i = next.fetch_add(1)) < count;) {
        work(0, i);
        if (!control.stopped()) {
            finished[std::size_t(i)] = 1;
            control.first_done.fetch_add(1);
        }
        if (helpers.empty() && seconds() >= control.share_after_seconds)
            share();
    }
    for (std::thread& helper : helpers)
        helper.join();
    control.last_round_seconds = seconds();
    return finished;
}
