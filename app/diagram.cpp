// Rendering the board into the diagram image (image 100), saving it where
// the user chooses, and collecting it as the next of four diagrams in TEMP/.
#include "app/composer.h"

#include <cerrno>

#include "app/file_services.h"
#include "imaging/drawing.h"
#include "imaging/fonts.h"
#include "imaging/image_output.h"
#include "imaging/image_plugins.h"
#include "imaging/image_store.h"
#include "toolkit/gadget.h"
#include "toolkit/save_requester.h"

namespace {

constexpr std::uint32_t jpeg_code = four_letter_code("JPEG");
constexpr colour white = 0xFFFFFF;
constexpr colour black = 0;
constexpr int diagram_image = 100;

void draw_task_text(int s)
{
    drawing_font(font_handle(0));
    int w = text_width(gadget_get_text(82));
    draw_text((9 * s - w) / 2, 9 * s + 2, gadget_get_text(82), black, white);
}

void draw_frame_strips(int s)
{
    draw_image(image_handle(27), 0, 0);
    draw_image(image_handle(27), 0, 8 * s + s / 2);
    draw_image(image_handle(28), 0, s / 2);
    draw_image(image_handle(28), 8 * s + s / 2, s / 2);
}

// The squares come back from the gadgets, so the diagram shows exactly what
// the board shows.
void draw_squares(int s)
{
    int k = 0;
    for (int col = 1; col <= 8; col++)
        for (int row = 1; row <= 8; row++)
            draw_image(reinterpret_cast<GdkPixbuf*>(gadget_get_state(++k)), col * s - s / 2, row * s - s / 2);
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
    const int s = composer.square_size;
    directory_set_current(composer.temp_folder);
    image_create(diagram_image, 9 * s, 9 * s + s / 2);
    drawing_start(image_output(diagram_image));
    drawing_mode(drawing_mode_bit::gradient);
    draw_box(0, 0, 10 * s, 10 * s, white);
    drawing_mode(drawing_mode_bit::outlined);
    draw_box(0, 0, 9 * s, s / 2, black);
    draw_task_text(s);
    draw_frame_strips(s);
    draw_squares(s);
    drawing_stop();
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
