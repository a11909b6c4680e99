// From the yes-or-no searches to what a composer reads: which first moves
// work and in how many, what the key threatens, how every defence is met,
// which tries fail by one defence only.
#include "solve/solution.h"

#include <memory>

#include "solve/mate_search.h"

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

// The attacker's first moves that force mate in exactly `length` (none shorter).
std::vector<move> first_moves_mating_in(mate_search& search, position* p, int length)
{
    std::vector<move> found;
    after_each_move(p, [&](move m) {
        if (search.every_defence_loses(p, length - 1) && (length == 1 || !search.every_defence_loses(p, length - 2)))
            found.push_back(m);
    });
    return found;
}

// After the key: a pass by the defender shows what the attacker threatens.
void find_threat(mate_search& search, position* p, int moves_left, key_move* key)
{
    if (key->checks || moves_left < 1)
        return;
    undo_record pass;
    make_null(p, &pass);
    for (int t = 1; t <= moves_left && key->threat_length == 0; t++)
        if (search.forces_mate(p, t)) {
            key->threat_length = t;
            key->threats = first_moves_mating_in(search, p, t);
        }
    unmake_null(p, pass);
}

std::vector<variation> solution_tree(position* p)
{
    std::vector<variation> tree;
    after_each_move(p, [&](move d) {
        variation v{d, {}};
        each_mate(p, [&v](move m) {
            v.mates.push_back(m);
            return false;
        });
        tree.push_back(std::move(v));
    });
    return tree;
}

}  // namespace

directmate_result check_directmate(position p, int moves)
{
    // The table is large; it lives on the heap, made once per problem.
    auto search = std::make_unique<mate_search>();
    directmate_result result;
    for (int n = 1; n <= moves && result.length == 0; n++)
        if (search->forces_mate(&p, n))
            result.length = n;
    if (result.length) {
        undo_record undo;
        for (move m : first_moves_mating_in(*search, &p, result.length)) {
            key_move key{m};
            make(&p, m, &undo);
            key.checks = in_check(p);
            find_threat(*search, &p, result.length - 1, &key);
            if (result.length == 2)
                key.variations = solution_tree(&p);
            unmake(&p, m, undo);
            result.keys.push_back(std::move(key));
        }
    }
    if (moves == 2 && result.length != 1)
        after_each_move(&p, [&](move m) {
            // A try is met by all defences but one: with a single legal reply
            // there is nothing it meets, so a check answered by the only
            // escape is no try.
            move_list defences;
            legal_moves(p, &defences);
            move refutation[2];
            if (defences.size >= 2 && search->refutations(&p, 1, 2, refutation) == 1)
                result.tries.push_back({m, refutation[0]});
        });
    return result;
}

helpmate_result check_helpmate(position p, int moves)
{
    auto search = std::make_unique<helpmate_search>();
    helpmate_result result;
    for (int n = 1; n <= moves && result.length == 0; n++) {
        result.solutions = search->solutions(&p, n);
        if (!result.solutions.empty())
            result.length = n;
    }
    return result;
}
