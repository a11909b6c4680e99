// Task texts are typed by people: any case, extra or no-break spaces, a full
// stop at the end, and the Russian word for "move" in whichever form the
// number asks for (1 ход, 2 хода, 5 ходов) or even the wrong one.
#include "solve/stipulation.h"

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

// "2" -> 2; anything else -> 0.
int number_of(std::string_view word)
{
    if (word.empty() || word.size() > 2)
        return 0;
    int n = 0;
    for (char c : word) {
        if (c < '0' || c > '9')
            return 0;
        n = n * 10 + (c - '0');
    }
    return n;
}

bool is_any(const std::string& word, std::initializer_list<const char*> forms)
{
    for (const char* form : forms)
        if (word == form)
            return true;
    return false;
}

// The number of moves of a short form (#2, h#2) or a task text; 0 when the text is neither.
int read_moves(const std::vector<std::string>& words, stipulation_kind* kind)
{
    if (words.size() == 1 || (words.size() == 2 && (words[0] == "#" || words[0] == "h#"))) {
        std::string joined = words.size() == 1 ? words[0] : words[0] + words[1];
        *kind = joined.rfind("h#", 0) == 0 ? stipulation_kind::helpmate : stipulation_kind::directmate;
        joined.erase(0, *kind == stipulation_kind::helpmate ? 2 : 1);
        return words[0][0] == '#' || words[0].rfind("h#", 0) == 0 ? number_of(joined) : 0;
    }
    std::size_t at = 0;
    *kind = stipulation_kind::directmate;
    if (words[0] == "кооперативный" || words[0] == "helpmate") {
        *kind = stipulation_kind::helpmate;
        at = words[0] == "кооперативный" ? 1 : 0;
    }
    const bool russian = words[at] == "мат";
    if (!russian && words[at] != "mate" && words[at] != "helpmate")
        return 0;
    if (words.size() < at + 3 || words[at + 1] != (russian ? "в" : "in"))
        return 0;
    const int n = number_of(words[at + 2]);
    const std::size_t rest = words.size() - (at + 3);
    if (rest == 0)
        return n;
    const std::string& unit = words[at + 3];
    const bool unit_known = russian ? is_any(unit, {"ход", "хода", "ходов"}) : is_any(unit, {"move", "moves"});
    return rest == 1 && unit_known ? n : 0;
}

}  // namespace

bool stipulation_read(std::string_view text, stipulation* result, std::string* error)
{
    std::string clean = folded(text);
    while (!clean.empty() && (clean.back() == '.' || clean.back() == ' '))
        clean.pop_back();
    const std::vector<std::string> words = words_of(clean);
    stipulation_kind kind;
    const int n = words.empty() ? 0 : read_moves(words, &kind);
    if (n == 0) {
        *error = "условие " + quoted_input(text) +
                 " не понято: нужно #N или h#N (N от 1 до 5), «Мат в 2 хода», «Кооперативный мат в 2 хода», "
                 "«Mate in 2» или «Helpmate in 2»";
        return false;
    }
    if (n > max_stipulated_moves) {
        *error = "условие " + quoted_input(text) + ": проверяются задачи не длиннее 5 ходов";
        return false;
    }
    *result = {kind, n};
    return true;
}
