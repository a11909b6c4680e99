// Written twins are read by normalising their arrows (→ -> --> to '>',
// ↔ <-> <--> to '=', − to '-') and spaces away, then by the shape of what is
// left. The four mirrors name corner squares, where no pawn may stand, so a
// bare "a1↔h1" is never a pawn exchange.
#include "chess/twin.h"

#include <cctype>
#include <cstdlib>

#include "chess/piece_list.h"
#include "chess/quoted_input.h"

namespace {

bool fail(std::string* error, std::string line)
{
    *error = std::move(line);
    return false;
}

void replace_all(std::string* text, std::string_view from, std::string_view to)
{
    for (std::size_t at = text->find(from); at != std::string::npos; at = text->find(from, at + to.size()))
        text->replace(at, from.size(), to);
}

std::string normalised(std::string_view change)
{
    std::string text;
    for (char c : change)
        if (c != ' ' && c != '\t')
            text += c;
    replace_all(&text, "\xC2\xA0", "");
    replace_all(&text, "<-->", "=");
    replace_all(&text, "<->", "=");
    replace_all(&text, "\xE2\x86\x94", "=");  // ↔
    replace_all(&text, "-->", ">");
    replace_all(&text, "->", ">");
    replace_all(&text, "\xE2\x86\x92", ">");  // →
    replace_all(&text, "\xE2\x88\x92", "-");  // −
    replace_all(&text, "\xE2\x80\x93", "-");  // –
    return text;
}

int square_of(std::string_view text)
{
    if (text.size() != 2)
        return no_square;
    const char file = char(std::tolower(static_cast<unsigned char>(text[0])));
    if (file < 'a' || file > 'h' || text[1] < '1' || text[1] > '8')
        return no_square;
    return square_at(file - 'a', text[1] - '1');
}

bool is_cyrillic(std::string_view text)
{
    return !text.empty() && (static_cast<unsigned char>(text[0]) == 0xD0 || static_cast<unsigned char>(text[0]) == 0xD1);
}

// "Kd5", "Крd5", "d5" (a pawn): the one square and the type it names.
bool named_piece(std::string_view word, piece_letters letters, int* square, char* type, std::string* error)
{
    fen_record board;
    board.squares.fill(no_piece);
    if (!piece_word_read(word, letters, true, &board, error))
        return false;
    int found = 0;
    for (int s = 0; s < 64; s++)
        if (board.squares[std::size_t(s)] != no_piece) {
            *square = s;
            *type = board.squares[std::size_t(s)];
            found++;
        }
    if (found != 1)
        return fail(error, "в близнеце " + quoted_input(word) + " не одна клетка");
    return true;
}

bool read_mirror(std::string_view left, std::string_view right, twin_change* change)
{
    struct {
        std::string_view a, b;
        mirror_axis axis;
    } constexpr mirrors[] = {{"a1", "h1", mirror_axis::a1_h1}, {"a1", "a8", mirror_axis::a1_a8},
                             {"a1", "h8", mirror_axis::a1_h8}, {"a8", "h1", mirror_axis::a8_h1}};
    for (const auto& m : mirrors)
        if ((left == m.a && right == m.b) || (left == m.b && right == m.a)) {
            change->kind = twin_change_kind::mirror;
            change->axis = m.axis;
            return true;
        }
    return false;
}

bool read_written_change(std::string_view original, twin_change* change, std::string* error)
{
    const std::string text = normalised(original);
    const piece_letters letters = is_cyrillic(text.substr(text[0] == '+' || text[0] == '-' ? 1 : 0))
                                      ? piece_letters::russian
                                      : piece_letters::international;
    for (int degrees : {90, 180, 270})
        if (text == std::to_string(degrees) + "\xC2\xB0" || text == std::to_string(degrees)) {
            change->kind = twin_change_kind::rotate;
            change->degrees = degrees;
            return true;
        }
    stipulation task;
    std::string ignored;
    if (stipulation_read_short(text, &task, &ignored)) {
        change->kind = twin_change_kind::new_stipulation;
        change->stipulation = stipulation_short_form(task);
        return true;
    }
    if (text.empty())
        return fail(error, "в близнеце пустое изменение");
    if (text[0] == '-') {
        change->kind = twin_change_kind::remove;
        return named_piece(text.substr(1), letters, &change->from, &change->piece, error);
    }
    if (text[0] == '+') {
        // A colour letter, then the piece: +wPc3, +bBe7, +бпc3, +чСe7.
        std::string_view rest = std::string_view(text).substr(1);
        bool white;
        piece_letters add_letters = piece_letters::international;
        if (!rest.empty() && (rest[0] == 'w' || rest[0] == 'b')) {
            white = rest[0] == 'w';
            rest.remove_prefix(1);
        } else if (rest.substr(0, 2) == "б" || rest.substr(0, 2) == "ч") {
            white = rest.substr(0, 2) == "б";
            add_letters = piece_letters::russian;
            rest.remove_prefix(2);
        } else {
            return fail(error, "в близнеце " + quoted_input(original) +
                                   " после + нужен цвет: w или b (б или ч), затем фигура и клетка");
        }
        char type;
        change->kind = twin_change_kind::add;
        if (!named_piece(rest, add_letters, &change->to, &type, error))
            return false;
        change->piece = white ? type : char(std::tolower(static_cast<unsigned char>(type)));
        return true;
    }
    const std::size_t arrow = text.find_first_of(">=-");
    if (arrow == std::string::npos || arrow + 1 >= text.size())
        return fail(error, "близнец " + quoted_input(original) +
                               " не понят: нужно Kd5→e5, Kd5↔e5, -Sf3, +wPc3, a1↔h1 или 90°");
    const std::string_view left = std::string_view(text).substr(0, arrow);
    const std::string_view right = std::string_view(text).substr(arrow + 1);
    if (text[arrow] == '=' && read_mirror(left, right, change))
        return true;
    change->kind = text[arrow] == '=' ? twin_change_kind::exchange : twin_change_kind::move_piece;
    if (!named_piece(left, letters, &change->from, &change->piece, error))
        return false;
    change->to = square_of(right);
    if (change->to == no_square)
        return fail(error, "в близнеце " + quoted_input(original) + " после стрелки не клетка: " + quoted_input(right));
    return true;
}

// The solver's words, any case, each shortened to a prefix that names one.
enum class solver_word { continued, move, exchange, remove, add, substitute, rotate, mirror, shift, polish,
                         stipulation, condition, none };
constexpr struct {
    std::string_view word;
    solver_word meaning;
} solver_words[] = {
    {"continued", solver_word::continued}, {"move", solver_word::move},
    {"exchange", solver_word::exchange},   {"remove", solver_word::remove},
    {"add", solver_word::add},             {"substitute", solver_word::substitute},
    {"rotate", solver_word::rotate},       {"mirror", solver_word::mirror},
    {"shift", solver_word::shift},         {"polishtype", solver_word::polish},
    {"stipulation", solver_word::stipulation}, {"condition", solver_word::condition},
};

std::string lower(std::string_view word)
{
    std::string text(word);
    for (char& c : text)
        c = char(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

solver_word meaning_of(std::string_view word, bool* ambiguous)
{
    const std::string w = lower(word);
    solver_word found = solver_word::none;
    int matches = 0;
    for (const auto& entry : solver_words)
        if (!w.empty() && entry.word.substr(0, w.size()) == w) {
            found = entry.meaning;
            matches++;
        }
    *ambiguous = matches > 1;
    return matches == 1 ? found : solver_word::none;
}


bool square_word(const std::vector<std::string_view>& words, std::size_t* i, int* square, std::string* error)
{
    if (*i >= words.size() || (*square = square_of(words[*i])) == no_square)
        return fail(error, "в близнеце нужна клетка, а стоит " +
                               quoted_input(*i < words.size() ? words[*i] : std::string_view("конец")));
    ++*i;
    return true;
}

char solver_type(std::string_view word)
{
    const std::string w = lower(word);
    constexpr std::string_view types = "kqrbsp";
    if (w.size() != 1 || types.find(w[0]) == std::string_view::npos)
        return no_piece;
    return w[0] == 's' ? 'N' : char(std::toupper(static_cast<unsigned char>(w[0])));
}

int map_square(const twin_change& c, int square)
{
    const int f = file_of(square), r = rank_of(square);
    if (c.kind == twin_change_kind::rotate) {
        switch (c.degrees) {
        case 90: return square_at(7 - r, f);
        case 180: return square_at(7 - f, 7 - r);
        default: return square_at(r, 7 - f);
        }
    }
    switch (c.axis) {
    case mirror_axis::a1_h1: return square_at(7 - f, r);
    case mirror_axis::a1_a8: return square_at(f, 7 - r);
    case mirror_axis::a1_h8: return square_at(7 - r, 7 - f);
    case mirror_axis::a8_h1: break;
    }
    return square_at(r, f);
}

char upper(char c)
{
    return char(std::toupper(static_cast<unsigned char>(c)));
}

bool apply_change(const twin_change& c, fen_record* p, std::string* stipulation, std::string* error)
{
    auto at = [&](int square) -> char& { return p->squares[std::size_t(square)]; };
    auto named_there = [&](int square) {
        if (at(square) == no_piece)
            return fail(error, "в близнеце на клетке " + square_text(square) + " нет фигуры");
        auto name = [](char letter) { return upper(letter) == 'N' ? std::string("S") : std::string(1, upper(letter)); };
        if (c.piece != no_piece && upper(at(square)) != upper(c.piece))
            return fail(error, "в близнеце на клетке " + square_text(square) + " стоит не та фигура: " +
                                   name(at(square)) + ", а не " + name(c.piece));
        return true;
    };
    switch (c.kind) {
    case twin_change_kind::move_piece:
        if (!named_there(c.from))
            return false;
        at(c.to) = at(c.from);
        at(c.from) = no_piece;
        break;
    case twin_change_kind::exchange:
        if (!named_there(c.from))
            return false;
        std::swap(at(c.from), at(c.to));
        break;
    case twin_change_kind::remove:
        if (!named_there(c.from))
            return false;
        at(c.from) = no_piece;
        break;
    case twin_change_kind::add:
        if (at(c.to) != no_piece)
            return fail(error, "в близнеце клетка " + square_text(c.to) + " уже занята");
        at(c.to) = c.piece;
        break;
    case twin_change_kind::substitute:
        for (char& s : p->squares)
            if (s != no_piece && upper(s) == c.piece)
                s = s == c.piece ? c.into : char(std::tolower(static_cast<unsigned char>(c.into)));
        break;
    case twin_change_kind::rotate:
    case twin_change_kind::mirror: {
        std::array<char, 64> turned;
        turned.fill(no_piece);
        for (int s = 0; s < 64; s++)
            turned[std::size_t(map_square(c, s))] = at(s);
        p->squares = turned;
        break;
    }
    case twin_change_kind::shift: {
        const int df = file_of(c.to) - file_of(c.from), dr = rank_of(c.to) - rank_of(c.from);
        std::array<char, 64> shifted;
        shifted.fill(no_piece);
        for (int s = 0; s < 64; s++) {
            if (at(s) == no_piece)
                continue;
            const int f = file_of(s) + df, r = rank_of(s) + dr;
            if (f < 0 || f > 7 || r < 0 || r > 7)
                return fail(error, "в близнеце сдвиг " + square_text(c.from) + " " + square_text(c.to) +
                                       " уводит фигуру с " + square_text(s) + " с доски");
            shifted[std::size_t(square_at(f, r))] = at(s);
        }
        p->squares = shifted;
        break;
    }
    case twin_change_kind::polish:
        for (char& s : p->squares)
            if (s != no_piece)
                s = std::isupper(static_cast<unsigned char>(s)) ? char(std::tolower(static_cast<unsigned char>(s))) : upper(s);
        std::swap(p->castling_files[0], p->castling_files[1]);
        break;
    case twin_change_kind::new_stipulation: *stipulation = c.stipulation; break;
    }
    // The pawn that had just moved two squares is gone or elsewhere.
    p->en_passant = no_square;
    return true;
}

std::string piece_name(char letter, notation language)
{
    static constexpr std::string_view types = "KQRBNP";
    static constexpr std::string_view international[] = {"K", "Q", "R", "B", "S", ""};
    static constexpr std::string_view russian[] = {"Кр", "Ф", "Л", "С", "К", ""};
    const std::size_t type = types.find(upper(letter));
    if (type == std::string_view::npos)
        return "";
    return std::string(language == notation::russian ? russian[type] : international[type]);
}

std::string written_change(const twin_change& c, const fen_record& p, notation language)
{
    const bool russian = language == notation::russian;
    // The piece the twin names, else the one standing there.
    auto piece_at = [&](int square) {
        const char letter = c.piece != no_piece ? c.piece : p.squares[std::size_t(square)];
        return piece_name(letter, language) + square_text(square);
    };
    switch (c.kind) {
    case twin_change_kind::move_piece: return piece_at(c.from) + "→" + square_text(c.to);
    case twin_change_kind::exchange: return piece_at(c.from) + "↔" + square_text(c.to);
    case twin_change_kind::remove: return "−" + piece_at(c.from);
    case twin_change_kind::add: {
        const bool white = std::isupper(static_cast<unsigned char>(c.piece));
        const std::string colour = russian ? (white ? "б" : "ч") : (white ? "w" : "b");
        std::string name = piece_name(c.piece, language);
        if (upper(c.piece) == 'P')
            name = russian ? "п" : "P";
        return "+" + colour + name + square_text(c.to);
    }
    case twin_change_kind::substitute:
        return piece_name(c.piece, language) + "→" + piece_name(c.into, language);
    case twin_change_kind::rotate: return std::to_string(c.degrees) + "°";
    case twin_change_kind::mirror: {
        static constexpr const char* axes[] = {"a1↔h1", "a1↔a8", "a1↔h8", "a8↔h1"};
        return axes[int(c.axis)];
    }
    case twin_change_kind::shift: return square_text(c.from) + "⇒" + square_text(c.to);
    case twin_change_kind::polish: return russian ? "цвета фигур наоборот" : "colours exchanged";
    case twin_change_kind::new_stipulation: {
        stipulation s;
        std::string ignored;
        return stipulation_read_short(c.stipulation, &s, &ignored) ? stipulation_task_text(s, language) : c.stipulation;
    }
    }
    return "";
}

std::string solver_piece(char letter)
{
    const char type = upper(letter);
    return std::string(1, type == 'N' ? 'S' : type);
}

}  // namespace

bool twin_read_written(std::string_view text, twin* result, std::string* error)
{
    std::string_view rest = text;
    while (!rest.empty() && (rest[0] == ' ' || rest[0] == '\t'))
        rest.remove_prefix(1);
    twin read;
    if (!rest.empty() && rest[0] == '+') {
        read.continued = true;
        rest.remove_prefix(1);
    }
    if (rest.size() < 2 || rest[0] < 'a' || rest[0] > 'z' || rest[1] != ')')
        return fail(error, "близнец " + quoted_input(text) + " не начинается с буквы и скобки: b) …");
    read.label = rest[0];
    rest.remove_prefix(2);
    for (;;) {
        const std::size_t comma = rest.find_first_of(",;");
        twin_change change;
        if (!read_written_change(rest.substr(0, comma), &change, error))
            return false;
        read.changes.push_back(change);
        if (comma == std::string_view::npos)
            break;
        rest.remove_prefix(comma + 1);
    }
    *result = read;
    return true;
}

bool twin_read_solver(std::string_view text, twin* result, std::string* error)
{
    const std::vector<std::string_view> words = split_words(text);
    twin read;
    std::size_t i = 0;
    while (i < words.size()) {
        bool ambiguous;
        const std::string_view word = words[i++];
        const solver_word meaning = meaning_of(word, &ambiguous);
        twin_change change;
        switch (meaning) {
        case solver_word::continued:
            if (i != 1)
                return fail(error, "в близнеце слово " + quoted_input(word) + " может стоять только первым");
            read.continued = true;
            continue;
        case solver_word::move:
        case solver_word::exchange:
        case solver_word::shift:
            change.kind = meaning == solver_word::move       ? twin_change_kind::move_piece
                          : meaning == solver_word::exchange ? twin_change_kind::exchange
                                                             : twin_change_kind::shift;
            if (!square_word(words, &i, &change.from, error) || !square_word(words, &i, &change.to, error))
                return false;
            break;
        case solver_word::remove:
            change.kind = twin_change_kind::remove;
            if (!square_word(words, &i, &change.from, error))
                return false;
            break;
        case solver_word::add: {
            const std::string colour = i < words.size() ? lower(words[i]) : "";
            const bool white = !colour.empty() && std::string_view("white").starts_with(colour);
            const bool black = !colour.empty() && std::string_view("black").starts_with(colour);
            if (!white && !black)
                return fail(error, "в близнеце после add нужен цвет white или black, а стоит " +
                                       quoted_input(i < words.size() ? words[i] : std::string_view("конец")));
            i++;
            // One or more pieces, until the next twin word.
            bool any = false;
            while (i < words.size() && meaning_of(words[i], &ambiguous) == solver_word::none) {
                fen_record board;
                board.squares.fill(no_piece);
                if (!piece_word_read(words[i++], piece_letters::solver, white, &board, error))
                    return false;
                for (int s = 0; s < 64; s++)
                    if (board.squares[std::size_t(s)] != no_piece) {
                        twin_change add;
                        add.kind = twin_change_kind::add;
                        add.to = s;
                        add.piece = board.squares[std::size_t(s)];
                        read.changes.push_back(add);
                        any = true;
                    }
            }
            if (!any)
                return fail(error, "в близнеце после add " + colour + " нет фигуры");
            continue;
        }
        case solver_word::substitute:
            change.kind = twin_change_kind::substitute;
            if (i + 1 >= words.size() || (change.piece = solver_type(words[i])) == no_piece ||
                (change.into = solver_type(words[i + 1])) == no_piece)
                return fail(error, "в близнеце substitute нужны две фигуры из K Q R B S P, а стоит " +
                                       quoted_input(text));
            i += 2;
            break;
        case solver_word::rotate:
            change.kind = twin_change_kind::rotate;
            change.degrees = i < words.size() ? std::atoi(std::string(words[i]).c_str()) : 0;
            if (i >= words.size() || (words[i] != "90" && words[i] != "180" && words[i] != "270"))
                return fail(error, "в близнеце rotate нужно 90, 180 или 270");
            i++;
            break;
        case solver_word::mirror: {
            // "a1<-->h1" as one word or as three.
            std::string joined;
            while (i < words.size() && joined.size() < 8 && meaning_of(words[i], &ambiguous) == solver_word::none)
                joined += lower(words[i++]);
            const std::size_t arrow = joined.find("<-->");
            if (arrow == std::string::npos ||
                !read_mirror(std::string_view(joined).substr(0, arrow), std::string_view(joined).substr(arrow + 4), &change))
                return fail(error, "в близнеце mirror нужно a1<-->h1, a1<-->a8, a1<-->h8 или a8<-->h1, а стоит " +
                                       quoted_input(joined));
            break;
        }
        case solver_word::polish: change.kind = twin_change_kind::polish; break;
        case solver_word::stipulation: {
            stipulation s;
            if (i >= words.size())
                return fail(error, "в близнеце после stipulation нет условия");
            if (!stipulation_read_short(words[i++], &s, error))
                return false;
            change.kind = twin_change_kind::new_stipulation;
            change.stipulation = stipulation_short_form(s);
            break;
        }
        case solver_word::condition:
            return fail(error, "в близнеце условие " + quoted_input(i < words.size() ? words[i] : word) +
                                   " сказочное; такие задачи не проверяются");
        case solver_word::none:
            return fail(error, std::string("в близнеце ") + (ambiguous ? "неоднозначное" : "неизвестное") +
                                   " слово " + quoted_input(word));
        }
        read.changes.push_back(change);
    }
    if (read.changes.empty())
        return fail(error, "близнец без изменений: " + quoted_input(text));
    *result = read;
    return true;
}

bool twin_apply(const twin& t, fen_record* position, std::string* stipulation, std::string* error)
{
    fen_record changed = *position;
    for (const twin_change& c : t.changes)
        if (!apply_change(c, &changed, stipulation, error))
            return false;
    *position = changed;
    return true;
}

std::string twin_written(const twin& t, const fen_record& before, notation language)
{
    std::string text = std::string(t.continued ? "+" : "") + t.label + ")";
    fen_record p = before;
    std::string ignored;
    bool first = true;
    for (const twin_change& c : t.changes) {
        text += (first ? " " : ", ") + written_change(c, p, language);
        first = false;
        apply_change(c, &p, &ignored, &ignored);
    }
    return text;
}

std::string twin_solver_text(const twin& t)
{
    std::string text = t.continued ? "continued" : "";
    auto add = [&](const std::string& words) { text += (text.empty() ? "" : " ") + words; };
    static constexpr const char* axes[] = {"a1<-->h1", "a1<-->a8", "a1<-->h8", "a8<-->h1"};
    for (const twin_change& c : t.changes) {
        switch (c.kind) {
        case twin_change_kind::move_piece: add("move " + square_text(c.from) + " " + square_text(c.to)); break;
        case twin_change_kind::exchange: add("exchange " + square_text(c.from) + " " + square_text(c.to)); break;
        case twin_change_kind::remove: add("remove " + square_text(c.from)); break;
        case twin_change_kind::add:
            add(std::string("add ") + (std::isupper(static_cast<unsigned char>(c.piece)) ? "white " : "black ") +
                solver_piece(c.piece) + square_text(c.to));
            break;
        case twin_change_kind::substitute: add("substitute " + solver_piece(c.piece) + " " + solver_piece(c.into)); break;
        case twin_change_kind::rotate: add("rotate " + std::to_string(c.degrees)); break;
        case twin_change_kind::mirror: add(std::string("mirror ") + axes[int(c.axis)]); break;
        case twin_change_kind::shift: add("shift " + square_text(c.from) + " " + square_text(c.to)); break;
        case twin_change_kind::polish: add("polishtype"); break;
        case twin_change_kind::new_stipulation: add("stipulation " + c.stipulation); break;
        }
    }
    return text;
}

std::vector<std::string_view> split_words(std::string_view text)
{
    std::vector<std::string_view> words;
    std::size_t i = 0;
    while (i < text.size()) {
        if (std::isspace(static_cast<unsigned char>(text[i]))) {
            i++;
            continue;
        }
        std::size_t end = i;
        while (end < text.size() && !std::isspace(static_cast<unsigned char>(text[end])))
            end++;
        words.push_back(text.substr(i, end - i));
        i = end;
    }
    return words;
}
