// Windows: what window_open builds and applies, the events its handlers
// post, closing and reopening, and the gadget context each window keeps.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include <X11/Xlib.h>
#include <gdk/gdkx.h>
#include <gtk/gtk.h>

#include "tests/support/test_support.h"
#include "toolkit/event_queue.h"
#include "toolkit/gadget.h"
#include "toolkit/window.h"

namespace {

constexpr std::int32_t composer_flags = window_flag::centred | window_flag::minimize_box;

void drain()
{
    for (int i = 0; i < 10000 && event_wait(0) != event_kind::no_event; ++i) {
    }
}

struct window_cases : testing::Test {
    void SetUp() override
    {
        event_queue_init();
        window_table_init();
        drain();
    }
    void TearDown() override
    {
        window_close_all();
        drain();
    }
};

GtkWidget* open(object_number number, std::int32_t flags = composer_flags, int width = 200, int height = 100)
{
    return reinterpret_cast<GtkWidget*>(window_open(number, 10, 10, width, height, u"test", flags));
}

// Kinds of the queued events of one window, oldest first; others are kept.
std::vector<int> kinds_of_window(int window)
{
    std::vector<int> kinds;
    std::vector<event_values> others;
    while (event_queue_length() > 0) {
        int kind = event_wait(0);
        if (event_window() == window)
            kinds.push_back(kind);
        else
            others.push_back({kind, event_gadget(), event_window(), event_type()});
    }
    for (const event_values& e : others)
        event_post(e.kind, e.object, e.window, e.sub_type);
    return kinds;
}

bool contains(const std::vector<int>& kinds, int kind)
{
    for (int k : kinds)
        if (k == kind)
            return true;
    return false;
}

// Waits until the queue holds an event of this kind and window.
bool wait_for(int kind, int window, int ms)
{
    auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (std::chrono::steady_clock::now() < end) {
        if (event_wait(20) == kind && event_window() == window)
            return true;
    }
    return false;
}

// The window manager hints as the X server holds them, read with Xlib
// rather than through GDK's own bookkeeping.
struct motif_hints {
    long flags = -1, functions = -1, decorations = -1;
};

motif_hints read_motif_hints(GtkWidget* window)
{
    motif_hints hints;
    Display* display = GDK_WINDOW_XDISPLAY(window->window);
    Atom property = XInternAtom(display, "_MOTIF_WM_HINTS", False);
    Atom type = None;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    if (XGetWindowProperty(display, GDK_WINDOW_XID(window->window), property, 0, 5, False, AnyPropertyType, &type,
                           &format, &count, &after, &data) == Success &&
        format == 32 && count >= 3) {
        // Format 32 comes back as longs, whatever their size.
        const long* values = reinterpret_cast<const long*>(data);
        hints = {values[0], values[1], values[2]};
    }
    if (data)
        XFree(data);
    return hints;
}

constexpr long motif_functions_set = 1, motif_decorations_set = 2;

}  // namespace

TEST_F(window_cases, every_flag_puts_its_decorations_and_functions_on_the_x_window)
{
    const std::int32_t base_decor = GDK_DECOR_BORDER | GDK_DECOR_TITLE;
    const std::int32_t base_func = GDK_FUNC_MOVE | GDK_FUNC_CLOSE;
    struct row {
        std::int32_t flags, decorations, functions;
    } rows[] = {
        {0, base_decor, base_func},
        {window_flag::sizeable, base_decor | GDK_DECOR_RESIZEH, base_func | GDK_FUNC_RESIZE},
        {window_flag::menu, base_decor | GDK_DECOR_MENU, base_func},
        {window_flag::maximize_box, base_decor | GDK_DECOR_RESIZEH | GDK_DECOR_MAXIMIZE,
         base_func | GDK_FUNC_RESIZE | GDK_FUNC_MAXIMIZE},
        {window_flag::minimize_box, base_decor | GDK_DECOR_MINIMIZE, base_func | GDK_FUNC_MINIMIZE},
        {window_flag::borderless | window_flag::minimize_box | window_flag::menu, 0, base_func | GDK_FUNC_MINIMIZE},
        // A utility window drops the boxes but stays sizeable through 0x10.
        {window_flag::utility | window_flag::maximize_box | window_flag::minimize_box,
         base_decor | GDK_DECOR_RESIZEH, base_func | GDK_FUNC_RESIZE},
        {window_flag::utility | window_flag::menu, base_decor | GDK_DECOR_MENU, base_func},
        {window_flag::hidden | window_flag::centred | window_flag::open_maximized, base_decor, base_func},
    };
    for (const row& r : rows) {
        GtkWidget* window = open(20, r.flags);
        ASSERT_NE(window, nullptr) << "flags " << r.flags;
        motif_hints hints = read_motif_hints(window);
        EXPECT_EQ(hints.flags, motif_functions_set | motif_decorations_set) << "flags " << r.flags;
        EXPECT_EQ(hints.decorations, r.decorations) << "flags " << r.flags;
        EXPECT_EQ(hints.functions, r.functions) << "flags " << r.flags;
        window_close(20);
    }
}

