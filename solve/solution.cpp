// From the yes-or-no searches to what a composer reads: which first moves
// work and in how many, what they threaten, which defences the threat no
// longer answers and how those are met, which tries fail by one defence only.
#include "solve/solution.h"

#include <algorithm>
#include <memory>
#include <type_traits>

#include "solve/search.h"

namespace {

// Plays each legal move of p in turn and calls visit(m) in the position after it.
template <typename Visit>
void after_each_move(position* p, Visit visit)
{
    move_list list;
    legal_moves(*p, &list);
    play_each(p, list, [&visit](move m) {
        visit(m);
        return false;
    });
}

bool is_legal(const position& p, move m)
{
    move_list list;
    legal_moves(p, &list);
    return std::find(list.begin(), list.end(), m) != list.end();
}

// The attacker's moves from p that win in exactly `length` (none shorter).
std::vector<move> moves_winning_in(battle_search& search, position* p, int length)
{
    std::vector<move> found;
    if (search.must_reach_goal(p))
        return found;
    after_each_move(p, [&](move m) {
        if (search.move_wins(p, length) && (length == 1 || !search.move_wins(p, length - 1)))
            found.push_back(m);
    });
    return found;
}

// The attacker's moves from p that win within `length`: a defence's continuations.
std::vector<move> continuations(battle_search& search, position* p, int length)
{
    std::vector<move> found;
    if (length < 1 || search.must_reach_goal(p))
        return found;
    after_each_move(p, [&](move m) {
        if (search.move_wins(p, length))
            found.push_back(m);
    });
    return found;
}

// After a first move: a pass by the defender shows what the attacker threatens.
void find_threat(battle_search& search, position* p, int moves_left, first_move* first)
{
    if (first->checks || moves_left < 1)
        return;
    undo_record pass;
    make_null(p, &pass);
    for (int t = 1; t <= moves_left && first->threat_length == 0; t++)
        if (search.attacker_wins(p, t)) {
            first->threat_length = t;
            first->threats = moves_winning_in(search, p, t);
        }
    unmake_null(p, pass);
}

// After the first move of a two-mover: the defences that stop every threat
// (all defender moves when nothing is threatened), each with its continuations.
std::vector<variation> solution_tree(battle_search& search, position* p, const first_move& first)
{
    std::vector<variation> tree;
    // A defender who must reach the goal has only those moves to play.
    if (search.must_reach_goal(p)) {
        after_each_move(p, [&](move d) {
            if (!has_legal_move(*p))
                tree.push_back({d, {}});
        });
        return tree;
    }
    after_each_move(p, [&](move d) {
        const bool threat_answers = std::any_of(first.threats.begin(), first.threats.end(), [&](move t) {
            if (!is_legal(*p, t))
                return false;
            undo_record undo;
            make(p, t, &undo);
            const bool wins = search.move_wins(p, first.threat_length);
            unmake(p, t, undo);
            return wins;
        });
        if (first.threat_length == 0 || !threat_answers)
            tree.push_back({d, continuations(search, p, 1)});
    });
    return tree;
}

first_move with_play(battle_search& search, position* p, move m, int length)
{
    first_move first{m};
    undo_record undo;
    make(p, m, &undo);
    first.checks = in_check(*p);
    find_threat(search, p, length - 1, &first);
    if (length == 2)
        first.variations = solution_tree(search, p, first);
    unmake(p, m, undo);
    return first;
}

std::vector<move> legal_list(const position& p)
{
    move_list list;
    legal_moves(p, &list);
    return {list.begin(), list.end()};
}

// A table to start with: larger for a longer search, which is sure to fill
// it; pages are only paid for as they are touched, and it grows when it fills.
std::size_t first_table_bytes(int moves)
{
    return std::size_t(1) << std::clamp(14 + 2 * moves, 20, 26);
}

}  // namespace

