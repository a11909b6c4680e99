// Piece lists are written by hand in three languages, so the colour word
// decides the letters: B is a bishop after "White:" and a pawn after
// "Weiß:". Words are split at spaces, commas, semicolons and colons; the
// count, when there is one, closes the list.
#include "chess/piece_list.h"

#include <cstdint>
#include <span>
#include <vector>

#include "chess/quoted_input.h"

namespace {

struct piece_name {
    std::string_view name;  // as written, UTF-8
    char letter;            // the white FEN letter
};

// Longer names first: Кр before К.
constexpr piece_name international_names[] = {{"K", 'K'}, {"Q", 'Q'}, {"R", 'R'}, {"B", 'B'},
                                              {"S", 'N'}, {"N", 'N'}, {"P", 'P'}};
constexpr piece_name russian_names[] = {{"Кр", 'K'}, {"КР", 'K'}, {"Ф", 'Q'}, {"Л", 'R'}, {"С", 'B'},
                                        {"К", 'N'},  {"п", 'P'},  {"П", 'P'}};
constexpr piece_name german_names[] = {{"K", 'K'}, {"D", 'Q'}, {"T", 'R'}, {"L", 'B'}, {"S", 'N'}, {"B", 'P'}};
constexpr piece_name solver_names[] = {{"K", 'K'}, {"Q", 'Q'}, {"R", 'R'}, {"B", 'B'}, {"S", 'N'}, {"P", 'P'},
                                       {"k", 'K'}, {"q", 'Q'}, {"r", 'R'}, {"b", 'B'}, {"s", 'N'}, {"p", 'P'}};

struct colour_word {
    std::string_view word;  // lower case, without a final dot
    bool white;
    piece_letters letters;
};

constexpr colour_word colour_words[] = {
    {"white", true, piece_letters::international},   {"wh", true, piece_letters::international},
    {"w", true, piece_letters::international},       {"black", false, piece_letters::international},
    {"bl", false, piece_letters::international},     {"b", false, piece_letters::international},
    {"белые", true, piece_letters::russian},         {"бел", true, piece_letters::russian},
    {"чёрные", false, piece_letters::russian},       {"черные", false, piece_letters::russian},
    {"чёрн", false, piece_letters::russian},         {"черн", false, piece_letters::russian},
    {"weiß", true, piece_letters::german},           {"weiss", true, piece_letters::german},
    {"schwarz", false, piece_letters::german},
};

bool fail(std::string* error, std::string line)
{
    *error = std::move(line);
    return false;
}

// ASCII and Russian capitals to lower case; everything else as it is.
std::string lower_case(std::string_view word)
{
    std::string lower(word);
    for (std::size_t i = 0; i < lower.size(); i++) {
        auto byte = [&](std::size_t k) { return std::uint8_t(lower[k]); };
        if (lower[i] >= 'A' && lower[i] <= 'Z') {
            lower[i] = char(lower[i] + 32);
        } else if (byte(i) == 0xD0 && i + 1 < lower.size()) {
            const std::uint8_t next = byte(i + 1);
            if (next >= 0x90 && next <= 0x9F) {  // А..П
                lower[i + 1] = char(next + 0x20);
            } else if (next >= 0xA0 && next <= 0xAF) {  // Р..Я
                lower[i] = char(0xD1);
                lower[i + 1] = char(next - 0x20);
            } else if (next == 0x81) {  // Ё
                lower[i] = char(0xD1);
                lower[i + 1] = char(0x91);
            }
            i++;
        }
    }
    return lower;
}

const colour_word* find_colour_word(std::string_view word)
{
    if (!word.empty() && word.back() == '.')
        word.remove_suffix(1);
    const std::string lower = lower_case(word);
    for (const colour_word& c : colour_words)
        if (lower == c.word)
            return &c;
    return nullptr;
}

std::size_t separator_length(std::string_view text)
{
    if (text.substr(0, 2) == "\xC2\xA0")
        return 2;
    switch (text.empty() ? 'x' : text[0]) {
    case ' ': case '\t': case '\r': case '\n': case ',': case ';': case ':': return 1;
    default: return 0;
    }
}

std::vector<std::string_view> words_of(std::string_view text)
{
    std::vector<std::string_view> words;
    while (!text.empty()) {
        if (std::size_t n = separator_length(text)) {
            text.remove_prefix(n);
            continue;
        }
        std::size_t end = 0;
        while (end < text.size() && separator_length(text.substr(end)) == 0)
            end++;
        words.push_back(text.substr(0, end));
        text.remove_prefix(end);
    }
    return words;
}

bool is_square_at(std::string_view text, std::size_t i, bool any_case)
{
    if (i + 1 >= text.size())
        return false;
    char file = text[i];
    if (any_case && file >= 'A' && file <= 'H')
        file = char(file + 32);
    return file >= 'a' && file <= 'h' && text[i + 1] >= '1' && text[i + 1] <= '8';
}

std::span<const piece_name> names_of(piece_letters letters)
{
    switch (letters) {
    case piece_letters::international: return international_names;
    case piece_letters::russian: return russian_names;
    case piece_letters::german: return german_names;
    case piece_letters::solver: break;
    }
    return solver_names;
}

// The piece count "(5+2)" at the end of text, taken off it. False with a
// line when a bracket closes the text but does not hold a count.
bool take_count(std::string_view* text, int* white, int* black, bool* given, std::string* error)
{
    std::string_view rest = *text;
    while (!rest.empty() && separator_length(rest.substr(rest.size() - 1)) != 0)
        rest.remove_suffix(1);
    *given = false;
    if (rest.empty() || rest.back() != ')')
        return true;
    const std::size_t open = rest.rfind('(');
    if (open == std::string_view::npos)
        return fail(error, "в списке фигур скобка не открыта: " + quoted_input(rest));
    const std::string_view count = rest.substr(open);
    int numbers[2] = {0, 0};
    int which = 0;
    bool digits[2] = {false, false};
    for (char c : count.substr(1, count.size() - 2)) {
        if (c >= '0' && c <= '9' && numbers[which] < 100) {
            numbers[which] = numbers[which] * 10 + (c - '0');
            digits[which] = true;
        } else if (c == '+' && which == 0) {
            which = 1;
        } else if (c != ' ') {
            return fail(error, "счёт фигур " + quoted_input(count) + " не вида (белые+чёрные)");
        }
    }
    if (which != 1 || !digits[0] || !digits[1])
        return fail(error, "счёт фигур " + quoted_input(count) + " не вида (белые+чёрные)");
    *white = numbers[0];
    *black = numbers[1];
    *given = true;
    *text = rest.substr(0, open);
    return true;
}

}  // namespace

