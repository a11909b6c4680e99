/* The start-up peer: the least a GTK+ 2 program does to show one empty
 * 800 x 620 window, centred and not resizable like the editor, and wait for
 * events. A close request ends it. */
#include <gtk/gtk.h>

static gboolean close_requested(GtkWidget* window, GdkEvent* event, gpointer data)
{
    (void)window;
    (void)event;
    (void)data;
    gtk_main_quit();
    return FALSE;
}

int main(int argc, char** argv)
{
    gtk_init(&argc, &argv);
    GtkWidget* window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    gtk_window_set_title(GTK_WINDOW(window), "Empty");
    gtk_widget_set_size_request(window, 800, 620);
    gtk_window_set_resizable(GTK_WINDOW(window), FALSE);
    gtk_window_set_position(GTK_WINDOW(window), GTK_WIN_POS_CENTER);
    g_signal_connect(window, "delete-event", G_CALLBACK(close_requested), NULL);
    gtk_widget_show(window);
    gtk_main();
    return 0;
}
