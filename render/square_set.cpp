// The size of image 1 decides every other size; the squares are the set's
// images for what each square shows.
#include "render/square_set.h"

#include "imaging/fonts.h"
#include "imaging/image_store.h"
#include "layout/image_numbers.h"
#include "layout/square_set.h"

namespace {

constexpr int task_font = 0;

}  // namespace

bool render_position(std::int32_t image, const board_position& position, const text& task_text)
{
    diagram_content content{};
    for (int n = 1; n <= board_squares; n++)
        content.squares[n - 1] = image_handle(square_image_number(position[n - 1], n));
    content.horizontal_strip = image_handle(horizontal_strip_image);
    content.vertical_strip = image_handle(vertical_strip_image);
    content.font = font_handle(task_font);
    content.task_text = task_text;
    return render_diagram_image(image, square_set_size(), content);
}
