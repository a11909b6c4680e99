// The yes-or-no searches a problem check is made of: does the side to move
// force mate in at most n moves, and which cooperative sequences end in
// mate. Both answer exhaustively: a defence is only ever left out once an
// earlier one has already refuted the attacker's move, and nothing is
// estimated. Results are kept in a transposition table (Zobrist key and the
// number of moves left), allocated once, before the search.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <memory>
#include <vector>

#include "chess/moves.h"

constexpr std::size_t table_entries = std::size_t(1) << 20;
// A helpmate walks every sequence, many more positions than a directmate
// visits: its table has more, smaller entries (64 MB, touched only as used).
constexpr std::size_t helpmate_table_entries = std::size_t(1) << 23;

// Calls found(m) for each move of the side to move that mates at once, until
// it returns true; returns whether it did.
template <typename Found>
bool each_mate(position* p, Found found)
{
    move_list list;
    checking_moves(*p, &list);
    return play_each(p, list, [p, &found](move m) { return !has_legal_move(*p) && found(m); });
}

class mate_search {
public:
    mate_search();

    // The attacker is the side to move in p. True when he forces mate in at
    // most n moves (n >= 1).
    bool forces_mate(position* p, int n);
    // The defender is to move in p and the attacker has n moves left (n >= 0):
    // true when every defence loses (mate already on the board included).
    bool every_defence_loses(position* p, int n);
    // Defences that escape mate in n (stops after `limit` of them).
    int refutations(position* p, int n, int limit, move* found);

private:
    struct entry {
        std::uint64_t key;
        std::int8_t mate_within;     // proven: mate in this many moves or fewer (127: not proven)
        std::int8_t no_mate_within;  // proven: no mate in this many moves or fewer (0: nothing proven)
        bool used;                   // false in a fresh (zeroed) entry
    };
    entry& slot(std::uint64_t key) { return table_.get()[key & (table_entries - 1)]; }
    bool mate_in_one(position* p);
    void order_defences(move_list* list, int ply);
    void remember_refutation(move m, int ply);

    // Zeroed pages from calloc: the part of the table a small problem never
    // touches costs nothing, so a two-mover is checked in milliseconds.
    std::unique_ptr<entry, decltype(&std::free)> table_;
    std::uint32_t refuted_[64][64] = {};  // how often a defence from a square to a square refuted
    move killer_[16] = {};                // the last refutation seen at each depth
};

// Helpmates: Black moves first and both sides play for White's mate with
// his n-th move. Every solution is returned as its 2n moves.
class helpmate_search {
public:
    helpmate_search();
    std::vector<std::vector<move>> solutions(position* p, int n);

private:
    bool search(position* p, int plies_left);
    bool mates_now(position* p);

    // No solution from this position in this many plies: the key with the
    // plies in its low byte (the slot's index holds those bits of the key).
    std::unique_ptr<std::uint64_t, decltype(&std::free)> table_;
    std::vector<move> line_;
    std::vector<std::vector<move>> found_;
};
