// The diagram numbers its squares down each column from the top-left, FEN
// along each rank from a1; these move between the two.
#include "layout/square_content.h"

namespace {

// Board square n's index in FEN's order (a1 = 0 ... h8 = 63).
int fen_square(int n)
{
    return square_at(board_column(n) - 1, 8 - board_row(n));
}

}  // namespace

board_squares_shown board_from_fen(const fen_record& record)
{
    board_squares_shown squares;
    for (int n = 1; n <= board_squares; n++) {
        const char c = record.squares[std::size_t(fen_square(n))];
        squares[std::size_t(n - 1)] = c == no_piece ? empty_square : c;
    }
    return squares;
}

std::array<char, 64> fen_squares(const board_squares_shown& squares)
{
    std::array<char, 64> placement;
    for (int n = 1; n <= board_squares; n++) {
        const char c = squares[std::size_t(n - 1)];
        placement[std::size_t(fen_square(n))] = piece_letters.find(c) == std::string_view::npos ? no_piece : c;
    }
    return placement;
}

std::string board_fen(const board_squares_shown& squares)
{
    return fen_placement(fen_squares(squares));
}
