// The gadget table and what all gadget kinds share: the creators' common
// steps, the destroy handler, the common operations that reach a kind
// through its operations table, and which gadget has the keyboard focus.
// The kinds themselves live in gadget_image.cpp, gadget_button.cpp,
// gadget_text_field.cpp and gadget_scroll_area.cpp.
#include "toolkit/gadget.h"

#include "toolkit/event_queue.h"
#include "toolkit/gadget_kinds.h"
#include "toolkit/window.h"

namespace {

object_table* gadgets = nullptr;

// The table's release action. Destroying the widget runs its destroy
// handler, which clears the record.
void gadget_release(object_number number)
{
    gadget_record* record = gadget_lookup(number);
    if (!record)
        return;
    gtk_widget_destroy(record->outer ? record->outer : record->widget);
}

void gadget_destroyed(GtkWidget* widget, gpointer data)
{
    object_number number = GPOINTER_TO_INT(data);
    gadget_record* record = gadget_lookup(number);
    // The number may already name a newer gadget; leave that one alone.
    if (!record || record->widget != widget)
        return;
    if (record->ops && record->ops->release_hook)
        record->ops->release_hook(record);
    table_release(gadgets, number);
}

GtkWidget* widget_of_window_record(void* record)
{
    return static_cast<window_record*>(record)->window;
}

GtkWidget* focused_toplevel()
{
    object_table* windows = window_table();
    if (!windows)
        return nullptr;
    void* record = nullptr;
    object_number number = 0;
    table_iterate_restart(windows);
    while (table_iterate_next(windows, &record, &number)) {
        GtkWidget* window = widget_of_window_record(record);
        if (GTK_IS_WINDOW(window) && gtk_window_has_toplevel_focus(GTK_WINDOW(window)))
            return window;
    }
    return nullptr;
}

}  // namespace

void gadget_table_init()
{
    if (!gadgets)
        gadgets = table_create(sizeof(gadget_record), 16, gadget_release);
}

object_table* gadget_table()
{
    return gadgets;
}

gadget_record* gadget_lookup(object_number number)
{
    return gadgets ? table_lookup_as<gadget_record>(gadgets, number) : nullptr;
}

object_number gadget_number_of(GtkWidget* widget)
{
    return GPOINTER_TO_INT(g_object_get_data(G_OBJECT(widget), "ui_id")) - 1;
}

gadget_record* gadget_allocate(object_number number, object_number* assigned)
{
    *assigned = number;
    if (!gadgets)
        return nullptr;
    return static_cast<gadget_record*>(table_allocate(gadgets, number, assigned));
}

void gadget_discard(GtkWidget* unplaced)
{
    // A new widget is floating; sink it so destroying it also frees it.
    g_object_ref_sink(unplaced);
    gtk_widget_destroy(unplaced);
    g_object_unref(unplaced);
}

void gadget_abandon(object_number assigned, GtkWidget* unplaced)
{
    table_release(gadgets, assigned);
    gadget_discard(unplaced);
}

bool gadget_begin(object_number number, GtkWidget* created, gadget_start* start)
{
    if (!created)
        return false;
    start->record = gadget_allocate(number, &start->number);
    if (!start->record) {
        gadget_discard(created);
        return false;
    }
    // Destroying the old gadget of this number may have taken the current
    // list with it (a scroll area made again while its inner area is current).
    start->list = gadget_current_list();
    if (!GTK_IS_FIXED(start->list)) {
        gadget_abandon(start->number, created);
        return false;
    }
    return true;
}

void gadget_register(gadget_record* record, object_number number)
{
    gtk_widget_realize(record->widget);
    g_signal_connect(record->widget, "destroy", G_CALLBACK(gadget_destroyed), GINT_TO_POINTER(number));
    g_object_set_data(G_OBJECT(record->widget), "ui_id", GINT_TO_POINTER(number + 1));
    events_flush();
}

created_object gadget_created(object_number requested, object_number assigned, GtkWidget* widget)
{
    if (requested == dynamic_number)
        return assigned;
    return reinterpret_cast<created_object>(widget);
}

void gadget_disable(object_number number, std::int32_t state)
{
    if (gadget_record* record = gadget_lookup(number))
        gtk_widget_set_sensitive(record->widget, state == 0);
}

std::int32_t gadget_set_active(object_number number)
{
    gadget_record* record = gadget_lookup(number);
    if (!record)
        return 0;
    if (record->ops->activate)
        record->ops->activate(record);
    else
        gtk_widget_grab_focus(record->widget);
    return 1;
}

