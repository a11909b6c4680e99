// The image gadget: a picture in an event box, as large as the picture, or
// of a fixed size while it shows none. Its click tracker turns button
// presses and releases into click events; its drag tracker reports the start
// of a drag once per press. It draws nothing itself.
#include <initializer_list>

#include "toolkit/event_queue.h"
#include "toolkit/gadget_kinds.h"
#include "toolkit/window.h"

namespace {

// What the click tracker remembers between press and release.
namespace click_state {
constexpr int none = 0;
constexpr int left_press = 1;
constexpr int right_press = 2;
constexpr int left_double_press = 3;
constexpr int right_double_press = 4;
}  // namespace click_state

constexpr guint left_button = 1;
constexpr guint right_button = 3;

void store_click_state(GtkWidget* box, int state)
{
    g_object_set_data(G_OBJECT(box), "ui_gadget_eventtype", GINT_TO_POINTER(state));
}

int stored_click_state(GtkWidget* box)
{
    return GPOINTER_TO_INT(g_object_get_data(G_OBJECT(box), "ui_gadget_eventtype"));
}

bool release_ends_click(guint button, int state)
{
    if (button == left_button)
        return state == click_state::left_press || state == click_state::left_double_press;
    if (button == right_button)
        return state == click_state::right_press || state == click_state::right_double_press;
    return false;
}

gboolean on_click_event(GtkWidget* box, GdkEventButton* event, gpointer data)
{
    switch (event->type) {
    case GDK_BUTTON_PRESS:
        if (event->button == left_button)
            store_click_state(box, click_state::left_press);
        else if (event->button == right_button)
            store_click_state(box, click_state::right_press);
        break;
    case GDK_2BUTTON_PRESS:
        if (event->button == left_button)
            store_click_state(box, click_state::left_double_press);
        else if (event->button == right_button)
            store_click_state(box, click_state::right_double_press);
        break;
    case GDK_BUTTON_RELEASE: {
        int state = stored_click_state(box);
        // The stored states are one above the click sub-types they end in.
        if (release_ends_click(event->button, state))
            event_post(event_kind::gadget_event, GPOINTER_TO_INT(data), window_of_widget(box), state - 1);
        store_click_state(box, click_state::none);
        break;
    }
    default:
        break;
    }
    return FALSE;
}

struct drag_tracker {
    object_number number;
    bool pressed;
    bool reported;
    int press_x;
    int press_y;
};

constexpr guint pointer_buttons_mask = 0x1F00;  // buttons 1 to 5 in an event's state

gboolean on_drag_press(GtkWidget*, GdkEventButton* event, gpointer data)
{
    auto* tracker = static_cast<drag_tracker*>(data);
    if (event->button == left_button) {
        tracker->pressed = true;
        tracker->reported = false;
        tracker->press_x = int(event->x);
        tracker->press_y = int(event->y);
    }
    return FALSE;
}

gboolean on_drag_release(GtkWidget*, GdkEventButton*, gpointer data)
{
    static_cast<drag_tracker*>(data)->pressed = false;
    return FALSE;
}

gboolean on_drag_motion(GtkWidget* widget, GdkEventMotion* event, gpointer data)
{
    auto* tracker = static_cast<drag_tracker*>(data);
    if (!tracker->pressed || tracker->reported)
        return FALSE;
    // A drag is the left button alone; with another button held it is not.
    if ((event->state & pointer_buttons_mask) != GDK_BUTTON1_MASK)
        return FALSE;
    if (!gtk_drag_check_threshold(widget, tracker->press_x, tracker->press_y, int(event->x), int(event->y)))
        return FALSE;
    event_post(event_kind::gadget_event, tracker->number, window_of_widget(widget), gadget_event_type::drag_start);
    tracker->reported = true;
    return FALSE;
}

gadget_state image_get_state(gadget_record* record)
{
    return reinterpret_cast<gadget_state>(record->image);
}

void image_set_state(gadget_record* record, gadget_state value)
{
    auto* pixbuf = reinterpret_cast<GdkPixbuf*>(value);
    record->image = pixbuf;
    if (pixbuf) {
        gtk_image_set_from_pixbuf(GTK_IMAGE(record->widget), pixbuf);
        gtk_widget_set_size_request(record->outer, -1, -1);
    } else {
        // Measured before clearing: an empty picture would ask for nothing.
        GtkRequisition size{};
        gtk_widget_size_request(record->outer, &size);
        gtk_image_set_from_pixmap(GTK_IMAGE(record->widget), nullptr, nullptr);
        gtk_widget_set_size_request(record->outer, size.width, size.height);
    }
    gtk_widget_queue_draw(record->widget);
}

const gadget_operations* image_operations()
{
    static const gadget_operations ops = {
        .size = sizeof(gadget_operations),
        .kind = gadget_kind::image,
        .get_state = image_get_state,  // 3: the pixbuf shown, 0 for none
        .set_state = image_set_state,  // 4: show a pixbuf, or clear keeping the size
    };
    return &ops;
}

// The event box with the picture in it, or null when either cannot be made.
GtkWidget* new_image_tree(GdkPixbuf* image, GtkWidget** picture)
{
    GtkWidget* box = gtk_event_box_new();
    *picture = image ? gtk_image_new_from_pixbuf(image) : gtk_image_new();
    if (box && *picture) {
        gtk_container_add(GTK_CONTAINER(box), *picture);
        return box;
    }
    for (GtkWidget* made : {box, *picture})
        if (made)
            gadget_discard(made);
    return nullptr;
}

}  // namespace

void click_tracker_install(GtkWidget* event_box, object_number number)
{
    g_signal_connect(event_box, "button-press-event", G_CALLBACK(on_click_event), GINT_TO_POINTER(number));
    g_signal_connect(event_box, "button-release-event", G_CALLBACK(on_click_event), GINT_TO_POINTER(number));
}

void drag_tracker_install(GtkWidget* widget, object_number number)
{
    auto* tracker = g_new0(drag_tracker, 1);
    tracker->number = number;
    g_object_set_data_full(G_OBJECT(widget), "ui_drag_tracker", tracker, g_free);
    gtk_widget_add_events(widget, GDK_BUTTON_MOTION_MASK | GDK_BUTTON_PRESS_MASK | GDK_BUTTON_RELEASE_MASK);
    g_signal_connect(widget, "button-press-event", G_CALLBACK(on_drag_press), tracker);
    g_signal_connect(widget, "button-release-event", G_CALLBACK(on_drag_release), tracker);
    g_signal_connect(widget, "motion-notify-event", G_CALLBACK(on_drag_motion), tracker);
}

created_object gadget_image(object_number number, int x, int y, int width, int height, GdkPixbuf* image)
{
    const gadget_operations* ops = image_operations();
    if (!gadget_current_list())
        return 0;
    GtkWidget* picture = nullptr;
    GtkWidget* box = new_image_tree(image, &picture);
    gadget_start start{};
    if (!gadget_begin(number, box, &start))
        return 0;
    if (!image)
        gtk_widget_set_size_request(box, width, height);
    drag_tracker_install(box, start.number);
    click_tracker_install(box, start.number);
    gtk_fixed_put(GTK_FIXED(start.list), box, x, y);
    gtk_widget_show_all(box);
    *start.record = {.widget = picture, .outer = box, .ops = ops, .image = image};
    gadget_register(start.record, start.number);
    return gadget_created(number, start.number, picture);
}
