// The format is mostly words, but title, author, origin and remark take the
// rest of their line, so the text is cut into words that remember their line.
// A command such as `pieces` or `twin` goes on until a word that names
// another command; inside a twin its own words (`remove`, `stipulation`) win.
#include "chess/solver_input.h"

#include <cctype>

#include "chess/piece_list.h"
#include "chess/quoted_input.h"

namespace {

enum class command { begin, end, next, title, author, origin, remark, pieces, forsyth, stipulation,
                     structured_stipulation, option, twin, zero_position, condition, protocol, none };

constexpr struct {
    std::string_view word;
    command meaning;
} commands[] = {
    {"beginproblem", command::begin},   {"endproblem", command::end},
    {"nextproblem", command::next},     {"title", command::title},
    {"author", command::author},        {"origin", command::origin},
    {"remark", command::remark},        {"pieces", command::pieces},
    {"forsyth", command::forsyth},      {"stipulation", command::stipulation},
    {"sstipulation", command::structured_stipulation}, {"option", command::option},
    {"twin", command::twin},            {"zeroposition", command::zero_position},
    {"condition", command::condition},  {"protocol", command::protocol},
};

constexpr std::string_view twin_words[] = {"continued", "move", "exchange", "remove", "add", "substitute",
                                           "rotate", "mirror", "shift", "polishtype", "stipulation", "condition"};

std::string lower(std::string_view word)
{
    std::string text(word);
    for (char& c : text)
        c = char(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

// A command word written whole or shortened to three letters or more.
command command_of(std::string_view word)
{
    const std::string w = lower(word);
    command found = command::none;
    int matches = 0;
    for (const auto& c : commands) {
        if (c.word == w)
            return c.meaning;
        if (w.size() >= 3 && c.word.starts_with(w)) {
            found = c.meaning;
            matches++;
        }
    }
    return matches == 1 ? found : command::none;
}

bool is_twin_word(std::string_view word)
{
    const std::string w = lower(word);
    for (std::string_view t : twin_words)
        if (!w.empty() && t.starts_with(w))
            return true;
    return false;
}

struct word {
    std::string_view text;
    int line;
    std::size_t rest_of_line_end;  // where this word's line ends in the text
};

std::vector<word> words_of(std::string_view text, int first_line)
{
    std::vector<word> words;
    int line = first_line;
    std::size_t i = 0;
    while (i < text.size()) {
        const char c = text[i];
        if (c == '\n') {
            line++;
            i++;
            continue;
        }
        if (std::isspace(static_cast<unsigned char>(c))) {
            i++;
            continue;
        }
        std::size_t end = i;
        while (end < text.size() && !std::isspace(static_cast<unsigned char>(text[end])))
            end++;
        std::size_t line_end = text.find('\n', i);
        if (line_end == std::string_view::npos)
            line_end = text.size();
        words.push_back({text.substr(i, end - i), line, line_end});
        i = end;
    }
    return words;
}

bool fail(std::string* error, std::string line)
{
    if (error->empty())
        *error = std::move(line);
    return false;
}

// The standard solver's own Forsyth: S is the knight, runs of empty squares
// may be 10 or more, the slash is optional and empty squares at the end may
// be left out.
bool read_forsyth(std::string_view text, fen_record* position, std::string* error)
{
    position->squares.fill(no_piece);
    int index = 0;  // 0 = a8, 7 = h8, 8 = a7, ...
    int run = -1;
    auto place = [&](char letter) {
        if (index >= 64)
            return fail(error, "forsyth " + quoted_input(text) + " длиннее 64 клеток");
        position->squares[std::size_t(square_at(index % 8, 7 - index / 8))] = letter;
        index++;
        return true;
    };
    auto end_run = [&] {
        if (run > 0)
            index += run;
        run = -1;
    };
    int forced = 0;  // +1 white, -1 black
    for (char c : text) {
        if (c >= '0' && c <= '9') {
            run = (run < 0 ? 0 : run) * 10 + (c - '0');
            if (run > 64)
                return fail(error, "forsyth " + quoted_input(text) + " длиннее 64 клеток");
            continue;
        }
        end_run();
        const char upper = char(std::toupper(static_cast<unsigned char>(c)));
        if (c == '/') {
            if (index % 8 != 0)
                index += 8 - index % 8;
        } else if (c == '+' || c == '-') {
            forced = c == '+' ? 1 : -1;
        } else if (std::string_view("KQRBSP").find(upper) != std::string_view::npos && upper != 0) {
            const bool white = forced ? forced > 0 : std::isupper(static_cast<unsigned char>(c));
            const char letter = upper == 'S' ? 'N' : upper;
            if (!place(white ? letter : char(std::tolower(static_cast<unsigned char>(letter)))))
                return false;
            forced = 0;
        } else {
            return fail(error, "в forsyth " + quoted_input(text) + " сказочная или неизвестная фигура " +
                                   quoted_input(std::string_view(&c, 1)) + "; такие задачи не проверяются");
        }
    }
    end_run();
    if (index > 64)
        return fail(error, "forsyth " + quoted_input(text) + " длиннее 64 клеток");
    return true;
}

struct reader {
    std::string_view text;
    std::vector<word> words;
    std::size_t i = 0;
    solver_input_state* state;
    std::vector<problem_entry>* entries;
    problem_entry current;
    bool has_content = false;

    void start(int line)
    {
        current = problem_entry{};
        current.number = ++state->number;
        current.line = line;
        current.record.position.squares.fill(no_piece);
        state->in_problem = true;
        has_content = false;
    }

    void finish()
    {
        problem_entry& e = current;
        if (e.error.empty())
            problem_finish(&e.record, &e.error);
        e.read = e.error.empty();
        if (!e.read)
            e.error = "задача " + std::to_string(e.number) + " (строка " + std::to_string(e.line) + "): " + e.error;
        entries->push_back(std::move(e));
        state->in_problem = false;
    }

    std::string rest_of_line()
    {
        const word& w = words[i - 1];
        const std::size_t from = std::size_t(w.text.data() + w.text.size() - text.data());
        std::string_view rest = text.substr(from, w.rest_of_line_end - from);
        while (i < words.size() && words[i].line == w.line)
            i++;
        const std::size_t first = rest.find_first_not_of(" \t\r");
        if (first == std::string_view::npos)
            return "";
        rest = rest.substr(first);
        return std::string(rest.substr(0, rest.find_last_not_of(" \t\r") + 1));
    }

    // The words up to the next command, joined by spaces.
    std::string words_until_command(bool twin)
    {
        std::string joined;
        while (i < words.size()) {
            const command c = command_of(words[i].text);
            if (c != command::none && !(twin && c != command::twin && is_twin_word(words[i].text)))
                break;
            joined += (joined.empty() ? "" : " ") + std::string(words[i++].text);
        }
        return joined;
    }

    void read_pieces()
    {
        problem_record& r = current.record;
        int colour = -1;
        while (i < words.size()) {
            const std::string w = lower(words[i].text);
            const bool has_digit = w.find_first_of("12345678") != std::string::npos;
            if (!has_digit && std::string_view("white").starts_with(w)) {
                colour = 0;
            } else if (!has_digit && std::string_view("black").starts_with(w)) {
                colour = 1;
            } else if (!has_digit && std::string_view("neutral").starts_with(w)) {
                fail(&current.error, "нейтральные фигуры (" + quoted_input(words[i].text) + ") сказочные; такие задачи не проверяются");
            } else if (has_digit) {
                if (colour < 0)
                    fail(&current.error, "в pieces фигура " + quoted_input(words[i].text) + " раньше white или black");
                else if (std::string error; !piece_word_read(words[i].text, piece_letters::solver, colour == 0, &r.position, &error))
                    fail(&current.error, error);
            } else if (command_of(w) != command::none) {
                return;
            } else {
                fail(&current.error, "в pieces слово " + quoted_input(words[i].text) +
                                         " — сказочный признак фигуры или неизвестное слово; такие задачи не проверяются");
            }
            i++;
        }
    }

    void read_twin(bool zero)
    {
        problem_record& r = current.record;
        const std::string changes = words_until_command(true);
        if (zero) {
            r.zero_position = true;
            if (changes.empty())
                return;
        }
        twin t;
        std::string error;
        if (!twin_read_solver(changes, &t, &error)) {
            fail(&current.error, error);
            return;
        }
        t.label = char((r.zero_position ? 'a' : 'b') + int(r.twins.size()));
        if (t.label > 'z')
            fail(&current.error, "близнецов больше, чем букв");
        r.twins.push_back(std::move(t));
    }

    std::string_view next_word()
    {
        return i < words.size() ? words[i++].text : std::string_view();
    }

    void read_command(command c, std::string_view name)
    {
        problem_record& r = current.record;
        std::string error;
        has_content = true;
        switch (c) {
        case command::begin: break;
        case command::title: {
            const std::string t = rest_of_line();
            r.title += (r.title.empty() || t.empty() ? "" : " ") + t;
            break;
        }
        case command::author: r.authors.push_back(rest_of_line()); break;
        case command::origin: r.source += (r.source.empty() ? "" : " ") + rest_of_line(); break;
        case command::remark: {
            const std::string remark = rest_of_line();
            if (!remark.starts_with(stated_remark))
                break;
            const std::size_t value = remark.find_first_not_of(" \t", stated_remark.size());
            if (!problem_stated_set(value == std::string::npos ? "" : remark.substr(value), &r, &error))
                fail(&current.error, error);
            break;
        }
        case command::pieces:
            r.position.squares.fill(no_piece);
            read_pieces();
            break;
        case command::forsyth:
            if (!read_forsyth(next_word(), &r.position, &error))
                fail(&current.error, error);
            break;
        case command::stipulation:
            if (!problem_stipulation_set(next_word(), &r, &error))
                fail(&current.error, error);
            break;
        case command::structured_stipulation:
            fail(&current.error, "условие в виде sstipulation не проверяется");
            words_until_command(false);
            break;
        case command::option:
            if (!problem_options_read(words_until_command(false), &r, &error))
                fail(&current.error, error);
            break;
        case command::twin:
        case command::zero_position: read_twin(c == command::zero_position); break;
        case command::condition:
            fail(&current.error, "условие " + quoted_input(words_until_command(false)) + " сказочное; такие задачи не проверяются");
            break;
        case command::protocol: next_word(); break;  // never write where a file says
        case command::end:
        case command::next:
        case command::none:
            fail(&current.error, "неизвестное слово " + quoted_input(name));
            break;
        }
    }

    void run()
    {
        while (i < words.size()) {
            const word& w = words[i++];
            const command c = command_of(w.text);
            if (!state->in_problem) {
                if (c == command::begin)
                    start(w.line);
                continue;  // text outside a problem is not the solver's
            }
            if (c == command::end || c == command::next) {
                finish();
                if (c == command::next)
                    start(i < words.size() ? words[i].line : w.line);
                continue;
            }
            read_command(c, w.text);
        }
    }
};

}  // namespace

void solver_input_parse(std::string_view text, solver_input_state* state, std::vector<problem_entry>* entries)
{
    reader r{text, words_of(text, state->line), 0, state, entries, {}, false};
    r.current.record.position.squares.fill(no_piece);
    if (state->in_problem) {
        // A problem started by `next` in the piece before goes on here.
        r.current.number = ++state->number;
        r.current.line = state->line;
        r.current.record.position.squares.fill(no_piece);
    }
    r.run();
    if (state->in_problem && r.has_content) {
        r.finish();
        entries->back().read = false;
        entries->back().error = "задача " + std::to_string(r.current.number) + " не закончена: нет end";
    } else if (state->in_problem) {
        state->number--;  // opened by `next` but nothing in it yet: counted again where it goes on
    }
    for (char c : text)
        state->line += c == '\n';
}

bool looks_like_solver_input(std::string_view text)
{
    const std::vector<word> words = words_of(text.substr(0, 4096), 1);
    if (words.empty())
        return false;
    const command c = command_of(without_byte_order_mark(words[0].text));
    return c == command::begin || c == command::remark;
}
