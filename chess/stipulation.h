// What a problem asks, read from a short form (#2, s#3, h#2.5, ser-h=4, h#2*)
// or an editor's task text in Russian or English ("Обратный мат в 2 хода",
// "Helpmate in 2.5"), with a stated number of solutions ("2 решения",
// "(2 sol.)") and "дуплекс"/"duplex" after it; and written back as a short
// form or a task text. A genre is a way of play times a goal times who must
// reach it. This is the one place that knows the genres' names, for every
// front end and for problem files; solving is the solver's business.
#pragma once

#include <string>
#include <string_view>

#include "chess/language.h"

enum class play_kind { battle, help, series };
enum class goal_kind { mate, stalemate };
// Who must reach the goal: the side that plays for it himself, the defender
// forced to (self), forced to with both sides bound to reach it at once when
// they can (reflex), or, after a series, the other side in one helping move
// (ser-h#). Help play is direct: its last mover reaches the goal.
enum class aim_kind { direct, self, reflex, help };

struct stipulation {
    play_kind play = play_kind::battle;
    goal_kind goal = goal_kind::mate;
    aim_kind aim = aim_kind::direct;
    int moves = 0;         // N: 1 .. max_stipulated_moves (0 only for h#0.5)
    bool half = false;     // h#N.5: White begins and mates with his (N+1)-th move
    int solutions = 1;     // as stated; one when nothing is stated
    bool set_play = false; // asked with "*" after the short form (or --set-play)
    bool duplex = false;   // also solved with the colours' roles exchanged
    bool half_duplex = false;  // solved only with the colours' roles exchanged (problem files' halfduplex)
};

constexpr int max_stipulated_moves = 30;

// False with one line naming the text when it is not a stipulation we check.
bool stipulation_read(std::string_view text, stipulation* result, std::string* error);

// A short form alone, as problem files write it: any case, spaces ignored
// ("H# 2", "h#2,5", "#2*"). False with one line naming it when it is not an
// orthodox genre (fairy goals, hs#, semi-r#, exact-, pser-, proof games).
bool stipulation_read_short(std::string_view text, stipulation* result, std::string* error);

// The short form, "s#3", "h#2.5", "ser-h=4", without a count, "*" or duplex.
std::string stipulation_short_form(const stipulation& task);

// The task text a diagram shows: "Кооперативный мат в 2,5 хода", "Helpmate in 2.5".
std::string stipulation_task_text(const stipulation& task, notation language);
// The same in running text: "кооперативный мат в 2,5 хода", "helpmate in 2.5".
std::string genre_text(const stipulation& task, notation language);

// Help genres (h#, h=, ser-h#, ser-h=) begin as their definitions say,
// whatever the side to move; the others are played by the side to move.
bool begins_as_genre_says(const stipulation& task);
