// The save dialog as the user meets it: where it opens, its filters, and
// what it answers. A timer finds the dialog once it runs, looks at it, and
// answers it the way a user would.
#include <functional>
#include <string>

#include <gtest/gtest.h>

#include "tests/support/test_support.h"
#include "tests/toolkit/toolkit_gui_support.h"
#include "toolkit/save_requester.h"

namespace {

// An accepted dialog adds the name to the user's recent-files list; keep
// that list inside a folder of the test's own. Set before GTK+ starts.
struct private_data_home {
    temp_folder folder;
    private_data_home() { g_setenv("XDG_DATA_HOME", folder.path.c_str(), TRUE); }
};
const private_data_home data_home;

struct dialog_probe {
    // True once the dialog is as the test wants to see it (a folder loaded).
    std::function<bool(GtkFileChooser*)> ready;
    std::function<void(GtkFileChooser*)> inspect;
    gint response = GTK_RESPONSE_CANCEL;
    bool seen = false;
    bool stopped = false;  // the timer has removed itself
    int polls = 0;
};

GtkWidget* running_file_chooser()
{
    GtkWidget* found = nullptr;
    GList* windows = gtk_window_list_toplevels();
    for (GList* link = windows; link; link = link->next) {
        auto* widget = static_cast<GtkWidget*>(link->data);
        // Shown only once gtk_dialog_run has started, so an answer is heard.
        if (GTK_IS_FILE_CHOOSER_DIALOG(widget) && gtk_widget_get_visible(widget))
            found = widget;
    }
    g_list_free(windows);
    return found;
}

gboolean poll_dialog(gpointer data)
{
    auto* probe = static_cast<dialog_probe*>(data);
    GtkWidget* dialog = running_file_chooser();
    ++probe->polls;
    if (!dialog) {
        probe->stopped = probe->polls >= 400;
        return !probe->stopped;
    }
    auto* chooser = GTK_FILE_CHOOSER(dialog);
    // Give a slow folder load two seconds, then look anyway.
    if (probe->ready && !probe->ready(chooser) && probe->polls < 200)
        return TRUE;
    probe->seen = true;
    if (probe->inspect)
        probe->inspect(chooser);
    gtk_dialog_response(GTK_DIALOG(dialog), probe->response);
    probe->stopped = true;
    return FALSE;
}

std::string run_requester(dialog_probe& probe, const std::string& default_path, const text& patterns,
                          std::int32_t index)
{
    toolkit_up();
    guint timer = g_timeout_add(10, poll_dialog, &probe);
    x_error_trap answered_from_a_timeout;
    text chosen = requester_save_file(u"Save image", text_from_utf8(default_path), patterns, index);
    if (!probe.stopped)
        g_source_remove(timer);
    return text_to_utf8(chosen);
}

std::string current_folder(GtkFileChooser* chooser)
{
    gchar* folder = gtk_file_chooser_get_current_folder(chooser);
    std::string result = folder ? folder : "";
    g_free(folder);
    return result;
}

std::string chosen_filename(GtkFileChooser* chooser)
{
    gchar* name = gtk_file_chooser_get_filename(chooser);
    std::string result = name ? name : "";
    g_free(name);
    return result;
}

std::vector<GtkFileFilter*> filters_of(GtkFileChooser* chooser)
{
    std::vector<GtkFileFilter*> filters;
    GSList* list = gtk_file_chooser_list_filters(chooser);
    for (GSList* link = list; link; link = link->next)
        filters.push_back(GTK_FILE_FILTER(link->data));
    g_slist_free(list);
    return filters;
}

bool matches(GtkFileFilter* filter, const char* name)
{
    GtkFileFilterInfo info{};
    info.contains = GTK_FILE_FILTER_DISPLAY_NAME;
    info.display_name = name;
    return gtk_file_filter_filter(filter, &info);
}

TEST(save_requester, opens_in_a_folder_and_returns_the_typed_name_without_extension)
{
    temp_folder folder;
    dialog_probe probe;
    std::string seen_folder;
    std::vector<std::string> names;
    bool jpg = false;
    bool png = true;
    bool selected = false;
    probe.ready = [&](GtkFileChooser* c) { return current_folder(c) == folder.path; };
    probe.inspect = [&](GtkFileChooser* c) {
        seen_folder = current_folder(c);
        auto filters = filters_of(c);
        for (GtkFileFilter* f : filters)
            names.emplace_back(gtk_file_filter_get_name(f));
        if (filters.size() == 1) {
            jpg = matches(filters[0], "board.jpg");
            png = matches(filters[0], "board.png");
            selected = gtk_file_chooser_get_filter(c) == filters[0];
        }
        gtk_file_chooser_set_current_name(c, "diagram");
    };
    probe.response = GTK_RESPONSE_ACCEPT;
    std::string chosen = run_requester(probe, folder.path + "/", u"JPEG Image|*.jpg", 0);
    EXPECT_TRUE(probe.seen);
    EXPECT_EQ(seen_folder, folder.path);
    EXPECT_EQ(names, std::vector<std::string>{"JPEG Image"});
    EXPECT_TRUE(jpg);
    EXPECT_FALSE(png);
    EXPECT_TRUE(selected);
    EXPECT_EQ(chosen, folder.path + "/diagram");
}

TEST(save_requester, a_file_path_preselects_the_file_and_cancel_returns_nothing)
{
    temp_folder folder;
    std::string old_file = folder.file("old.jpg");
    ASSERT_TRUE(write_file_bytes(old_file, {1, 2, 3}));
    dialog_probe probe;
    std::string seen_name;
    std::size_t filter_count = 99;
    probe.ready = [&](GtkFileChooser* c) { return chosen_filename(c) == old_file; };
    probe.inspect = [&](GtkFileChooser* c) {
        seen_name = chosen_filename(c);
        filter_count = filters_of(c).size();
    };
    probe.response = GTK_RESPONSE_CANCEL;
    std::string chosen = run_requester(probe, old_file, u"no filters here", 0);
    EXPECT_TRUE(probe.seen);
    EXPECT_EQ(seen_name, old_file);
    EXPECT_EQ(filter_count, 0u);
    EXPECT_EQ(chosen, "");
}

struct two_filters_seen {
    std::vector<std::string> names;
    bool first_jpg = false, first_jpeg = false, first_png = true;
    bool second_any = false, second_bare = false;
    int current = -1;
};

void look_at_two_filters(GtkFileChooser* c, two_filters_seen& seen)
{
    auto filters = filters_of(c);
    for (GtkFileFilter* f : filters)
        seen.names.emplace_back(gtk_file_filter_get_name(f));
    if (filters.size() != 2)
        return;
    seen.first_jpg = matches(filters[0], "a.jpg");
    seen.first_jpeg = matches(filters[0], "b.jpeg");
    seen.first_png = matches(filters[0], "c.png");
    seen.second_any = matches(filters[1], "notes.txt");
    seen.second_bare = matches(filters[1], "README");
    GtkFileFilter* current = gtk_file_chooser_get_filter(c);
    seen.current = current == filters[0] ? 0 : current == filters[1] ? 1 : -1;
}

TEST(save_requester, two_filters_with_the_second_preselected_and_close_returns_nothing)
{
    dialog_probe probe;
    two_filters_seen seen;
    probe.inspect = [&](GtkFileChooser* c) { look_at_two_filters(c, seen); };
    probe.response = GTK_RESPONSE_DELETE_EVENT;
    std::string chosen = run_requester(probe, "", u"Pictures|*.jpg;*.jpeg|All files|*.*", 1);
    EXPECT_TRUE(probe.seen);
    EXPECT_EQ(seen.names, (std::vector<std::string>{"Pictures", "All files"}));
    EXPECT_TRUE(seen.first_jpg);
    EXPECT_TRUE(seen.first_jpeg);
    EXPECT_FALSE(seen.first_png);
    EXPECT_TRUE(seen.second_any);
    EXPECT_TRUE(seen.second_bare);
    EXPECT_EQ(seen.current, 1);
    EXPECT_EQ(chosen, "");
}

TEST(save_requester, an_index_past_the_filters_leaves_gtk_its_own_choice)
{
    // What GTK+ picks by itself for the same two filters.
    GtkWidget* reference = gtk_file_chooser_dialog_new("", nullptr, GTK_FILE_CHOOSER_ACTION_SAVE, nullptr, nullptr);
    auto* ref_chooser = GTK_FILE_CHOOSER(reference);
    GtkFileFilter* first = gtk_file_filter_new();
    GtkFileFilter* second = gtk_file_filter_new();
    gtk_file_chooser_add_filter(ref_chooser, first);
    gtk_file_chooser_add_filter(ref_chooser, second);
    GtkFileFilter* own = gtk_file_chooser_get_filter(ref_chooser);
    int own_choice = own == first ? 0 : own == second ? 1 : -1;
    gtk_widget_destroy(reference);

    dialog_probe probe;
    two_filters_seen seen;
    probe.inspect = [&](GtkFileChooser* c) { look_at_two_filters(c, seen); };
    run_requester(probe, "", u"Pictures|*.jpg;*.jpeg|All files|*.*", 2);
    EXPECT_TRUE(probe.seen);
    EXPECT_EQ(seen.names.size(), 2u);
    EXPECT_EQ(seen.current, own_choice);
}

TEST(save_requester, only_the_save_answer_gives_a_name)
{
    temp_folder folder;
    dialog_probe probe;
    probe.ready = [&](GtkFileChooser* c) { return current_folder(c) == folder.path; };
    probe.inspect = [&](GtkFileChooser* c) { gtk_file_chooser_set_current_name(c, "typed"); };
    probe.response = GTK_RESPONSE_REJECT;
    EXPECT_EQ(run_requester(probe, folder.path + "/", u"JPEG Image|*.jpg", 0), "");
    EXPECT_TRUE(probe.seen);
}

}  // namespace