TEST_F(window_cases, the_editor_window_is_a_fixed_800_by_620_client_area_in_the_centre)
{
    GtkWidget* window = reinterpret_cast<GtkWidget*>(window_open(0, 1, 1, 800, 620, u"Chess diagram", 96));
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(window, window_widget(0));
    EXPECT_STREQ(gtk_window_get_title(GTK_WINDOW(window)), "Chess diagram");
    EXPECT_FALSE(gtk_window_get_resizable(GTK_WINDOW(window)));
    EXPECT_TRUE(GTK_WIDGET_VISIBLE(window));

    GtkWidget* list = window_gadget_list(0);
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(list->allocation.width, 800);
    EXPECT_EQ(list->allocation.height, 620);
    gint x = 0, y = 0, width = 0, height = 0, depth = 0;
    gdk_window_get_geometry(window->window, &x, &y, &width, &height, &depth);
    EXPECT_EQ(width, 800);
    EXPECT_EQ(height, 620);
    GdkScreen* screen = gtk_widget_get_screen(window);
    gdk_window_get_origin(window->window, &x, &y);
    EXPECT_EQ(x, (gdk_screen_get_width(screen) - 800) / 2);
    EXPECT_EQ(y, (gdk_screen_get_height(screen) - 620) / 2);

    // A resize request is refused: the size request holds the window.
    gtk_window_resize(GTK_WINDOW(window), 900, 700);
    events_flush();
    gdk_window_get_geometry(window->window, nullptr, nullptr, &width, &height, nullptr);
    EXPECT_EQ(width, 800);
    EXPECT_EQ(height, 620);

    motif_hints hints = read_motif_hints(window);
    EXPECT_EQ(hints.decorations, 42);
    EXPECT_EQ(hints.functions, 44);
}

TEST_F(window_cases, the_widget_tree_and_object_data)
{
    GtkWidget* window = open(3);
    ASSERT_NE(window, nullptr);
    GtkWidget* box = gtk_bin_get_child(GTK_BIN(window));
    ASSERT_TRUE(GTK_IS_VBOX(box));
    EXPECT_FALSE(gtk_box_get_homogeneous(GTK_BOX(box)));
    EXPECT_EQ(gtk_box_get_spacing(GTK_BOX(box)), 0);

    GList* children = gtk_container_get_children(GTK_CONTAINER(box));
    ASSERT_EQ(g_list_length(children), 1u);
    GtkWidget* list = GTK_WIDGET(children->data);
    g_list_free(children);
    ASSERT_TRUE(GTK_IS_FIXED(list));
    EXPECT_TRUE(gtk_fixed_get_has_window(GTK_FIXED(list)));
    gboolean expand = FALSE, fill = FALSE;
    guint padding = 1;
    GtkPackType pack = GTK_PACK_END;
    gtk_box_query_child_packing(GTK_BOX(box), list, &expand, &fill, &padding, &pack);
    EXPECT_TRUE(expand);
    EXPECT_TRUE(fill);
    EXPECT_EQ(padding, 0u);
    EXPECT_EQ(pack, GTK_PACK_START);

    EXPECT_EQ(g_object_get_data(G_OBJECT(window), "ui_gadgetlist"), list);
    EXPECT_EQ(window_gadget_list(3), list);
    EXPECT_EQ(GPOINTER_TO_INT(g_object_get_data(G_OBJECT(window), "ui_id")), 3);
    EXPECT_EQ(GPOINTER_TO_INT(g_object_get_data(G_OBJECT(window), "ui_previous_width")), 200);
    EXPECT_EQ(GPOINTER_TO_INT(g_object_get_data(G_OBJECT(window), "ui_previous_height")), 100);
    EXPECT_NE(g_object_get_data(G_OBJECT(window), "ui_gadgetstack"), nullptr);
}

