// The one kind of message the program shows: a failure the user must know
// about (a diagram that could not be saved or printed, a start that cannot
// go on), in a modal dialog over the editor window when there is one.
#include "app/composer.h"

#include <cstdio>

#include <gtk/gtk.h>

#include "toolkit/event_queue.h"
#include "toolkit/window.h"

namespace {

void run_error_dialog(GtkWidget* parent, const std::string& message)
{
    GtkWidget* dialog = gtk_message_dialog_new(parent ? GTK_WINDOW(parent) : nullptr, GTK_DIALOG_MODAL,
                                               GTK_MESSAGE_ERROR, GTK_BUTTONS_OK, "%s", message.c_str());
    gtk_window_set_title(GTK_WINDOW(dialog), "Ошибка");
    gtk_dialog_run(GTK_DIALOG(dialog));
    gtk_widget_destroy(dialog);
}

}  // namespace

void show_failure_message(const text& message)
{
    run_error_dialog(window_widget(0), text_to_utf8(message));
    events_flush();
}

// A program started from a desktop menu has no standard error anyone reads,
// so the reason goes to a dialog too whenever a display can be opened.
void show_start_refusal(const std::string& why, int* argc, char*** argv)
{
    std::fprintf(stderr, "chess-diagram: %s\n", why.c_str());
    if (gtk_init_check(argc, argv))
        run_error_dialog(nullptr, why);
}
