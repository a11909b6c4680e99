// FEN's board field to the 64 squares and back, square names, markers, and
// which of the 32 square images shows what. Only the board field matters
// here: side to move, castling and the move counters say nothing about how a
// diagram looks.
#include "render/position.h"

#include <cstdint>

#include "layout/image_numbers.h"

namespace {

constexpr std::string_view piece_letters = "KQRBNPkqrbnp";
constexpr int ranks = 8;
constexpr int files = 8;

int square_of(int file, int rank)  // file 1..8 (a..h), rank 1..8
{
    return (file - 1) * 8 + (ranks - rank) + 1;
}

std::string quoted(std::string_view what)
{
    return "«" + std::string(what) + "»";
}

std::string rank_error(int rank, std::string_view field, const char* what)
{
    return "ряд " + std::to_string(rank) + " в FEN " + what + " восьми клеток: " + quoted(field);
}

bool parse_rank(std::string_view field, int rank, board_position* position, std::string* error)
{
    int file = 0;
    for (char c : field) {
        const bool digit = c >= '1' && c <= '8';
        const int count = digit ? c - '0' : 1;
        if (!digit && piece_letters.find(c) == std::string_view::npos) {
            // A byte of a longer UTF-8 letter cannot be shown alone.
            std::string_view shown = std::uint8_t(c) < 0x80 ? std::string_view(&c, 1) : field;
            *error = "в FEN неизвестный знак " + quoted(shown) + " в ряду " + std::to_string(rank);
            return false;
        }
        if (file + count > files) {
            *error = rank_error(rank, field, "длиннее");
            return false;
        }
        for (int i = 0; i < count; i++)
            (*position)[square_of(++file, rank) - 1] = digit ? empty_square : c;
    }
    if (file < files) {
        *error = rank_error(rank, field, "короче");
        return false;
    }
    return true;
}

}  // namespace

bool parse_fen(std::string_view fen, board_position* position, std::string* error)
{
    const std::size_t start = fen.find_first_not_of(" \t");
    if (start == std::string_view::npos) {
        *error = "FEN пуст";
        return false;
    }
    fen.remove_prefix(start);
    std::string_view board = fen.substr(0, fen.find_first_of(" \t"));
    board_position parsed;
    int rank = ranks;
    for (;;) {
        const std::size_t slash = board.find('/');
        if (rank < 1) {
            *error = "в FEN больше восьми рядов: " + quoted(fen.substr(0, fen.find_first_of(" \t")));
            return false;
        }
        if (!parse_rank(board.substr(0, slash), rank, &parsed, error))
            return false;
        rank--;
        if (slash == std::string_view::npos)
            break;
        board.remove_prefix(slash + 1);
    }
    if (rank != 0) {
        *error = "в FEN не восемь рядов, а " + std::to_string(ranks - rank) + ": " +
                 quoted(fen.substr(0, fen.find_first_of(" \t")));
        return false;
    }
    *position = parsed;
    return true;
}

std::string board_fen(const board_position& position)
{
    std::string fen;
    for (int rank = ranks; rank >= 1; rank--) {
        int gap = 0;
        for (int file = 1; file <= files; file++) {
            char c = position[square_of(file, rank) - 1];
            if (piece_letters.find(c) == std::string_view::npos) {
                gap++;
                continue;
            }
            if (gap)
                fen += char('0' + gap);
            gap = 0;
            fen += c;
        }
        if (gap)
            fen += char('0' + gap);
        if (rank > 1)
            fen += '/';
    }
    return fen;
}

int square_from_name(std::string_view name)
{
    if (name.size() != 2)
        return 0;
    const char file = char(name[0] | 0x20);  // e4 and E4 alike
    const char rank = name[1];
    if (file < 'a' || file > 'h' || rank < '1' || rank > '8')
        return 0;
    return square_of(file - 'a' + 1, rank - '0');
}

std::string square_name(int n)
{
    return {char('a' + board_column(n) - 1), char('0' + ranks + 1 - board_row(n))};
}

bool place_markers(std::string_view squares, char marker, board_position* position, std::string* error)
{
    while (!squares.empty()) {
        const std::size_t comma = squares.find(',');
        std::string_view name = squares.substr(0, comma);
        const int n = square_from_name(name);
        if (n == 0) {
            *error = "клетки " + quoted(name) + " нет на доске";
            return false;
        }
        char& content = (*position)[n - 1];
        if (content != empty_square && content != marker) {
            *error = "на клетке " + square_name(n) + (content == cross_marker || content == ring_marker
                                                           ? " уже стоит другая метка"
                                                           : " стоит фигура, метку туда не поставить");
            return false;
        }
        content = marker;
        if (comma == std::string_view::npos)
            break;
        squares.remove_prefix(comma + 1);
    }
    return true;
}

int square_image_number(char content, int n)
{
    object_number light;
    if (content == cross_marker)
        light = cross_marker_image;
    else if (content == ring_marker)
        light = ring_marker_image;
    else if (const std::size_t piece = piece_letters.find(content); piece != std::string_view::npos)
        light = first_white_piece_image + 2 * object_number(piece);
    else
        light = empty_light_square_image;
    return on_shade(light, board_square_is_light(n));
}
