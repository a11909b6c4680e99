// Task texts are typed by people: any case, extra or no-break spaces, a full
// stop at the end, the Russian word for "move" in whichever form the number
// asks for (1 ход, 2 хода, 5 ходов) or even the wrong one, and a half move as
// "2,5", "2.5" or "2½".
#include "chess/stipulation.h"

#include <cstdint>
#include <vector>

#include "chess/quoted_input.h"

namespace {

// Lower case for ASCII and Russian letters; no-break spaces become spaces.
std::string folded(std::string_view text)
{
    std::string out;
    for (std::size_t i = 0; i < text.size(); i++) {
        const auto byte = [&](std::size_t k) { return std::uint8_t(text[k]); };
        if (text[i] >= 'A' && text[i] <= 'Z') {
            out += char(text[i] + 32);
        } else if (byte(i) == 0xC2 && i + 1 < text.size() && byte(i + 1) == 0xA0) {
            out += ' ';
            i++;
        } else if (byte(i) == 0xD0 && i + 1 < text.size() && byte(i + 1) >= 0x90 && byte(i + 1) <= 0xAF) {
            // А..Я: А..П become а..п (D0 B0..BF), Р..Я become р..я (D1 80..8F).
            const int letter = byte(i + 1) - 0x90;
            out += letter < 16 ? "\xD0" : "\xD1";
            out += char(letter < 16 ? 0xB0 + letter : 0x80 + letter - 16);
            i++;
        } else if (byte(i) == 0xD0 && i + 1 < text.size() && byte(i + 1) == 0x81) {
            out += "\xD1\x91";  // Ё
            i++;
        } else {
            out += text[i];
        }
    }
    return out;
}

std::vector<std::string> words_of(const std::string& text)
{
    std::vector<std::string> words;
    std::string word;
    for (char c : text + ' ') {
        if (c == ' ' || c == '\t' || c == '\r' || c == '\n') {
            if (!word.empty())
                words.push_back(word);
            word.clear();
        } else {
            word += c;
        }
    }
    return words;
}

// A word with the brackets and commas around it taken off: "(2", "sol.)", "хода,".
std::string bare(std::string word)
{
    while (!word.empty() && (word.front() == '(' || word.front() == '['))
        word.erase(0, 1);
    while (!word.empty() && (word.back() == ')' || word.back() == ']' || word.back() == ',' || word.back() == ';'))
        word.pop_back();
    return word;
}

// "2" -> 2, "2,5" "2.5" "2½" -> 2 with a half; false for anything else.
bool read_number(std::string_view word, int* n, bool* half)
{
    *half = false;
    for (std::string_view tail : {".5", ",5", "\xC2\xBD"})
        if (word.size() > tail.size() && word.ends_with(tail)) {
            *half = true;
            word.remove_suffix(tail.size());
            break;
        }
    if (word.empty() || word.size() > 3)
        return false;
    *n = 0;
    for (char c : word) {
        if (c < '0' || c > '9')
            return false;
        *n = *n * 10 + (c - '0');
    }
    return true;
}

bool is_any(const std::string& word, std::initializer_list<const char*> forms)
{
    for (const char* form : forms)
        if (word == form)
            return true;
    return false;
}

// The genres there are: every way of play with the goals and aims it takes.
bool genre_exists(const stipulation& s)
{
    if (s.half && s.play != play_kind::help)
        return false;
    switch (s.play) {
    case play_kind::battle:
        return s.aim == aim_kind::direct || s.aim == aim_kind::self ||
               (s.aim == aim_kind::reflex && s.goal == goal_kind::mate);
    case play_kind::help: return s.aim == aim_kind::direct;
    case play_kind::series:
        return s.aim == aim_kind::direct || s.aim == aim_kind::help ||
               (s.aim == aim_kind::self && s.goal == goal_kind::mate);
    }
    return false;
}

// #2, s#3, r#2, =3, s=2, h#2, h=2.5, ser-#3, ser-h=4, ser-s#3, with "*" for set play.
bool read_short_form(std::string text, stipulation* s)
{
    if (text.ends_with('*')) {
        s->set_play = true;
        text.pop_back();
    }
    std::string_view rest = text;
    const bool series = rest.starts_with("ser-");
    if (series)
        rest.remove_prefix(4);
    s->play = series ? play_kind::series : play_kind::battle;
    if (!rest.empty() && (rest[0] == 'h' || rest[0] == 's' || rest[0] == 'r')) {
        if (rest[0] == 'h' && series)
            s->aim = aim_kind::help;
        else if (rest[0] == 'h')
            s->play = play_kind::help;
        else
            s->aim = rest[0] == 's' ? aim_kind::self : aim_kind::reflex;
        rest.remove_prefix(1);
    }
    if (rest.empty() || (rest[0] != '#' && rest[0] != '='))
        return false;
    s->goal = rest[0] == '#' ? goal_kind::mate : goal_kind::stalemate;
    rest.remove_prefix(1);
    return read_number(rest, &s->moves, &s->half);
}

// "Обратный мат в 2 хода", "Серийный кооперативный пат в 5 ходов", "Selfmate in 3",
// "Series-helpmate in 7 moves".
bool read_task_text(std::vector<std::string> words, stipulation* s)
{
    std::size_t at = 0;
    const auto next = [&]() -> std::string { return at < words.size() ? words[at] : std::string(); };
    bool series = false;
    bool russian = false;
    if (next() == "серийный") {
        series = true;
        at++;
    }
    if (next() == "series" && at + 1 < words.size()) {  // "Series mate" typed without the hyphen
        words[at + 1] = "series-" + words[at + 1];
        at++;
    }
    std::string word = next();
    if (is_any(word, {"кооперативный", "обратный", "рефлексный"})) {
        russian = true;
        s->aim = word == "обратный" ? aim_kind::self : word == "рефлексный" ? aim_kind::reflex : aim_kind::help;
        at++;
        word = next();
    }
    if (word == "мат" || word == "пат") {
        russian = true;
        s->goal = word == "мат" ? goal_kind::mate : goal_kind::stalemate;
    } else if (!russian) {
        if (word.starts_with("series-")) {
            series = true;
            word.erase(0, 7);
        }
        for (const auto& [prefix, aim] : {std::pair{"self", aim_kind::self}, std::pair{"reflex", aim_kind::reflex},
                                          std::pair{"help", aim_kind::help}})
            if (word.starts_with(prefix) && word.size() > std::string_view(prefix).size()) {
                s->aim = aim;
                word.erase(0, std::string_view(prefix).size());
                break;
            }
        if (word != "mate" && word != "stalemate")
            return false;
        s->goal = word == "mate" ? goal_kind::mate : goal_kind::stalemate;
    } else {
        return false;
    }
    at++;
    if (s->aim == aim_kind::help && !series) {
        s->play = play_kind::help;
        s->aim = aim_kind::direct;
    } else {
        s->play = series ? play_kind::series : play_kind::battle;
    }
    if (next() != (russian ? "в" : "in"))
        return false;
    at++;
    if (!read_number(next(), &s->moves, &s->half))
        return false;
    at++;
    if (at == words.size())
        return true;
    const bool unit_known = russian ? is_any(words[at], {"ход", "хода", "ходов"}) : is_any(words[at], {"move", "moves"});
    return unit_known && at + 1 == words.size();
}

// Takes a stated number of solutions ("2 решения", "(2 sol.)", "2 solutions")
// and "дуплекс" off the end of the words.
bool read_additions(std::vector<std::string>* words, stipulation* s)
{
    for (bool more = true; more && words->size() > 1;) {
        more = false;
        const std::string last = words->back();
        if (last == "дуплекс" || last == "duplex") {
            s->duplex = more = true;
            words->pop_back();
        } else if (is_any(last, {"sol", "sol.", "solution", "solutions", "решение", "решения", "решений"})) {
            bool half = false;
            int n = 0;
            if (words->size() < 3 || !read_number((*words)[words->size() - 2], &n, &half) || half || n == 0)
                return false;
            s->solutions = n;
            words->resize(words->size() - 2);
            more = true;
        }
    }
    return true;
}

// 1 ход, 2 хода, 5 ходов, 21 ход.
const char* moves_word(int n)
{
    const int last = n % 10, tens = n % 100 / 10;
    return tens == 1 ? "ходов" : last == 1 ? "ход" : last >= 2 && last <= 4 ? "хода" : "ходов";
}

}  // namespace

