// Numbered windows over GTK+ 2 top-levels. Each window holds a vertical box
// with its gadget list (a GtkFixed); its signal handlers only post events. A
// close request never destroys a window: it stays until window_close.
#pragma once

#include <cstdint>

#include <gtk/gtk.h>

#include "toolkit/object_table.h"
#include "toolkit/text.h"

namespace window_flag {
constexpr std::int32_t hidden = 0x01;
constexpr std::int32_t sizeable = 0x02;
constexpr std::int32_t menu = 0x04;
constexpr std::int32_t maximize_box = 0x10;
constexpr std::int32_t minimize_box = 0x20;
constexpr std::int32_t centred = 0x40;
constexpr std::int32_t borderless = 0x80;
constexpr std::int32_t ignore_position = 0x100;
constexpr std::int32_t open_maximized = 0x200;
constexpr std::int32_t open_minimized = 0x400;
constexpr std::int32_t utility = 0x800;
constexpr std::int32_t keep_gadget_list = 0x1000;
}  // namespace window_flag

struct window_record {
    GtkWidget* window;  // the GtkWindow; live while set
};

void window_table_init();
object_table* window_table();

// Width and height are the client size. Returns the GtkWindow, the dynamic
// handle for dynamic_number, or 0.
created_object window_open(object_number number, int x, int y, int width, int height, const text& title,
                           std::int32_t flags);
void window_close(object_number number);
void window_close_all();

GtkWidget* window_widget(object_number number);  // the GtkWindow, or null
GtkWidget* window_gadget_list(object_number number);  // its GtkFixed, or null
object_number window_of_widget(GtkWidget* widget);  // -1 when none

// The decoration and function sets window_open applies for these flags,
// as GdkWMDecoration and GdkWMFunction bits.
std::int32_t window_decorations_for(std::int32_t flags);
std::int32_t window_functions_for(std::int32_t flags);
