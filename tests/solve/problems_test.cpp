// Problems with known verdicts. Each expectation was worked out by hand, and
// every row is also checked against a plain brute-force search written here
// (every move, every reply, no table, no ordering, no shortcut at the last
// move), which shares nothing with the solver but the move generator that
// perft proves. Thousands of seeded random problems are then checked against
// the same brute force: keys, verdict, threats, trees, tries and solutions.
#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "chess/moves.h"
#include "solve/problem_report.h"
#include "solve/report.h"
#include "tests/support/random_position.h"

namespace {

// --- the brute force ---

bool brute_every_defence_loses(position* p, int n);

bool brute_forces_mate(position* p, int n)
{
    move_list list;
    legal_moves(*p, &list);
    undo_record undo;
    for (move m : list) {
        make(p, m, &undo);
        const bool wins = brute_every_defence_loses(p, n - 1);
        unmake(p, m, undo);
        if (wins)
            return true;
    }
    return false;
}

bool brute_every_defence_loses(position* p, int n)
{
    move_list list;
    legal_moves(*p, &list);
    if (list.size == 0)
        return in_check(*p);
    if (n == 0)
        return false;
    undo_record undo;
    for (move d : list) {
        make(p, d, &undo);
        const bool loses = brute_forces_mate(p, n);
        unmake(p, d, undo);
        if (!loses)
            return false;
    }
    return true;
}

// The first moves of the shortest forced mate within n, sorted, and that
// mate's length in *found_length (0 when there is none).
std::vector<move> brute_keys(position p, int n, int* found_length = nullptr)
{
    if (found_length)
        *found_length = 0;
    for (int length = 1; length <= n; length++) {
        std::vector<move> keys;
        move_list list;
        legal_moves(p, &list);
        undo_record undo;
        for (move m : list) {
            make(&p, m, &undo);
            if (brute_every_defence_loses(&p, length - 1))
                keys.push_back(m);
            unmake(&p, m, undo);
        }
        if (!keys.empty()) {
            std::sort(keys.begin(), keys.end());
            if (found_length)
                *found_length = length;
            return keys;
        }
    }
    return {};
}

// Two-mover tries: first moves that leave at least two defences and are
// refuted by exactly one, each with its refutation.
std::vector<std::pair<move, move>> brute_tries(position p)
{
    std::vector<std::pair<move, move>> tries;
    move_list list;
    legal_moves(p, &list);
    undo_record undo, reply;
    for (move m : list) {
        make(&p, m, &undo);
        move_list defences;
        legal_moves(p, &defences);
        std::vector<move> refutations;
        for (move d : defences) {
            make(&p, d, &reply);
            if (!brute_forces_mate(&p, 1))
                refutations.push_back(d);
            unmake(&p, d, reply);
        }
        if (defences.size >= 2 && refutations.size() == 1)
            tries.push_back({m, refutations[0]});
        unmake(&p, m, undo);
    }
    std::sort(tries.begin(), tries.end());
    return tries;
}

void brute_helpmates(position* p, int plies, std::vector<move>* line, std::vector<std::vector<move>>* found)
{
    move_list list;
    legal_moves(*p, &list);
    if (plies == 0) {
        if (list.size == 0 && in_check(*p))
            found->push_back(*line);
        return;
    }
    undo_record undo;
    for (move m : list) {
        make(p, m, &undo);
        line->push_back(m);
        brute_helpmates(p, plies - 1, line, found);
        line->pop_back();
        unmake(p, m, undo);
    }
}

std::vector<std::vector<move>> brute_helpmate_solutions(position p, int n)
{
    for (int length = 1; length <= n; length++) {
        std::vector<move> line;
        std::vector<std::vector<move>> found;
        brute_helpmates(&p, 2 * length, &line, &found);
        if (!found.empty()) {
            std::sort(found.begin(), found.end());
            return found;
        }
    }
    return {};
}

// What the attacker threatens after a key: the defender passes, and the
// shortest mate within moves_left the attacker then forces, with its first
// moves, sorted. A key that checks threatens nothing.
struct brute_threat {
    int length = 0;
    std::vector<move> moves;
};

brute_threat brute_threat_after_key(position p, int moves_left)
{
    if (in_check(p))
        return {};
    undo_record pass;
    make_null(&p, &pass);
    for (int length = 1; length <= moves_left; length++) {
        brute_threat threat{length, {}};
        move_list list;
        legal_moves(p, &list);
        undo_record undo;
        for (move m : list) {
            make(&p, m, &undo);
            if (brute_every_defence_loses(&p, length - 1))
                threat.moves.push_back(m);
            unmake(&p, m, undo);
        }
        if (!threat.moves.empty()) {
            std::sort(threat.moves.begin(), threat.moves.end());
            return threat;
        }
    }
    return {};
}

// After the key of a two-mover: every defence with every move that mates
// after it, found by playing every move and looking for a king in check
// with no reply.
std::vector<std::pair<move, std::vector<move>>> brute_solution_tree(position p)
{
    std::vector<std::pair<move, std::vector<move>>> tree;
    move_list defences;
    legal_moves(p, &defences);
    undo_record reply, undo;
    for (move d : defences) {
        make(&p, d, &reply);
        std::vector<move> mates;
        move_list list;
        legal_moves(p, &list);
        for (move m : list) {
            make(&p, m, &undo);
            move_list replies;
            legal_moves(p, &replies);
            if (replies.size == 0 && in_check(p))
                mates.push_back(m);
            unmake(&p, m, undo);
        }
        std::sort(mates.begin(), mates.end());
        tree.push_back({d, mates});
        unmake(&p, d, reply);
    }
    std::sort(tree.begin(), tree.end());
    return tree;
}

// --- the table ---

struct problem_row {
    const char* name;
    const char* fen;
    const char* stipulation;
    const char* verdict;     // in English
    const char* shown_line;  // a line the full output must hold; empty: the output is empty
};

// Worked out by hand:
// sound: after 1.Kf7 the king is caught on the h-file (1...b4 2.Rh5#, 1...Kh8 2.Rh5#).
// cooked: 1.Re3 (2.Re8#) and 1.Rb7 (1...Kg8 2.Rb8#) both work; the knight guards e8 and f7.
// no_solution: a lone rook and a king four files away cannot mate a central king in two.
// short: the back rank is open, 1.Ra8# at once.
// dual: after 1.Qxc6 Black has only 1...Ka1, and both Qc1 and Qh1 mate along the first rank.
// castling_key: 1.0-0 brings the rook to f1, shutting f2-f4 off, and threatens Rae1#.
// en_passant_key: 1.exd6 e.p. takes away the pawn's spare move d4; 1...c2 2.Qa1#.
// underpromotion_key: 1.c8=Q stalemates, 1.c8=B lets 1...Ka8 out; 1.c8=R forces 1...Ka6 2.Ra8#.
// black_attacker: the castling key with the board turned round; Black attacks, moves are numbered from 1...
// helpmate_two: 2.Ka1 Rc1# with the white king on a3 or on b3, both guarding a2 and b2.
// helpmate_sound: the knight blocks g8 and the bishop guards h7 (Black moves first whatever the FEN says).
// checking_mates: after 1.Kd5, d8=Q and d8=R check down the file the pawn has just left and
// 0-0-0 from the rook castling brings to d1; a knight or bishop from d7 gives no check.
const problem_row problem_rows[] = {
    {"sound", "8/4K2k/8/1p1R4/8/8/8/8 w - - 0 1", "#3", "sound: one solution", "threat: 2.Rh5#"},
    {"cooked", "5k2/8/3N2K1/8/8/1R6/8/8 w - - 0 1", "Mate in 2", "cooked: 1.Re3! 1.Rb7!", "1...Kg8 2.Rb8#"},
    {"no_solution", "8/8/8/8/3k4/8/8/K6R w - - 0 1", "#2", "no solution", ""},
    {"short", "6k1/5ppp/8/8/8/8/8/R5K1 w - - 0 1", "#2", "short solution: mate in 1", "1.Ra8#!"},
    {"dual", "2Q5/1N6/2p5/8/8/K7/8/1k6 w - - 0 1", "#2", "sound: one solution", "1...Ka1 2.Qc1#, 2.Qh1# (dual)"},
    {"castling_key", "8/8/3Q2p1/6p1/8/4k3/8/R3K2R w KQ - 0 1", "#2", "sound: one solution", "1.0-0!"},
    {"black_attacker", "r3k2r/8/4K3/8/6P1/3q2P1/8/8 b kq - 0 1", "#2", "sound: one solution", "2.Ke5 Rae8#"},
    {"en_passant_key", "8/8/8/3pP3/8/2p5/Q7/2k1K3 w - d6 0 1", "#2", "sound: one solution", "1.e6? 1...d4!"},
    {"underpromotion_key", "8/k1P5/2K5/8/6p1/6B1/8/8 w - - 0 1", "#2", "sound: one solution", "1.c8=R!"},
    {"helpmate_two", "8/8/8/2R5/K5b1/8/8/2k5 b - - 0 1", "h#2", "cooked: 2 solutions", "1.Kb1 Kb3 2.Ka1 Rc1#"},
    {"helpmate_sound", "7k/1R6/6n1/7B/8/8/7K/8 w - - 0 1", "Helpmate in 2", "sound: one solution",
     "1.Ne7 Bg6 2.Ng8 Rh7#"},
    {"checking_mates", "8/3PR3/8/8/3k4/8/P1R5/R3K2R b KQ - 0 1", "h#1", "cooked: 5 solutions", "1.Kd5 d8=R#"},
};

class problem_check : public testing::TestWithParam<problem_row> {};

TEST_P(problem_check, gives_the_known_verdict_and_agrees_with_brute_force)
{
    const problem_row& row = GetParam();
    fen_record record;
    stipulation task;
    std::string error;
    ASSERT_TRUE(fen_read(row.fen, &record, &error)) << error;
    ASSERT_TRUE(stipulation_read(row.stipulation, &task, &error)) << error;
    std::string output, verdict;
    if (task.kind == stipulation_kind::helpmate) {
        const position p = position_from_fen(record, black);
        ASSERT_EQ(position_problem(p), "");
        const helpmate_result result = check_helpmate(p, task.moves);
        std::vector<std::vector<move>> solutions = result.solutions;
        std::sort(solutions.begin(), solutions.end());
        EXPECT_EQ(solutions, brute_helpmate_solutions(p, task.moves));
        output = helpmate_lines(p, result, notation::english);
        verdict = helpmate_verdict(p, task.moves, result, notation::english);
    } else {
        const position p = position_from_fen(record);
        ASSERT_EQ(position_problem(p), "");
        const directmate_result result = check_directmate(p, task.moves);
        std::vector<move> keys;
        for (const key_move& key : result.keys)
            keys.push_back(key.key);
        std::sort(keys.begin(), keys.end());
        EXPECT_EQ(keys, brute_keys(p, task.moves));
        if (task.moves == 2 && result.length != 1) {
            std::vector<std::pair<move, move>> tries;
            for (const try_move& t : result.tries)
                tries.push_back({t.attempt, t.refutation});
            std::sort(tries.begin(), tries.end());
            EXPECT_EQ(tries, brute_tries(p));
        }
        output = directmate_lines(p, result, notation::english);
        verdict = directmate_verdict(p, task.moves, result, notation::english);
    }
    EXPECT_EQ(verdict, row.verdict) << output;
    if (*row.shown_line)
        EXPECT_NE(("\n" + output).find("\n" + std::string(row.shown_line)), std::string::npos) << output;
    else
        EXPECT_EQ(output, "") << "no key, and no try either";
}

INSTANTIATE_TEST_SUITE_P(known, problem_check, testing::ValuesIn(problem_rows),
                         [](const testing::TestParamInfo<problem_row>& row) { return row.param.name; });

// --- random problems ---

// The verdict a reader should see, from the brute force's answer alone: the
// keys of a cook are named in the order the moves are generated.
std::string expected_directmate_verdict(const position& p, int stated, int length, const std::vector<move>& keys)
{
    if (length == 0)
        return "no solution";
    if (length < stated)
        return "short solution: mate in " + std::to_string(length);
    if (keys.size() == 1)
        return "sound: one solution";
    std::string verdict = "cooked:";
    move_list list;
    legal_moves(p, &list);
    for (move m : list)
        if (std::binary_search(keys.begin(), keys.end(), m))
            verdict += std::string(" ") + (p.side == white ? "1." : "1...") + move_text(p, m, notation::english) + "!";
    return verdict;
}

std::string expected_helpmate_verdict(int stated, const std::vector<std::vector<move>>& solutions)
{
    if (solutions.empty())
        return "no solution";
    const int length = int(solutions[0].size() / 2);
    if (length < stated)
        return "short solution: helpmate in " + std::to_string(length);
    if (solutions.size() == 1)
        return "sound: one solution";
    return "cooked: " + std::to_string(solutions.size()) + " solutions";
}

// Moves legal in p, written out for a failure message.
std::string listed(const position& p, const std::vector<move>& moves)
{
    std::string text = moves.empty() ? "none" : "";
    for (move m : moves)
        text += (text.empty() ? "" : " ") + move_text(p, m, notation::english);
    return text;
}

// Compares everything the solver says about a directmate with the brute
// force, given its keys and their length; returns what differs, empty when
// nothing does.
std::string directmate_differences(const position& p, int stated, int length, const std::vector<move>& keys)
{
    const directmate_result result = check_directmate(p, stated);
    std::ostringstream out;
    std::vector<move> solver_keys;
    for (const key_move& key : result.keys)
        solver_keys.push_back(key.key);
    std::sort(solver_keys.begin(), solver_keys.end());
    if (solver_keys != keys || result.length != length)
        out << "keys: the solver " << listed(p, solver_keys) << " (mate in " << result.length << "), the brute force "
            << listed(p, keys) << " (mate in " << length << ")\n";
    const std::string verdict = directmate_verdict(p, stated, result, notation::english);
    const std::string expected = expected_directmate_verdict(p, stated, length, keys);
    if (verdict != expected)
        out << "verdict: \"" << verdict << "\", expected \"" << expected << "\"\n";
    for (const key_move& key : result.keys) {
        position after = p;
        undo_record undo;
        make(&after, key.key, &undo);
        std::vector<move> threats = key.threats;
        std::sort(threats.begin(), threats.end());
        const brute_threat expected_threat = brute_threat_after_key(after, length - 1);
        if (key.threat_length != expected_threat.length || threats != expected_threat.moves) {
            position passed = after;
            make_null(&passed, &undo);
            out << "threat after " << move_text(p, key.key, notation::english) << ": the solver "
                << listed(passed, threats) << " (mate in " << key.threat_length << "), the brute force "
                << listed(passed, expected_threat.moves) << " (mate in " << expected_threat.length << ")\n";
        }
        if (length != 2)
            continue;
        std::vector<std::pair<move, std::vector<move>>> tree;
        for (const variation& v : key.variations) {
            std::vector<move> mates = v.mates;
            std::sort(mates.begin(), mates.end());
            tree.push_back({v.defence, mates});
        }
        std::sort(tree.begin(), tree.end());
        if (tree != brute_solution_tree(after))
            out << "solution tree after " << move_text(p, key.key, notation::english) << " differs\n";
    }
    if (stated == 2 && length != 1) {
        std::vector<std::pair<move, move>> tries;
        for (const try_move& t : result.tries)
            tries.push_back({t.attempt, t.refutation});
        std::sort(tries.begin(), tries.end());
        const std::vector<std::pair<move, move>> expected_tries = brute_tries(p);
        auto attempts = [](const std::vector<std::pair<move, move>>& list) {
            std::vector<move> first;
            for (const auto& t : list)
                first.push_back(t.first);
            return first;
        };
        if (tries != expected_tries)
            out << "tries: the solver " << listed(p, attempts(tries)) << ", the brute force "
                << listed(p, attempts(expected_tries)) << "\n";
    }
    return out.str();
}

std::string helpmate_differences(const position& p, int stated, const std::vector<std::vector<move>>& expected)
{
    const helpmate_result result = check_helpmate(p, stated);
    std::vector<std::vector<move>> solutions = result.solutions;
    std::sort(solutions.begin(), solutions.end());
    std::ostringstream out;
    if (solutions != expected) {
        out << "solutions: the solver finds " << solutions.size() << ", the brute force " << expected.size() << "\n";
        // The first solution only one of the two has, played out.
        std::vector<std::vector<move>> only;
        std::set_symmetric_difference(solutions.begin(), solutions.end(), expected.begin(), expected.end(),
                                      std::back_inserter(only));
        position q = p;
        for (move m : only.front()) {
            out << listed(q, {m}) << " ";
            undo_record undo;
            make(&q, m, &undo);
        }
        out << (std::binary_search(solutions.begin(), solutions.end(), only.front()) ? "(the solver's only)"
                                                                                      : "(the brute force's only)")
            << "\n";
    }
    const std::string verdict = helpmate_verdict(p, stated, result, notation::english);
    if (verdict != expected_helpmate_verdict(stated, expected))
        out << "verdict: \"" << verdict << "\", expected \"" << expected_helpmate_verdict(stated, expected) << "\"\n";
    return out.str();
}

// Random positions for each stipulation, kept by the brute force's answer so
// that at least a third have a key or a solution. Boards are sparse, kings
// mostly near the edges, where mates are likely; the longer the search, the
// fewer pieces, since the brute force grows exponentially with the moves.
struct random_problem_row {
    const char* name;
    stipulation_kind kind;
    int moves;
    int count;            // in the optimised build
    int sanitized_count;  // unoptimised and sanitizer builds
    int max_pieces;
};

const random_problem_row random_problem_rows[] = {
    {"mate_in_1", stipulation_kind::directmate, 1, 1000, 100, 9},
    {"mate_in_2", stipulation_kind::directmate, 2, 1000, 100, 7},
    {"mate_in_3", stipulation_kind::directmate, 3, 600, 60, 6},
    {"helpmate_in_1", stipulation_kind::helpmate, 1, 800, 50, 9},
    {"helpmate_in_2", stipulation_kind::helpmate, 2, 500, 40, 7},
};

void PrintTo(const random_problem_row& row, std::ostream* out)
{
    *out << row.name;
}

class random_problems : public testing::TestWithParam<random_problem_row> {};

TEST_P(random_problems, solver_agrees_with_brute_force)
{
    const random_problem_row& row = GetParam();
    const bool help = row.kind == stipulation_kind::helpmate;
    const std::uint64_t seed = 0x5EED0002 + std::uint64_t(row.moves) + (help ? 100 : 0);
    random_source random(seed);
    // A helpmate needs White's pieces to mate with, a directmate the attacker's.
    const board_shape shape{.min_pieces = 3, .max_pieces = row.max_pieces, .pawn_percent = 25,
                            .movers_percent = help ? 35 : 70, .kings_at_edge_percent = 70, .castling_percent = 10,
                            .played_percent = 15, .en_passant_percent = 3, .side = help ? int(black) : any_side};
    const int count = differential_count(row.count, row.sanitized_count);
    int kept = 0, solved = 0, full_length = 0, generated = 0, mismatches = 0, to_move[2] = {0, 0};
    while (kept < count && mismatches < 5) {
        const position p = random_position(&random, shape);
        generated++;
        int length = 0;
        std::vector<move> keys;
        std::vector<std::vector<move>> solutions;
        if (help) {
            solutions = brute_helpmate_solutions(p, row.moves);
            length = solutions.empty() ? 0 : int(solutions[0].size() / 2);
        } else {
            keys = brute_keys(p, row.moves, &length);
        }
        // Positions without a solution are kept only up to two thirds.
        if (length == 0 && 3 * (kept - solved + 1) > 2 * count)
            continue;
        kept++;
        solved += length > 0;
        full_length += length == row.moves;
        to_move[p.side]++;
        const std::string differences =
            help ? helpmate_differences(p, row.moves, solutions) : directmate_differences(p, row.moves, length, keys);
        if (!differences.empty()) {
            mismatches++;
            ADD_FAILURE() << "seed " << seed << ", " << row.name << ", position " << generated << ": "
                          << position_fen(p) << "\n" << differences;
        }
    }
    if (mismatches)
        return;  // stopped early: the mix of positions is not yet what it will be
    EXPECT_GE(3 * solved, kept) << "positions with a solution (seed " << seed << ")";
    EXPECT_GE(10 * full_length, kept) << "positions solved in the stated length (seed " << seed << ")";
    if (!help) {
        EXPECT_TRUE(to_move[white] >= count / 4 && to_move[black] >= count / 4)
            << "White to move " << to_move[white] << ", Black " << to_move[black];
    }
}

INSTANTIATE_TEST_SUITE_P(differential, random_problems, testing::ValuesIn(random_problem_rows),
                         [](const testing::TestParamInfo<random_problem_row>& row) { return row.param.name; });

TEST(stipulation, reads_short_forms_and_task_texts_as_typed)
{
    using enum stipulation_kind;
    const struct {
        const char* text;
        stipulation_kind kind;
        int moves;
    } rows[] = {
        {"#2", directmate, 2}, {" #3 ", directmate, 3}, {"# 2", directmate, 2}, {"h#2", helpmate, 2},
        {"H#3", helpmate, 3}, {"Мат в 1 ход", directmate, 1}, {"Мат в 2 хода", directmate, 2},
        {"Мат в 4 хода", directmate, 4}, {"Мат в 5 ходов", directmate, 5}, {"МАТ В 3 ХОДА", directmate, 3},
        {"мат в 2 хода.", directmate, 2}, {"Мат\xC2\xA0в 2  хода\r\n", directmate, 2},
        {"Кооперативный мат в 2 хода", helpmate, 2}, {"кооперативный мат в 3 хода", helpmate, 3},
        {"Mate in 2", directmate, 2}, {"mate in 3 moves", directmate, 3}, {"Mate in 1 move", directmate, 1},
        {"Helpmate in 2", helpmate, 2}, {"HELPMATE IN 4 MOVES", helpmate, 4},
    };
    for (const auto& row : rows) {
        stipulation read;
        std::string error;
        ASSERT_TRUE(stipulation_read(row.text, &read, &error)) << row.text << ": " << error;
        EXPECT_EQ(read.kind, row.kind) << row.text;
        EXPECT_EQ(read.moves, row.moves) << row.text;
    }
}

}  // namespace

