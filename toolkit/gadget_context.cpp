// The gadget context: which container the next gadget goes into. Each window
// keeps its own current list and container stack under ui_gadgetstack, so
// switching windows and back finds gadgets going where they went before. The
// context is reset when the owning window goes away, so no gadget is ever put
// into a destroyed container.
#include <cstdlib>

#include "toolkit/gadget.h"

namespace {

constexpr const char* saved_key = "ui_gadgetstack";

struct gadget_context {
    GtkWidget* current;
    int depth;
    GtkWidget* stack[gadget_stack_limit];
};

// One window's context while another window owns the live one. Saved
// records are linked so a destroyed container can be forgotten everywhere.
struct saved_context {
    GtkWidget* window;
    gadget_context context;
    saved_context* next;
};

GtkWidget* owner;
gadget_context live;
saved_context* saved_records;

// A destroyed current container gives way to the list it was pushed over
// (skipping any that went with it), so later gadgets still have a home.
void forget_widget(gadget_context& context, GtkWidget* widget)
{
    for (int i = 0; i < context.depth; ++i)
        if (context.stack[i] == widget)
            context.stack[i] = nullptr;
    if (context.current != widget)
        return;
    context.current = nullptr;
    while (!context.current && context.depth > 0)
        context.current = context.stack[--context.depth];
}

// A pushed container destroyed on its own (its scroll area replaced) must
// not stay current, or the next gadget would go into freed memory.
void on_container_destroy(GtkWidget* container, gpointer)
{
    forget_widget(live, container);
    for (saved_context* record = saved_records; record; record = record->next)
        forget_widget(record->context, container);
}

void saved_context_free(gpointer data)
{
    auto* record = static_cast<saved_context*>(data);
    if (owner == record->window) {
        owner = nullptr;
        live = {};
    }
    for (saved_context** link = &saved_records; *link; link = &(*link)->next)
        if (*link == record) {
            *link = record->next;
            break;
        }
    std::free(record);
}

// Drops the record when the window is destroyed rather than when it is
// finalized, which a stray reference could put off.
void on_window_destroy(GtkWidget* window, gpointer)
{
    g_object_set_data(G_OBJECT(window), saved_key, nullptr);
}

saved_context* saved_of(GtkWidget* window)
{
    return static_cast<saved_context*>(g_object_get_data(G_OBJECT(window), saved_key));
}

bool attach_saved(GtkWidget* window)
{
    auto* record = static_cast<saved_context*>(memory_zeroed(sizeof(saved_context)));
    if (!record)
        return false;
    record->window = window;
    record->next = saved_records;
    saved_records = record;
    g_object_set_data_full(G_OBJECT(window), saved_key, record, saved_context_free);
    g_signal_connect(window, "destroy", G_CALLBACK(on_window_destroy), nullptr);
    return true;
}

}  // namespace

GtkWidget* gadget_list_use(GtkWidget* window)
{
    if (!window)
        return owner;
    if (owner)
        if (saved_context* record = saved_of(owner))
            record->context = live;
    auto* list = static_cast<GtkWidget*>(g_object_get_data(G_OBJECT(window), "ui_gadgetlist"));
    GtkWidget* previous = owner;
    owner = window;
    if (saved_context* record = saved_of(window)) {
        live = record->context;
    } else if (attach_saved(window)) {
        live = {};
        live.current = list;
    } else {
        // Without a record nothing would reset the context when the window
        // goes, so the window does not become the owner.
        owner = nullptr;
        live = {};
    }
    return previous;
}

bool gadget_list_push(GtkWidget* container)
{
    if (!container || live.depth >= gadget_stack_limit)
        return false;
    live.stack[live.depth++] = live.current;
    live.current = container;
    g_signal_connect(container, "destroy", G_CALLBACK(on_container_destroy), nullptr);
    return true;
}

GtkWidget* gadget_current_list()
{
    return live.current;
}
