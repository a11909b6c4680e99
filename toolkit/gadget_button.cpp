// The push button: a GtkButton with a label, reporting each click as a
// gadget event. Its state slots serve toggle buttons only; the creator makes
// plain push buttons.
#include "toolkit/event_queue.h"
#include "toolkit/gadget_kinds.h"
#include "toolkit/window.h"

namespace {

void on_clicked(GtkWidget* button, gpointer data)
{
    // A click racing a close request must not act on a window about to go.
    if (event_peek().kind == event_kind::close_request)
        return;
    event_post(event_kind::gadget_event, GPOINTER_TO_INT(data), window_of_widget(button),
               gadget_event_type::left_click);
}

GtkWidget* button_label(gadget_record* record)
{
    GtkWidget* child = gtk_bin_get_child(GTK_BIN(record->widget));
    return GTK_IS_LABEL(child) ? child : nullptr;
}

gadget_state button_get_state(gadget_record* record)
{
    if (!GTK_IS_TOGGLE_BUTTON(record->widget))
        return 0;
    return gtk_toggle_button_get_active(GTK_TOGGLE_BUTTON(record->widget)) ? 1 : 0;
}

void button_set_state(gadget_record* record, gadget_state value)
{
    if (GTK_IS_TOGGLE_BUTTON(record->widget))
        gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(record->widget), value != 0);
}

text button_get_text(gadget_record* record)
{
    GtkWidget* label = button_label(record);
    if (!label)
        return {};
    gchar* utf8 = nullptr;
    gtk_label_get(GTK_LABEL(label), &utf8);  // the label's own string, not a copy
    return text_from_utf8(utf8);
}

void button_set_text(gadget_record* record, const char* utf8)
{
    if (GtkWidget* label = button_label(record))
        gtk_label_set_text(GTK_LABEL(label), utf8);
}

void button_set_font(gadget_record* record, const PangoFontDescription* font)
{
    if (GtkWidget* label = button_label(record))
        gadget_widget_set_font(label, font);
}

const PangoFontDescription* button_get_font(gadget_record* record)
{
    GtkWidget* label = button_label(record);
    return label ? gadget_widget_get_font(label) : nullptr;
}

const gadget_operations* button_operations()
{
    static const gadget_operations ops = {
        .size = sizeof(gadget_operations),
        .kind = gadget_kind::button,
        .get_state = button_get_state,  // 3: a toggle's 0 or 1
        .set_state = button_set_state,  // 4: a toggle's 0 or 1
        .get_text = button_get_text,    // 5: the label
        .set_text = button_set_text,    // 6: the label
        .set_font = button_set_font,    // 17: the label's font, kept under ui_gadget_font
        .get_font = button_get_font,    // 31: that font, else the style's
    };
    return &ops;
}

}  // namespace

created_object gadget_button(object_number number, int x, int y, int width, int height, const text& label)
{
    const gadget_operations* ops = button_operations();
    if (!gadget_current_list())
        return 0;
    GtkWidget* button = gtk_button_new_with_label("");
    gadget_start start{};
    if (!gadget_begin(number, button, &start))
        return 0;
    gtk_widget_show(button);
    gtk_widget_set_usize(button, width, height);
    gtk_fixed_put(GTK_FIXED(start.list), button, x, y);
    g_signal_connect(button, "clicked", G_CALLBACK(on_clicked), GINT_TO_POINTER(start.number));
    *start.record = {.widget = button, .outer = nullptr, .ops = ops, .image = nullptr};
    if (!label.empty())
        button_set_text(start.record, text_to_utf8(label).c_str());
    gadget_register(start.record, start.number);
    return gadget_created(number, start.number, button);
}
