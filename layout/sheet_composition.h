// The print sheet composed once for both front ends: the editor's preview
// and printed page, and each page of the renderer's PDF sheets. Where each
// cell lies is sheet_layout.h's business; this draws the diagrams there.
#pragma once

#include <gdk-pixbuf/gdk-pixbuf.h>

#include "layout/sheet_layout.h"
#include "toolkit/object_table.h"

// Makes image `sheet` the white sheet_width x sheet_height sheet with
// diagram k (1-based) of diagrams[0 .. count - 1] at sheet_cell_origin(k,
// its width, its height). A null diagram leaves its cell white; diagrams
// past the fourth have no cell. False when the sheet cannot be drawn.
bool sheet_compose(object_number sheet, GdkPixbuf* const* diagrams, int count);