TEST_F(window_cases, flags_for_visibility_and_size)
{
    GtkWidget* hidden = open(1, window_flag::hidden);
    ASSERT_NE(hidden, nullptr);
    EXPECT_FALSE(GTK_WIDGET_VISIBLE(hidden));

    GtkWidget* sizeable = open(2, window_flag::sizeable, 300, 200);
    ASSERT_NE(sizeable, nullptr);
    EXPECT_TRUE(gtk_window_get_resizable(GTK_WINDOW(sizeable)));
    GtkRequisition request;
    gtk_widget_size_request(sizeable, &request);
    EXPECT_EQ(request.width, 30);
    EXPECT_EQ(request.height, 30);
    gint width = 0, height = 0;
    gtk_window_get_default_size(GTK_WINDOW(sizeable), &width, &height);
    EXPECT_EQ(width, 300);
    EXPECT_EQ(height, 200);

    GtkWidget* utility = open(4, window_flag::utility | window_flag::open_minimized);
    ASSERT_NE(utility, nullptr);
    EXPECT_EQ(gtk_window_get_type_hint(GTK_WINDOW(utility)), GDK_WINDOW_TYPE_HINT_UTILITY);
    EXPECT_FALSE(gdk_window_get_state(utility->window) & GDK_WINDOW_STATE_ICONIFIED);
}

TEST_F(window_cases, each_window_signal_posts_its_event_for_the_window)
{
    GtkWidget* window = open(5);
    ASSERT_NE(window, nullptr);
    drain();
    gboolean handled = FALSE;

    GdkEventFocus focus = {};
    focus.type = GDK_FOCUS_CHANGE;
    focus.window = window->window;
    focus.in = TRUE;
    g_signal_emit_by_name(window, "focus-in-event", &focus, &handled);
    focus.in = FALSE;
    g_signal_emit_by_name(window, "focus-out-event", &focus, &handled);
    GdkEventMotion motion = {};
    motion.type = GDK_MOTION_NOTIFY;
    motion.window = window->window;
    g_signal_emit_by_name(window, "motion-notify-event", &motion, &handled);
    EXPECT_FALSE(handled);
    GdkEventExpose expose = {};
    expose.type = GDK_EXPOSE;
    expose.window = window_gadget_list(5)->window;
    g_signal_emit_by_name(window_gadget_list(5), "expose-event", &expose, &handled);
    GdkEventAny del = {};
    del.type = GDK_DELETE;
    del.window = window->window;
    g_signal_emit_by_name(window, "delete-event", &del, &handled);
    EXPECT_TRUE(handled) << "a close request must not let GTK+ destroy the window";

    EXPECT_EQ(kinds_of_window(5), (std::vector<int>{event_kind::window_activated, event_kind::window_deactivated,
                                                    event_kind::pointer_moved, event_kind::repaint,
                                                    event_kind::close_request}));
}

TEST_F(window_cases, window_state_changes_post_minimized_maximized_or_restored)
{
    GtkWidget* window = open(6);
    ASSERT_NE(window, nullptr);
    drain();
    const GdkWindowState none = GdkWindowState(0), iconified = GDK_WINDOW_STATE_ICONIFIED,
                         maximized = GDK_WINDOW_STATE_MAXIMIZED;
    struct row {
        GdkWindowState changed, state;
        int expected;  // 0: nothing posted
    } rows[] = {
        {iconified, iconified, event_kind::window_minimized},
        {iconified, GdkWindowState(iconified | maximized), event_kind::window_minimized},
        {iconified, maximized, event_kind::window_maximized},
        {iconified, none, event_kind::window_restored},
        {maximized, maximized, event_kind::window_maximized},
        {maximized, none, event_kind::window_restored},
        {GDK_WINDOW_STATE_FULLSCREEN, GDK_WINDOW_STATE_FULLSCREEN, 0},
        {GDK_WINDOW_STATE_STICKY, maximized, 0},
    };
    for (const row& r : rows) {
        GdkEventWindowState event = {};
        event.type = GDK_WINDOW_STATE;
        event.window = window->window;
        event.changed_mask = r.changed;
        event.new_window_state = r.state;
        gboolean handled = TRUE;
        g_signal_emit_by_name(window, "window-state-event", &event, &handled);
        std::vector<int> kinds = kinds_of_window(6);
        if (r.expected)
            EXPECT_EQ(kinds, std::vector<int>{r.expected}) << "changed " << r.changed << " state " << r.state;
        else
            EXPECT_TRUE(kinds.empty()) << "changed " << r.changed;
    }
}

