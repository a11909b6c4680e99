// Feeds arbitrary text to the renderer's position reading: a FEN, then after
// a newline a list of marker squares. Whatever reads must write back as the
// same board, and markers may land only on squares that were empty.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "chess/quoted_input.h"
#include "render/position.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    std::string_view input(reinterpret_cast<const char*>(data), size);
    const std::size_t newline = input.find('\n');
    std::string_view fen = input.substr(0, newline);
    std::string_view markers = newline == std::string_view::npos ? std::string_view() : input.substr(newline + 1);
    fen_record record, again;
    std::string error;
    if (!fen_read(fen, &record, &error)) {
        if (error.empty())
            std::abort();
        return 0;
    }
    const board_position position = board_from_fen(record);
    if (!fen_read(board_fen(position), &again, &error) || board_from_fen(again) != position)
        std::abort();
    board_position marked = position;
    if (place_markers(markers, cross_marker, &marked, &error)) {
        for (int n = 1; n <= board_squares; n++)
            if (marked[n - 1] != position[n - 1] && (position[n - 1] != empty_square || marked[n - 1] != cross_marker))
                std::abort();
    } else if (error.empty() || error.find('\n') != std::string::npos || !is_valid_utf8(error)) {
        std::abort();
    }
    return 0;
}
