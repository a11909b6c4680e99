// The event queue: collapsing repeats, dropping a window's events, and the
// three ways event_wait runs GTK+ when nothing is queued.
#include <gtest/gtest.h>

#include <chrono>
#include <vector>

#include <gtk/gtk.h>

#include "toolkit/event_queue.h"
#include "toolkit/node_pool.h"

namespace {

// Empties the queue and GTK+'s pending work, so each case starts clean
// even when all of them run in one process.
void drain()
{
    for (int i = 0; i < 10000 && event_wait(0) != event_kind::no_event; ++i) {
    }
}

struct event_queue_cases : testing::Test {
    void SetUp() override
    {
        event_queue_init();
        drain();
        ASSERT_EQ(event_queue_length(), 0);
    }
    void TearDown() override { drain(); }
};

// Takes every queued event: (kind, window) pairs in order.
std::vector<std::pair<int, int>> take_all()
{
    std::vector<std::pair<int, int>> taken;
    // Bounded, so a broken link fails the case instead of hanging it.
    while (event_queue_length() > 0 && taken.size() < 1000) {
        int kind = event_wait(0);
        taken.emplace_back(kind, event_window());
    }
    return taken;
}

using events = std::vector<std::pair<int, int>>;

gboolean post_nothing(gpointer)
{
    return FALSE;
}

gboolean post_repaint_of_window_9(gpointer)
{
    event_post(event_kind::repaint, 0, 9, 0);
    return FALSE;
}

}  // namespace

TEST_F(event_queue_cases, a_repeat_of_the_newest_event_collapses)
{
    event_post(event_kind::repaint, 0, 1, 0);
    event_post(event_kind::repaint, 0, 1, 0);
    EXPECT_EQ(event_queue_length(), 1);
    // Any differing field makes it a new event.
    event_post(event_kind::gadget_event, 82, 1, gadget_event_type::change);
    event_post(event_kind::gadget_event, 82, 1, gadget_event_type::focus);
    event_post(event_kind::gadget_event, 83, 1, gadget_event_type::focus);
    event_post(event_kind::gadget_event, 83, 2, gadget_event_type::focus);
    EXPECT_EQ(event_queue_length(), 5);
}

TEST_F(event_queue_cases, the_same_event_separated_by_another_is_kept_twice)
{
    event_post(event_kind::repaint, 0, 1, 0);
    event_post(event_kind::window_moved, 0, 1, 0);
    event_post(event_kind::repaint, 0, 1, 0);
    EXPECT_EQ(take_all(), (events{{event_kind::repaint, 1}, {event_kind::window_moved, 1}, {event_kind::repaint, 1}}));
}

TEST_F(event_queue_cases, wait_hands_out_the_oldest_event_with_its_fields)
{
    event_post(event_kind::gadget_event, 82, 0, gadget_event_type::change);
    event_post(event_kind::close_request, 0, 1, 0);
    EXPECT_EQ(event_peek().kind, event_kind::gadget_event);
    EXPECT_EQ(event_queue_length(), 2) << "peeking removes nothing";

    EXPECT_EQ(event_wait(-1), event_kind::gadget_event);
    EXPECT_EQ(event_gadget(), 82);
    EXPECT_EQ(event_window(), 0);
    EXPECT_EQ(event_type(), gadget_event_type::change);

    event_values next = event_peek();
    EXPECT_EQ(next.kind, event_kind::close_request);
    EXPECT_EQ(next.window, 1);
    EXPECT_EQ(event_wait(-1), event_kind::close_request);
    EXPECT_EQ(event_gadget(), 0);

    EXPECT_EQ(event_peek().kind, event_kind::no_event);
    EXPECT_EQ(event_wait(0), event_kind::no_event);
    EXPECT_EQ(event_window(), -1) << "a wait with nothing resets the last event";
    EXPECT_EQ(event_gadget(), 0);
    EXPECT_EQ(event_type(), 0);
}

