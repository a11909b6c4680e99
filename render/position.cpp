// Square lists put markers on a diagram: "e4,f5", as people type them.
#include "render/position.h"

#include "chess/quoted_input.h"

namespace {

std::string_view without_spaces(std::string_view text)
{
    const std::size_t first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos)
        return {};
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

bool put_marker(std::string_view name, char marker, board_position* position, std::string* error)
{
    const int n = square_from_name(name);
    if (n == 0) {
        *error = "клетки " + quoted_input(name) + " нет на доске";
        return false;
    }
    char& content = (*position)[std::size_t(n - 1)];
    if (content != empty_square && content != marker) {
        *error = "на клетке " + square_name(n) +
                 (content == cross_marker || content == ring_marker ? " уже стоит другая метка"
                                                                     : " стоит фигура, метку туда не поставить");
        return false;
    }
    content = marker;
    return true;
}

}  // namespace

int square_from_name(std::string_view name)
{
    if (name.size() != 2)
        return 0;
    const char file = char(name[0] | 0x20);  // e4 and E4 alike
    const char rank = name[1];
    if (file < 'a' || file > 'h' || rank < '1' || rank > '8')
        return 0;
    return (file - 'a') * 8 + ('8' - rank) + 1;
}

bool place_markers(std::string_view squares, char marker, board_position* position, std::string* error)
{
    std::string_view rest = squares;
    for (;;) {
        const std::size_t comma = rest.find(',');
        const std::string_view name = without_spaces(rest.substr(0, comma));
        if (name.empty()) {
            *error = "в списке клеток " + quoted_input(squares) + " пустой элемент";
            return false;
        }
        if (!put_marker(name, marker, position, error))
            return false;
        if (comma == std::string_view::npos)
            return true;
        rest.remove_prefix(comma + 1);
    }
}
