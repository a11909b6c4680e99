// Problems with known verdicts. Each expectation was worked out by hand, and
// every row is also checked against a plain brute-force search written here
// (every move, every reply, no table, no ordering, no shortcut at the last
// move), which shares nothing with the solver but the move generator that
// perft proves.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "chess/moves.h"
#include "solve/problem_report.h"
#include "solve/report.h"

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

// The first moves of the shortest forced mate within n, sorted.
std::vector<move> brute_keys(position p, int n)
{
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
