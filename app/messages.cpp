// The one kind of message the program shows: a failure the user must know
// about (a diagram that could not be saved or printed), in a modal dialog
// over the editor window.
#include "app/composer.h"

#include <gtk/gtk.h>

#include "toolkit/event_queue.h"
#include "toolkit/window.h"

void show_failure_message(const text& message)
{
    GtkWidget* parent = window_widget(0);
    GtkWidget* dialog = gtk_message_dialog_new(parent ? GTK_WINDOW(parent) : nullptr, GTK_DIALOG_MODAL,
                                               GTK_MESSAGE_ERROR, GTK_BUTTONS_OK, "%s",
                                               text_to_utf8(message).c_str());
    gtk_window_set_title(GTK_WINDOW(dialog), "Ошибка");
    gtk_dialog_run(GTK_DIALOG(dialog));
    gtk_widget_destroy(dialog);
    events_flush();
}
