// Battle play: an AND-OR search. At the attacker's turn one move that wins is
// enough; at the defender's turn every defence must lose, and the first one
// that holds ends the node, so defences that refuted before are tried first.
// In a directmate the attacker's last move must reach the goal, so only the
// moves that can (checks for a mate) are tried there. Proven results go into
// the table by the number of moves left: a win in n is a win in any more, no
// win in n is no win in any fewer (true of self and reflex play too, since a
// longer play only adds ways to win).
//
// Help and series play: every sequence is walked, since every solution is
// wanted; the table remembers positions from which no solution of a given
// length exists, which cuts the many move orders that lead to the same
// position.
//
// A search that sees its control stopped answers no at once and stores
// nothing more: its answers from then on are not proven, and the caller
// throws them away.
#include "solve/search.h"

#include <algorithm>
#include <cstdlib>

namespace {

constexpr int not_proven = 127;

// A battle entry in one table word: what is proven, and the attacker's move
// that won (or was tried first) there.
struct battle_entry {
    int win_within = not_proven;  // proven: a win in this many moves or fewer
    int no_win_within = 0;        // proven: no win in this many moves or fewer
    move best = no_move;
};

battle_entry unpack(std::uint64_t data)
{
    return {int(data & 0xFF), int(data >> 8 & 0xFF), move(data >> 16 & 0xFFFF)};
}

std::uint64_t pack(const battle_entry& e)
{
    return std::uint64_t(e.win_within) | std::uint64_t(e.no_win_within) << 8 | std::uint64_t(e.best) << 16;
}

// Plays the moves highest score first, as play_each does. Each next move is
// picked when it is wanted: a node is often decided by its first move or
// two, and sorting the rest would be wasted.
template <typename Visit>
bool play_by_score(position* p, move_list* list, int* score, Visit visit, int first = 0)
{
    for (int i = first; i < list->size; i++) {
        int best = i;
        for (int j = i + 1; j < list->size; j++)
            if (score[j] > score[best])
                best = j;
        std::swap(score[i], score[best]);
        std::swap(list->moves[i], list->moves[best]);
        if (play_move(p, list->moves[i], visit))
            return true;
    }
    return false;
}

// Whether the table says there is no solution from p in `left` plies or moves.
bool known_without_solution(const shared_table& table, const position& p, int left)
{
    std::uint64_t lengths;
    return table.find(p.key, &lengths) && (lengths >> left & 1);
}

void remember_without_solution(shared_table* table, const position& p, int left)
{
    std::uint64_t lengths = 0;
    table->find(p.key, &lengths);
    table->store(p.key, lengths | std::uint64_t(1) << left);
}

// Records line_ followed by each move of the side to move that reaches the
// goal at once; returns whether there was one.
template <typename Solutions>
bool record_goal_moves(position* p, goal_kind goal, std::vector<move>* line, Solutions* found)
{
    bool any = false;
    each_goal_move(p, goal, [line, found, &any](move m) {
        line->push_back(m);
        found->push_back(*line);
        line->pop_back();
        any = true;
        return false;
    });
    return any;
}

// The last move of a line, `left` naming it in the table. A mate is tried at
// once: only checks can mate, and they are few. A stalemate tries every quiet
// move, and move orders meet most at the last move: there a table read pays.
template <typename Solutions>
bool last_move_reaches_goal(position* p, goal_kind goal, std::vector<move>* line, Solutions* found,
                            shared_table* table, int left)
{
    if (goal == goal_kind::mate)
        return record_goal_moves(p, goal, line, found);
    if (known_without_solution(*table, *p, left))
        return false;
    const bool any = record_goal_moves(p, goal, line, found);
    if (!any)
        remember_without_solution(table, *p, left);
    return any;
}

}  // namespace

bool goal_reached(const position& p, goal_kind goal)
{
    return in_check(p) == (goal == goal_kind::mate);
}

battle_search::battle_search(goal_kind goal, aim_kind aim, shared_table* table, const search_control* control)
    : goal_(goal), aim_(aim), table_(table), control_(control)
{
}

bool battle_search::goal_move_exists(position* p) const
{
    return each_goal_move(p, goal_, [](move) { return true; });
}

