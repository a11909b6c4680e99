// The one-line text field: a GtkEntry reporting the user's edits and its
// focus changes as gadget events. Text the program sets reports nothing.
// The item slots work on an entry completion list when one is attached.
#include "toolkit/event_queue.h"
#include "toolkit/gadget_kinds.h"
#include "toolkit/window.h"

namespace {

void on_changed(GtkWidget* entry, gpointer data)
{
    event_post(event_kind::gadget_event, GPOINTER_TO_INT(data), window_of_widget(entry), gadget_event_type::change);
}

gboolean on_focus_in(GtkWidget* entry, GdkEventFocus*, gpointer data)
{
    event_post(event_kind::gadget_event, GPOINTER_TO_INT(data), window_of_widget(entry), gadget_event_type::focus);
    return FALSE;
}

gboolean on_focus_out(GtkWidget* entry, GdkEventFocus*, gpointer data)
{
    event_post(event_kind::gadget_event, GPOINTER_TO_INT(data), window_of_widget(entry),
               gadget_event_type::lost_focus);
    return FALSE;
}

text field_get_text(gadget_record* record)
{
    gchar* utf8 = gtk_editable_get_chars(GTK_EDITABLE(record->widget), 0, -1);
    text result = text_from_utf8(utf8);
    g_free(utf8);
    return result;
}

void field_set_text(gadget_record* record, const char* utf8)
{
    // Only the user's edits are changes; block our own handler meanwhile.
    gpointer number = GINT_TO_POINTER(gadget_number_of(record->widget));
    auto match = GSignalMatchType(G_SIGNAL_MATCH_FUNC | G_SIGNAL_MATCH_DATA);
    auto handler = reinterpret_cast<gpointer>(on_changed);
    g_signal_handlers_block_matched(record->widget, match, 0, 0, nullptr, handler, number);
    gtk_entry_set_text(GTK_ENTRY(record->widget), utf8 ? utf8 : "");
    gtk_widget_queue_draw(record->widget);
    g_signal_handlers_unblock_matched(record->widget, match, 0, 0, nullptr, handler, number);
}

// The completion list's store (one string column), or null without one.
GtkListStore* completion_store(gadget_record* record)
{
    GtkEntryCompletion* completion = gtk_entry_get_completion(GTK_ENTRY(record->widget));
    GtkTreeModel* model = completion ? gtk_entry_completion_get_model(completion) : nullptr;
    return GTK_IS_LIST_STORE(model) ? GTK_LIST_STORE(model) : nullptr;
}

bool completion_item(gadget_record* record, std::int32_t position, GtkListStore** store, GtkTreeIter* item)
{
    *store = completion_store(record);
    return *store && position >= 0 &&
           gtk_tree_model_iter_nth_child(GTK_TREE_MODEL(*store), item, nullptr, position);
}

std::int32_t field_count_items(gadget_record* record)
{
    GtkListStore* store = completion_store(record);
    return store ? gtk_tree_model_iter_n_children(GTK_TREE_MODEL(store), nullptr) : 0;
}

// Inserts before position (at the end when position is out of range);
// returns where the item went, or -1 without a completion list.
std::int32_t field_add_item(gadget_record* record, std::int32_t position, const char* utf8)
{
    GtkListStore* store = completion_store(record);
    if (!store)
        return -1;
    std::int32_t count = field_count_items(record);
    if (position < 0 || position > count)
        position = count;
    GtkTreeIter item;
    gtk_list_store_insert_with_values(store, &item, position, 0, utf8 ? utf8 : "", -1);
    return position;
}

void field_remove_item(gadget_record* record, std::int32_t position)
{
    GtkListStore* store = nullptr;
    GtkTreeIter item;
    if (completion_item(record, position, &store, &item))
        gtk_list_store_remove(store, &item);
}

void field_clear_items(gadget_record* record)
{
    if (GtkListStore* store = completion_store(record))
        gtk_list_store_clear(store);
}

text field_get_item_text(gadget_record* record, std::int32_t position)
{
    GtkListStore* store = nullptr;
    GtkTreeIter item;
    if (!completion_item(record, position, &store, &item))
        return {};
    gchar* utf8 = nullptr;
    gtk_tree_model_get(GTK_TREE_MODEL(store), &item, 0, &utf8, -1);
    text result = text_from_utf8(utf8);
    g_free(utf8);
    return result;
}

void field_set_item_text(gadget_record* record, std::int32_t position, const char* utf8)
{
    GtkListStore* store = nullptr;
    GtkTreeIter item;
    if (completion_item(record, position, &store, &item))
        gtk_list_store_set(store, &item, 0, utf8 ? utf8 : "", -1);
}

void field_set_font(gadget_record* record, const PangoFontDescription* font)
{
    gadget_widget_set_font(record->widget, font);
}

const PangoFontDescription* field_get_font(gadget_record* record)
{
    return gadget_widget_get_font(record->widget);
}

void field_set_colour(gadget_record* record, std::int32_t type, std::int32_t colour)
{
    gadget_widget_set_colour(record->widget, type, colour);
}

std::int32_t field_get_colour(gadget_record* record, std::int32_t type)
{
    return gadget_widget_get_colour(record->widget, type);
}

const gadget_operations* text_field_operations()
{
    static const gadget_operations ops = {
        .size = sizeof(gadget_operations),
        .kind = gadget_kind::text_field,
        .get_text = field_get_text,            // 5: the entry's text
        .set_text = field_set_text,            // 6: the entry's text, posting no change
        .add_item = field_add_item,            // 7: completion list only
        .remove_item = field_remove_item,      // 9: completion list only
        .clear_items = field_clear_items,      // 10: completion list only
        .count_items = field_count_items,      // 12: completion list only
        .get_item_text = field_get_item_text,  // 15: completion list only
        .set_item_text = field_set_item_text,  // 16: completion list only
        .set_font = field_set_font,            // 17: kept under ui_gadget_font
        .set_colour = field_set_colour,        // 25: front or back, -1 resets
        .get_colour = field_get_colour,        // 26: last set, or -1
        .get_font = field_get_font,            // 31: the set font, else the style's
    };
    return &ops;
}

}  // namespace

created_object gadget_text_field(object_number number, int x, int y, int width, int height, const text& initial)
{
    const gadget_operations* ops = text_field_operations();
    if (!gadget_current_list())
        return 0;
    GtkWidget* entry = gtk_entry_new();
    gadget_start start{};
    if (!gadget_begin(number, entry, &start))
        return 0;
    gtk_widget_set_usize(entry, width, height);
    gtk_fixed_put(GTK_FIXED(start.list), entry, x, y);
    gpointer data = GINT_TO_POINTER(start.number);
    g_signal_connect(entry, "changed", G_CALLBACK(on_changed), data);
    g_signal_connect(entry, "focus-in-event", G_CALLBACK(on_focus_in), data);
    g_signal_connect(entry, "focus-out-event", G_CALLBACK(on_focus_out), data);
    *start.record = {.widget = entry, .outer = nullptr, .ops = ops, .image = nullptr};
    gtk_widget_show(entry);
    gadget_register(start.record, start.number);
    field_set_text(start.record, text_to_utf8(initial).c_str());
    return gadget_created(number, start.number, entry);
}
