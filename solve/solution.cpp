// From the yes-or-no searches to what a composer reads: which first moves
// work and in how many, what they threaten, which defences the threat no
// longer answers and how those are met, which tries fail by one defence only.
#include "solve/solution.h"

#include <algorithm>
#include <memory>

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

}  // namespace

battle_result check_battle(position p, const stipulation& task)
{
    // The table is large; it lives on the heap, made once per problem.
    auto search = std::make_unique<battle_search>(task.goal, task.aim);
    battle_result result;
    for (int n = 1; n <= task.moves && result.length == 0; n++)
        if (search->attacker_wins(&p, n))
            result.length = n;
    if (result.length)
        for (move m : moves_winning_in(*search, &p, result.length))
            result.keys.push_back(with_play(*search, &p, m, result.length));
    if (task.moves == 2 && result.length != 1 && !search->must_reach_goal(&p)) {
        std::vector<move> tries;
        std::vector<move> refutations;
        after_each_move(&p, [&](move m) {
            // A try is met by all defences but one: with a single legal reply
            // there is nothing it meets, so a check answered by the only
            // escape is no try.
            move_list defences;
            legal_moves(p, &defences);
            move refutation[2];
            if (defences.size >= 2 && search->refutations(&p, 2, 2, refutation) == 1) {
                tries.push_back(m);
                refutations.push_back(refutation[0]);
            }
        });
        for (std::size_t i = 0; i < tries.size(); i++) {
            try_move t{with_play(*search, &p, tries[i], 2), refutations[i]};
            std::erase_if(t.play.variations, [&](const variation& v) { return v.defence == t.refutation; });
            result.tries.push_back(std::move(t));
        }
    }
    result.set_play_asked = task.set_play;
    if (task.set_play && !in_check(p) && task.moves >= 2) {
        undo_record pass;
        make_null(&p, &pass);
        after_each_move(&p, [&](move d) {
            std::vector<move> answers = continuations(*search, &p, task.moves - 1);
            if (!answers.empty())
                result.set_play.push_back({d, std::move(answers)});
        });
        unmake_null(&p, pass);
    }
    return result;
}

int help_plies(const stipulation& task)
{
    return 2 * task.moves + (task.half ? 1 : 0);
}

line_result check_help(position p, const stipulation& task)
{
    auto search = std::make_unique<help_search>(task.goal);
    line_result result;
    const int plies = help_plies(task);
    // Shorter solutions begin with the same side: plies of the same parity.
    for (int n = plies % 2 == 0 ? 2 : 1; n <= plies && result.length == 0; n += 2) {
        result.solutions = search->solutions(&p, n);
        if (!result.solutions.empty())
            result.length = n;
    }
    result.set_play_asked = task.set_play;
    if (task.set_play && !in_check(p) && plies >= 2) {
        undo_record pass;
        make_null(&p, &pass);
        result.set_play = search->solutions(&p, plies - 1);
        unmake_null(&p, pass);
    }
    return result;
}

line_result check_series(position p, const stipulation& task)
{
    auto search = std::make_unique<series_search>(task.goal, task.aim);
    line_result result;
    for (int n = 1; n <= task.moves && result.length == 0; n++) {
        result.solutions = search->solutions(&p, n);
        if (!result.solutions.empty())
            result.length = n;
    }
    return result;
}