object_number gadget_active()
{
    GtkWidget* window = focused_toplevel();
    if (!window)
        return -1;
    GtkWidget* focus = gtk_window_get_focus(GTK_WINDOW(window));
    if (!focus)
        return -1;
    if (g_object_get_data(G_OBJECT(focus), "ui_id"))
        return gadget_number_of(focus);
    GtkWidget* parent = gtk_widget_get_parent(focus);
    return parent ? gadget_number_of(parent) : -1;
}

gadget_state gadget_get_state(object_number number)
{
    gadget_record* record = gadget_lookup(number);
    if (!record || !record->ops->get_state)
        return 0;
    return record->ops->get_state(record);
}

void gadget_set_state(object_number number, gadget_state value)
{
    gadget_record* record = gadget_lookup(number);
    if (record && record->ops->set_state)
        record->ops->set_state(record, value);
}

text gadget_get_text(object_number number)
{
    gadget_record* record = gadget_lookup(number);
    if (!record || !record->ops->get_text)
        return {};
    return record->ops->get_text(record);
}

void gadget_set_text(object_number number, const text& value)
{
    gadget_record* record = gadget_lookup(number);
    if (record && record->ops->set_text)
        record->ops->set_text(record, text_to_utf8(value).c_str());
}

GtkWidget* gadget_widget(object_number number)
{
    gadget_record* record = gadget_lookup(number);
    return record ? record->widget : nullptr;
}

GtkWidget* gadget_outer_widget(object_number number)
{
    gadget_record* record = gadget_lookup(number);
    if (!record)
        return nullptr;
    return record->outer ? record->outer : record->widget;
}

void gadget_widget_set_font(GtkWidget* widget, const PangoFontDescription* font)
{
    // The widget keeps its own copy, so the caller may free the description.
    PangoFontDescription* copy = font ? pango_font_description_copy(font) : nullptr;
    g_object_set_data_full(G_OBJECT(widget), "ui_gadget_font", copy,
                           reinterpret_cast<GDestroyNotify>(pango_font_description_free));
    gtk_widget_modify_font(widget, copy);
}

const PangoFontDescription* gadget_widget_get_font(GtkWidget* widget)
{
    auto* stored = static_cast<const PangoFontDescription*>(g_object_get_data(G_OBJECT(widget), "ui_gadget_font"));
    if (stored)
        return stored;
    GtkStyle* style = gtk_widget_get_style(widget);
    return style ? style->font_desc : nullptr;
}

namespace {

const char* colour_key(std::int32_t type)
{
    return type == gadget_colour_type::front ? "ui_gadget_front_colour" : "ui_gadget_back_colour";
}

GdkColor gdk_colour_of(std::int32_t colour)
{
    // Eight bits per channel widen to sixteen by repeating the byte.
    GdkColor c{};
    c.red = guint16((colour & 0xFF) * 0x101);
    c.green = guint16(((colour >> 8) & 0xFF) * 0x101);
    c.blue = guint16(((colour >> 16) & 0xFF) * 0x101);
    return c;
}

}  // namespace

void gadget_widget_set_colour(GtkWidget* widget, std::int32_t type, std::int32_t colour)
{
    if (type != gadget_colour_type::front && type != gadget_colour_type::back)
        return;
    GdkColor c = gdk_colour_of(colour);
    const GdkColor* use = colour == -1 ? nullptr : &c;  // null resets to the theme
    if (type == gadget_colour_type::front) {
        gtk_widget_modify_fg(widget, GTK_STATE_NORMAL, use);
        gtk_widget_modify_text(widget, GTK_STATE_NORMAL, use);
    } else {
        gtk_widget_modify_bg(widget, GTK_STATE_NORMAL, use);
        gtk_widget_modify_base(widget, GTK_STATE_NORMAL, use);
    }
    // Stored off by one, so an absent value reads back as -1.
    std::int32_t stored = colour == -1 ? 0 : (colour & 0xFFFFFF) + 1;
    g_object_set_data(G_OBJECT(widget), colour_key(type), GINT_TO_POINTER(stored));
}

std::int32_t gadget_widget_get_colour(GtkWidget* widget, std::int32_t type)
{
    if (type != gadget_colour_type::front && type != gadget_colour_type::back)
        return -1;
    return GPOINTER_TO_INT(g_object_get_data(G_OBJECT(widget), colour_key(type))) - 1;
}
