// A problem checked in full, for whichever genre: in battle play every key
// with its threat, for a two-mover the solution tree and the tries with their
// play; in help and series play every solution; set play when asked. What is
// printed, and how, is report.h's business; which side begins and the duplex
// half are problem_check.h's.
#pragma once

#include <vector>

#include "chess/position.h"
#include "chess/stipulation.h"
#include "solve/search_control.h"

struct variation {
    move defence;
    std::vector<move> continuations;  // the attacker's moves that still win; two or more: a dual
};

// A key or a try with its play.
struct first_move {
    move played;
    bool checks = false;        // a checking first move threatens nothing
    int threat_length = 0;      // the shortest win threatened after it, 0 for none
    std::vector<move> threats;  // the attacker's first moves of that threat
    // Two-movers: the defences the threat no longer answers (every defender
    // move when there is no threat), each with its continuations.
    std::vector<variation> variations;
};

struct try_move {
    first_move play;
    move refutation;  // the one defence that holds
};

struct battle_result {
    int length = 0;  // the shortest win, 0 when there is none within the stated moves
    std::vector<first_move> keys;  // the first moves that win in `length`
    std::vector<try_move> tries;   // two-movers only
    bool set_play_asked = false;
    std::vector<variation> set_play;  // the defender's moves in the diagram that the attacker answers
    // Stopped before the end: `keys` holds the first moves proven to win in
    // `length` so far, without their play, and nothing else is filled in.
    bool interrupted = false;
};

// The side to move in p is the attacker. The first moves are shared among
// control.jobs threads; the result is the same for any number of them.
battle_result check_battle(position p, const stipulation& task, search_control& control = quiet_control());

struct line_result {
    int length = 0;  // the shortest solution (plies in help play, moves in series play), 0 for none
    std::vector<std::vector<move>> solutions;  // of that length
    bool set_play_asked = false;
    std::vector<std::vector<move>> set_play;  // help play one ply shorter, the other side first
    // Stopped before the end: `solutions` holds those of `length` found so
    // far, of the first moves whose search had finished.
    bool interrupted = false;
};

// The side to move in p begins: in help play it makes the first of the
// stipulated plies, in series play it plays the series.
line_result check_help(position p, const stipulation& task, search_control& control = quiet_control());
line_result check_series(position p, const stipulation& task, search_control& control = quiet_control());

// The plies of a help play: 2N, or 2N + 1 for N.5.
int help_plies(const stipulation& task);
