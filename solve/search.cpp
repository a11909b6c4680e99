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
#include "solve/search.h"

#include <algorithm>
#include <cstdlib>

namespace {

constexpr std::int8_t not_proven = 127;

// Highest score first; lists are short, so insertion sort is enough.
void sort_by_score(move_list* list, int* score)
{
    for (int i = 1; i < list->size; i++)
        for (int j = i; j > 0 && score[j] > score[j - 1]; j--) {
            std::swap(score[j], score[j - 1]);
            std::swap(list->moves[j], list->moves[j - 1]);
        }
}

template <typename entry>
std::unique_ptr<entry, decltype(&std::free)> zeroed_table(std::size_t entries_wanted)
{
    auto* entries = static_cast<entry*>(std::calloc(entries_wanted, sizeof(entry)));
    if (!entries)
        std::abort();  // tens of MB: the machine is out of memory, nothing sensible is left to do
    return {entries, &std::free};
}

// The table word saying "no solution from here in this many plies or moves".
std::uint64_t no_solution_word(const position& p, int left)
{
    return (p.key & ~std::uint64_t(0xFF)) | std::uint64_t(left);
}

}  // namespace

bool goal_reached(const position& p, goal_kind goal)
{
    return in_check(p) == (goal == goal_kind::mate);
}

battle_search::battle_search(goal_kind goal, aim_kind aim)
    : goal_(goal), aim_(aim), table_(zeroed_table<entry>(table_entries))
{
}

bool battle_search::goal_move_exists(position* p) const
{
    return each_goal_move(p, goal_, [](move) { return true; });
}

bool battle_search::attacker_wins(position* p, int n)
{
    const std::uint64_t key = p->key;
    {
        const entry& known = slot(key);
        if (known.used && known.key == key && known.win_within <= n)
            return true;
        if (known.used && known.key == key && known.no_win_within >= n)
            return false;
    }
    bool wins = false;
    if (aim_ == aim_kind::reflex && goal_move_exists(p)) {
        wins = false;  // he must reach the goal himself, which loses a reflex play
    } else if (aim_ == aim_kind::direct && n == 1) {
        wins = goal_move_exists(p);
    } else {
        move_list list;
        legal_moves(*p, &list);
        // Checks and captures first: they leave the defender fewest replies.
        const check_squares checks(*p);
        int score[256];
        for (int i = 0; i < list.size; i++)
            score[i] = (gives_check(*p, checks, list.moves[i]) ? 2 : 0) + (is_capture(list.moves[i]) ? 1 : 0);
        sort_by_score(&list, score);
        wins = play_each(p, list, [this, p, n](move) { return move_wins(p, n); });
    }
    entry& e = slot(key);  // looked up again: the search below may have reused the slot
    if (!e.used || e.key != key)
        e = {key, not_proven, 0, true};
    if (wins)
        e.win_within = std::int8_t(std::min<int>(e.win_within, n));
    else
        e.no_win_within = std::int8_t(std::max<int>(e.no_win_within, n));
    return wins;
}

bool battle_search::move_wins(position* p, int n)
{
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
    order_defences(&list, n);
    const bool refuted = play_each(p, list, [this, p, n](move d) {
        if (reply_wins(p, n))
            return false;
        remember_refutation(d, n);
        return true;
    });
    return !refuted;
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

void battle_search::order_defences(move_list* list, int ply)
{
    int score[256];
    for (int i = 0; i < list->size; i++) {
        const move m = list->moves[i];
        score[i] = m == killer_[ply] ? 1 << 30 : int(std::min<std::uint32_t>(refuted_[move_from(m)][move_to(m)], 1 << 28));
    }
    sort_by_score(list, score);
}

void battle_search::remember_refutation(move m, int ply)
{
    killer_[ply] = m;
    refuted_[move_from(m)][move_to(m)] += std::uint32_t(1 + ply * ply);
}

help_search::help_search(goal_kind goal) : goal_(goal), table_(zeroed_table<std::uint64_t>(line_table_entries)) {}

bool help_search::search(position* p, int plies_left)
{
    if (plies_left == 1) {
        bool found = false;
        each_goal_move(p, goal_, [this, &found](move m) {
            line_.push_back(m);
            found_.push_back(line_);
            line_.pop_back();
            found = true;
            return false;
        });
        return found;
    }
    std::uint64_t& slot = table_.get()[p->key & (line_table_entries - 1)];
    const std::uint64_t no_solution = no_solution_word(*p, plies_left);
    if (slot == no_solution)
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
    if (!found)
        slot = no_solution;
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

series_search::series_search(goal_kind goal, aim_kind aim)
    : goal_(goal), aim_(aim), table_(zeroed_table<std::uint64_t>(line_table_entries))
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
        each_goal_move(p, goal_, [this, &found](move m) {
            line_.push_back(m);
            found_.push_back(line_);
            line_.pop_back();
            found = true;
            return false;
        });
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
    if (moves_left == 1 && aim_ == aim_kind::direct) {
        bool found = false;
        each_goal_move(p, goal_, [this, &found](move m) {
            line_.push_back(m);
            found_.push_back(line_);
            line_.pop_back();
            found = true;
            return false;
        });
        return found;
    }
    std::uint64_t& slot = table_.get()[p->key & (line_table_entries - 1)];
    const std::uint64_t no_solution = no_solution_word(*p, moves_left);
    if (slot == no_solution)
        return false;
    move_list list;
    legal_moves(*p, &list);
    bool found = false;
    play_each(p, list, [&](move m) {
        line_.push_back(m);
        if (moves_left == 1) {
            found |= ends(p);
        } else if (!in_check(*p)) {  // a check before the last move would leave the other side to answer it
            undo_record pass;
            make_null(p, &pass);
            found |= search(p, moves_left - 1);
            unmake_null(p, pass);
        }
        line_.pop_back();
        return false;
    });
    if (!found)
        slot = no_solution;
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
