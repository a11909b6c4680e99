// What a problem asks: a directmate (#N: the side to move forces mate in at
// most N moves) or a helpmate (h#N: Black moves first, both sides cooperate,
// White mates with his N-th move), written short or as the editor's task
// texts ("Мат в 2 хода", "Кооперативный мат в 2 хода", "Mate in 2",
// "Helpmate in 2").
#pragma once

#include <string>
#include <string_view>

enum class stipulation_kind { directmate, helpmate };

struct stipulation {
    stipulation_kind kind = stipulation_kind::directmate;
    int moves = 0;  // 1 .. max_stipulated_moves
};

constexpr int max_stipulated_moves = 5;

// False with one line naming the text when it is not a stipulation we check.
bool stipulation_read(std::string_view text, stipulation* result, std::string* error);