bool stipulation_read(std::string_view text, stipulation* result, std::string* error)
{
    std::string clean = folded(text);
    while (!clean.empty() && (clean.back() == '.' || clean.back() == ' ' || clean.back() == '\r' || clean.back() == '\n'))
        clean.pop_back();
    std::vector<std::string> words;
    for (const std::string& word : words_of(clean))
        if (std::string b = bare(word); !b.empty())
            words.push_back(b);
    stipulation s;
    bool understood = read_additions(&words, &s) && !words.empty();
    if (understood) {
        std::string joined;
        for (const std::string& word : words)
            joined += word;
        stipulation short_form = s;
        if (read_short_form(joined, &short_form))
            s = short_form;
        else
            understood = read_task_text(words, &s);
    }
    if (!understood || !genre_exists(s) || (s.moves == 0 && !s.half)) {
        *error = "условие " + quoted_input(text) +
                 " не понято: нужно, например, #2, s#3, r#2, =3, s=2, h#2, h=2.5, ser-#3, ser-h#5, ser-s#3 "
                 "или «Мат в 2 хода», «Обратный мат в 3 хода», «Кооперативный мат в 2 хода, 2 решения», "
                 "«Selfmate in 3», «Helpmate in 2.5»";
        return false;
    }
    if (s.moves > max_stipulated_moves) {
        *error = "условие " + quoted_input(text) + ": проверяются задачи не длиннее " +
                 std::to_string(max_stipulated_moves) + " ходов";
        return false;
    }
    *result = s;
    return true;
}

