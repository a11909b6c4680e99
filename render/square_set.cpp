// Square sets are data: any 32 images in the editor's layout will do, and
// the size of image 1 decides every other size.
#include "render/square_set.h"

#include <sys/stat.h>

#include "imaging/fonts.h"
#include "imaging/image_store.h"
#include "layout/installed_set.h"

namespace {

constexpr int square_image_count = 32;
constexpr int horizontal_strip = 27;
constexpr int vertical_strip = 28;
constexpr int task_font = 0;

bool is_folder(const std::string& path)
{
    struct stat info;
    return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

}  // namespace

std::string square_set_folder(const std::string& requested)
{
    if (!requested.empty())
        return requested;
    return is_folder("DATA") ? "DATA" : installed_square_set();
}

bool load_square_set(const std::string& folder, std::string* error)
{
    const std::string prefix = folder.empty() || folder.back() == '/' ? folder : folder + "/";
    for (int n = 1; n <= square_image_count; n++) {
        const std::string path = prefix + std::to_string(n) + ".jpg";
        if (!image_load(n, text_from_utf8(path))) {
            *error = "не удалось загрузить изображение клетки " + path;
            return false;
        }
    }
    if (image_width(1) < 2) {
        *error = "изображение клетки " + prefix + "1.jpg слишком мало для диаграммы";
        return false;
    }
    return true;
}

std::int32_t square_set_size()
{
    return image_width(1);
}

void render_position(std::int32_t image, const board_position& position, const text& task_text)
{
    diagram_content content{};
    for (int n = 1; n <= board_squares; n++)
        content.squares[n - 1] = image_handle(square_image_number(position[n - 1], n));
    content.horizontal_strip = image_handle(horizontal_strip);
    content.vertical_strip = image_handle(vertical_strip);
    content.font = font_handle(task_font);
    content.task_text = task_text;
    render_diagram_image(image, square_set_size(), content);
}