namespace {

struct comparison_row {
    const char* stipulation;
    const char* recorded;  // as a database records it, in the standard solver's notation
    const char* found;     // as this solver prints it
    bool same;
};

// Recorded solutions against found ones: by the squares the moves go to, so
// notation, language, check marks and comments do not matter, and set play
// and tries are not solutions.
TEST(solution_comparison, compares_keys_of_battle_genres_and_whole_lines_of_help_genres)
{
    const comparison_row rows[] = {
        {"h#2", "1.Sg6-e7 Bh5-g6 2.Se7-g8 Rb7-h7 # {model}\n", "1.Кe7 Сg6 2.Кg8 Лh7#\n", true},
        {"h#2", "1...Rb7-b8 2.Sg6-e7 Rb8-g8 #\n1.Sg6-e7 Bh5-g6 2.Se7-g8 Rb7-h7 #\n", "1.Ne7 Bg6 2.Ng8 Rh7#\n", true},
        {"h#2", "1.Sg6-e7 Bh5-g6 2.Se7-g8 Rb7-h7 #\n", "1.Ne7 Bg6 2.Ng8 Rh7#\n1.Nf8 Rh7+ 2.Kg8 Bf7#\n", false},
        {"h#1.5", "1...Rb7-h7 + 2.Kh8-g8 Bh5-f7 #\n", "1...Rh7+ 2.Kg8 Bf7#\n", true},
        {"#2", "1.Qd1-d8 ! threat:\n1...Kh8-g7 2.Qd8-e7 #\n1.Qd1-d4 ? but 1...Pa7-a5 !\n", "1.Фd8!\n1...Крg7 2.Фe7#\n", true},
        {"#2", "1.Qd1-d8 !\n", "1.Qd8!\n1.0-0-0!\n", false},
        {"#1", "1.Qa1-g7 # !\n", "1.Qg7#!\n", true},
    };
    for (const comparison_row& row : rows) {
        const std::string verdict = solution_comparison(row.recorded, row.found, row.stipulation, notation::english);
        EXPECT_EQ(verdict == "the solutions are those recorded", row.same) << row.recorded << verdict;
    }
    EXPECT_EQ(solution_comparison("", "1.Qg7#!\n", "#1", notation::english), "");
}

}  // namespace
