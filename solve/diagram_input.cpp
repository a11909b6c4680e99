// Reading needs the image store and the decoders but no display: the square
// set is loaded as images 1 to 32 and every board square is matched against it.
#include "solve/diagram_input.h"

#include "codec/jpeg_plugin.h"
#include "imaging/bmp_decoder.h"
#include "imaging/image_plugins.h"
#include "imaging/image_store.h"
#include "layout/folders.h"
#include "layout/read_back.h"
#include "layout/square_set.h"

namespace {

bool load_square_set(const std::string& data_folder, std::string* error)
{
    image_plugins_init();
    image_decoder_register(bmp_decoder());
    jpeg_decoder_register();
    image_store_init();
    const std::string set = chosen_square_set(data_folder, error);
    return !set.empty() && square_set_load(set, error);
}

}  // namespace

bool diagram_position(const std::string& path, const std::string& data_folder, fen_record* record,
                      std::string* error)
{
    board_squares_shown shown;
    if (!load_square_set(data_folder, error) || !read_back_diagram(path, &shown, error))
        return false;
    *record = fen_record{};
    record->squares = fen_squares(shown);
    return true;
}