TEST_F(event_queue_cases, dropping_a_window_keeps_the_order_of_the_rest)
{
    event_post(event_kind::repaint, 0, 1, 0);
    event_post(event_kind::repaint, 0, 2, 0);
    event_post(event_kind::window_moved, 0, 1, 0);
    event_post(event_kind::window_moved, 0, 3, 0);
    event_post(event_kind::window_resized, 0, 1, 0);
    events_drop_window(1);
    EXPECT_EQ(event_queue_length(), 2);
    // The tail now is window 3's event: a repeat of it collapses, and a new
    // event goes after it.
    event_post(event_kind::window_moved, 0, 3, 0);
    event_post(event_kind::close_request, 0, 2, 0);
    EXPECT_EQ(take_all(),
              (events{{event_kind::repaint, 2}, {event_kind::window_moved, 3}, {event_kind::close_request, 2}}));
}

TEST_F(event_queue_cases, dropping_every_event_leaves_a_queue_that_still_works)
{
    event_post(event_kind::repaint, 0, 4, 0);
    event_post(event_kind::window_moved, 0, 4, 0);
    events_drop_window(4);
    EXPECT_EQ(event_queue_length(), 0);
    EXPECT_EQ(event_peek().kind, event_kind::no_event);
    // The dropped tail must not be compared against, nor linked to.
    event_post(event_kind::window_moved, 0, 4, 0);
    event_post(event_kind::repaint, 0, 5, 0);
    EXPECT_EQ(take_all(), (events{{event_kind::window_moved, 4}, {event_kind::repaint, 5}}));
    events_drop_window(6);  // nothing of window 6: nothing changes
    EXPECT_EQ(event_queue_length(), 0);
}

TEST_F(event_queue_cases, timed_wait_with_nothing_happening_returns_no_event_after_the_timeout)
{
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(event_wait(60), event_kind::no_event);
    auto waited = std::chrono::steady_clock::now() - start;
    EXPECT_GE(waited, std::chrono::milliseconds(60));
    EXPECT_LT(waited, std::chrono::milliseconds(1000));
    EXPECT_EQ(event_window(), -1);
}

TEST_F(event_queue_cases, a_toolkit_iteration_that_queues_nothing_returns_minus_one)
{
    g_idle_add(post_nothing, nullptr);
    EXPECT_EQ(event_wait(-1), event_kind::toolkit_only);
    EXPECT_EQ(event_window(), -1);

    g_idle_add(post_nothing, nullptr);
    EXPECT_EQ(event_wait(0), event_kind::toolkit_only);
    EXPECT_EQ(event_wait(0), event_kind::no_event);

    g_idle_add(post_nothing, nullptr);
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(event_wait(5000), event_kind::toolkit_only);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(1000))
        << "pending work ends a timed wait early";
}

TEST_F(event_queue_cases, an_event_posted_during_the_iteration_is_returned_by_the_same_wait)
{
    for (int timeout : {-1, 0, 100}) {
        g_idle_add(post_repaint_of_window_9, nullptr);
        EXPECT_EQ(event_wait(timeout), event_kind::repaint) << "timeout " << timeout;
        EXPECT_EQ(event_window(), 9);
    }
}

TEST_F(event_queue_cases, flush_runs_all_pending_work)
{
    int runs = 0;
    auto count = [](gpointer data) -> gboolean {
        ++*static_cast<int*>(data);
        return FALSE;
    };
    for (int i = 0; i < 3; ++i)
        g_idle_add(count, &runs);
    events_flush();
    EXPECT_EQ(runs, 3);
    EXPECT_FALSE(gtk_events_pending());
}

TEST_F(event_queue_cases, the_pool_keeps_its_first_block_when_the_queue_empties)
{
    node_pool* pool = event_queue_pool();
    ASSERT_NE(pool, nullptr);
    EXPECT_EQ(pool_block_count(pool), 1);
    for (int i = 0; i < 40; ++i)
        event_post(event_kind::gadget_event, i, 0, 0);
    EXPECT_EQ(event_queue_length(), 40);
    EXPECT_EQ(pool_total(pool), 48);
    for (int i = 0; i < 40; ++i) {
        ASSERT_EQ(event_wait(0), event_kind::gadget_event);
        EXPECT_EQ(event_gadget(), i) << "first in, first out";
    }
    EXPECT_EQ(pool_block_count(pool), 1);
    EXPECT_EQ(pool_total(pool), 16);
}
