// Any 32 images will do as a set: only the size of image 1 is checked, since
// it decides every other size; strips and squares of other sizes are drawn
// as they are.
#include "layout/square_set.h"

#include "imaging/image_store.h"
#include "layout/image_numbers.h"

namespace {

bool check_size(const std::string& first, std::string* error)
{
    const std::int32_t s = square_set_size();
    const std::string width = "клетка " + first + " шириной " + std::to_string(s);
    if (s < smallest_square_size) {
        *error = width + " слишком мала для диаграммы (нужно не меньше " + std::to_string(smallest_square_size) + ")";
        return false;
    }
    if (s > largest_square_size()) {
        *error = width + " слишком велика: диаграмма была бы " + std::to_string(diagram_width(s)) + " × " +
                 std::to_string(diagram_height(s)) + ", а изображение может быть не больше " +
                 std::to_string(image_size_limit) + " × " + std::to_string(image_size_limit) +
                 " (клетка — не шире " + std::to_string(largest_square_size()) + ")";
        return false;
    }
    return true;
}

}  // namespace

bool square_set_load(const std::string& folder, std::string* error)
{
    const std::string prefix = folder.empty() || folder.back() == '/' ? folder : folder + "/";
    for (object_number n = 1; n <= square_image_count; n++) {
        const std::string path = prefix + std::to_string(n) + ".jpg";
        if (!image_load(n, text_from_utf8(path))) {
            *error = "не удаётся загрузить изображение клетки " + path;
            return false;
        }
        if (n == 1 && !check_size(path, error))
            return false;
    }
    return true;
}

std::int32_t square_set_size()
{
    return image_width(1);
}