TEST_F(window_cases, configure_posts_moved_for_a_new_position_and_resized_for_a_new_size)
{
    GtkWidget* window = open(7, window_flag::sizeable);
    ASSERT_NE(window, nullptr);
    drain();
    auto configure = [&](int x, int y, int width, int height) {
        GdkEventConfigure event = {};
        event.type = GDK_CONFIGURE;
        event.window = window->window;
        event.x = x;
        event.y = y;
        event.width = width;
        event.height = height;
        gboolean handled = TRUE;
        g_signal_emit_by_name(window, "configure-event", &event, &handled);
        return kinds_of_window(7);
    };
    using kinds = std::vector<int>;
    auto stored = [&](const char* key) { return GPOINTER_TO_INT(g_object_get_data(G_OBJECT(window), key)); };
    int w = stored("ui_previous_width"), h = stored("ui_previous_height");
    int x = stored("ui_previous_x"), y = stored("ui_previous_y");

    EXPECT_EQ(configure(x, y, w, h), kinds{});
    EXPECT_EQ(configure(x + 40, y + 30, w, h), kinds{event_kind::window_moved});
    EXPECT_EQ(stored("ui_previous_x"), x + 40);
    EXPECT_EQ(configure(x + 40, y + 30, w, h), kinds{}) << "the same place again is no move";
    EXPECT_EQ(configure(x + 90, y + 90, w + 10, h), kinds{event_kind::window_resized});
    EXPECT_EQ(stored("ui_previous_width"), w + 10);
    EXPECT_EQ(stored("ui_previous_x"), x + 40) << "a resize leaves the stored position alone";
    EXPECT_EQ(configure(x + 90, y + 90, w + 10, h), kinds{event_kind::window_moved});
}

TEST_F(window_cases, a_window_opened_away_from_the_origin_reports_a_move)
{
    GtkWidget* window = reinterpret_cast<GtkWidget*>(window_open(8, 150, 120, 200, 100, u"moved", 0));
    ASSERT_NE(window, nullptr);
    // On a busy X server the first configure may come after window_open
    // has returned; wait for it.
    std::vector<int> kinds;
    auto end = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (!contains(kinds, event_kind::window_moved) && std::chrono::steady_clock::now() < end) {
        int kind = event_wait(20);
        if (event_window() == 8)
            kinds.push_back(kind);
    }
    EXPECT_TRUE(contains(kinds, event_kind::window_moved));
    EXPECT_FALSE(contains(kinds, event_kind::window_resized));
    EXPECT_EQ(GPOINTER_TO_INT(g_object_get_data(G_OBJECT(window), "ui_previous_x")), 150);
    EXPECT_EQ(GPOINTER_TO_INT(g_object_get_data(G_OBJECT(window), "ui_previous_y")), 120);
}

TEST_F(window_cases, a_close_request_posts_kind_2_and_leaves_the_window_open)
{
    GtkWidget* window = reinterpret_cast<GtkWidget*>(window_open(0, 1, 1, 300, 200, u"close me", 96));
    ASSERT_NE(window, nullptr);
    drain();
    ASSERT_EQ(run_command(build_tool("send-close") + " 'close me'"), 0);
    ASSERT_TRUE(wait_for(event_kind::close_request, 0, 5000));
    EXPECT_EQ(event_gadget(), 0);
    events_flush();
    EXPECT_EQ(window_widget(0), window);
    EXPECT_TRUE(GTK_WIDGET_VISIBLE(window));
}

