// Threads are started per round and joined at its end: a round is a whole
// search of a first move or more, so starting them costs nothing that
// shows, and a two-mover, whose rounds last microseconds, never starts one.
#include "solve/search_control.h"

#include <algorithm>
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
    std::vector<std::thread> helpers;
    for (int t = 1; t < threads; t++)
        helpers.emplace_back(run, t);
    run(0);
    for (std::thread& helper : helpers)
        helper.join();
    return finished;
}