bool piece_word_read(std::string_view word, piece_letters letters, bool white, fen_record* record,
                     std::string* error)
{
    const bool any_case = letters == piece_letters::solver;
    std::size_t first_square = 0;
    while (first_square < word.size() && !is_square_at(word, first_square, any_case))
        first_square++;
    if (first_square == word.size())
        return fail(error, "в списке фигур " + quoted_input(word) + " — не фигура с клеткой");
    const std::string_view name = word.substr(0, first_square);
    char letter = 'P';
    if (!name.empty() || letters == piece_letters::solver) {
        letter = 0;
        for (const piece_name& p : names_of(letters))
            if (p.name == name)
                letter = p.letter;
        if (letter == 0 && letters == piece_letters::solver)
            return fail(error, "фигура " + quoted_input(name) + " в " + quoted_input(word) +
                                   " сказочная (N — ночной всадник, конь — S); такие задачи не проверяются");
        if (letter == 0)
            return fail(error, "в списке фигур " + quoted_input(word) + " неизвестная фигура " + quoted_input(name));
    }
    if (!white)
        letter = char(letter + 32);
    std::string_view squares = word.substr(first_square);
    while (!squares.empty()) {
        if (!is_square_at(squares, 0, any_case))
            return fail(error, "в списке фигур " + quoted_input(word) + " после фигуры не клетка: " +
                                   quoted_input(squares));
        const int square = square_at((squares[0] | 0x20) - 'a', squares[1] - '1');
        char& content = record->squares[std::size_t(square)];
        if (content != no_piece)
            return fail(error, "в списке фигур клетка " + square_text(square) + " занята дважды (" +
                                   quoted_input(word) + ")");
        content = letter;
        squares.remove_prefix(2);
    }
    return true;
}

bool looks_like_piece_list(std::string_view text)
{
    const std::vector<std::string_view> words = words_of(without_byte_order_mark(text).substr(0, 64));
    return !words.empty() && find_colour_word(words[0]);
}

bool piece_list_read(std::string_view text, fen_record* record, std::string* error)
{
    std::string_view rest = without_byte_order_mark(text);
    int white_count = 0, black_count = 0;
    bool counted = false;
    if (!take_count(&rest, &white_count, &black_count, &counted, error))
        return false;
    fen_record read;
    read.squares.fill(no_piece);
    const colour_word* colour = nullptr;
    for (std::string_view word : words_of(rest)) {
        if (const colour_word* c = find_colour_word(word)) {
            colour = c;
            continue;
        }
        if (!colour)
            return fail(error, "в списке фигур " + quoted_input(word) + " стоит раньше слова «White:» или «Белые:»");
        if (!piece_word_read(word, colour->letters, colour->white, &read, error))
            return false;
    }
    int counts[2] = {0, 0};
    for (char c : read.squares)
        if (c != no_piece)
            counts[c >= 'a']++;
    if (counts[0] + counts[1] == 0)
        return fail(error, "в списке фигур нет ни одной фигуры: " + quoted_input(text));
    if (counted && (counts[0] != white_count || counts[1] != black_count))
        return fail(error, "в списке фигур " + std::to_string(counts[0]) + "+" + std::to_string(counts[1]) +
                               ", а в счёте (" + std::to_string(white_count) + "+" + std::to_string(black_count) + ")");
    *record = read;
    return true;
}

std::string piece_count_text(const fen_record& record)
{
    int counts[2] = {0, 0};
    for (char c : record.squares)
        if (c != no_piece)
            counts[c >= 'a']++;
    return "(" + std::to_string(counts[0]) + "+" + std::to_string(counts[1]) + ")";
}

std::string piece_list_write(const fen_record& record, piece_list_language language)
{
    const bool russian = language == piece_list_language::russian;
    static constexpr char order[] = "KQRBNP";
    static constexpr std::string_view international[] = {"K", "Q", "R", "B", "S", "P"};
    static constexpr std::string_view in_russian[] = {"Кр", "Ф", "Л", "С", "К", ""};
    std::string text;
    for (int colour = 0; colour < 2; colour++) {
        text += colour == 0 ? (russian ? "Белые:" : "White:") : (russian ? " Чёрные:" : " Black:");
        for (int type = 0; type < 6; type++) {
            const char letter = colour ? char(order[type] + 32) : order[type];
            // File by file, as problemists list squares.
            for (int file = 0; file < 8; file++)
                for (int rank = 0; rank < 8; rank++)
                    if (record.squares[std::size_t(square_at(file, rank))] == letter)
                        text += " " + std::string(russian ? in_russian[type] : international[type]) +
                                square_text(square_at(file, rank));
        }
    }
    return text + " " + piece_count_text(record);
}
