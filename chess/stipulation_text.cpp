// The table of orthodox genres, each with its task texts; everything a file
// may hold beyond it is refused by name, so a fairy problem is never checked
// as if it were orthodox.
#include "chess/stipulation_text.h"

#include "chess/quoted_input.h"

namespace {

struct genre_row {
    std::string_view short_form;
    std::string_view russian;  // followed by " в N ход…"
    std::string_view english;  // followed by " in N"
    bool help;
};

constexpr genre_row genres[] = {
    {"#", "Мат", "Mate", false},
    {"s#", "Обратный мат", "Selfmate", false},
    {"r#", "Рефлексный мат", "Reflexmate", false},
    {"=", "Пат", "Stalemate", false},
    {"s=", "Обратный пат", "Selfstalemate", false},
    {"h#", "Кооперативный мат", "Helpmate", true},
    {"h=", "Кооперативный пат", "Helpstalemate", true},
    {"ser-#", "Серийный мат", "Series-mate", false},
    {"ser-=", "Серийный пат", "Series-stalemate", false},
    {"ser-h#", "Серийный кооперативный мат", "Series-helpmate", true},
    {"ser-h=", "Серийный кооперативный пат", "Series-helpstalemate", true},
    {"ser-s#", "Серийный обратный мат", "Series-selfmate", false},
};

constexpr int most_moves = 30;

const genre_row* find_genre(std::string_view genre)
{
    for (const genre_row& row : genres)
        if (row.short_form == genre)
            return &row;
    return nullptr;
}

// 1 ход, 2 хода, 5 ходов, 21 ход; a fraction takes "хода".
std::string russian_moves(int moves, bool half)
{
    if (half)
        return std::to_string(moves) + ",5 хода";
    const int last = moves % 10, tens = moves % 100 / 10;
    const char* word = tens == 1 ? "ходов" : last == 1 ? "ход" : last >= 2 && last <= 4 ? "хода" : "ходов";
    return std::to_string(moves) + " " + word;
}

}  // namespace

bool short_stipulation_read(std::string_view text, short_stipulation* result, std::string* error)
{
    std::string lower;
    for (char c : text)
        if (c != ' ' && c != '\t')
            lower += c >= 'A' && c <= 'Z' ? char(c + 32) : c;
    std::size_t digits = lower.find_first_of("0123456789");
    const std::string genre = lower.substr(0, digits);
    const genre_row* row = find_genre(genre);
    short_stipulation read;
    read.genre = genre;
    std::string_view number = digits == std::string::npos ? std::string_view() : std::string_view(lower).substr(digits);
    int moves = 0;
    std::size_t i = 0;
    while (i < number.size() && number[i] >= '0' && number[i] <= '9' && moves <= most_moves)
        moves = moves * 10 + (number[i++] - '0');
    const std::string_view fraction = number.substr(i);
    read.half = fraction == ".5" || fraction == ",5";
    read.moves = moves;
    const bool whole = fraction.empty() || read.half;
    if (!row || number.empty() || !whole) {
        *error = "условие " + quoted_input(text) + " — не ортодоксальный жанр (#N, s#N, r#N, =N, s=N, h#N, h#N.5, " +
                 "h=N, ser-#N, ser-=N, ser-h#N, ser-h=N, ser-s#N); такие задачи не проверяются";
        return false;
    }
    if (read.half && genre != "h#" && genre != "h=") {
        *error = "в условии " + quoted_input(text) + " половина хода бывает только у h# и h=";
        return false;
    }
    if ((moves < 1 && !read.half) || moves > most_moves) {
        *error = "в условии " + quoted_input(text) + " число ходов не от 1 до 30";
        return false;
    }
    *result = read;
    return true;
}

std::string short_stipulation_text(const short_stipulation& s)
{
    return s.genre + std::to_string(s.moves) + (s.half ? ".5" : "");
}

std::string task_text_of(const short_stipulation& s, task_language language)
{
    const genre_row* row = find_genre(s.genre);
    if (!row)
        return short_stipulation_text(s);
    if (language == task_language::russian)
        return std::string(row->russian) + " в " + russian_moves(s.moves, s.half);
    return std::string(row->english) + " in " + std::to_string(s.moves) + (s.half ? ".5" : "");
}

bool is_help_genre(const short_stipulation& s)
{
    const genre_row* row = find_genre(s.genre);
    return row && row->help;
}
