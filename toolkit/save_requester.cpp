// The save-file requester: a modal GTK+ file chooser with the filters a
// pattern list names. It never asks about overwriting and adds no
// extension; both are the caller's affair.
#include "toolkit/save_requester.h"

#include <string_view>

#include <gtk/gtk.h>

#include "toolkit/event_queue.h"

namespace {

constexpr gint response_cancel = -6;
constexpr gint response_accept = -3;

// Walks a pattern list one character at a time and tells the sink what it
// finds: open(name, number) for each filter, pattern(p) for each of its
// patterns, close() once a filter is complete. The requester and
// parse_pattern_list both read lists through this one walk.
template <class Sink>
void scan_pattern_list(std::string_view list, Sink& sink)
{
    bool in_name = true;
    bool filter_open = false;
    int next_number = 0;
    std::size_t field_start = 0;
    auto field_to = [&](std::size_t end) { return list.substr(field_start, end - field_start); };
    auto add_pattern = [&](std::string_view pattern) { sink.pattern(pattern == "*.*" ? "*" : pattern); };
    for (std::size_t i = 0; i < list.size(); ++i) {
        if (list[i] == '|') {
            if (in_name) {
                if (filter_open)
                    sink.close();
                sink.open(field_to(i), next_number++);
                filter_open = true;
            } else {
                add_pattern(field_to(i));
            }
            in_name = !in_name;
            field_start = i + 1;
        } else if (list[i] == ';' && !in_name && filter_open) {
            add_pattern(field_to(i));
            field_start = i + 1;
        }
    }
    if (!filter_open)
        return;
    if (!in_name)
        add_pattern(field_to(list.size()));
    sink.close();
}

struct spec_sink {
    std::vector<file_filter_spec> filters;
    void open(std::string_view name, int) { filters.push_back({std::string(name), {}}); }
    void pattern(std::string_view p) { filters.back().patterns.emplace_back(p); }
    void close() {}
};

struct dialog_sink {
    GtkFileChooser* chooser;
    std::int32_t wanted;
    GtkFileFilter* open_filter = nullptr;
    GtkFileFilter* default_filter = nullptr;
    void open(std::string_view name, int number)
    {
        open_filter = gtk_file_filter_new();
        gtk_file_filter_set_name(open_filter, std::string(name).c_str());
        if (number == wanted)
            default_filter = open_filter;
    }
    void pattern(std::string_view p) { gtk_file_filter_add_pattern(open_filter, std::string(p).c_str()); }
    void close() { gtk_file_chooser_add_filter(chooser, open_filter); }
};

void set_default_path(GtkFileChooser* chooser, const std::string& path)
{
    if (path.empty())
        return;
    if (path.back() == '/') {
        gtk_file_chooser_set_current_folder(chooser, path.c_str());
        return;
    }
    gtk_file_chooser_set_filename(chooser, path.c_str());
    std::size_t slash = path.rfind('/');
    gtk_file_chooser_set_current_name(chooser, slash == std::string::npos ? path.c_str() : path.c_str() + slash + 1);
}

std::string first_chosen_name(GtkFileChooser* chooser)
{
    GSList* names = gtk_file_chooser_get_filenames(chooser);
    std::string first = names && names->data ? static_cast<const char*>(names->data) : "";
    for (GSList* link = names; link; link = link->next)
        g_free(link->data);
    g_slist_free(names);
    return first;
}

}  // namespace

std::vector<file_filter_spec> parse_pattern_list(const std::string& pattern_list_utf8)
{
    spec_sink sink;
    scan_pattern_list(pattern_list_utf8, sink);
    return sink.filters;
}

text requester_save_file(const text& title, const text& default_path, const text& pattern_list,
                         std::int32_t pattern_index)
{
    std::string title_utf8 = text_to_utf8(title);
    GtkWidget* dialog = gtk_file_chooser_dialog_new(title_utf8.c_str(), nullptr, GTK_FILE_CHOOSER_ACTION_SAVE,
                                                    "gtk-cancel", response_cancel, "gtk-save", response_accept,
                                                    nullptr);
    if (!dialog)
        return {};
    auto* chooser = GTK_FILE_CHOOSER(dialog);
    gtk_dialog_set_default_response(GTK_DIALOG(dialog), response_accept);
    set_default_path(chooser, text_to_utf8(default_path));
    dialog_sink filters{.chooser = chooser, .wanted = pattern_index};
    scan_pattern_list(text_to_utf8(pattern_list), filters);
    events_flush();
    if (filters.default_filter)
        gtk_file_chooser_set_filter(chooser, filters.default_filter);
    std::string chosen;
    if (gtk_dialog_run(GTK_DIALOG(dialog)) == response_accept)
        chosen = first_chosen_name(chooser);
    gtk_widget_destroy(dialog);
    return text_from_utf8(chosen);
}