std::string stipulation_short_form(const stipulation& task)
{
    std::string text = task.play == play_kind::series ? "ser-" : "";
    if (task.play == play_kind::help || task.aim == aim_kind::help)
        text += "h";
    else if (task.aim == aim_kind::self)
        text += "s";
    else if (task.aim == aim_kind::reflex)
        text += "r";
    text += task.goal == goal_kind::mate ? "#" : "=";
    return text + std::to_string(task.moves) + (task.half ? ".5" : "");
}

bool stipulation_read_short(std::string_view text, stipulation* result, std::string* error)
{
    std::string compact;
    for (char c : folded(text))
        if (c != ' ' && c != '\t' && c != '\r' && c != '\n')
            compact += c;
    stipulation s;
    if (!read_short_form(compact, &s) || (!genre_exists(s) && !s.half)) {
        *error = "условие " + quoted_input(text) + " — не ортодоксальный жанр (#N, s#N, r#N, =N, s=N, h#N, h#N.5, " +
                 "h=N, ser-#N, ser-=N, ser-h#N, ser-h=N, ser-s#N); такие задачи не проверяются";
        return false;
    }
    if (!genre_exists(s)) {
        *error = "в условии " + quoted_input(text) + " половина хода бывает только у h# и h=";
        return false;
    }
    if ((s.moves == 0 && !s.half) || s.moves > max_stipulated_moves) {
        *error = "в условии " + quoted_input(text) + " число ходов не от 1 до " + std::to_string(max_stipulated_moves);
        return false;
    }
    *result = s;
    return true;
}

std::string genre_text(const stipulation& task, notation language)
{
    const bool mate = task.goal == goal_kind::mate;
    const bool series = task.play == play_kind::series;
    const bool help = task.play == play_kind::help || task.aim == aim_kind::help;
    if (language == notation::english) {
        std::string name = series ? "series-" : "";
        name += help ? "help" : task.aim == aim_kind::self ? "self" : task.aim == aim_kind::reflex ? "reflex" : "";
        name += mate ? "mate" : "stalemate";
        return name + " in " + std::to_string(task.moves) + (task.half ? ".5" : "");
    }
    std::string name = series ? "серийный " : "";
    if (help)
        name += "кооперативный ";
    else if (task.aim == aim_kind::self)
        name += "обратный ";
    else if (task.aim == aim_kind::reflex)
        name += "рефлексный ";
    name += mate ? "мат" : "пат";
    if (task.half)  // a fraction takes the genitive singular: 2,5 хода
        return name + " в " + std::to_string(task.moves) + ",5 хода";
    return name + " в " + std::to_string(task.moves) + " " + moves_word(task.moves);
}

std::string stipulation_task_text(const stipulation& task, notation language)
{
    std::string text = genre_text(task, language);
    if (language == notation::english) {
        text[0] = char(text[0] - 'a' + 'A');
        return text;
    }
    // Every genre's first word starts with one of к м о п р с, two bytes
    // each; а..п are D0 B0..BF with capitals D0 90..9F, р..я are D1 80..8F
    // with capitals D0 A0..AF.
    const auto second = std::uint8_t(text[1]);
    if (std::uint8_t(text[0]) == 0xD1)
        text.replace(0, 2, std::string{char(0xD0), char(second + 0x20)});
    else
        text[1] = char(second - 0x20);
    return text;
}

bool begins_as_genre_says(const stipulation& task)
{
    return task.play == play_kind::help || task.aim == aim_kind::help;
}
