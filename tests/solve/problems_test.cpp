// Problems with known verdicts. Each expectation was worked out by hand, and
// every row is also checked against the plain brute force of brute_force.h,
// which shares nothing with the solver but the move generator that perft
// proves.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <sstream>
#include <string>
#include <vector>

#include "chess/moves.h"
#include "chess/problem_file.h"
#include "chess/problem_writer.h"
#include "solve/problem_check.h"
#include "solve/problem_report.h"
#include "solve/report.h"
#include "solve/solution.h"
#include "tests/solve/brute_force.h"
#include "tests/support/random_position.h"

namespace {

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
// threat_answers_all: the castling key's threat still mates after every Black move, so no
// variation is printed, only the tries.
// selfmate_one: after 1.Rf4 the rook shuts the king in and the f-pawn; Black's one move g2 mates.
// selfmate_zugzwang: 1.Qxe1 leaves Black only g3; 2.Qb4 then leaves him only g2#.
// reflexmate_white_must_mate: White has Ra8# at once and must play it, which fails a reflexmate.
// stalemate: 1.Nc5 takes a4 and a6, the rook b5 and b4; the king is not in check.
// selfstalemate: 1.Qf3+ Bxf3 leaves the white king on a1 no move, stalemated, as the genre wants.
// series_helpmate: Black walks into the corner and blocks g2 and h2; Rf3 mates.
// discovered_mates: each king move off the eighth rank opens Ra8 onto h8, g7 and h7 are Black's own;
// 1.Kc8 and 1.Ke8 stay on the rank.
// stalemate_is_no_mate: 1.Be5 (or Bd6, Bc7) takes b8 and leaves Black no move, but not in check; a
// king and a bishop never mate.
const problem_row problem_rows[] = {
    {"sound", "8/4K2k/8/1p1R4/8/8/8/8 w - - 0 1", "#3", "sound: one solution", "threat: 2.Rh5#"},
    {"cooked", "5k2/8/3N2K1/8/8/1R6/8/8 w - - 0 1", "Mate in 2", "cooked: 1.Re3! 1.Rb7!", "1...Kg8 2.Rb8#"},
    {"no_solution", "8/8/8/8/3k4/8/8/K6R w - - 0 1", "#2", "no solution", ""},
    {"short", "6k1/5ppp/8/8/8/8/8/R5K1 w - - 0 1", "#2", "short solution: mate in 1", "1.Ra8#!"},
    {"dual", "2Q5/1N6/2p5/8/8/K7/8/1k6 w - - 0 1", "#2", "sound: one solution", "1...Ka1 2.Qc1#, 2.Qh1# (dual)"},
    {"castling_key", "8/8/3Q2p1/6p1/8/4k3/8/R3K2R w KQ - 0 1", "#2", "sound: one solution", "1.0-0!"},
    {"black_attacker", "r3k2r/8/4K3/8/6P1/3q2P1/8/8 b kq - 0 1", "#2", "sound: one solution", "1...0-0!\nthreat: 2...Rae8#\n1...Ra5?"},
    {"en_passant_key", "8/8/8/3pP3/8/2p5/Q7/2k1K3 w - d6 0 1", "#2", "sound: one solution",
     "1.e6?\nzugzwang\n1...c2 2.Qa1#\n1...d4!"},
    {"underpromotion_key", "8/k1P5/2K5/8/6p1/6B1/8/8 w - - 0 1", "#2", "sound: one solution", "1.c8=R!"},
    {"helpmate_two", "8/8/8/2R5/K5b1/8/8/2k5 b - - 0 1", "h#2", "cooked: 2 solutions", "1.Kb1 Kb3 2.Ka1 Rc1#"},
    {"helpmate_sound", "7k/1R6/6n1/7B/8/8/7K/8 w - - 0 1", "Helpmate in 2", "sound: one solution",
     "1.Ne7 Bg6 2.Ng8 Rh7#"},
    {"checking_mates", "8/3PR3/8/8/3k4/8/P1R5/R3K2R b KQ - 0 1", "h#1", "cooked: 5 solutions", "1.Kd5 d8=R#"},
    {"threat_answers_all", "8/8/3Q2p1/6p1/8/4k3/8/R3K2R w KQ - 0 1", "#2", "sound: one solution",
     "1.0-0!\nthreat: 2.Rae1#\n1.Ra4?"},
    {"helpmate_two_stated", "8/8/8/2R5/K5b1/8/8/2k5 b - - 0 1", "h#2, 2 solutions", "sound: 2 solutions",
     "1.Kb1 Ka3 2.Ka1 Rc1#"},
    {"helpmate_fewer", "7k/1R6/6n1/7B/8/8/7K/8 w - - 0 1", "h#2 (3 sol.)", "fewer solutions than stated",
     "1.Ne7 Bg6 2.Ng8 Rh7#"},
    {"helpmate_half", "7k/1R6/6n1/7B/8/8/7K/8 w - - 0 1", "h#2.5", "cooked: 15 solutions",
     "1...Rg7 2.Nf8 Bf7 3.Nh7 Rg8#"},
    {"helpmate_set_play", "7k/1R6/6n1/7B/8/8/7K/8 w - - 0 1", "h#2.5*", "cooked: 15 solutions",
     "set play:\n1.Ne7 Bg6 2.Ng8 Rh7#\n1...Kg1"},
    {"helpmate_duplex_illegal", "8/8/8/2R5/K5b1/8/8/2k5 b - - 0 1", "h#2 duplex",
     "cooked: 2 solutions; duplex: the position cannot be played with the other side to move", "duplex:\n"},
    {"helpstalemate", "8/2R1N2k/1K1b4/1p6/4R3/8/8/8 b - - 0 1", "h=2", "sound: one solution",
     "1.Bb4 Ng6+ 2.Kg8 Rxb4="},
    {"selfmate_one", "8/8/8/4Bp1P/8/5Rpk/7p/7K w - - 0 1", "s#1", "sound: one solution", "1.Rf4!"},
    {"selfmate_short", "8/8/8/4Bp1P/8/5Rpk/7p/7K w - - 0 1", "s#2", "short solution: selfmate in 1", "1.Rf4!"},
    {"selfmate_zugzwang", "8/8/8/8/6p1/7k/4Q2p/4b2K w - - 0 1", "Обратный мат в 2 хода", "sound: one solution",
     "1.Qxe1!\nzugzwang\n1...g3 2.Qb4 g2#\n"},
    {"reflexmate", "8/7B/8/8/1p6/k7/8/K7 w - - 0 1", "r#2", "sound: one solution", "1.Bc2!\nzugzwang\n1...b3 2.Bb1 b2#\n"},
    {"reflexmate_white_must_mate", "6k1/5ppp/8/8/8/8/8/R5K1 w - - 0 1", "r#2", "no solution", ""},
    {"stalemate", "1R6/8/N7/k7/8/7K/8/7B w - - 0 1", "=1", "sound: one solution", "1.Nc5=!"},
    {"selfstalemate", "8/8/8/8/1p4Q1/k7/p7/K6b w - - 0 1", "s=2", "sound: one solution",
     "1.Qf3+?\n1...b3 2.Qxb3+ Kxb3=\n1...Bxf3=\n1...Ka4!"},
    {"series_mate", "5k2/8/8/4K3/3pN2b/4P3/2n3R1/8 w - - 0 1", "ser-#3 (2 sol.)", "sound: 2 solutions",
     "1.Nf6 2.Ke6 3.Rg8#"},
    {"series_helpmate", "8/8/5R2/7K/8/8/2r3k1/4n3 b - - 0 1", "Серийный кооперативный мат в 3 хода",
     "sound: one solution", "1.Kh3 2.Rh2 3.Ng2 Rf3#"},
    {"series_selfmate", "8/8/8/2p5/7b/kpR5/p7/K7 w - - 0 1", "ser-s#3", "cooked: 4 solutions",
     "1.Rxc5 2.Rh5 3.Rxh4 b2#"},
    {"series_stalemate", "8/3K4/3B4/3N4/k7/8/8/8 w - - 0 1", "ser-=4, 4 solutions", "sound: 4 solutions",
     "1.Kc6 2.Kc5 3.Kc4 4.Bb4="},
    {"discovered_mates", "R2K3k/6pp/8/8/8/8/8/8 w - - 0 1", "#1", "cooked: 1.Kc7#! 1.Kd7#! 1.Ke7#!", "1.Kd7#!"},
    {"stalemate_is_no_mate", "k7/8/1K6/8/5B2/8/8/8 w - - 0 1", "#2", "no solution", ""},
};

// The side that begins, as the program sets it up.
colour first_side(const fen_record& record, const stipulation& task)
{
    if (task.play == play_kind::help)
        return task.half ? white : black;
    if (task.play == play_kind::series && task.aim == aim_kind::help)
        return black;
    return position_from_fen(record).side;
}

std::vector<move> sorted(std::vector<move> moves)
{
    std::sort(moves.begin(), moves.end());
    return moves;
}

// The solver's keys, tries and solutions against the brute force's.
void expect_brute_force_agrees(const position& p, const stipulation& task)
{
    if (task.play == play_kind::battle) {
        const battle_result result = check_battle(p, task);
        std::vector<move> keys;
        for (const first_move& key : result.keys)
            keys.push_back(key.played);
        const brute::keys_found expected = brute::keys(p, task.goal, task.aim, task.moves);
        EXPECT_EQ(result.length, expected.length);
        EXPECT_EQ(sorted(keys), expected.keys);
        if (task.moves == 2 && result.length != 1) {
            std::vector<std::pair<move, move>> tries;
            for (const try_move& t : result.tries)
                tries.push_back({t.play.played, t.refutation});
            std::sort(tries.begin(), tries.end());
            EXPECT_EQ(tries, brute::tries(p, task.goal, task.aim));
        }
        return;
    }
    const line_result result = task.play == play_kind::help ? check_help(p, task) : check_series(p, task);
    const brute::lines_found expected = task.play == play_kind::help
                                            ? brute::help_solutions(p, task.goal, help_plies(task))
                                            : brute::series_solutions(p, task.goal, task.aim, task.moves);
    std::vector<std::vector<move>> solutions = result.solutions;
    std::sort(solutions.begin(), solutions.end());
    EXPECT_EQ(result.length, expected.length);
    EXPECT_EQ(solutions, expected.lines);
}

class problem_check_rows : public testing::TestWithParam<problem_row> {};

TEST_P(problem_check_rows, gives_the_known_verdict_and_agrees_with_brute_force)
{
    const problem_row& row = GetParam();
    fen_record record;
    stipulation task;
    std::string error;
    ASSERT_TRUE(fen_read(row.fen, &record, &error)) << error;
    ASSERT_TRUE(stipulation_read(row.stipulation, &task, &error)) << error;
    problem_report report;
    ASSERT_TRUE(problem_check(record, task, notation::english, &report, &error)) << error;
    const std::string& output = report.text;
    expect_brute_force_agrees(position_from_fen(record, first_side(record, task)), task);
    // A duplex half that cannot be played (the side not to move in check) is not searched.
    const position other_half = position_from_fen(record, opponent(first_side(record, task)));
    if (task.duplex && position_problem(other_half).empty())
        expect_brute_force_agrees(other_half, task);
    EXPECT_EQ(report.verdict, row.verdict) << output;
    if (*row.shown_line)
        EXPECT_NE(("\n" + output).find("\n" + std::string(row.shown_line)), std::string::npos) << output;
    else
        EXPECT_EQ(output, report.verdict + "\n") << "no key, and no try either";
    // Every round shared among threads from its start: the same report.
    search_control shared;
    shared.jobs = 3;
    shared.share_after_seconds = 0;
    problem_report shared_report;
    ASSERT_TRUE(problem_check(record, task, notation::english, &shared_report, &error, shared)) << error;
    EXPECT_EQ(shared_report.text, output);
    // Stopped before it began: nothing is claimed but the interruption.
    search_control stopped;
    stopped.stop = true;
    ASSERT_TRUE(problem_check(record, task, notation::english, &shared_report, &error, stopped)) << error;
    EXPECT_EQ(shared_report.text, "interrupted\n");
}

INSTANTIATE_TEST_SUITE_P(known, problem_check_rows, testing::ValuesIn(problem_rows),
                         [](const testing::TestParamInfo<problem_row>& row) { return row.param.name; });

// --- problem files, twin by twin ---

struct file_problem_row {
    const char* name;
    std::string file;                  // the standard solver's input or YAML records
    std::vector<std::string> twins;    // added to every problem as --twin adds them
    std::vector<std::string> reports;  // per problem, in English
};

// Worked out by hand, with the rows above:
// selfmate_and_helpmates: selfmate_zugzwang, and helpmate_two with and without its count stated.
// twins: from f3 the bishop reaches the b1-h7 diagonal at e4 instead of at g6, and guards h7 as well;
// from e8 it reaches g6 through f7. The rook and the knight play as in helpmate_sound.
// duplex_and_set_play, duplex_of_twins: helpmate_sound; with the colours exchanged Black's king and
// knight cannot mate in two, so the problem is only as good as that half.
// half_duplex: helpmate_sound with the colours exchanged, so only White beginning is asked.
// white_to_play: h#1 becomes h#0.5; the queen mates on a8 and, guarded by the king, on g7.
const file_problem_row file_problem_rows[] = {
    {"solver_selfmate_and_helpmates",
     "begin\ntitle Selfmate\nforsyth 8/8/8/8/6p1/7k/4Q2p/4b2K\nstipulation s#2\nnext\ntitle Two solutions\n"
     "pieces white ka4 rc5 black kc1 bg4\nstipulation h#2\nremark intended-solutions 2\n"
     "next\npieces white ka4 rc5 black kc1 bg4\nstipulation h#2\nend\n",
     {},
     {"Problem 1: Selfmate\n1.Qxe1!\nzugzwang\n1...g3 2.Qb4 g2#\nsound: one solution\n",
      "Problem 2: Two solutions\n1.Kb1 Ka3 2.Ka1 Rc1#\n1.Kb1 Kb3 2.Ka1 Rc1#\nsound: 2 solutions\n",
      "Problem 3\n1.Kb1 Ka3 2.Ka1 Rc1#\n1.Kb1 Kb3 2.Ka1 Rc1#\ncooked: 2 solutions\n"}},
    {"yaml_intended_solutions",
     "---\nalgebraic:\n  white: [Ka4, Rc5]\n  black: [Kc1, Bg4]\nstipulation: h#2\nintended-solutions: 2\n"
     "solution: |\n  1.Kc1-b1 Ka4-a3 2.Kb1-a1 Rc5-c1 #\n  1.Kc1-b1 Ka4-b3 2.Kb1-a1 Rc5-c1 #\n",
     {},
     {"Problem 1\n1.Kb1 Ka3 2.Ka1 Rc1#\n1.Kb1 Kb3 2.Ka1 Rc1#\nsound: 2 solutions\nthe solutions are those recorded\n"}},
    {"solver_twin_move_and_written_twin_of_a_helpmate",
     "begin\npieces white kh2 rb7 bh5 black kh8 sg6\nstipulation h#2\ntwin move h5 f3\nend\n",
     {"c) Bh5→e8"},
     {"Problem 1\n1.Ne7 Bg6 2.Ng8 Rh7#\nsound: one solution\nb) Bh5→f3\n1.Ne7 Be4 2.Ng8 Rh7#\nsound: one solution\n"
      "c) Bh5→e8\n1.Ne7 Bg6 2.Ng8 Rh7#\nsound: one solution\nproblem: sound\n"}},
    {"solver_duplex_and_set_play",
     "begin\npieces white kh2 rb7 bh5 black kh8 sg6\nstipulation h#2\noption duplex setplay\nend\n",
     {},
     {"Problem 1\nset play: none\n1.Ne7 Bg6 2.Ng8 Rh7#\nsound: one solution\nduplex:\nset play: none\nno solution\n"}},
    {"solver_duplex_of_twins",
     "begin\npieces white kh2 rb7 bh5 black kh8 sg6\nstipulation h#2\noption duplex\ntwin move h5 f3\nend\n",
     {},
     {"Problem 1\n1.Ne7 Bg6 2.Ng8 Rh7#\nsound: one solution\nduplex:\nno solution\nb) Bh5→f3\n"
      "1.Ne7 Be4 2.Ng8 Rh7#\nsound: one solution\nduplex:\nno solution\n"
      "problem: sound: one solution; duplex: no solution\n"}},
    {"solver_half_duplex_of_a_helpmate",
     "begin\npieces white kh8 sg6 black kh2 rb7 bh5\nstipulation h#2\noption halfduplex\nend\n",
     {},
     {"Problem 1\n1.Ne7 Bg6 2.Ng8 Rh7#\nsound: one solution\n"}},
    {"solver_white_to_play",
     "begin\npieces white kg6 qa1 black kg8\nstipulation h#1\noption whitetoplay\nend\n",
     {},
     {"Problem 1\n1...Qg7#\n1...Qa8#\ncooked: 2 solutions\n"}},
};

class problem_file_rows : public testing::TestWithParam<file_problem_row> {};

TEST_P(problem_file_rows, reports_every_part_agrees_with_brute_force_and_reads_back_with_its_solutions)
{
    const file_problem_row& row = GetParam();
    std::vector<problem_entry> entries;
    problems_parse(row.file, &entries);
    ASSERT_EQ(entries.size(), row.reports.size());
    for (std::size_t i = 0; i < entries.size(); i++) {
        ASSERT_TRUE(entries[i].read) << entries[i].error;
        problem_record problem = entries[i].record;
        std::string error, report;
        ASSERT_TRUE(problem_twins_add_written(row.twins, &problem, &error)) << error;
        EXPECT_TRUE(problem_parts_report(problem, entries[i].number, notation::english, &report));
        EXPECT_EQ(report, row.reports[i]);
        std::vector<problem_part> parts;
        ASSERT_TRUE(problem_parts(problem, notation::english, &parts, &error)) << error;
        for (const problem_part& part : parts) {
            stipulation task;
            ASSERT_TRUE(stipulation_read_short(part.stipulation, &task, &error)) << error;
            const colour first = first_side(part.position, task);
            const colour own = problem.options.half_duplex ? opponent(first) : first;
            expect_brute_force_agrees(position_from_fen(part.position, own), task);
            const position other = position_from_fen(part.position, opponent(own));
            if (problem.options.duplex && position_problem(other).empty())
                expect_brute_force_agrees(other, task);
        }
        // Written out with what it found, it reads back as the same problem;
        // a YAML record keeps the solutions, and they are those recorded.
        const std::string recorded = "the solutions are those recorded\n";
        const std::string bare = report.ends_with(recorded) ? report.substr(0, report.size() - recorded.size()) : report;
        problem.solution = bare.substr(bare.find('\n') + 1);
        for (const bool yaml : {false, true}) {
            const std::string written = yaml ? yaml_problem_write(problem) : solver_input_write(problem);
            std::vector<problem_entry> again;
            problems_parse(written, &again);
            ASSERT_EQ(again.size(), 1u) << written;
            ASSERT_TRUE(again[0].read) << again[0].error;
            std::string report_again;
            EXPECT_TRUE(problem_parts_report(again[0].record, entries[i].number, notation::english, &report_again));
            EXPECT_EQ(report_again, yaml ? bare + recorded : bare) << written;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(files, problem_file_rows, testing::ValuesIn(file_problem_rows),
                         [](const testing::TestParamInfo<file_problem_row>& row) { return row.param.name; });

// --- random problems ---

// The verdict a reader should see, from the brute force's answer alone: the
// keys of a cook are named in the order the moves are generated.
std::string expected_verdict(const position& p, const stipulation& task, int length, int full, int found,
                             const std::vector<move>& keys)
{
    if (length == 0)
        return "no solution";
    if (length < full) {
        stipulation shorter = task;
        shorter.moves = task.play == play_kind::help ? length / 2 : length;
        shorter.half = task.play == play_kind::help && length % 2 == 1;
        return "short solution: " + genre_text(shorter, notation::english);
    }
    if (found == 1)
        return "sound: one solution";
    if (task.play != play_kind::battle)
        return "cooked: " + std::to_string(found) + " solutions";
    std::string verdict = "cooked:";
    move_list list;
    legal_moves(p, &list);
    for (move m : list)
        if (std::binary_search(keys.begin(), keys.end(), m))
            verdict += std::string(" ") + (p.side == white ? "1." : "1...") + move_text(p, m, notation::english) + "!";
    return verdict;
}

// A key's or a try's threat and tree against the brute force's.
// A try's tree leaves out its refutation, which is printed on its own.
void compare_play(const position& p, const stipulation& task, const first_move& first, int length, std::ostream& out,
                  move refutation = no_move)
{
    position after = p;
    undo_record undo;
    make(&after, first.played, &undo);
    std::vector<move> threats = first.threats;
    std::sort(threats.begin(), threats.end());
    const brute::threat_found threat = brute::threat_after(after, task.goal, task.aim, length - 1);
    const std::string name = move_text(p, first.played, notation::english);
    if (first.threat_length != threat.length || threats != threat.moves)
        out << "threat after " << name << ": " << threats.size() << " moves in " << first.threat_length
            << ", expected " << threat.moves.size() << " in " << threat.length << "\n";
    if (length != 2)
        return;
    std::vector<std::pair<move, std::vector<move>>> tree;
    for (const variation& v : first.variations) {
        std::vector<move> continuations = v.continuations;
        std::sort(continuations.begin(), continuations.end());
        tree.push_back({v.defence, continuations});
    }
    std::sort(tree.begin(), tree.end());
    std::vector<std::pair<move, std::vector<move>>> expected = brute::solution_tree(after, task.goal, task.aim, threat);
    std::erase_if(expected, [&](const auto& v) { return v.first == refutation; });
    if (tree != expected) {
        out << "solution tree after " << name << " differs:";
        const auto show = [&](const std::vector<std::pair<move, std::vector<move>>>& t) {
            for (const auto& [defence, wins] : t) {
                out << " " << move_text(after, defence, notation::english) << "(" << wins.size() << ")";
            }
        };
        show(tree);
        out << " / expected";
        show(expected);
        out << "\n";
    }
}

// Everything the solver says about a battle problem against the brute force;
// empty when nothing differs. *length is the brute force's.
std::string battle_differences(const position& p, const stipulation& task, int* length)
{
    const brute::keys_found expected = brute::keys(p, task.goal, task.aim, task.moves);
    *length = expected.length;
    const battle_result result = check_battle(p, task);
    std::ostringstream out;
    std::vector<move> keys;
    for (const first_move& key : result.keys)
        keys.push_back(key.played);
    std::sort(keys.begin(), keys.end());
    if (keys != expected.keys || result.length != expected.length)
        out << "keys: the solver finds " << keys.size() << " in " << result.length << ", the brute force "
            << expected.keys.size() << " in " << expected.length << "\n";
    const std::string verdict = battle_verdict(p, task, result, notation::english);
    const std::string wanted =
        expected_verdict(p, task, expected.length, task.moves, int(expected.keys.size()), expected.keys);
    if (verdict != wanted)
        out << "verdict: \"" << verdict << "\", expected \"" << wanted << "\"\n";
    for (const first_move& key : result.keys)
        compare_play(p, task, key, result.length, out);
    if (task.moves == 2 && result.length != 1) {
        std::vector<std::pair<move, move>> tries;
        for (const try_move& t : result.tries) {
            tries.push_back({t.play.played, t.refutation});
            compare_play(p, task, t.play, 2, out, t.refutation);
        }
        std::sort(tries.begin(), tries.end());
        const std::vector<std::pair<move, move>> expected_tries = brute::tries(p, task.goal, task.aim);
        if (tries != expected_tries)
            out << "tries: the solver finds " << tries.size() << ", the brute force " << expected_tries.size() << "\n";
    }
    return out.str();
}

std::string line_differences(const position& p, const stipulation& task, int* length)
{
    const bool help = task.play == play_kind::help;
    const brute::lines_found expected = help ? brute::help_solutions(p, task.goal, help_plies(task))
                                             : brute::series_solutions(p, task.goal, task.aim, task.moves);
    *length = expected.length;
    const line_result result = help ? check_help(p, task) : check_series(p, task);
    std::vector<std::vector<move>> solutions = result.solutions;
    std::sort(solutions.begin(), solutions.end());
    std::ostringstream out;
    if (solutions != expected.lines || result.length != expected.length)
        out << "solutions: the solver finds " << solutions.size() << ", the brute force " << expected.lines.size()
            << "\n";
    const int full = help ? help_plies(task) : task.moves;
    const std::string verdict = line_verdict(task, result, notation::english);
    const std::string wanted = expected_verdict(p, task, expected.length, full, int(expected.lines.size()), {});
    if (verdict != wanted)
        out << "verdict: \"" << verdict << "\", expected \"" << wanted << "\"\n";
    return out.str();
}

// Self play needs a defender who can be forced to mate: a king cornered
// behind the defender's pawns, as in a composer's selfmate frame, with the
// attacker's pieces and a few of the defender's placed at random. Mirrored
// left to right at random, and with the colours exchanged (Black attacking)
// half the time.
position framed_position(random_source* random, int extra_pieces)
{
    for (;;) {
        char board[64];
        std::fill(board, board + 64, '.');
        const auto at = [&](int file, int rank) -> char& { return board[rank * 8 + file]; };
        at(0, 0) = 'K';
        at(0, 2) = 'k';
        at(0, 1) = 'p';
        at(1, 2) = 'p';
        const char attackers[] = "QRRBBNNP", defenders[] = "pbnr";
        const int pieces = 1 + random->below(extra_pieces);
        for (int i = 0; i < pieces; i++) {
            const int square = random->below(64);
            if (board[square] != '.')
                continue;
            const bool defender = i > 0 && random->percent(30);
            const char piece = defender ? defenders[random->below(4)] : attackers[random->below(8)];
            if ((piece == 'P' || piece == 'p') && (square < 8 || square >= 56))
                continue;
            board[square] = piece;
        }
        const bool mirrored = random->percent(50), exchanged = random->percent(50);
        std::string fen;
        for (int rank = 7; rank >= 0; rank--) {
            int empties = 0;
            for (int file = 0; file < 8; file++) {
                char c = board[(exchanged ? 7 - rank : rank) * 8 + (mirrored ? 7 - file : file)];
                if (c == '.') {
                    empties++;
                    continue;
                }
                if (exchanged)
                    c = char(std::isupper(c) ? std::tolower(c) : std::toupper(c));
                fen += (empties ? std::to_string(empties) : "") + c;
                empties = 0;
            }
            fen += (empties ? std::to_string(empties) : "") + (rank ? "/" : "");
        }
        fen_record record;
        std::string error;
        if (!fen_read(fen + (exchanged ? " b - - 0 1" : " w - - 0 1"), &record, &error))
            continue;
        const position p = position_from_fen(record);
        if (position_problem(p).empty())
            return p;
    }
}

// Random positions for each genre, kept by the brute force's answer so that
// at least a third have a key or a solution. Boards are sparse, kings mostly
// near the edges, where mates and stalemates are likely; the longer the
// search, the fewer pieces, since the brute force grows exponentially with
// the moves.
struct random_problem_row {
    const char* name;
    const char* stipulation;
    int count;            // in the optimised build
    int sanitized_count;  // unoptimised and sanitizer builds
    int max_pieces;
    bool framed = false;  // self play: framed_position() with up to max_pieces - 4 pieces added
};

const random_problem_row random_problem_rows[] = {
    {"mate_in_1", "#1", 1000, 100, 9},
    {"mate_in_2", "#2", 1000, 100, 7},
    {"mate_in_3", "#3", 600, 60, 6},
    {"selfmate_in_1", "s#1", 800, 80, 8, true},
    {"selfmate_in_2", "s#2", 500, 50, 6, true},
    {"reflexmate_in_1", "r#1", 800, 80, 8},
    {"reflexmate_in_2", "r#2", 150, 15, 6},
    {"stalemate_in_1", "=1", 800, 80, 8},
    {"stalemate_in_2", "=2", 500, 50, 6},
    {"selfstalemate_in_2", "s=2", 400, 40, 6, true},
    {"helpmate_in_1", "h#1", 800, 80, 9},
    {"helpmate_in_1_5", "h#1.5", 600, 60, 8},
    {"helpmate_in_2", "h#2", 500, 50, 7},
    {"helpstalemate_in_1_5", "h=1.5", 600, 60, 7},
    {"helpstalemate_in_2", "h=2", 400, 40, 6},
    {"series_mate_in_3", "ser-#3", 500, 50, 6},
    {"series_stalemate_in_3", "ser-=3", 400, 40, 6},
    {"series_helpmate_in_3", "ser-h#3", 500, 50, 6},
    {"series_helpstalemate_in_2", "ser-h=2", 400, 40, 6},
    {"series_selfmate_in_2", "ser-s#2", 400, 40, 6, true},
};

void PrintTo(const random_problem_row& row, std::ostream* out)
{
    *out << row.name;
}

class random_problems : public testing::TestWithParam<random_problem_row> {};

TEST_P(random_problems, solver_agrees_with_brute_force)
{
    const random_problem_row& row = GetParam();
    stipulation task;
    std::string error;
    ASSERT_TRUE(stipulation_read(row.stipulation, &task, &error)) << error;
    // Help play begins with the side its genre names; battle and series play
    // with either, the colours' roles exchanged for Black.
    const bool fixed_side = task.play == play_kind::help || task.aim == aim_kind::help;
    const int side = !fixed_side ? any_side : task.half ? int(white) : int(black);
    std::uint64_t seed = 0x5EED0028;
    for (const char* c = row.stipulation; *c; c++)
        seed = seed * 131 + std::uint8_t(*c);
    random_source random(seed);
    const board_shape shape{.min_pieces = 3, .max_pieces = row.max_pieces, .pawn_percent = 25,
                            .movers_percent = fixed_side ? 35 : 70, .kings_at_edge_percent = 70,
                            .castling_percent = 10, .played_percent = 15, .en_passant_percent = 3, .side = side};
    const int count = differential_count(row.count, row.sanitized_count);
    int kept = 0, solved = 0, generated = 0, mismatches = 0, to_move[2] = {0, 0};
    while (kept < count && mismatches < 5) {
        const position p = row.framed ? framed_position(&random, row.max_pieces - 4) : random_position(&random, shape);
        generated++;
        int length = 0;
        const std::string differences =
            task.play == play_kind::battle ? battle_differences(p, task, &length) : line_differences(p, task, &length);
        // Positions without a solution are kept only up to two thirds.
        if (length == 0 && differences.empty() && 3 * (kept - solved + 1) > 2 * count)
            continue;
        kept++;
        solved += length > 0;
        to_move[p.side]++;
        if (!differences.empty()) {
            mismatches++;
            ADD_FAILURE() << "seed " << seed << ", " << row.name << ", position " << generated << ": "
                          << position_fen(p) << "\n" << differences;
        }
    }
    EXPECT_GE(3 * solved, kept) << "positions with a solution (seed " << seed << ")";
    if (!fixed_side) {
        EXPECT_TRUE(to_move[white] >= count / 4 && to_move[black] >= count / 4)
            << "White to move " << to_move[white] << ", Black " << to_move[black];
    }
    std::printf("%s: %d positions, %d with a solution\n", row.name, kept, solved);
}

INSTANTIATE_TEST_SUITE_P(differential, random_problems, testing::ValuesIn(random_problem_rows),
                         [](const testing::TestParamInfo<random_problem_row>& row) { return row.param.name; });

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
