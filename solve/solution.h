// A problem checked in full: for a directmate every key with its threat,
// for a two-mover the whole solution tree and the tries; for a helpmate
// every solution. What is printed, and how, is report.h's business.
#pragma once

#include <vector>

#include "chess/position.h"

struct variation {
    move defence;
    std::vector<move> mates;  // two or more: a dual
};

struct key_move {
    move key;
    bool checks = false;           // a checking key threatens nothing
    int threat_length = 0;         // the shortest mate threatened after the key, 0 for none
    std::vector<move> threats;     // the attacker's first moves of that threat
    std::vector<variation> variations;  // for mates in two: every defence
};

struct try_move {
    move attempt;
    move refutation;  // the one defence that holds
};

struct directmate_result {
    int length = 0;  // the shortest forced mate, 0 when there is none within the stated moves
    std::vector<key_move> keys;  // the first moves that force mate in `length`
    std::vector<try_move> tries;  // two-movers only
};

// The side to move in p is the attacker.
directmate_result check_directmate(position p, int moves);

struct helpmate_result {
    int length = 0;  // the shortest helpmate, 0 when there is none within the stated moves
    std::vector<std::vector<move>> solutions;  // of that length, each 2 * length moves
};

// Black moves first: the caller sets p up with Black to move.
helpmate_result check_helpmate(position p, int moves);
