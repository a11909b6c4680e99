// What a problem asks, read from a short form (#2, s#3, h#2.5, ser-h=4, h#2*)
// or an editor's task text in Russian or English ("Обратный мат в 2 хода",
// "Helpmate in 2.5"), with a stated number of solutions ("2 решения",
// "(2 sol.)") and "дуплекс"/"duplex" after it. A genre is a way of play times
// a goal times who must reach it; this file only reads it, the searches and
// the report are elsewhere.
#pragma once

#include <string>
#include <string_view>

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
};

constexpr int max_stipulated_moves = 30;

// False with one line naming the text when it is not a stipulation we check.
bool stipulation_read(std::string_view text, stipulation* result, std::string* error);

// The short form, "s#3", "h#2.5", "ser-h=4", without a count, "*" or duplex.
std::string stipulation_short_form(const stipulation& task);
