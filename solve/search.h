// The yes-or-no searches a problem check is made of, one per way of play:
// battle (the attacker forces, the defender resists), help (both cooperate)
// and series (one side moves alone). Each asks one goal test, mate or
// stalemate, with the self and reflex obligations on top in battle play. All
// answer exhaustively: a defence is only ever left out once an earlier one
// has already refuted the attacker's move, and nothing is estimated. What is
// proven is kept in a transposition table allocated once, before the search.
// Each search is a function of (position, plies or moves) that a caller may
// run per first move; none of them knows about stated numbers, set play or
// duplex. Threads of one check each have their own search and share one
// table; every search gives up, answering no, once its control is stopped.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <memory>
#include <vector>

#include "chess/moves.h"
#include "chess/stipulation.h"
#include "solve/search_control.h"
#include "solve/shared_table.h"

// The goal test. The side to move in p has no legal move: mate when it is in
// check, stalemate when it is not; whichever the goal is not, is a failure.
bool goal_reached(const position& p, goal_kind goal);

// Calls found(m) for each move of the side to move that reaches the goal
// against the other side at once, until it returns true; returns whether it
// did. A mate must check, so only checking moves are tried for it; a
// stalemate must not.
template <typename Found>
bool each_goal_move(position* p, goal_kind goal, Found found)
{
    move_list list;
    if (goal == goal_kind::mate) {
        checking_moves(*p, &list);
    } else {
        move_list all;
        legal_moves(*p, &all);
        const check_squares checks(*p);
        for (move m : all)
            if (!gives_check(*p, checks, m))
                list.moves[list.size++] = m;
    }
    return play_each(p, list, [p, goal, &found](move m) { return !has_legal_move(*p) && goal_reached(*p, goal) && found(m); });
}

// Battle play. The attacker is the side to move at the start; "n" always
// counts the attacker's moves, the one about to be made or just made
// included. Direct: the attacker reaches the goal against the defender with
// his n-th move at the latest. Self: the attacker forces the defender to reach
// it against him with the defender's n-th move at the latest; the defender
// avoids it while he can. Reflex: as self, but whenever a side to move can
// reach the goal it must: the defender's success is the attacker's, and the
// attacker's own is his failure.
class battle_search {
public:
    battle_search(goal_kind goal, aim_kind aim, shared_table* table, const search_control* control);

    // The attacker is to move: true when he wins within n moves (n >= 1).
    bool attacker_wins(position* p, int n);
    // The attacker has just made the first of his n moves: true when it wins.
    bool move_wins(position* p, int n);
    // The defender is to move after the first of the attacker's n moves: the
    // defences that escape (stops after `limit` of them).
    int refutations(position* p, int n, int limit, move* found);
    // Reflex play: the side to move must reach the goal now, if it can.
    bool must_reach_goal(position* p) const { return aim_ == aim_kind::reflex && goal_move_exists(p); }

private:
    bool goal_move_exists(position* p) const;
    bool defender_loses(position* p, int n);
    bool reply_wins(position* p, int n);
    void score_defences(const position& p, const move_list& list, int ply, int* score) const;
    void remember_refutation(move m, int ply);

    goal_kind goal_;
    aim_kind aim_;
    shared_table* table_;
    const search_control* control_;
    std::uint32_t refuted_[64][64] = {};  // how often a defence from a square to a square refuted
    std::uint32_t won_[64][64] = {};      // how often an attacker's move from a square to a square won
    move killer_[64] = {};                // the last refutation seen at each depth
};

// Help play: the side to move moves first, the sides alternate and the side
// making the last of `plies` moves reaches the goal against the other. Every
// solution is returned as its moves.
class help_search {
public:
    help_search(goal_kind goal, shared_table* table, const search_control* control);
    std::vector<std::vector<move>> solutions(position* p, int plies);
    // The solutions that begin with the legal move m.
    std::vector<std::vector<move>> solutions_after(position* p, move m, int plies);

private:
    bool search(position* p, int plies_left);

    goal_kind goal_;
    // Per position, the plies from which it has no solution: one bit each.
    shared_table* table_;
    const search_control* control_;
    std::vector<move> line_;
    std::vector<std::vector<move>> found_;
};

// Series play: the side to move makes `moves` moves in a row while the other
// stands still; no move of the series may give check except its last.
// Direct: the last move reaches the goal. Help: then the other side reaches it
// in one move, which belongs to the solution. Self: then the other side has a
// move and every move of his reaches it (his moves are not part of the
// solution).
class series_search {
public:
    series_search(goal_kind goal, aim_kind aim, shared_table* table, const search_control* control);
    std::vector<std::vector<move>> solutions(position* p, int moves);
    // The solutions whose series begins with the legal move m.
    std::vector<std::vector<move>> solutions_after(position* p, move m, int moves);

private:
    bool search(position* p, int moves_left);
    bool after_move(position* p, int moves_left);
    bool ends(position* p);

    goal_kind goal_;
    aim_kind aim_;
    shared_table* table_;
    const search_control* control_;
    std::vector<move> line_;
    std::vector<std::vector<move>> found_;
};