bool battle_search::attacker_wins(position* p, int n)
{
    if (control_->stopped())
        return false;
    // A mate in one is found faster than the table is read: only checks are
    // tried, and the table keeps its room for the longer results.
    if (aim_ == aim_kind::direct && n == 1)
        return goal_move_exists(p);
    const std::uint64_t key = p->key;
    battle_entry known;
    if (std::uint64_t data; table_->find(key, &data)) {
        known = unpack(data);
        if (known.win_within <= n)
            return true;
        if (known.no_win_within >= n)
            return false;
    }
    bool wins = false;
    move winner = no_move;
    if (aim_ == aim_kind::reflex && goal_move_exists(p)) {
        wins = false;  // he must reach the goal himself, which loses a reflex play
    } else if (aim_ == aim_kind::direct && n == 1) {
        wins = each_goal_move(p, goal_, [&winner](move m) {
            winner = m;
            return true;
        });
    } else {
        move_list list;
        legal_moves(*p, &list);
        // The move that won here before first, then checks and captures:
        // they leave the defender fewest replies.
        const check_squares checks(*p);
        int score[256];
        for (int i = 0; i < list.size; i++) {
            const move m = list.moves[i];
            score[i] = (m == known.best ? 1 << 30 : 0) + (gives_check(*p, checks, m) ? 1 << 29 : 0) +
                       (is_capture(m) ? 1 << 28 : 0) + int(std::min<std::uint32_t>(won_[move_from(m)][move_to(m)], (1 << 28) - 1));
        }
        wins = play_by_score(p, &list, score, [this, p, n, &winner](move m) {
            winner = m;
            return move_wins(p, n);
        });
    }
    if (control_->stopped())
        return false;
    // Read again: another search, or this one below, may have learnt more.
    battle_entry e;
    if (std::uint64_t data; table_->find(key, &data))
        e = unpack(data);
    if (wins) {
        e.win_within = std::min(e.win_within, n);
        e.best = winner;
        won_[move_from(winner)][move_to(winner)] += std::uint32_t(n * n);
    } else {
        e.no_win_within = std::max(e.no_win_within, n);
    }
    table_->store(key, pack(e));
    return wins;
}

bool battle_search::move_wins(position* p, int n)
{
    auto refutes = [this, p, n](move d) {
        if (reply_wins(p, n))
            return false;
        remember_refutation(d, n);
        return true;
    };
    // The last refutation at this depth refutes again more often than not:
    // tried before the defender's moves are even generated. Being legal, it
    // shows the game is not over; a reflex defender must first be asked
    // whether he is bound to reach the goal.
    const move killer = killer_[n];
    const bool killer_tried = aim_ != aim_kind::reflex && (aim_ != aim_kind::direct || n > 1) && killer != no_move &&
                              is_legal_move(*p, killer);
    if (killer_tried && play_move(p, killer, refutes))
        return false;
    move_list list;
    legal_moves(*p, &list);
    if (list.size == 0)  // the game is over: only the attacker's own goal, in direct play, wins
        return aim_ == aim_kind::direct && goal_reached(*p, goal_);
    if (aim_ == aim_kind::direct && n == 1)
        return false;
    // A defender bound to reach the goal when he can does so, which is the
    // attacker's win; on his last move he must have such a move.
    if (aim_ == aim_kind::reflex && goal_move_exists(p))
        return true;
    if (aim_ == aim_kind::reflex && n == 1)
        return false;
    int first = 0;
    if (killer_tried) {  // already shown not to refute: left out
        std::swap(list.moves[0], *std::find(list.moves, list.moves + list.size, killer));
        first = 1;
    }
    int score[256];
    score_defences(*p, list, n, score);
    return !play_by_score(p, &list, score, refutes, first);
}

// The defender has just replied to the first of the attacker's n moves.
bool battle_search::reply_wins(position* p, int n)
{
    if (aim_ == aim_kind::direct)
        return attacker_wins(p, n - 1);
    // Self and reflex: the reply ends the game with the defender's goal (the
    // attacker's win), or the attacker goes on with one move fewer.
    if (!has_legal_move(*p))
        return aim_ == aim_kind::self && goal_reached(*p, goal_);
    return n > 1 && attacker_wins(p, n - 1);
}

int battle_search::refutations(position* p, int n, int limit, move* found)
{
    move_list list;
    legal_moves(*p, &list);
    if (list.size == 0 || (aim_ == aim_kind::reflex && goal_move_exists(p)))
        return 0;
    const bool none_wins = (aim_ == aim_kind::direct || aim_ == aim_kind::reflex) && n == 1;
    int count = 0;
    play_each(p, list, [&](move d) {
        if (none_wins || !reply_wins(p, n))
            found[count++] = d;
        return count == limit;
    });
    return count;
}

