// The solver's answers worked out the plainest way, to check it against:
// every move, every reply, no table, no ordering, no shortcut at the last
// move. It shares nothing with the solver but the move generator that perft
// proves (legal_moves, make, unmake, make_null, in_check), and it follows
// each genre's definition as written, not the solver's code.
#pragma once

#include <algorithm>
#include <vector>

#include "chess/moves.h"
#include "chess/stipulation.h"

namespace brute {

// The side to move has no legal move: is that the goal?
inline bool ended_in(const position& p, goal_kind goal)
{
    move_list list;
    legal_moves(p, &list);
    return list.size == 0 && in_check(p) == (goal == goal_kind::mate);
}

inline bool can_move(const position& p)
{
    move_list list;
    legal_moves(p, &list);
    return list.size > 0;
}

// Whether the side to move has a move after which the other side's end is the goal.
inline bool goal_move_exists(position* p, goal_kind goal)
{
    move_list list;
    legal_moves(*p, &list);
    undo_record undo;
    for (move m : list) {
        make(p, m, &undo);
        const bool reached = ended_in(*p, goal);
        unmake(p, m, undo);
        if (reached)
            return true;
    }
    return false;
}

bool attacker_wins(position* p, goal_kind goal, aim_kind aim, int n);

// The attacker has just made the first of his n moves; the defender is to move.
//   direct: the defender has no move and that is the goal; or n > 1 and after
//           every defence the attacker wins with n - 1.
//   self:   the defender has a move, and each of his moves either ends the
//           game with the goal against the attacker or (n > 1) leaves the
//           attacker a win with n - 1.
//   reflex: the defender has a move; if one of them reaches the goal he plays
//           it and the attacker has won; otherwise on his last move (n = 1)
//           he fails, and else every move must leave the attacker a win with
//           n - 1.
inline bool after_attack(position* p, goal_kind goal, aim_kind aim, int n)
{
    move_list list;
    legal_moves(*p, &list);
    if (list.size == 0)
        return aim == aim_kind::direct && in_check(*p) == (goal == goal_kind::mate);
    if (aim == aim_kind::direct && n == 1)
        return false;
    if (aim == aim_kind::reflex) {
        if (goal_move_exists(p, goal))
            return true;
        if (n == 1)
            return false;
    }
    undo_record undo;
    for (move d : list) {
        make(p, d, &undo);
        bool wins;
        if (aim == aim_kind::direct)
            wins = attacker_wins(p, goal, aim, n - 1);
        else if (!can_move(*p))
            wins = aim == aim_kind::self && ended_in(*p, goal);
        else
            wins = n > 1 && attacker_wins(p, goal, aim, n - 1);
        unmake(p, d, undo);
        if (!wins)
            return false;
    }
    return true;
}

// The attacker is to move: some move of his wins within n. In reflex play a
// side that can reach the goal must, which for the attacker is a loss.
inline bool attacker_wins(position* p, goal_kind goal, aim_kind aim, int n)
{
    if (aim == aim_kind::reflex && goal_move_exists(p, goal))
        return false;
    move_list list;
    legal_moves(*p, &list);
    undo_record undo;
    for (move m : list) {
        make(p, m, &undo);
        const bool wins = after_attack(p, goal, aim, n);
        unmake(p, m, undo);
        if (wins)
            return true;
    }
    return false;
}

struct keys_found {
    int length = 0;
    std::vector<move> keys;  // sorted
};

// The first moves of the shortest win within n.
inline keys_found keys(position p, goal_kind goal, aim_kind aim, int n)
{
    keys_found found;
    if (aim == aim_kind::reflex && goal_move_exists(&p, goal))
        return found;
    for (int length = 1; length <= n && found.keys.empty(); length++) {
        move_list list;
        legal_moves(p, &list);
        undo_record undo;
        for (move m : list) {
            make(&p, m, &undo);
            if (after_attack(&p, goal, aim, length))
                found.keys.push_back(m);
            unmake(&p, m, undo);
        }
        found.length = found.keys.empty() ? 0 : length;
    }
    std::sort(found.keys.begin(), found.keys.end());
    return found;
}

// Two-mover tries: first moves that leave at least two defences and are met
// by all but exactly one, each with that refutation.
inline std::vector<std::pair<move, move>> tries(position p, goal_kind goal, aim_kind aim)
{
    std::vector<std::pair<move, move>> found;
    if (aim == aim_kind::reflex && goal_move_exists(&p, goal))
        return found;
    move_list list;
    legal_moves(p, &list);
    undo_record undo, reply;
    for (move m : list) {
        make(&p, m, &undo);
        move_list defences;
        legal_moves(p, &defences);
        std::vector<move> refutations;
        const bool defender_reaches_goal = aim == aim_kind::reflex && goal_move_exists(&p, goal);
        for (move d : defences) {
            if (defender_reaches_goal)
                break;
            make(&p, d, &reply);
            bool holds;
            if (aim == aim_kind::direct)
                holds = !attacker_wins(&p, goal, aim, 1);
            else if (!can_move(p))
                holds = !(aim == aim_kind::self && ended_in(p, goal));
            else
                holds = !attacker_wins(&p, goal, aim, 1);
            unmake(&p, d, reply);
            if (holds)
                refutations.push_back(d);
        }
        if (defences.size >= 2 && refutations.size() == 1)
            found.push_back({m, refutations[0]});
        unmake(&p, m, undo);
    }
    std::sort(found.begin(), found.end());
    return found;
}

// What the attacker threatens after a first move: the defender passes, and
// the shortest win within moves_left the attacker then has, with its first
// moves, sorted. A first move that checks threatens nothing.
struct threat_found {
    int length = 0;
    std::vector<move> moves;
    bool operator==(const threat_found&) const = default;
};

inline threat_found threat_after(position p, goal_kind goal, aim_kind aim, int moves_left)
{
    threat_found threat;
    if (in_check(p))
        return threat;
    undo_record pass;
    make_null(&p, &pass);
    for (int length = 1; length <= moves_left && threat.moves.empty(); length++) {
        if (aim == aim_kind::reflex && goal_move_exists(&p, goal))
            break;
        move_list list;
        legal_moves(p, &list);
        undo_record undo;
        for (move m : list) {
            make(&p, m, &undo);
            if (after_attack(&p, goal, aim, length))
                threat.moves.push_back(m);
            unmake(&p, m, undo);
        }
        threat.length = threat.moves.empty() ? 0 : length;
    }
    std::sort(threat.moves.begin(), threat.moves.end());
    return threat;
}

// After the first move of a two-mover, the defender to move: the defences
// after which no move of the threat wins any more (every defence when nothing
// is threatened), each with every attacker move that then wins in one; a
// defender bound to reach the goal has only those moves. Sorted.
inline std::vector<std::pair<move, std::vector<move>>> solution_tree(position p, goal_kind goal, aim_kind aim,
                                                                     const threat_found& threat)
{
    std::vector<std::pair<move, std::vector<move>>> tree;
    move_list defences;
    legal_moves(p, &defences);
    const bool bound = aim == aim_kind::reflex && goal_move_exists(&p, goal);
    undo_record reply, undo;
    for (move d : defences) {
        make(&p, d, &reply);
        if (bound) {
            if (!can_move(p))
                tree.push_back({d, {}});
            unmake(&p, d, reply);
            continue;
        }
        move_list list;
        legal_moves(p, &list);
        bool answered = false;
        std::vector<move> wins;
        const bool attacker_bound = aim == aim_kind::reflex && goal_move_exists(&p, goal);
        for (move m : list) {
            make(&p, m, &undo);
            const bool threat_move = std::find(threat.moves.begin(), threat.moves.end(), m) != threat.moves.end();
            if (threat_move && after_attack(&p, goal, aim, threat.length))
                answered = true;
            if (!attacker_bound && after_attack(&p, goal, aim, 1))
                wins.push_back(m);
            unmake(&p, m, undo);
        }
        std::sort(wins.begin(), wins.end());
        if (threat.length == 0 || !answered)
            tree.push_back({d, wins});
        unmake(&p, d, reply);
    }
    std::sort(tree.begin(), tree.end());
    return tree;
}

// Help play: every sequence of `plies` legal moves after which the side to
// move has no move, and that is the goal.
inline void help_lines(position* p, goal_kind goal, int plies, std::vector<move>* line, std::vector<std::vector<move>>* found)
{
    if (plies == 0) {
        if (ended_in(*p, goal))
            found->push_back(*line);
        return;
    }
    move_list list;
    legal_moves(*p, &list);
    undo_record undo;
    for (move m : list) {
        make(p, m, &undo);
        line->push_back(m);
        help_lines(p, goal, plies - 1, line, found);
        line->pop_back();
        unmake(p, m, undo);
    }
}

// Series play: the side to move makes `moves` moves while the other passes;
// before the last one the other king may never be in check (he would have to
// answer it). Then direct: the last move reached the goal; help: the other
// side reaches it against the series side in one move (part of the line);
// self: the other side has a move and every move of his reaches it.
inline void series_lines(position* p, goal_kind goal, aim_kind aim, int moves, std::vector<move>* line,
                         std::vector<std::vector<move>>* found)
{
    move_list list;
    legal_moves(*p, &list);
    undo_record undo, pass;
    for (move m : list) {
        make(p, m, &undo);
        line->push_back(m);
        if (moves > 1) {
            if (!in_check(*p)) {
                make_null(p, &pass);
                series_lines(p, goal, aim, moves - 1, line, found);
                unmake_null(p, pass);
            }
        } else if (aim == aim_kind::direct) {
            if (ended_in(*p, goal))
                found->push_back(*line);
        } else {
            move_list replies;
            legal_moves(*p, &replies);
            bool every = replies.size > 0;
            for (move c : replies) {
                make(p, c, &pass);
                const bool reached = ended_in(*p, goal);
                if (reached && aim == aim_kind::help) {
                    line->push_back(c);
                    found->push_back(*line);
                    line->pop_back();
                }
                every &= reached;
                unmake(p, c, pass);
            }
            if (aim == aim_kind::self && every)
                found->push_back(*line);
        }
        line->pop_back();
        unmake(p, m, undo);
    }
}

struct lines_found {
    int length = 0;  // plies in help play, moves in series play
    std::vector<std::vector<move>> lines;  // sorted
};

// The shortest solutions: help play within `plies` (the same side first, so
// the same parity), series play within `moves`.
inline lines_found help_solutions(position p, goal_kind goal, int plies)
{
    lines_found found;
    for (int length = plies % 2 == 0 ? 2 : 1; length <= plies && found.lines.empty(); length += 2) {
        std::vector<move> line;
        help_lines(&p, goal, length, &line, &found.lines);
        found.length = found.lines.empty() ? 0 : length;
    }
    std::sort(found.lines.begin(), found.lines.end());
    return found;
}

inline lines_found series_solutions(position p, goal_kind goal, aim_kind aim, int moves)
{
    lines_found found;
    for (int length = 1; length <= moves && found.lines.empty(); length++) {
        std::vector<move> line;
        series_lines(&p, goal, aim, length, &line, &found.lines);
        found.length = found.lines.empty() ? 0 : length;
    }
    std::sort(found.lines.begin(), found.lines.end());
    return found;
}

}  // namespace brute
