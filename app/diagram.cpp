// Rendering the board into the diagram image (image 100), saving it where
// the user chooses, and collecting it as the next of four diagrams in TEMP/.
#include "app/composer.h"

#include <cerrno>

#include <glib.h>

#include "app/file_services.h"
#include "imaging/fonts.h"
#include "imaging/image_plugins.h"
#include "imaging/image_store.h"
#include "layout/diagram_layout.h"
#include "layout/image_numbers.h"
#include "toolkit/gadget.h"
#include "toolkit/save_requester.h"

namespace {

constexpr std::uint32_t jpeg_code = four_letter_code("JPEG");

// The board has no model of its own: the diagram shows exactly what the
// square gadgets show.
diagram_content board_content()
{
    diagram_content content{};
    for (int n = 1; n <= board_squares; n++)
        content.squares[n - 1] = reinterpret_cast<GdkPixbuf*>(gadget_get_state(n));
    content.horizontal_strip = image_handle(horizontal_strip_image);
    content.vertical_strip = image_handle(vertical_strip_image);
    content.font = font_handle(0);
    content.task_text = gadget_get_text(82);
    return content;
}

text save_failure_reason(int error)
{
    switch (error) {
    case ENOENT: return u"такой папки нет";
    case EACCES:
    case EPERM: return u"нет прав на запись в эту папку";
    case ENOSPC:
    case EDQUOT: return u"на диске нет места";
    case EROFS: return u"диск доступен только для чтения";
    case ENAMETOOLONG: return u"слишком длинное имя файла";
    case EISDIR: return u"это имя папки, а не файла";
    default: return error ? text_from_utf8(g_strerror(error)) : u"ошибка записи";
    }
}

// Saves image 100; a failure is told to the user, naming the file and why.
// The collected diagrams are the program's own names, the saved one the user's.
bool save_or_tell(const text& path, bool own_name)
{
    if (own_name ? image_save_owned(diagram_image, path, jpeg_code) : image_save(diagram_image, path, jpeg_code))
        return true;
    show_failure_message(u"Не удалось сохранить изображение в файл «" + path + u"»: " +
                         save_failure_reason(image_encode_last_errno()) + u".");
    return false;
}

// A diagram that could not be drawn (no memory for the image) is said so,
// never saved or collected blank.
bool draw_diagram()
{
    directory_set_current(composer.temp_folder);
    if (render_diagram_image(diagram_image, composer.square_size, board_content()))
        return true;
    show_failure_message(u"Не удалось нарисовать диаграмму: не хватает памяти для изображения " +
                         number_to_string(diagram_width(composer.square_size)) + u" × " +
                         number_to_string(diagram_height(composer.square_size)) + u".");
    return false;
}

}  // namespace

void render_diagram()
{
    draw_diagram();
}

void save_diagram()
{
    if (!draw_diagram())
        return;
    composer.save_file_name = requester_save_file(u"Save image", composer.save_folder, u"JPEG Image|*.jpg", 0);
    if (!composer.save_file_name.empty())
        save_or_tell(composer.save_file_name + u".jpg", false);
}

// Clicks queued before the button was disabled must not collect a fifth
// diagram, and a diagram that could not be written is not counted. The
// file is named in full, so it can land nowhere but in TEMP/.
void add_to_print()
{
    if (composer.collected_count >= 4)
        return;
    composer.collected_count++;
    if (!draw_diagram() ||
        !save_or_tell(composer.temp_folder + number_to_string(composer.collected_count) + u".jpg", true))
        composer.collected_count--;
}
