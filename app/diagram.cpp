// Rendering the board into the diagram image (image 100), saving it where
// the user chooses, and collecting it as the next of four diagrams in TEMP/.
#include "app/composer.h"

#include <cerrno>

#include "app/file_services.h"
#include "imaging/fonts.h"
#include "imaging/image_plugins.h"
#include "imaging/image_store.h"
#include "layout/diagram_layout.h"
#include "toolkit/gadget.h"
#include "toolkit/save_requester.h"

namespace {

constexpr std::uint32_t jpeg_code = four_letter_code("JPEG");
constexpr int diagram_image = 100;

// The board has no model of its own: the diagram shows exactly what the
// square gadgets show.
diagram_content board_content()
{
    diagram_content content{};
    for (int n = 1; n <= board_squares; n++)
        content.squares[n - 1] = reinterpret_cast<GdkPixbuf*>(gadget_get_state(n));
    content.horizontal_strip = image_handle(27);
    content.vertical_strip = image_handle(28);
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
    default: return u"ошибка записи";
    }
}

// Saves image 100; a failure is told to the user, naming the file and why.
bool save_or_tell(const text& path)
{
    if (image_save(diagram_image, path, jpeg_code))
        return true;
    show_failure_message(u"Не удалось сохранить изображение в файл «" + path + u"»: " +
                         save_failure_reason(image_encode_last_errno()) + u".");
    return false;
}

}  // namespace

void render_diagram()
{
    directory_set_current(composer.temp_folder);
    render_diagram_image(diagram_image, composer.square_size, board_content());
}

void save_diagram()
{
    render_diagram();
    composer.save_file_name = requester_save_file(u"Save image", composer.save_folder, u"JPEG Image|*.jpg", 0);
    if (!composer.save_file_name.empty())
        save_or_tell(composer.save_file_name + u".jpg");
}

// Clicks queued before the button was disabled must not collect a fifth
// diagram, and a diagram that could not be written is not counted. The
// file is named in full, so it can land nowhere but in TEMP/.
void add_to_print()
{
    if (composer.collected_count >= 4)
        return;
    composer.collected_count++;
    render_diagram();
    if (!save_or_tell(composer.temp_folder + number_to_string(composer.collected_count) + u".jpg"))
        composer.collected_count--;
}