TEST_F(window_cases, closing_drops_the_windows_queued_events_and_clears_its_record)
{
    // Hidden, so that no other program's window can move the focus and
    // queue events of its own while window_close runs GTK+.
    ASSERT_NE(open(1, composer_flags | window_flag::hidden), nullptr);
    ASSERT_NE(open(2, composer_flags | window_flag::hidden), nullptr);
    drain();
    event_post(event_kind::repaint, 0, 1, 0);
    event_post(event_kind::close_request, 0, 2, 0);
    event_post(event_kind::gadget_event, 82, 1, 0);
    window_close(1);
    EXPECT_EQ(window_widget(1), nullptr);
    EXPECT_EQ(table_lookup(window_table(), 1), nullptr);
    EXPECT_EQ(window_gadget_list(1), nullptr);
    EXPECT_TRUE(kinds_of_window(1).empty());
    EXPECT_EQ(kinds_of_window(2), std::vector<int>{event_kind::close_request});
    window_close(1);  // no live window: nothing happens
    window_close(12345);
}

TEST_F(window_cases, reopening_a_closed_number_reuses_its_record_memory)
{
    ASSERT_NE(open(1), nullptr);
    void* record = table_lookup(window_table(), 1);
    window_close(1);
    GtkWidget* again = open(1);
    ASSERT_NE(again, nullptr);
    EXPECT_EQ(table_lookup(window_table(), 1), record);
    EXPECT_EQ(window_widget(1), again);
}

TEST_F(window_cases, opening_a_live_number_again_destroys_the_old_window)
{
    GtkWidget* old = open(2);
    ASSERT_NE(old, nullptr);
    g_object_add_weak_pointer(G_OBJECT(old), reinterpret_cast<gpointer*>(&old));
    event_post(event_kind::gadget_event, 77, 2, 0);
    GtkWidget* fresh = open(2);
    ASSERT_NE(fresh, nullptr);
    EXPECT_EQ(old, nullptr) << "the first window must be gone";
    EXPECT_EQ(window_widget(2), fresh);
    EXPECT_FALSE(contains(kinds_of_window(2), event_kind::gadget_event)) << "the old window's events went with it";
}

TEST_F(window_cases, dynamic_windows_get_their_own_numbers)
{
    created_object handle = window_open(dynamic_number, 0, 0, 120, 80, u"dynamic", composer_flags);
    ASSERT_LT(handle, dynamic_number);
    auto number = object_number(handle);
    GtkWidget* window = window_widget(number);
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(GPOINTER_TO_INT(g_object_get_data(G_OBJECT(window), "ui_id")), number);
    EXPECT_EQ(window_of_widget(window_gadget_list(number)), number);
    window_close(number);
    EXPECT_EQ(window_widget(number), nullptr);
}

TEST_F(window_cases, window_of_widget_finds_the_number_through_the_top_level)
{
    open(0);
    open(3);
    GtkWidget* in_zero = gtk_label_new("a");
    GtkWidget* in_three = gtk_label_new("b");
    gtk_fixed_put(GTK_FIXED(window_gadget_list(0)), in_zero, 0, 0);
    gtk_fixed_put(GTK_FIXED(window_gadget_list(3)), in_three, 0, 0);
    EXPECT_EQ(window_of_widget(in_zero), 0);
    EXPECT_EQ(window_of_widget(in_three), 3);
    EXPECT_EQ(window_of_widget(window_widget(3)), 3);

    GtkWidget* loose = gtk_label_new("c");
    g_object_ref_sink(loose);
    EXPECT_EQ(window_of_widget(loose), -1);
    g_object_unref(loose);
    GtkWidget* foreign = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    EXPECT_EQ(window_of_widget(foreign), -1) << "a top-level that is not ours is no window 0";
    gtk_widget_destroy(foreign);
    EXPECT_EQ(window_of_widget(nullptr), -1);
}

TEST_F(window_cases, close_all_closes_every_window)
{
    open(0);
    open(9);
    created_object handle = window_open(dynamic_number, 0, 0, 50, 50, u"", composer_flags);
    window_close_all();
    EXPECT_EQ(window_widget(0), nullptr);
    EXPECT_EQ(window_widget(9), nullptr);
    EXPECT_EQ(window_widget(object_number(handle)), nullptr);
    void* record = nullptr;
    object_number number = 0;
    table_iterate_restart(window_table());
    EXPECT_FALSE(table_iterate_next(window_table(), &record, &number));
}

