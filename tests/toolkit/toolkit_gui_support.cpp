// Helpers for the toolkit's window tests.
#include "tests/toolkit/toolkit_gui_support.h"

#include <cstring>

#include "toolkit/gadget.h"
#include "toolkit/window.h"

void toolkit_up()
{
    static bool done = false;
    if (done)
        return;
    event_queue_init();
    window_table_init();
    gadget_table_init();
    done = true;
}

void settle()
{
    // Mapping and allocation need round trips to the X server, so keep
    // going until it has been quiet for a few polls.
    for (int quiet = 0; quiet < 5;) {
        gdk_flush();
        if (gtk_events_pending()) {
            gtk_main_iteration_do(FALSE);
            quiet = 0;
        } else {
            g_usleep(2000);
            ++quiet;
        }
    }
}

std::vector<event_values> take_events()
{
    std::vector<event_values> events;
    while (event_queue_length() > 0) {
        std::int32_t kind = event_wait(0);
        if (kind > 0)
            events.push_back({kind, event_gadget(), event_window(), event_type()});
    }
    return events;
}

std::vector<event_values> take_gadget_events(object_number gadget)
{
    std::vector<event_values> kept;
    for (const event_values& e : take_events())
        if (e.kind == event_kind::gadget_event && e.object == gadget)
            kept.push_back(e);
    return kept;
}

std::vector<std::int32_t> sub_types(const std::vector<event_values>& events)
{
    std::vector<std::int32_t> types;
    for (const event_values& e : events)
        types.push_back(e.sub_type);
    return types;
}

namespace {

GdkEvent* event_for(GtkWidget* widget, GdkEventType type)
{
    GdkEvent* event = gdk_event_new(type);
    event->any.window = GDK_WINDOW(g_object_ref(gtk_widget_get_window(widget)));
    event->any.send_event = TRUE;
    return event;
}

}  // namespace

void send_button(GtkWidget* widget, GdkEventType type, guint button, double x, double y)
{
    GdkEvent* event = event_for(widget, type);
    event->button.time = GDK_CURRENT_TIME;
    event->button.x = x;
    event->button.y = y;
    event->button.button = button;
    event->button.device = gdk_device_get_core_pointer();
    gtk_widget_event(widget, event);
    gdk_event_free(event);
}

void send_motion(GtkWidget* widget, double x, double y, guint state)
{
    GdkEvent* event = event_for(widget, GDK_MOTION_NOTIFY);
    event->motion.time = GDK_CURRENT_TIME;
    event->motion.x = x;
    event->motion.y = y;
    event->motion.state = state;
    event->motion.device = gdk_device_get_core_pointer();
    gtk_widget_event(widget, event);
    gdk_event_free(event);
}

void send_key(GtkWidget* widget, guint keyval)
{
    GdkEvent* event = event_for(widget, GDK_KEY_PRESS);
    event->key.time = GDK_CURRENT_TIME;
    event->key.keyval = keyval;
    gunichar ch = gdk_keyval_to_unicode(keyval);
    gchar utf8[8] = {};
    g_unichar_to_utf8(ch, utf8);
    event->key.string = g_strdup(utf8);
    event->key.length = gint(strlen(utf8));
    GdkKeymapKey* keys = nullptr;
    gint count = 0;
    if (gdk_keymap_get_entries_for_keyval(gdk_keymap_get_default(), keyval, &keys, &count) && count > 0)
        event->key.hardware_keycode = guint16(keys[0].keycode);
    g_free(keys);
    gtk_widget_event(widget, event);
    gdk_event_free(event);
}

void send_focus(GtkWidget* window, bool in)
{
    GdkEvent* event = event_for(window, GDK_FOCUS_CHANGE);
    event->focus_change.in = in;
    gtk_widget_event(window, event);
    gdk_event_free(event);
}

GdkPixbuf* solid_pixbuf(int width, int height, guint32 rgba)
{
    GdkPixbuf* pixbuf = gdk_pixbuf_new(GDK_COLORSPACE_RGB, FALSE, 8, width, height);
    gdk_pixbuf_fill(pixbuf, rgba);
    return pixbuf;
}