void battle_search::score_defences(const position& p, const move_list& list, int ply, int* score) const
{
    const check_squares checks(p);
    for (int i = 0; i < list.size; i++) {
        const move m = list.moves[i];
        score[i] = m == killer_[ply] ? 1 << 30 : (gives_check(p, checks, m) ? 1 << 29 : 0) + (is_capture(m) ? 1 << 28 : 0) + int(std::min<std::uint32_t>(refuted_[move_from(m)][move_to(m)], (1 << 28) - 1));
    }
}

void battle_search::remember_refutation(move m, int ply)
{
    killer_[ply] = m;
    refuted_[move_from(m)][move_to(m)] += std::uint32_t(1 + ply * ply);
}

help_search::help_search(goal_kind goal, shared_table* table, const search_control* control)
    : goal_(goal), table_(table), control_(control)
{
}

bool help_search::search(position* p, int plies_left)
{
    if (plies_left == 1)
        return last_move_reaches_goal(p, goal_, &line_, &found_, table_, 1);
    if (control_->stopped() || known_without_solution(*table_, *p, plies_left))
        return false;
    move_list list;
    legal_moves(*p, &list);
    bool found = false;
    play_each(p, list, [&](move m) {
        line_.push_back(m);
        found |= search(p, plies_left - 1);
        line_.pop_back();
        return false;
    });
    if (!found && !control_->stopped())
        remember_without_solution(table_, *p, plies_left);
    return found;
}

std::vector<std::vector<move>> help_search::solutions(position* p, int plies)
{
    found_.clear();
    line_.clear();
    line_.reserve(std::size_t(plies));
    if (plies >= 1)
        search(p, plies);
    return found_;
}

std::vector<std::vector<move>> help_search::solutions_after(position* p, move m, int plies)
{
    found_.clear();
    line_.assign(1, m);
    undo_record undo;
    make(p, m, &undo);
    if (plies == 1) {
        if (!has_legal_move(*p) && goal_reached(*p, goal_))
            found_.push_back(line_);
    } else {
        search(p, plies - 1);
    }
    unmake(p, m, undo);
    return found_;
}

series_search::series_search(goal_kind goal, aim_kind aim, shared_table* table, const search_control* control)
    : goal_(goal), aim_(aim), table_(table), control_(control)
{
}

// The series' last move has just been made, as the line's last move: records
// the solutions it ends, returns whether there were any.
bool series_search::ends(position* p)
{
    bool found = false;
    if (aim_ == aim_kind::direct) {
        if (!has_legal_move(*p) && goal_reached(*p, goal_)) {
            found_.push_back(line_);
            found = true;
        }
    } else if (aim_ == aim_kind::help) {
        // The other side to move, so its positions never meet the series
        // side's: length 0 names them in the table.
        found = last_move_reaches_goal(p, goal_, &line_, &found_, table_, 0);
    } else {  // self: the other side has a move, and every one reaches the goal against the series side
        move_list replies;
        legal_moves(*p, &replies);
        const bool all = replies.size > 0 && !play_each(p, replies, [this, p](move) {
            return has_legal_move(*p) || !goal_reached(*p, goal_);
        });
        if (all) {
            found_.push_back(line_);
            found = true;
        }
    }
    return found;
}

bool series_search::search(position* p, int moves_left)
{
    if (moves_left == 1 && aim_ == aim_kind::direct)
        return last_move_reaches_goal(p, goal_, &line_, &found_, table_, 1);
    if (control_->stopped() || known_without_solution(*table_, *p, moves_left))
        return false;
    move_list list;
    legal_moves(*p, &list);
    bool found = false;
    play_each(p, list, [&](move m) {
        line_.push_back(m);
        found |= after_move(p, moves_left);
        line_.pop_back();
        return false;
    });
    if (!found && !control_->stopped())
        remember_without_solution(table_, *p, moves_left);
    return found;
}

// A move of the series, the last of line_, has just been made with
// moves_left counting it.
bool series_search::after_move(position* p, int moves_left)
{
    if (moves_left == 1)
        return ends(p);
    if (in_check(*p))  // a check before the last move would leave the other side to answer it
        return false;
    undo_record pass;
    make_null(p, &pass);
    const bool found = search(p, moves_left - 1);
    unmake_null(p, pass);
    return found;
}

std::vector<std::vector<move>> series_search::solutions(position* p, int moves)
{
    found_.clear();
    line_.clear();
    line_.reserve(std::size_t(moves) + 1);
    search(p, moves);
    return found_;
}

std::vector<std::vector<move>> series_search::solutions_after(position* p, move m, int moves)
{
    found_.clear();
    line_.assign(1, m);
    undo_record undo;
    make(p, m, &undo);
    after_move(p, moves);
    unmake(p, m, undo);
    return found_;
}
