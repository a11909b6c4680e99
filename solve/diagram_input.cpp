// Reading needs the image store and the decoders but no display: the square
// set is loaded as images 1 to 32 and every board square is matched against it.
#include "solve/diagram_input.h"

#include "chess/quoted_input.h"
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
    const std::string set = data_folder.empty() ? default_square_set() : data_folder;
    if (set.empty()) {
        *error = "набор клеток не найден: нет ни ./DATA, ни " + quoted_input(user_folder() + "/DATA") +
                 ", ни набора по умолчанию; укажите его ключом --data";
        return false;
    }
    return square_set_load(set, error);
}

}  // namespace

bool diagram_position(const std::string& path, const std::string& data_folder, fen_record* record,
                      std::string* error)
{
    board_squares_shown shown;
    if (!load_square_set(data_folder, error) || !read_back_diagram(path, &shown, error))
        return false;
    fen_record read;
    for (int n = 1; n <= board_squares; n++) {
        const char content = shown[std::size_t(n - 1)];
        const bool piece = piece_letters.find(content) != std::string_view::npos;
        read.squares[std::size_t(square_at(board_column(n) - 1, 8 - board_row(n)))] = piece ? content : no_piece;
    }
    *record = read;
    return true;
}
