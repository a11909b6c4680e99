// Each diagram is placed by its own size, as the collected files are read
// one at a time; within one run they all have the same size, so the cells
// form a regular grid.
#include "layout/sheet_composition.h"

#include <algorithm>

#include "imaging/drawing.h"
#include "imaging/image_output.h"
#include "imaging/image_store.h"

namespace {

constexpr colour white = 0xFFFFFF;

}  // namespace

bool sheet_compose(object_number sheet, GdkPixbuf* const* diagrams, int count)
{
    if (!image_create(sheet, sheet_width, sheet_height) || !drawing_start(image_output(sheet)))
        return false;
    // In gradient mode a box paints opaque white; it is clipped to the sheet.
    drawing_mode(drawing_mode_bit::gradient);
    draw_box(0, 0, sheet_width + 10, sheet_height + 10, white);
    drawing_mode(drawing_mode_bit::outlined);
    for (int k = 1; k <= std::min(count, sheet_cells); k++) {
        GdkPixbuf* diagram = diagrams[k - 1];
        if (!diagram)
            continue;
        const sheet_point at = sheet_cell_origin(k, gdk_pixbuf_get_width(diagram), gdk_pixbuf_get_height(diagram));
        draw_image(diagram, at.x, at.y);
    }
    drawing_stop();
    return true;
}
