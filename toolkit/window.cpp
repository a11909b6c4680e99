// Numbered windows over GTK+ 2 top-levels. A window holds a vertical box
// with its gadget list, a GtkFixed with a GDK window of its own; its signal
// handlers only post events, and its destroy handler clears its record.
// Gadgets are made elsewhere; a window only makes its list current.
#include "toolkit/window.h"

#include "toolkit/event_queue.h"
#include "toolkit/gadget.h"

namespace {

object_table* windows;

constexpr std::int32_t sizeable_flags = window_flag::sizeable | window_flag::maximize_box;

bool is_sizeable(std::int32_t flags)
{
    return (flags & sizeable_flags) != 0;
}

// A utility window has no maximize or minimize box and opens normally.
std::int32_t effective_flags(std::int32_t flags)
{
    if (flags & window_flag::utility)
        flags &= ~(window_flag::maximize_box | window_flag::minimize_box | window_flag::open_maximized |
                   window_flag::open_minimized);
    return flags;
}

gint get_int(GtkWidget* widget, const char* key)
{
    return GPOINTER_TO_INT(g_object_get_data(G_OBJECT(widget), key));
}

void set_int(GtkWidget* widget, const char* key, gint value)
{
    g_object_set_data(G_OBJECT(widget), key, GINT_TO_POINTER(value));
}

std::int32_t number_of(gpointer data)
{
    return GPOINTER_TO_INT(data);
}

void post_window(std::int32_t kind, gpointer data)
{
    event_post(kind, 0, number_of(data), 0);
}

gboolean on_delete(GtkWidget*, GdkEvent*, gpointer data)
{
    post_window(event_kind::close_request, data);
    return TRUE;  // the window stays until the program closes it
}

gboolean on_configure(GtkWidget* window, GdkEventConfigure* event, gpointer data)
{
    if (event->width == get_int(window, "ui_previous_width") &&
        event->height == get_int(window, "ui_previous_height")) {
        if (event->x == get_int(window, "ui_previous_x") && event->y == get_int(window, "ui_previous_y"))
            return FALSE;
        set_int(window, "ui_previous_x", event->x);
        set_int(window, "ui_previous_y", event->y);
        post_window(event_kind::window_moved, data);
        return FALSE;
    }
    set_int(window, "ui_previous_width", event->width);
    set_int(window, "ui_previous_height", event->height);
    post_window(event_kind::window_resized, data);
    return FALSE;
}

gboolean on_window_state(GtkWidget*, GdkEventWindowState* event, gpointer data)
{
    const bool iconified = event->new_window_state & GDK_WINDOW_STATE_ICONIFIED;
    const bool maximized = event->new_window_state & GDK_WINDOW_STATE_MAXIMIZED;
    if (event->changed_mask & GDK_WINDOW_STATE_ICONIFIED)
        post_window(iconified   ? event_kind::window_minimized
                    : maximized ? event_kind::window_maximized
                                : event_kind::window_restored,
                    data);
    else if (event->changed_mask & GDK_WINDOW_STATE_MAXIMIZED)
        post_window(maximized ? event_kind::window_maximized : event_kind::window_restored, data);
    return FALSE;
}

gboolean on_focus_in(GtkWidget*, GdkEventFocus*, gpointer data)
{
    post_window(event_kind::window_activated, data);
    return FALSE;
}

gboolean on_focus_out(GtkWidget*, GdkEventFocus*, gpointer data)
{
    post_window(event_kind::window_deactivated, data);
    return FALSE;
}

gboolean on_motion(GtkWidget*, GdkEventMotion*, gpointer data)
{
    post_window(event_kind::pointer_moved, data);
    return FALSE;
}

gboolean on_expose(GtkWidget*, GdkEventExpose*, gpointer data)
{
    post_window(event_kind::repaint, data);
    return FALSE;
}

void on_destroy(GtkWidget* window, gpointer data)
{
    std::int32_t number = number_of(data);
    events_drop_window(number);
    // Only this window's record: the number may already name a newer window.
    auto* record = table_lookup_as<window_record>(windows, number);
    if (record && record->window == window)
        table_release(windows, number);
}

// A fixed-size window is exactly the client size asked for; a sizeable one
// only has a small minimum and starts at its default size.
void apply_size(GtkWidget* window, int width, int height, std::int32_t flags)
{
    if (is_sizeable(flags)) {
        gtk_widget_set_usize(window, 30, 30);
    } else {
        gtk_window_set_resizable(GTK_WINDOW(window), FALSE);
        gtk_widget_set_usize(window, width, height);
    }
}

void apply_hints(GtkWidget* window, std::int32_t flags)
{
    if (flags & window_flag::utility) {
        gtk_window_set_type_hint(GTK_WINDOW(window), GDK_WINDOW_TYPE_HINT_UTILITY);
        gtk_window_set_skip_taskbar_hint(GTK_WINDOW(window), FALSE);
        gtk_window_set_skip_pager_hint(GTK_WINDOW(window), FALSE);
    }
    gdk_window_set_decorations(window->window, GdkWMDecoration(window_decorations_for(flags)));
    gdk_window_set_functions(window->window, GdkWMFunction(window_functions_for(flags)));
}

void build_gadget_list(GtkWidget* window, std::int32_t number)
{
    GtkWidget* box = gtk_vbox_new(FALSE, 0);
    GtkWidget* list = gtk_fixed_new();
    gtk_fixed_set_has_window(GTK_FIXED(list), TRUE);
    gtk_box_pack_start(GTK_BOX(box), list, TRUE, TRUE, 0);
    gtk_container_add(GTK_CONTAINER(window), box);
    g_object_set_data(G_OBJECT(window), "ui_gadgetlist", list);
    g_signal_connect(list, "expose-event", G_CALLBACK(on_expose), GINT_TO_POINTER(number));
    gtk_widget_show_all(box);
}

void connect_window(GtkWidget* window, std::int32_t number)
{
    gpointer data = GINT_TO_POINTER(number);
    g_signal_connect(window, "destroy", G_CALLBACK(on_destroy), data);
    g_signal_connect(window, "configure-event", G_CALLBACK(on_configure), data);
    g_signal_connect(window, "window-state-event", G_CALLBACK(on_window_state), data);
    g_signal_connect(window, "delete-event", G_CALLBACK(on_delete), data);
    g_signal_connect(window, "focus-in-event", G_CALLBACK(on_focus_in), data);
    g_signal_connect(window, "focus-out-event", G_CALLBACK(on_focus_out), data);
    g_signal_connect(window, "motion-notify-event", G_CALLBACK(on_motion), data);
    set_int(window, "ui_id", number);
}

void apply_start_state(GtkWidget* window, std::int32_t flags)
{
    if (flags & window_flag::open_maximized) {
        gtk_window_maximize(GTK_WINDOW(window));
        gtk_window_deiconify(GTK_WINDOW(window));
    } else if (flags & window_flag::open_minimized) {
        gtk_window_iconify(GTK_WINDOW(window));
    }
}

}  // namespace

