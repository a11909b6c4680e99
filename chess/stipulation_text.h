// Stipulations in their short forms (#2, h#2.5, ser-s#7) as problem files
// write them: which are orthodox, and the task text each stands for in
// Russian or English ("Кооперативный мат в 2,5 хода", "Helpmate in 2.5").
// Solving is the solver's business; this only recognises the words.
#pragma once

#include <string>
#include <string_view>

enum class task_language { russian, english };

struct short_stipulation {
    std::string genre;  // "#", "s#", "r#", "=", "s=", "h#", "h=", "ser-#", "ser-=", "ser-h#", "ser-h=", "ser-s#"
    int moves = 0;      // 1 .. 30
    bool half = false;  // h#2.5: a half move more
};

// Reads a short form, any case, spaces ignored ("H# 2", "ser-h#7",
// "h#2,5"). False with one line naming the stipulation when it is not one of
// the orthodox genres (fairy goals, hs#, semi-r#, exact-, pser-, proof games).
bool short_stipulation_read(std::string_view text, short_stipulation* result, std::string* error);

// "h#2.5", as problem files write it.
std::string short_stipulation_text(const short_stipulation& s);

// "Кооперативный мат в 2 хода", "Helpmate in 2".
std::string task_text_of(const short_stipulation& s, task_language language);

// Help genres (h#, h=, ser-h#, ser-h=) begin as their definitions say; the
// others are played by the side to move as the attacker.
bool is_help_genre(const short_stipulation& s);
