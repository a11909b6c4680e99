// The gadget record and the operations table through which the common gadget
// operations reach a kind's own code. Private to the toolkit: the sources of
// the kinds include it, callers use gadget.h.
#pragma once

#include <cstddef>
#include <cstdint>

#include <gtk/gtk.h>

#include "toolkit/gadget.h"

struct gadget_operations;

struct gadget_record {
    GtkWidget* widget;              // the control itself; live while set
    GtkWidget* outer;               // what sits in the container when it is not the control (image: event box)
    const gadget_operations* ops;   // the table of the gadget's kind
    GdkPixbuf* image;               // image gadgets: the pixbuf shown now, null for none
};

namespace gadget_kind {
constexpr std::int32_t button = 1;
constexpr std::int32_t text_field = 2;
constexpr std::int32_t image = 9;
constexpr std::int32_t scroll_area = 16;
}  // namespace gadget_kind

namespace gadget_attribute {
constexpr std::int32_t inner_width = 1;
constexpr std::int32_t inner_height = 2;
constexpr std::int32_t horizontal_position = 3;
constexpr std::int32_t vertical_position = 4;
}  // namespace gadget_attribute

namespace gadget_colour_type {
constexpr std::int32_t front = 1;  // foreground and text
constexpr std::int32_t back = 2;   // background and base
}  // namespace gadget_colour_type

// A slot no kind of ours fills; it keeps the later slots in their places.
using gadget_unused_slot = void (*)();

struct gadget_operations {
    std::int32_t size;  // sizeof(gadget_operations)
    std::int32_t kind;
    std::int32_t (*activate)(gadget_record*);                                        // 1
    void (*release_hook)(gadget_record*);                                            // 2
    gadget_state (*get_state)(gadget_record*);                                       // 3
    void (*set_state)(gadget_record*, gadget_state);                                 // 4
    text (*get_text)(gadget_record*);                                                // 5
    void (*set_text)(gadget_record*, const char* utf8);                              // 6
    std::int32_t (*add_item)(gadget_record*, std::int32_t position, const char* utf8);  // 7
    gadget_unused_slot unused_8;                                                     // 8
    void (*remove_item)(gadget_record*, std::int32_t position);                      // 9
    void (*clear_items)(gadget_record*);                                             // 10
    gadget_unused_slot unused_11;                                                    // 11
    std::int32_t (*count_items)(gadget_record*);                                     // 12
    gadget_unused_slot unused_13;                                                    // 13
    gadget_unused_slot unused_14;                                                    // 14
    text (*get_item_text)(gadget_record*, std::int32_t position);                    // 15
    void (*set_item_text)(gadget_record*, std::int32_t position, const char* utf8);  // 16
    void (*set_font)(gadget_record*, const PangoFontDescription* font);              // 17
    bool (*open_gadget_list)(gadget_record*);                                        // 18
    gadget_unused_slot unused_19;                                                    // 19
    std::int32_t (*get_attribute)(gadget_record*, std::int32_t attribute);           // 20
    void (*set_attribute)(gadget_record*, std::int32_t attribute, std::int32_t value);  // 21
    gadget_unused_slot unused_22;                                                    // 22
    gadget_unused_slot unused_23;                                                    // 23
    gadget_unused_slot unused_24;                                                    // 24
    void (*set_colour)(gadget_record*, std::int32_t type, std::int32_t colour);      // 25
    std::int32_t (*get_colour)(gadget_record*, std::int32_t type);                   // 26
    gadget_unused_slot unused_27;                                                    // 27
    gadget_unused_slot unused_28;                                                    // 28
    gadget_unused_slot unused_29;                                                    // 29
    gadget_unused_slot unused_30;                                                    // 30
    const PangoFontDescription* (*get_font)(gadget_record*);                         // 31
};
constexpr int gadget_operation_slots = 31;
static_assert(sizeof(gadget_operations) ==
                  offsetof(gadget_operations, activate) + gadget_operation_slots * sizeof(void (*)()),
              "gadget operations have two header fields and 31 slots");

// The live record of a gadget number, or null.
gadget_record* gadget_lookup(object_number number);
// The gadget number a widget carries under ui_id, or -1.
object_number gadget_number_of(GtkWidget* widget);

// Steps shared by the creators. gadget_allocate runs table_allocate (which
// destroys a live gadget of that number) and gives the number to use from
// then on. gadget_discard frees widgets never placed; gadget_abandon also
// gives the allocated record back, when the creation cannot go on.
gadget_record* gadget_allocate(object_number number, object_number* assigned);
void gadget_discard(GtkWidget* unplaced);
void gadget_abandon(object_number assigned, GtkWidget* unplaced);
// Where a creation stands once the record is allocated.
struct gadget_start {
    gadget_record* record;
    object_number number;  // the number from here on (the handle under the dynamic number)
    GtkWidget* list;       // the GtkFixed the gadget goes into
};
// Allocates the record for the widget tree just created (null: creation
// failed) and finds the current gadget list. False, with the widgets freed
// and the table as it was, when either cannot be had.
bool gadget_begin(object_number number, GtkWidget* created, gadget_start* start);
// Realizes the main widget, connects its destroy handler, sets ui_id and
// runs the pending events.
void gadget_register(gadget_record* record, object_number number);
// What a creator returns: the handle under the dynamic number, else the widget.
created_object gadget_created(object_number requested, object_number assigned, GtkWidget* widget);

// Font and colour slots shared by the button's label and the entry.
void gadget_widget_set_font(GtkWidget* widget, const PangoFontDescription* font);
const PangoFontDescription* gadget_widget_get_font(GtkWidget* widget);
void gadget_widget_set_colour(GtkWidget* widget, std::int32_t type, std::int32_t colour);
std::int32_t gadget_widget_get_colour(GtkWidget* widget, std::int32_t type);

// The image gadget's trackers, installed on its event box.
void click_tracker_install(GtkWidget* event_box, object_number number);
void drag_tracker_install(GtkWidget* widget, object_number number);
