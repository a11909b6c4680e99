// The event queue: GTK+ signal handlers append small event records, and the
// program's own loops pull them one at a time with event_wait, which pumps
// the GTK+ main loop when the queue is empty. The toolkit never calls the
// program back.
#pragma once

#include <cstdint>

namespace event_kind {
constexpr std::int32_t toolkit_only = -1;  // GTK+ ran, nothing was queued
constexpr std::int32_t no_event = 0;
constexpr std::int32_t close_request = 2;
constexpr std::int32_t gadget_event = 3;
constexpr std::int32_t repaint = 4;
constexpr std::int32_t window_moved = 5;
constexpr std::int32_t window_resized = 6;
constexpr std::int32_t window_activated = 7;
constexpr std::int32_t window_deactivated = 8;
constexpr std::int32_t window_minimized = 12;
constexpr std::int32_t window_maximized = 13;
constexpr std::int32_t window_restored = 14;
constexpr std::int32_t pointer_moved = 24;
}  // namespace event_kind

namespace gadget_event_type {
constexpr std::int32_t left_click = 0;
constexpr std::int32_t right_click = 1;
constexpr std::int32_t left_double_click = 2;
constexpr std::int32_t right_double_click = 3;
constexpr std::int32_t focus = 256;
constexpr std::int32_t lost_focus = 512;
constexpr std::int32_t change = 768;
constexpr std::int32_t drag_start = 2048;
}  // namespace gadget_event_type

struct event_values {
    std::int32_t kind;
    std::int32_t object;
    std::int32_t window;
    std::int32_t sub_type;
};

// Creates the queue and its pool; takes the one node that is never returned.
// Calling it again does nothing. Events posted before it are lost.
void event_queue_init();

// Appends an event unless it repeats the newest queued one exactly.
void event_post(std::int32_t kind, std::int32_t object, std::int32_t window, std::int32_t sub_type);

// timeout < 0 blocks for one GTK+ event, 0 polls, > 0 waits at most that many
// milliseconds. Returns the kind of the event taken, toolkit_only or no_event.
std::int32_t event_wait(std::int32_t timeout_ms);

std::int32_t event_gadget();  // object of the last event
std::int32_t event_window();  // window of the last event, -1 when none
std::int32_t event_type();    // sub-type of the last event

event_values event_peek();  // oldest queued event, kind 0 when empty
void events_drop_window(std::int32_t window);
void events_flush();  // runs GTK+'s pending events

// For tests: how many events are queued, and the pool their records come from.
std::int32_t event_queue_length();
struct node_pool;
node_pool* event_queue_pool();
