// Directmate: an AND-OR search. At the attacker's turn one move that wins is
// enough; at the defender's turn every defence must lose, and the first one
// that holds ends the node, so defences that refuted before are tried first.
// The attacker's last move must check, so only checking moves are tried
// there. Proven results go into the table by the number of moves left: a
// mate in n is a mate in any more, no mate in n is no mate in any fewer.
//
// Helpmate: every sequence is walked, since every solution is wanted; the
// table remembers positions from which no solution of a given length exists,
// which cuts the many move orders that lead to the same position.
#include "solve/mate_search.h"

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

}  // namespace

mate_search::mate_search() : table_(zeroed_table<entry>(table_entries)) {}

bool mate_search::mate_in_one(position* p)
{
    return each_mate(p, [](move) { return true; });
}

bool mate_search::forces_mate(position* p, int n)
{
    const std::uint64_t key = p->key;
    {
        const entry& known = slot(key);
        if (known.used && known.key == key && known.mate_within <= n)
            return true;
        if (known.used && known.key == key && known.no_mate_within >= n)
            return false;
    }
    bool mates = mate_in_one(p);
    if (!mates && n > 1) {
        move_list list;
        legal_moves(*p, &list);
        // Checks and captures first: they leave the defender fewest replies.
        const check_squares checks(*p);
        int score[256];
        for (int i = 0; i < list.size; i++)
            score[i] = (gives_check(*p, checks, list.moves[i]) ? 2 : 0) + (is_capture(list.moves[i]) ? 1 : 0);
        sort_by_score(&list, score);
        mates = play_each(p, list, [this, p, n](move) { return every_defence_loses(p, n - 1); });
    }
    entry& e = slot(key);  // looked up again: the search below may have reused the slot
    if (!e.used || e.key != key)
        e = {key, not_proven, 0, true};
    if (mates)
        e.mate_within = std::int8_t(std::min<int>(e.mate_within, n));
    else
        e.no_mate_within = std::int8_t(std::max<int>(e.no_mate_within, n));
    return mates;
}

void mate_search::order_defences(move_list* list, int ply)
{
    int score[256];
    for (int i = 0; i < list->size; i++) {
        const move m = list->moves[i];
        score[i] = m == killer_[ply] ? 1 << 30 : int(std::min<std::uint32_t>(refuted_[move_from(m)][move_to(m)], 1 << 28));
    }
    sort_by_score(list, score);
}

void mate_search::remember_refutation(move m, int ply)
{
    killer_[ply] = m;
    refuted_[move_from(m)][move_to(m)] += std::uint32_t(1 + ply * ply);
}

bool mate_search::every_defence_loses(position* p, int n)
{
    move_list list;
    legal_moves(*p, &list);
    if (list.size == 0)
        return in_check(*p);  // mate, or stalemate, which saves the defender
    if (n == 0)
        return false;
    order_defences(&list, n);
    const bool refuted = play_each(p, list, [this, p, n](move d) {
        if (forces_mate(p, n))
            return false;
        remember_refutation(d, n);
        return true;
    });
    return !refuted;
}

int mate_search::refutations(position* p, int n, int limit, move* found)
{
    move_list list;
    legal_moves(*p, &list);
    int count = 0;
    play_each(p, list, [&](move d) {
        if (!forces_mate(p, n))
            found[count++] = d;
        return count == limit;
    });
    return count;
}

helpmate_search::helpmate_search() : table_(zeroed_table<std::uint64_t>(helpmate_table_entries)) {}

bool helpmate_search::mates_now(position* p)
{
    bool found = false;
    each_mate(p, [this, &found](move m) {
        line_.push_back(m);
        found_.push_back(line_);
        line_.pop_back();
        found = true;
        return false;
    });
    return found;
}

bool helpmate_search::search(position* p, int plies_left)
{
    if (plies_left == 1)
        return mates_now(p);
    std::uint64_t& slot = table_.get()[p->key & (helpmate_table_entries - 1)];
    const std::uint64_t no_solution = (p->key & ~std::uint64_t(0xFF)) | std::uint64_t(plies_left);
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

std::vector<std::vector<move>> helpmate_search::solutions(position* p, int n)
{
    found_.clear();
    line_.clear();
    line_.reserve(std::size_t(2 * n));
    search(p, 2 * n);
    return found_;
}
