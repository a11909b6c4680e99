// Drawing one diagram into a numbered image. The order of the steps is part
// of the look: the squares come last, so a square image larger than s
// covers the frame and the text band rather than the other way round.
#include "layout/diagram_layout.h"

#include "imaging/drawing.h"
#include "imaging/image_output.h"
#include "imaging/image_store.h"

namespace {

constexpr colour white = 0xFFFFFF;
constexpr colour black = 0;

// A text wider than the diagram gets a negative x and is cut at both ends.
int draw_task_text(std::int32_t s, const diagram_content& content)
{
    drawing_font(content.font);
    const int w = text_width(content.task_text);
    draw_text((9 * s - w) / 2, 9 * s + 2, content.task_text, black, white);
    return w;
}

void draw_frame_strips(std::int32_t s, const diagram_content& content)
{
    draw_image(content.horizontal_strip, 0, 0);
    draw_image(content.horizontal_strip, 0, 8 * s + s / 2);
    draw_image(content.vertical_strip, 0, s / 2);
    draw_image(content.vertical_strip, 8 * s + s / 2, s / 2);
}

void draw_squares(std::int32_t s, const diagram_content& content)
{
    for (int n = 1; n <= board_squares; n++)
        draw_image(content.squares[n - 1], diagram_square_x(n, s), diagram_square_y(n, s));
}

}  // namespace

bool render_diagram_image(object_number image, std::int32_t s, const diagram_content& content, int* task_text_width)
{
    if (!image_create(image, diagram_width(s), diagram_height(s)) || !drawing_start(image_output(image)))
        return false;
    // In gradient mode a box paints opaque white whatever its colour; the
    // box is larger than the image and clipped to it.
    drawing_mode(drawing_mode_bit::gradient);
    draw_box(0, 0, 10 * s, 10 * s, white);
    drawing_mode(drawing_mode_bit::outlined);
    draw_box(0, 0, 9 * s, s / 2, black);
    const int w = draw_task_text(s, content);
    if (task_text_width)
        *task_text_width = w;
    draw_frame_strips(s, content);
    draw_squares(s, content);
    drawing_stop();
    return true;
}
