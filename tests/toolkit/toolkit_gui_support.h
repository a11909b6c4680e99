// Helpers for the toolkit's window tests: bring the toolkit up once per
// process, let GTK+ settle, read the queued events, and hand widgets
// synthetic pointer, key and focus events as GDK would deliver them.
#pragma once

#include <vector>

#include <gtk/gtk.h>

#include "toolkit/event_queue.h"
#include "toolkit/object_table.h"

void toolkit_up();

// Runs GTK+ until it has nothing pending for a short while, so windows are
// mapped and allocated.
void settle();

// Every event queued now, oldest first; the queue is empty afterwards.
std::vector<event_values> take_events();
// Only the gadget events of one gadget, from take_events.
std::vector<event_values> take_gadget_events(object_number gadget);
std::vector<std::int32_t> sub_types(const std::vector<event_values>& events);

void send_button(GtkWidget* widget, GdkEventType type, guint button, double x = 5, double y = 5);
void send_motion(GtkWidget* widget, double x, double y, guint state);
void send_key(GtkWidget* widget, guint keyval);
void send_focus(GtkWidget* window, bool in);

// A pixbuf of one colour.
GdkPixbuf* solid_pixbuf(int width, int height, guint32 rgba = 0x336699ff);
