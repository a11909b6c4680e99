// The scroll area: a scrolled window over an inner area of fixed size (a
// GtkFixed with its own window). Creating one makes the inner area the
// current gadget list, so the gadgets made next scroll with it. Scrolling
// reports a gadget event, at most one while the oldest queued event is
// already one of this scroll area's.
#include <algorithm>

#include "toolkit/event_queue.h"
#include "toolkit/gadget_kinds.h"
#include "toolkit/window.h"

namespace {

void on_value_changed(GtkAdjustment*, gpointer data)
{
    auto* scrolled = static_cast<GtkWidget*>(data);
    if (!g_object_get_data(G_OBJECT(scrolled), "ui_id"))  // not registered yet: no number to report
        return;
    object_number number = gadget_number_of(scrolled);
    event_values oldest = event_peek();
    if (oldest.kind == event_kind::gadget_event && oldest.object == number)
        return;
    event_post(event_kind::gadget_event, number, window_of_widget(scrolled), gadget_event_type::left_click);
}

GtkWidget* inner_area(gadget_record* record)
{
    GtkWidget* viewport = gtk_bin_get_child(GTK_BIN(record->widget));
    return GTK_IS_BIN(viewport) ? gtk_bin_get_child(GTK_BIN(viewport)) : nullptr;
}

GtkAdjustment* adjustment_for(gadget_record* record, std::int32_t attribute)
{
    auto* scrolled = GTK_SCROLLED_WINDOW(record->widget);
    if (attribute == gadget_attribute::horizontal_position)
        return gtk_scrolled_window_get_hadjustment(scrolled);
    if (attribute == gadget_attribute::vertical_position)
        return gtk_scrolled_window_get_vadjustment(scrolled);
    return nullptr;
}

bool scroll_open_gadget_list(gadget_record* record)
{
    GtkWidget* inner = inner_area(record);
    return inner && gadget_list_push(inner);
}

std::int32_t scroll_get_attribute(gadget_record* record, std::int32_t attribute)
{
    if (GtkAdjustment* adjustment = adjustment_for(record, attribute))
        return std::int32_t(gtk_adjustment_get_value(adjustment));
    GtkWidget* inner = inner_area(record);
    if (!inner)
        return 0;
    int width = 0;
    int height = 0;
    gtk_widget_get_size_request(inner, &width, &height);
    if (attribute == gadget_attribute::inner_width)
        return width;
    return attribute == gadget_attribute::inner_height ? height : 0;
}

void scroll_set_attribute(gadget_record* record, std::int32_t attribute, std::int32_t value)
{
    if (GtkAdjustment* adjustment = adjustment_for(record, attribute)) {
        // Past the last page there is nothing to show; stop there.
        double last = gtk_adjustment_get_upper(adjustment) - gtk_adjustment_get_page_size(adjustment);
        gtk_adjustment_set_value(adjustment, std::clamp(double(value), gtk_adjustment_get_lower(adjustment),
                                                        std::max(last, gtk_adjustment_get_lower(adjustment))));
        return;
    }
    GtkWidget* inner = inner_area(record);
    if (!inner || value < 0)
        return;
    int width = 0;
    int height = 0;
    gtk_widget_get_size_request(inner, &width, &height);
    if (attribute == gadget_attribute::inner_width)
        gtk_widget_set_size_request(inner, value, height);
    else if (attribute == gadget_attribute::inner_height)
        gtk_widget_set_size_request(inner, width, value);
}

void scroll_set_colour(gadget_record* record, std::int32_t type, std::int32_t colour)
{
    if (GtkWidget* inner = inner_area(record))
        gadget_widget_set_colour(inner, type, colour);
}

std::int32_t scroll_get_colour(gadget_record* record, std::int32_t type)
{
    GtkWidget* inner = inner_area(record);
    return inner ? gadget_widget_get_colour(inner, type) : -1;
}

const gadget_operations* scroll_area_operations()
{
    static const gadget_operations ops = {
        .size = sizeof(gadget_operations),
        .kind = gadget_kind::scroll_area,
        .open_gadget_list = scroll_open_gadget_list,  // 18: the inner area becomes current
        .get_attribute = scroll_get_attribute,        // 20: inner size, scroll positions
        .set_attribute = scroll_set_attribute,        // 21: the same four
        .set_colour = scroll_set_colour,              // 25: the inner area's, -1 resets
        .get_colour = scroll_get_colour,              // 26: last set, or -1
    };
    return &ops;
}

void connect_scrolling(GtkWidget* scrolled)
{
    auto* window = GTK_SCROLLED_WINDOW(scrolled);
    for (GtkAdjustment* adjustment :
         {gtk_scrolled_window_get_hadjustment(window), gtk_scrolled_window_get_vadjustment(window)})
        // Tied to the scrolled window, so an adjustment outliving it calls nothing.
        g_signal_connect_object(adjustment, "value-changed", G_CALLBACK(on_value_changed), scrolled, GConnectFlags(0));
}

// The inner area: exactly the inner size, whatever its gadgets ask for.
void add_inner_area(GtkWidget* scrolled, int inner_width, int inner_height)
{
    GtkWidget* inner = gtk_fixed_new();
    gtk_fixed_set_has_window(GTK_FIXED(inner), TRUE);
    gtk_widget_set_size_request(inner, inner_width, inner_height);
    gtk_scrolled_window_add_with_viewport(GTK_SCROLLED_WINDOW(scrolled), inner);
    gtk_scrolled_window_set_shadow_type(GTK_SCROLLED_WINDOW(scrolled), GTK_SHADOW_NONE);
    gtk_viewport_set_shadow_type(GTK_VIEWPORT(gtk_bin_get_child(GTK_BIN(scrolled))), GTK_SHADOW_NONE);
    gtk_widget_show_all(scrolled);
}

}  // namespace

created_object gadget_scroll_area(object_number number, int x, int y, int width, int height, int inner_width,
                                  int inner_height)
{
    const gadget_operations* ops = scroll_area_operations();
    if (!gadget_current_list())
        return 0;
    GtkWidget* scrolled = gtk_scrolled_window_new(nullptr, nullptr);
    gadget_start start{};
    if (!gadget_begin(number, scrolled, &start))
        return 0;
    gtk_scrolled_window_set_policy(GTK_SCROLLED_WINDOW(scrolled), GTK_POLICY_AUTOMATIC, GTK_POLICY_AUTOMATIC);
    connect_scrolling(scrolled);
    gtk_fixed_put(GTK_FIXED(start.list), scrolled, x, y);
    gtk_widget_set_usize(scrolled, width, height);
    add_inner_area(scrolled, inner_width, inner_height);
    *start.record = {.widget = scrolled, .outer = nullptr, .ops = ops, .image = nullptr};
    ops->open_gadget_list(start.record);
    gadget_register(start.record, start.number);
    return gadget_created(number, start.number, scrolled);
}