battle_result check_battle(position p, const stipulation& task, search_control& control)
{
    shared_table table(first_table_bytes(task.moves), table_memory_bound());
    // A search for each thread, made when the thread first takes part: most
    // checks never start a second one, and a search's tables are pages to write.
    std::vector<std::unique_ptr<battle_search>> searches(std::size_t(std::max(1, control.jobs)));
    auto search_of = [&](int t) -> battle_search& {
        std::unique_ptr<battle_search>& search = searches[std::size_t(t)];
        if (!search)
            search = std::make_unique<battle_search>(task.goal, task.aim, &table, &control);
        return *search;
    };
    battle_search& first_search = search_of(0);
    const std::vector<move> moves = legal_list(p);
    const int count = int(moves.size());
    battle_result result;
    control.found.store(0);
    // A round per length: every first move is tried at n before any at n + 1,
    // so the first round in which one wins gives every key and no longer one.
    std::vector<char> wins(moves.size());
    for (int n = 1; n <= task.moves && result.length == 0 && !first_search.must_reach_goal(&p); n++) {
        control.length.store(n);
        const std::vector<char> finished = each_shared(count, control, int(searches.size()), [&](int t, int i) {
            position q = p;
            undo_record undo;
            make(&q, moves[std::size_t(i)], &undo);
            wins[std::size_t(i)] = search_of(t).move_wins(&q, n);
            if (wins[std::size_t(i)])
                control.found.fetch_add(1);
        });
        for (int i = 0; i < count; i++)
            if (finished[std::size_t(i)] && wins[std::size_t(i)]) {
                result.length = n;
                result.keys.push_back({moves[std::size_t(i)]});
            }
        if (control.stopped()) {
            result.interrupted = true;
            return result;
        }
        table.grow_if_filling();
    }
    // The play of each key, of each try and the set play: rounds of their own.
    auto play_of = [&](std::vector<first_move>* firsts, int length) {
        return each_shared(int(firsts->size()), control, int(searches.size()), [&](int t, int i) {
            position q = p;
            first_move& first = (*firsts)[std::size_t(i)];
            first = with_play(search_of(t), &q, first.played, length);
        });
    };
    play_of(&result.keys, result.length);
    if (task.moves == 2 && result.length != 1 && !first_search.must_reach_goal(&p)) {
        std::vector<move> refutation(moves.size(), no_move);
        each_shared(count, control, int(searches.size()), [&](int t, int i) {
            position q = p;
            undo_record undo;
            make(&q, moves[std::size_t(i)], &undo);
            // A try is met by all defences but one: with a single legal reply
            // there is nothing it meets, so a check answered by the only
            // escape is no try.
            move_list defences;
            legal_moves(q, &defences);
            move found[2];
            if (defences.size >= 2 && search_of(t).refutations(&q, 2, 2, found) == 1)
                refutation[std::size_t(i)] = found[0];
        });
        std::vector<first_move> tries;
        for (int i = 0; i < count; i++)
            if (refutation[std::size_t(i)] != no_move)
                tries.push_back({moves[std::size_t(i)]});
        play_of(&tries, 2);
        for (first_move& play : tries) {
            const move refuted_by = refutation[std::size_t(std::find(moves.begin(), moves.end(), play.played) - moves.begin())];
            try_move t{std::move(play), refuted_by};
            std::erase_if(t.play.variations, [&](const variation& v) { return v.defence == t.refutation; });
            result.tries.push_back(std::move(t));
        }
    }
    result.set_play_asked = task.set_play;
    if (task.set_play && !in_check(p) && task.moves >= 2) {
        undo_record pass;
        make_null(&p, &pass);
        const std::vector<move> defences = legal_list(p);
        std::vector<std::vector<move>> answers(defences.size());
        each_shared(int(defences.size()), control, int(searches.size()), [&](int t, int i) {
            position q = p;
            undo_record undo;
            make(&q, defences[std::size_t(i)], &undo);
            answers[std::size_t(i)] = continuations(search_of(t), &q, task.moves - 1);
        });
        for (std::size_t i = 0; i < defences.size(); i++)
            if (!answers[i].empty())
                result.set_play.push_back({defences[i], std::move(answers[i])});
        unmake_null(&p, pass);
    }
    result.interrupted = control.stopped();
    return result;
}

int help_plies(const stipulation& task)
{
    return 2 * task.moves + (task.half ? 1 : 0);
}

namespace {

// Every solution of `plies` from p, the first moves shared among the
// searches; false when stopped, with the solutions of the first moves that
// had finished.
template <typename search_type>
bool line_round(position p, int plies, std::vector<std::unique_ptr<search_type>>& searches, search_control& control,
                std::vector<std::vector<move>>* solutions)
{
    const std::vector<move> moves = legal_list(p);
    std::vector<std::vector<std::vector<move>>> per_move(moves.size());
    const std::vector<char> finished =
        each_shared(int(moves.size()), control, int(searches.size()), [&](int t, int i) {
            position q = p;
            per_move[std::size_t(i)] = searches[std::size_t(t)]->solutions_after(&q, moves[std::size_t(i)], plies);
            control.found.fetch_add(int(per_move[std::size_t(i)].size()));
        });
    solutions->clear();
    for (std::size_t i = 0; i < moves.size(); i++)
        if (finished[i])
            solutions->insert(solutions->end(), per_move[i].begin(), per_move[i].end());
    return !control.stopped();
}

template <typename search_type>
std::vector<std::unique_ptr<search_type>> searches_for(search_control& control, const stipulation& task,
                                                       shared_table* table)
{
    std::vector<std::unique_ptr<search_type>> searches;
    for (int t = 0; t < std::max(1, control.jobs); t++) {
        if constexpr (std::is_same_v<search_type, help_search>)
            searches.push_back(std::make_unique<help_search>(task.goal, table, &control));
        else
            searches.push_back(std::make_unique<series_search>(task.goal, task.aim, table, &control));
    }
    return searches;
}

}  // namespace

line_result check_help(position p, const stipulation& task, search_control& control)
{
    line_result result;
    const int plies = help_plies(task);
    shared_table table(first_table_bytes(plies), table_memory_bound());
    auto searches = searches_for<help_search>(control, task, &table);
    control.found.store(0);
    // Shorter solutions begin with the same side: plies of the same parity.
    for (int n = plies % 2 == 0 ? 2 : 1; n <= plies && result.length == 0; n += 2) {
        control.length.store(n);
        const bool whole = line_round(p, n, searches, control, &result.solutions);
        if (!result.solutions.empty())
            result.length = n;
        if (!whole) {
            result.interrupted = true;
            return result;
        }
        table.grow_if_filling();
    }
    result.set_play_asked = task.set_play;
    if (task.set_play && !in_check(p) && plies >= 2) {
        undo_record pass;
        make_null(&p, &pass);
        line_round(p, plies - 1, searches, control, &result.set_play);
        unmake_null(&p, pass);
    }
    result.interrupted = control.stopped();
    return result;
}

line_result check_series(position p, const stipulation& task, search_control& control)
{
    line_result result;
    shared_table table(first_table_bytes(task.moves), table_memory_bound());
    auto searches = searches_for<series_search>(control, task, &table);
    control.found.store(0);
    for (int n = 1; n <= task.moves && result.length == 0; n++) {
        control.length.store(n);
        const bool whole = line_round(p, n, searches, control, &result.solutions);
        if (!result.solutions.empty())
            result.length = n;
        if (!whole) {
            result.interrupted = true;
            return result;
        }
        table.grow_if_filling();
    }
    return result;
}
