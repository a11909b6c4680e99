// The event queue: a FIFO of small records from the node pool, filled by the
// toolkit's signal handlers and emptied by event_wait, which runs one GTK+
// iteration when there is nothing to hand out. It never calls anyone back.
#include "toolkit/event_queue.h"

#include <ctime>

#include <gtk/gtk.h>
#include <sys/time.h>

#include "toolkit/node_pool.h"

namespace {

struct event_record {
    event_record* next;
    std::int32_t kind;
    std::int32_t object;
    std::int32_t window;
    std::int32_t sub_type;
};

constexpr event_values nothing = {event_kind::no_event, 0, -1, 0};

struct event_queue {
    node_pool* pool;
    void* kept;           // taken at start-up and never returned: the first block stays
    event_record* head;   // oldest
    event_record* tail;   // newest
    std::int32_t length;
    event_values last = nothing;
};

event_queue queue;

bool same_event(const event_record* record, std::int32_t kind, std::int32_t object, std::int32_t window,
                std::int32_t sub_type)
{
    return record->kind == kind && record->object == object && record->window == window &&
           record->sub_type == sub_type;
}

// Moves the oldest event into the last-event values; false when empty.
bool take_oldest()
{
    event_record* record = queue.head;
    if (!record)
        return false;
    queue.head = record->next;
    if (!queue.head)
        queue.tail = nullptr;
    --queue.length;
    queue.last = {record->kind, record->object, record->window, record->sub_type};
    pool_free(queue.pool, record);
    return true;
}

std::int64_t elapsed_ms(const timeval& since)
{
    timeval now;
    gettimeofday(&now, nullptr);
    return std::int64_t(now.tv_sec - since.tv_sec) * 1000 + (now.tv_usec - since.tv_usec) / 1000;
}

// Sleeps in 2 ms steps until GTK+ has something or the time is up; true when
// it then ran an iteration.
bool iterate_within(std::int32_t timeout_ms)
{
    timeval start;
    gettimeofday(&start, nullptr);
    const timespec step = {0, 2000000};
    while (!gtk_events_pending()) {
        nanosleep(&step, nullptr);
        if (elapsed_ms(start) > timeout_ms)
            break;
    }
    if (!gtk_events_pending())
        return false;
    gtk_main_iteration_do(FALSE);
    return true;
}

bool run_toolkit_once(std::int32_t timeout_ms)
{
    if (timeout_ms < 0) {
        gtk_main_iteration();
        return true;
    }
    if (timeout_ms == 0) {
        if (!gtk_events_pending())
            return false;
        gtk_main_iteration_do(FALSE);
        return true;
    }
    return iterate_within(timeout_ms);
}

}  // namespace

void event_queue_init()
{
    if (queue.pool)
        return;
    queue.pool = pool_create(sizeof(event_record), 16, 256);
    queue.kept = pool_alloc(queue.pool);
}

node_pool* event_queue_pool()
{
    return queue.pool;
}

void event_post(std::int32_t kind, std::int32_t object, std::int32_t window, std::int32_t sub_type)
{
    // Only the newest event is compared, so A B A keeps all three.
    if (queue.tail && same_event(queue.tail, kind, object, window, sub_type))
        return;
    auto* record = static_cast<event_record*>(pool_alloc(queue.pool));
    if (!record)
        return;  // no memory: the event is lost
    *record = {nullptr, kind, object, window, sub_type};
    if (queue.tail)
        queue.tail->next = record;
    else
        queue.head = record;
    queue.tail = record;
    ++queue.length;
}

std::int32_t event_wait(std::int32_t timeout_ms)
{
    queue.last = nothing;
    if (take_oldest())
        return queue.last.kind;
    bool ran = run_toolkit_once(timeout_ms);
    if (take_oldest())
        return queue.last.kind;
    return ran ? event_kind::toolkit_only : event_kind::no_event;
}

std::int32_t event_gadget()
{
    return queue.last.object;
}

std::int32_t event_window()
{
    return queue.last.window;
}

std::int32_t event_type()
{
    return queue.last.sub_type;
}

event_values event_peek()
{
    const event_record* record = queue.head;
    if (!record)
        return nothing;
    return {record->kind, record->object, record->window, record->sub_type};
}

void events_drop_window(std::int32_t window)
{
    event_record* kept_last = nullptr;
    event_record** link = &queue.head;
    while (event_record* record = *link) {
        if (record->window == window) {
            *link = record->next;
            --queue.length;
            pool_free(queue.pool, record);
        } else {
            kept_last = record;
            link = &record->next;
        }
    }
    queue.tail = kept_last;
}

void events_flush()
{
    while (gtk_events_pending())
        gtk_main_iteration_do(FALSE);
}

std::int32_t event_queue_length()
{
    return queue.length;
}