// The gadget context each window keeps.

TEST_F(window_cases, opening_a_window_makes_its_gadget_list_current)
{
    GtkWidget* zero = open(0);
    EXPECT_EQ(gadget_current_list(), window_gadget_list(0));
    open(1, composer_flags | window_flag::keep_gadget_list);
    EXPECT_EQ(gadget_current_list(), window_gadget_list(0)) << "0x1000 leaves the context alone";
    GtkWidget* one = window_widget(1);
    EXPECT_EQ(gadget_list_use(one), zero) << "the previous owner is returned";
    EXPECT_EQ(gadget_current_list(), window_gadget_list(1));
}

TEST_F(window_cases, each_window_keeps_its_own_current_list_and_stack)
{
    GtkWidget* zero = open(0);
    GtkWidget* inner = gtk_fixed_new();
    gtk_fixed_put(GTK_FIXED(window_gadget_list(0)), inner, 0, 0);
    ASSERT_TRUE(gadget_list_push(inner));
    EXPECT_EQ(gadget_current_list(), inner);

    GtkWidget* one = open(1);
    EXPECT_EQ(gadget_current_list(), window_gadget_list(1));
    for (int i = 0; i < gadget_stack_limit - 1; ++i)
        ASSERT_TRUE(gadget_list_push(window_gadget_list(1)));

    EXPECT_EQ(gadget_list_use(zero), one);
    EXPECT_EQ(gadget_current_list(), inner) << "window 0 gets back where it was";
    // Window 0 holds one entry, so 99 more fit and the 100th does not.
    for (int i = 0; i < gadget_stack_limit - 1; ++i)
        ASSERT_TRUE(gadget_list_push(inner)) << i;
    EXPECT_FALSE(gadget_list_push(window_gadget_list(0)));
    EXPECT_EQ(gadget_current_list(), inner) << "a refused push changes nothing";

    gadget_list_use(one);
    EXPECT_EQ(gadget_current_list(), window_gadget_list(1));
    EXPECT_TRUE(gadget_list_push(window_gadget_list(1))) << "window 1 had one place left";
    EXPECT_FALSE(gadget_list_push(window_gadget_list(1)));
}

TEST_F(window_cases, closing_the_owner_window_leaves_no_gadget_list_current)
{
    open(0);
    open(1);
    window_close(0);
    EXPECT_EQ(gadget_current_list(), window_gadget_list(1)) << "window 0 did not own the context";
    window_close(1);
    EXPECT_EQ(gadget_current_list(), nullptr);
    GtkWidget* two = open(2, composer_flags | window_flag::keep_gadget_list);
    EXPECT_EQ(gadget_list_use(two), nullptr) << "there was no owner left";
    open(1);
    EXPECT_EQ(gadget_current_list(), window_gadget_list(1)) << "a reopened window starts afresh";
}

TEST_F(window_cases, a_destroyed_pushed_container_gives_way_to_the_list_below_it)
{
    GtkWidget* zero = open(0);
    GtkWidget* inner = gtk_fixed_new();
    gtk_fixed_put(GTK_FIXED(window_gadget_list(0)), inner, 0, 0);
    ASSERT_TRUE(gadget_list_push(inner));
    GtkWidget* one = open(1);
    gtk_widget_destroy(inner);  // while window 0's context is saved
    gadget_list_use(zero);
    EXPECT_EQ(gadget_current_list(), window_gadget_list(0));

    GtkWidget* inner_one = gtk_fixed_new();
    gtk_fixed_put(GTK_FIXED(window_gadget_list(1)), inner_one, 0, 0);
    gadget_list_use(one);
    ASSERT_TRUE(gadget_list_push(inner_one));
    gtk_widget_destroy(inner_one);  // while window 1 owns the live context
    EXPECT_EQ(gadget_current_list(), window_gadget_list(1));
    // The pushes were undone, not only forgotten: the whole stack is free.
    for (int i = 0; i < gadget_stack_limit; ++i)
        ASSERT_TRUE(gadget_list_push(window_gadget_list(1))) << i;
    EXPECT_FALSE(gadget_list_push(window_gadget_list(1)));
}
