// Feeds arbitrary bytes to piece lists (through the reader every front end
// uses for a position as text). A board that reads must write back as a list
// that reads to the same board; every refusal must be one line of UTF-8.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "chess/piece_list.h"
#include "chess/position_text.h"
#include "chess/quoted_input.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    fen_record record, again;
    std::string error;
    const bool read = piece_list_read(input, &record, &error) || position_text_read(input, &record, &error);
    if (!read && (error.empty() || error.find('\n') != std::string::npos || !is_valid_utf8(error)))
        std::abort();
    // An empty board (a FEN may be one) has no list form: the list reader
    // refuses a list without pieces, as a slip rather than a position.
    const bool has_pieces = std::any_of(record.squares.begin(), record.squares.end(),
                                        [](char square) { return square != no_piece; });
    if (read && has_pieces) {
        for (piece_list_language language : {piece_list_language::international, piece_list_language::russian})
            if (!piece_list_read(piece_list_write(record, language), &again, &error) || again.squares != record.squares)
                std::abort();
    }
    return 0;
}
