// The parts of a problem both file formats share: the solver's option words
// (YAML records list the same words), what they change once the position is
// known, the twins as positions, and the texts a diagram or a report heads
// a problem with.
#include "chess/problem.h"

#include <cctype>
#include <cstdlib>

#include "chess/quoted_input.h"

namespace {

bool fail(std::string* error, std::string line)
{
    *error = std::move(line);
    return false;
}

enum class option_kind { flag, number, squares, ignored, ignored_number, refused };

struct option_row {
    std::string_view word;
    option_kind kind;
    bool problem_options::*flag;
    int problem_options::*number;
    std::vector<int> problem_options::*squares;
};

constexpr option_row option_rows[] = {
    {"variation", option_kind::flag, &problem_options::variations, nullptr, nullptr},
    {"try", option_kind::flag, &problem_options::tries, nullptr, nullptr},
    {"defence", option_kind::number, nullptr, &problem_options::defence, nullptr},
    {"setplay", option_kind::flag, &problem_options::set_play, nullptr, nullptr},
    {"nothreat", option_kind::flag, &problem_options::no_threat, nullptr, nullptr},
    {"maxsolutions", option_kind::number, nullptr, &problem_options::max_solutions, nullptr},
    {"whitetoplay", option_kind::flag, &problem_options::white_to_play, nullptr, nullptr},
    {"halfduplex", option_kind::flag, &problem_options::half_duplex, nullptr, nullptr},
    {"duplex", option_kind::flag, &problem_options::duplex, nullptr, nullptr},
    {"enpassant", option_kind::squares, nullptr, nullptr, &problem_options::en_passant},
    {"nocastling", option_kind::squares, nullptr, nullptr, &problem_options::no_castling},
    {"postkeyplay", option_kind::flag, &problem_options::post_key, nullptr, nullptr},
    // How the solver prints or searches, not what it finds.
    {"noboard", option_kind::ignored, nullptr, nullptr, nullptr},
    {"movenumbers", option_kind::ignored, nullptr, nullptr, nullptr},
    {"noshortvariations", option_kind::ignored, nullptr, nullptr, nullptr},
    {"intelligent", option_kind::ignored, nullptr, nullptr, nullptr},
    {"stoponshortsolutions", option_kind::ignored, nullptr, nullptr, nullptr},
    {"maxtime", option_kind::ignored_number, nullptr, nullptr, nullptr},
    // These change which solutions count; the checker does not know them.
    {"threat", option_kind::refused, nullptr, nullptr, nullptr},
    {"maxflightsquares", option_kind::refused, nullptr, nullptr, nullptr},
    {"nontrivial", option_kind::refused, nullptr, nullptr, nullptr},
    {"quodlibet", option_kind::refused, nullptr, nullptr, nullptr},
    {"keepmatingpiece", option_kind::refused, nullptr, nullptr, nullptr},
};

std::string lower(std::string_view word)
{
    std::string text(word);
    for (char& c : text)
        c = char(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

const option_row* find_option(std::string_view word, bool* ambiguous)
{
    const std::string w = lower(word);
    const option_row* found = nullptr;
    int matches = 0;
    for (const option_row& row : option_rows) {
        if (row.word == w)
            return &row;  // "duplex" is also the end of nothing else, but "try" must win over nothing
        if (!w.empty() && row.word.starts_with(w)) {
            found = &row;
            matches++;
        }
    }
    *ambiguous = matches > 1;
    return matches == 1 ? found : nullptr;
}


int square_of(std::string_view word)
{
    if (word.size() != 2)
        return no_square;
    const char file = char(std::tolower(static_cast<unsigned char>(word[0])));
    if (file < 'a' || file > 'h' || word[1] < '1' || word[1] > '8')
        return no_square;
    return square_at(file - 'a', word[1] - '1');
}

bool read_number(std::string_view word, int* value)
{
    if (word.empty() || word.size() > 6)
        return false;
    int n = 0;
    for (char c : word) {
        if (c < '0' || c > '9')
            return false;
        n = n * 10 + (c - '0');
    }
    *value = n;
    return true;
}

// The square the pawn crossed, from the squares of its double step ("e2 e4"
// or "e2 e3 e4").
bool apply_en_passant(const std::vector<int>& squares, fen_record* position, std::string* error)
{
    const int from = squares.front(), to = squares.back();
    if (squares.size() < 2 || file_of(from) != file_of(to) || std::abs(rank_of(to) - rank_of(from)) != 2 ||
        (rank_of(from) != 1 && rank_of(from) != 6))
        return fail(error, "enpassant: нужен двойной ход пешки, например e2 e4");
    position->en_passant = (from + to) / 2;
    position->fields = std::max(position->fields, 4);
    return true;
}

std::string russian_count(int n, const char* one, const char* few, const char* many)
{
    const int last = n % 10, tens = n % 100 / 10;
    return std::to_string(n) + " " + (tens == 1 ? many : last == 1 ? one : last >= 2 && last <= 4 ? few : many);
}

}  // namespace

void castling_from_board(fen_record* record)
{
    for (int colour = 0; colour < 2; colour++) {
        const int rank = colour ? 7 : 0;
        const char king = colour ? 'k' : 'K', rook = colour ? 'r' : 'R';
        std::uint8_t files = 0;
        if (record->squares[std::size_t(square_at(4, rank))] == king) {
            if (record->squares[std::size_t(square_at(0, rank))] == rook)
                files |= 1u << 0;
            if (record->squares[std::size_t(square_at(7, rank))] == rook)
                files |= 1u << 7;
        }
        record->castling_files[std::size_t(colour)] = files;
    }
}

bool problem_options_read(std::string_view text, problem_record* problem, std::string* error)
{
    const std::vector<std::string_view> words = split_words(text);
    problem_options& o = problem->options;
    for (std::size_t i = 0; i < words.size();) {
        bool ambiguous;
        const std::string_view word = words[i++];
        const option_row* row = find_option(word, &ambiguous);
        if (!row)
            return fail(error, ambiguous ? "неоднозначный параметр " + quoted_input(word)
                                         : "параметр или условие " + quoted_input(word) +
                                               " не ортодоксальные; такие задачи не проверяются");
        int number = 0;
        switch (row->kind) {
        case option_kind::flag: o.*(row->flag) = true; break;
        case option_kind::number:
        case option_kind::ignored_number:
            if (i >= words.size() || !read_number(words[i], &number))
                return fail(error, "после параметра " + quoted_input(word) + " нужно число");
            i++;
            if (row->number)
                o.*(row->number) = number;
            break;
        case option_kind::squares: {
            std::vector<int>& squares = o.*(row->squares);
            while (i < words.size() && square_of(words[i]) != no_square)
                squares.push_back(square_of(words[i++]));
            if (squares.empty())
                return fail(error, "после параметра " + quoted_input(word) + " нужны клетки");
            break;
        }
        case option_kind::ignored: break;
        case option_kind::refused:
            return fail(error, "параметр " + quoted_input(word) + " меняет, какие решения считаются; такие задачи не проверяются");
        }
    }
    return true;
}

bool problem_stipulation_set(std::string_view text, problem_record* problem, std::string* error)
{
    stipulation s;
    if (!stipulation_read_short(text, &s, error))
        return false;
    // "#2*" asks for the set play, which the files' own word for it keeps.
    problem->stipulation = stipulation_short_form(s);
    problem->options.set_play = problem->options.set_play || s.set_play;
    return true;
}

bool problem_stated_set(const std::string& text, problem_record* problem, std::string* error)
{
    if (text.empty())
        return true;
    int product = 1, number = 0;
    bool digits = false;
    std::string_view rest = text;
    if (rest.ends_with("..."))
        rest.remove_suffix(3);
    for (char c : rest) {
        if (c >= '0' && c <= '9' && number < 1000) {
            number = number * 10 + (c - '0');
            digits = true;
        } else if (c == '.' && digits) {
            product *= number;
            number = 0;
            digits = false;
        } else {
            return fail(error, "intended-solutions " + quoted_input(text) + " не вида 3 или 2.2.1.1");
        }
        if (product > 100000)
            return fail(error, "intended-solutions " + quoted_input(text) + " — слишком много решений");
    }
    if (!digits)
        return fail(error, "intended-solutions " + quoted_input(text) + " не вида 3 или 2.2.1.1");
    problem->stated_solutions = product * number;
    problem->stated_text = text;
    return true;
}

bool problem_finish(problem_record* problem, std::string* error)
{
    stipulation s;
    if (problem->stipulation.empty())
        return fail(error, "нет условия задачи (stipulation)");
    if (!stipulation_read_short(problem->stipulation, &s, error))
        return false;
    bool pieces = false;
    for (char c : problem->position.squares)
        pieces = pieces || c != no_piece;
    if (!pieces)
        return fail(error, "нет позиции (pieces или forsyth)");
    problem_options& o = problem->options;
    if (o.white_to_play) {
        if (s.play != play_kind::help || s.half)
            return fail(error, "whitetoplay бывает только у h#N и h=N, а условие " + quoted_input(problem->stipulation));
        if (s.moves > 0) {
            s.moves--;
            s.half = true;
            problem->stipulation = stipulation_short_form(s);
        }
        o.white_to_play = false;  // applied once: a file written back says h#1.5
    }
    fen_record& p = problem->position;
    if (o.half_duplex && !begins_as_genre_says(s)) {
        // In a battle genre it only says who attacks, which the position holds.
        p.black_to_move = true;
        p.fields = std::max(p.fields, 2);
        o.half_duplex = false;
    }
    if (!o.no_castling.empty()) {
        if (p.fields < 3)
            castling_from_board(&p);
        for (int square : o.no_castling) {
            const int colour = rank_of(square) == 7 ? 1 : rank_of(square) == 0 ? 0 : -1;
            if (colour < 0)
                continue;
            std::uint8_t& files = p.castling_files[std::size_t(colour)];
            files = file_of(square) == 4 ? 0 : std::uint8_t(files & ~(1u << file_of(square)));
        }
        p.fields = std::max(p.fields, 3);
        o.no_castling.clear();
    }
    if (!o.en_passant.empty()) {
        if (!apply_en_passant(o.en_passant, &p, error))
            return false;
        if (p.fields < 3)
            castling_from_board(&p);
        o.en_passant.clear();
    }
    return true;
}

bool problem_twins_add_written(const std::vector<std::string>& texts, problem_record* problem, std::string* error)
{
    for (const std::string& text : texts) {
        twin t;
        if (!twin_read_written(text, &t, error))
            return false;
        if (problem->twins.empty() && t.label == 'a')
            problem->zero_position = true;
        problem->twins.push_back(std::move(t));
    }
    return true;
}

bool problem_parts(const problem_record& problem, notation language, std::vector<problem_part>* parts,
                   std::string* error)
{
    parts->clear();
    if (!problem.zero_position)
        parts->push_back({"", problem.position, problem.stipulation});
    fen_record last = problem.position;
    std::string last_stipulation = problem.stipulation;
    for (const twin& t : problem.twins) {
        problem_part part{"", t.continued ? last : problem.position, t.continued ? last_stipulation : problem.stipulation};
        part.twin_line = twin_written(t, part.position, language);
        std::string why;
        if (!twin_apply(t, &part.position, &part.stipulation, &why))
            return fail(error, part.twin_line + ": " + why);
        last = part.position;
        last_stipulation = part.stipulation;
        parts->push_back(std::move(part));
    }
    if (parts->empty())
        return fail(error, "в задаче с нулевой позицией нет ни одного близнеца");
    return true;
}

std::string problem_heading(const problem_record& problem, int number, notation language)
{
    const bool russian = language == notation::russian;
    std::string heading = (russian ? "Задача " : "Problem ") + std::to_string(number);
    std::string who;
    for (const std::string& author : problem.authors)
        who += (who.empty() ? "" : "; ") + author;
    if (!problem.source.empty())
        who += (who.empty() ? "" : ", ") + problem.source;
    if (!problem.title.empty())
        return heading + ": " + problem.title + (who.empty() ? "" : " (" + who + ")");
    return who.empty() ? heading : heading + ": " + who;
}

std::string problem_task_text(const problem_record& problem, notation language)
{
    const bool russian = language == notation::russian;
    stipulation s;
    std::string ignored;
    std::string text = stipulation_read_short(problem.stipulation, &s, &ignored) ? stipulation_task_text(s, language)
                                                                                  : problem.stipulation;
    if (problem.stated_solutions > 1)
        text += ", " + (russian ? russian_count(problem.stated_solutions, "решение", "решения", "решений")
                                : std::to_string(problem.stated_solutions) + " solutions");
    std::vector<problem_part> parts;
    if (problem_parts(problem, language, &parts, &ignored))
        for (const problem_part& part : parts)
            if (!part.twin_line.empty())
                text += ", " + part.twin_line;
    return text;
}
