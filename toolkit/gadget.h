// Gadgets: controls addressed by number, placed at pixel positions in the
// current gadget list of a window. Four kinds: image, push button, one-line
// text field and scroll area. Common operations reach a kind's own code
// through its operations table; signal handlers only post gadget events.
#pragma once

#include <cstdint>

#include <gtk/gtk.h>

#include "toolkit/object_table.h"
#include "toolkit/text.h"

// What get state and set state carry: an image gadget's pixbuf, a toggle's 0/1.
using gadget_state = std::intptr_t;

void gadget_table_init();
object_table* gadget_table();

// Creators: x and y are relative to the current gadget list. They return the
// main widget, the dynamic handle, or 0 (also when no gadget list is current).
created_object gadget_image(object_number number, int x, int y, int width, int height, GdkPixbuf* image);
created_object gadget_button(object_number number, int x, int y, int width, int height, const text& label);
created_object gadget_text_field(object_number number, int x, int y, int width, int height, const text& initial);
created_object gadget_scroll_area(object_number number, int x, int y, int width, int height, int inner_width,
                                  int inner_height);

void gadget_disable(object_number number, std::int32_t state);  // nonzero disables
std::int32_t gadget_set_active(object_number number);          // keyboard focus
object_number gadget_active();                                  // focused gadget, or -1
gadget_state gadget_get_state(object_number number);
void gadget_set_state(object_number number, gadget_state value);
text gadget_get_text(object_number number);
void gadget_set_text(object_number number, const text& value);

// The gadget context (gadget_context.cpp): where new gadgets go.
// Makes the window's gadget list current; returns the previous owner window.
GtkWidget* gadget_list_use(GtkWidget* window);
// Pushes the current gadget list and makes container current (a scroll
// area's inner area). False when the stack already holds 100 entries.
bool gadget_list_push(GtkWidget* container);
constexpr int gadget_stack_limit = 100;

GtkWidget* gadget_widget(object_number number);        // the main widget, or null
GtkWidget* gadget_outer_widget(object_number number);  // the widget put into the container
GtkWidget* gadget_current_list();                      // where the next gadget goes, or null
