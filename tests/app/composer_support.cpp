#include "tests/app/composer_support.h"

#include <sys/stat.h>
#include <unistd.h>

#include "app/composer.h"
#include "app/file_services.h"
#include "codec/jpeg_plugin.h"
#include "toolkit/event_queue.h"
#include "toolkit/gadget.h"

namespace {

std::vector<std::string> messages;
std::string initial_directory;
guint answering = 0;

// Answers any message dialog with OK and notes its text.
gboolean answer_message_dialogs(gpointer)
{
    GList* windows = gtk_window_list_toplevels();
    for (GList* item = windows; item; item = item->next) {
        if (!GTK_IS_MESSAGE_DIALOG(item->data) || !gtk_widget_get_mapped(GTK_WIDGET(item->data)))
            continue;
        gchar* value = nullptr;
        g_object_get(item->data, "text", &value, nullptr);
        messages.push_back(value ? value : "");
        g_free(value);
        x_error_trap closed_behind_the_composers_back;
        gtk_dialog_response(GTK_DIALOG(item->data), GTK_RESPONSE_OK);
    }
    g_list_free(windows);
    return TRUE;
}

}  // namespace

composer_session::composer_session(int square_size)
{
    char here[4096];
    initial_directory = getcwd(here, sizeof here) ? here : "/";
    messages.clear();
    mkdir(folder.file("DATA").c_str(), 0700);
    std::string command = build_tool("make-squares") + " " + folder.file("DATA") + " " + std::to_string(square_size);
    if (run_command(command) != 0)
        return;
    if (chdir(folder.path.c_str()) != 0)
        return;
    answering = g_timeout_add(50, answer_message_dialogs, nullptr);
    // Start-up empties the image registry, while the JPEG plugin remembers
    // having registered in this process; a second session needs it again.
    jpeg_plugin_forget_registrations();
    int argc = 1;
    char name[] = "chess-diagram";
    char* args[] = {name, nullptr};
    char** argv = args;
    start_status = composer_start(&argc, &argv);
    pump_events(300);
}

composer_session::~composer_session()
{
    if (start_status == 0)
        end_program_resources();
    if (answering)
        g_source_remove(answering);
    answering = 0;
    if (chdir(initial_directory.c_str()) != 0)
        return;
}

void pump_events(int milliseconds)
{
    gint64 until = g_get_monotonic_time() + gint64(milliseconds) * 1000;
    while (g_get_monotonic_time() < until) {
        while (gtk_events_pending())
            gtk_main_iteration_do(FALSE);
        g_usleep(5000);
    }
}

void press_gadget(int gadget)
{
    event_post(event_kind::gadget_event, gadget, 0, 0);
    while (event_queue_length() > 0) {
        composer.event_kind = event_wait(0);
        composer_after_event();
        if (composer.event_kind == event_kind::gadget_event)
            composer_dispatch();
    }
}

GdkRectangle gadget_allocation(int gadget)
{
    GtkWidget* outer = gadget_outer_widget(gadget);
    GtkAllocation allocation{};
    if (outer)
        gtk_widget_get_allocation(outer, &allocation);
    return allocation;
}

const std::vector<std::string>& shown_messages()
{
    return messages;
}