void window_table_init()
{
    if (!windows)
        windows = table_create(sizeof(window_record), 16, window_close);
}

object_table* window_table()
{
    return windows;
}

std::int32_t window_decorations_for(std::int32_t flags)
{
    if (flags & window_flag::borderless)
        return 0;
    std::int32_t decorations = GDK_DECOR_BORDER | GDK_DECOR_TITLE;
    if (is_sizeable(flags))
        decorations |= GDK_DECOR_RESIZEH;
    flags = effective_flags(flags);
    if (flags & window_flag::minimize_box)
        decorations |= GDK_DECOR_MINIMIZE;
    if (flags & window_flag::maximize_box)
        decorations |= GDK_DECOR_MAXIMIZE;
    if (flags & window_flag::menu)
        decorations |= GDK_DECOR_MENU;
    return decorations;
}

std::int32_t window_functions_for(std::int32_t flags)
{
    std::int32_t functions = GDK_FUNC_MOVE | GDK_FUNC_CLOSE;
    if (is_sizeable(flags))
        functions |= GDK_FUNC_RESIZE;
    flags = effective_flags(flags);
    if (flags & window_flag::minimize_box)
        functions |= GDK_FUNC_MINIMIZE;
    if (flags & window_flag::maximize_box)
        functions |= GDK_FUNC_MAXIMIZE;
    return functions;
}

created_object window_open(object_number number, int x, int y, int width, int height, const text& title,
                           std::int32_t flags)
{
    if (x == -65535 || y == -65535)
        x = y = -1;  // leave the placement to the window manager
    object_number assigned = number;
    auto* record = static_cast<window_record*>(table_allocate(windows, number, &assigned));
    if (!record)
        return 0;
    GtkWidget* window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    if (!window) {
        table_release(windows, assigned);
        return 0;
    }
    gtk_window_set_title(GTK_WINDOW(window), text_to_utf8(title).c_str());
    gtk_window_set_default_size(GTK_WINDOW(window), width, height);
    set_int(window, "ui_previous_width", width);
    set_int(window, "ui_previous_height", height);
    if (!(flags & (window_flag::centred | window_flag::ignore_position)))
        gtk_widget_set_uposition(window, x, y);
    apply_size(window, width, height, flags);
    gtk_widget_realize(window);
    apply_hints(window, flags);
    if (flags & window_flag::centred)
        gtk_window_set_position(GTK_WINDOW(window), GTK_WIN_POS_CENTER);
    build_gadget_list(window, assigned);
    connect_window(window, assigned);
    record->window = window;
    apply_start_state(window, effective_flags(flags));
    if (!(flags & window_flag::hidden))
        gtk_widget_show(window);
    events_flush();
    if (!(flags & window_flag::keep_gadget_list))
        gadget_list_use(window);
    if (number == dynamic_number)
        return assigned;
    return reinterpret_cast<created_object>(window);
}

void window_close(object_number number)
{
    auto* record = table_lookup_as<window_record>(windows, number);
    if (!record)
        return;
    gtk_widget_destroy(record->window);
    events_flush();
}

void window_close_all()
{
    table_release_all(windows);
}

GtkWidget* window_widget(object_number number)
{
    auto* record = table_lookup_as<window_record>(windows, number);
    return record ? record->window : nullptr;
}

GtkWidget* window_gadget_list(object_number number)
{
    GtkWidget* window = window_widget(number);
    return window ? static_cast<GtkWidget*>(g_object_get_data(G_OBJECT(window), "ui_gadgetlist")) : nullptr;
}

object_number window_of_widget(GtkWidget* widget)
{
    if (!widget)
        return -1;
    GtkWidget* top = gtk_widget_get_toplevel(widget);
    // Window 0 stores 0 under ui_id, which reads the same as no ui_id at all,
    // so a top-level counts as one of ours only when it has a gadget list.
    if (!GTK_WIDGET_TOPLEVEL(top) || !g_object_get_data(G_OBJECT(top), "ui_gadgetlist"))
        return -1;
    return get_int(top, "ui_id");
}
