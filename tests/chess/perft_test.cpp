// The move generator against the published perft counts of the six usual
// test positions: castling, en passant, promotion, pins and checks all meet
// in them. Depths stay small enough for the sanitizer build; the bench goes
// deeper. Then against Debian's stockfish on thousands of random positions,
// move by move, so a difference names the move the two disagree on.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "chess/moves.h"
#include "tests/support/random_position.h"
#include "tests/support/test_support.h"

namespace {

struct perft_row {
    const char* name;
    const char* fen;
    int depth;
    std::uint64_t nodes;
};

const perft_row perft_rows[] = {
    {"initial", "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1", 4, 197281},
    {"kiwipete", "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1", 3, 97862},
    {"position_3", "8/2p5/3p4/KP5r/1R3p1k/8/4P1P1/8 w - - 0 1", 4, 43238},
    {"position_4", "r3k2r/Pppp1ppp/1b3nbN/nP6/BBP1P3/q4N2/Pp1P2PP/R2Q1RK1 w kq - 0 1", 3, 9467},
    {"position_5", "rnbq1k1r/pp1Pbppp/2p5/8/2B5/8/PPP1NnPP/RNBQK2R w KQ - 1 8", 3, 62379},
    {"position_6", "r4rk1/1pp1qppp/p1np1n2/2b1p1B1/2B1P1b1/P1NP1N2/1PP1QPPP/R4RK1 w - - 0 10", 3, 89890},
    // Not published: an en passant square no double step could have left (a pawn
    // "behind" e3 on e2) is ignored; the count is that of the same board with "-".
    {"en_passant_wrong_rank", "4k3/8/8/8/8/8/3Pp3/4K3 w - e3 0 1", 2, 24},
    // Counted by hand at depth 1 (Kd1, Kd2, Kf1: in double check the bishop may not take
    // the knight, nor the rook block the file), deeper by Debian's stockfish.
    {"double_check_only_the_king_moves", "4r1k1/8/8/8/R7/3n4/2B5/4K3 w - - 0 1", 3, 1462},
    // After Nxh8 Black may no longer castle short, though f8 and g8 are free and safe.
    {"rook_taken_at_home_loses_its_castling", "r3k2r/8/6N1/8/8/8/8/4K3 w kq - 0 1", 2, 251},
};

class perft_count : public testing::TestWithParam<perft_row> {};

TEST_P(perft_count, matches_the_published_count)
{
    const perft_row& row = GetParam();
    fen_record record;
    std::string error;
    ASSERT_TRUE(fen_read(row.fen, &record, &error)) << error;
    position p = position_from_fen(record);
    ASSERT_EQ(position_problem(p), "");
    const position before = p;
    EXPECT_EQ(perft(&p, row.depth), row.nodes);
    EXPECT_EQ(position_fen(p), position_fen(before)) << "make and unmake leave the position as it was";
    EXPECT_EQ(p.key, before.key);
}

INSTANTIATE_TEST_SUITE_P(published, perft_count, testing::ValuesIn(perft_rows),
                         [](const testing::TestParamInfo<perft_row>& row) { return row.param.name; });

// --- against stockfish ---

// Perft split by first move ("divide"), keyed by the move in stockfish's own
// text: from and to square, and the promotion letter; castling is the king's move.
using divide = std::map<std::string, std::uint64_t>;

std::string engine_text(move m)
{
    std::string text = square_text(move_from(m)) + square_text(move_to(m));
    if (is_promotion(m))
        text += "nbrq"[promoted_type(m) - knight];
    return text;
}

divide our_divide(position p, int depth)
{
    divide counts;
    move_list list;
    legal_moves(p, &list);
    undo_record undo;
    for (move m : list) {
        make(&p, m, &undo);
        counts[engine_text(m)] += perft(&p, depth - 1);  // a move generated twice counts twice
        unmake(&p, m, undo);
    }
    return counts;
}

std::uint64_t total(const divide& counts)
{
    std::uint64_t sum = 0;
    for (const auto& [text, nodes] : counts)
        sum += nodes;
    return sum;
}

// Where the test finds stockfish: on PATH, else where Debian puts it.
std::string stockfish_program()
{
    std::string dirs = std::getenv("PATH") ? std::getenv("PATH") : "";
    dirs += ":/usr/games";
    std::istringstream list(dirs);
    for (std::string dir; std::getline(list, dir, ':');)
        if (!dir.empty() && access((dir + "/stockfish").c_str(), X_OK) == 0)
            return dir + "/stockfish";
    return {};
}

// One stockfish process for every position: the commands go in a file, the
// answers come back in another, one divide per position in order. Empty, with
// *error set, when stockfish did not answer for each.
std::vector<divide> stockfish_divides(const std::vector<std::string>& fens, int depth, std::string* error)
{
    const std::string program = stockfish_program();
    if (program.empty()) {
        *error = "stockfish is not installed (make test installs it: tools/install-deps test)";
        return {};
    }
    temp_folder folder;
    {
        std::ofstream commands(folder.file("commands"));
        commands << "setoption name Use NNUE value false\n";  // perft never evaluates: no network file needed
        for (const std::string& fen : fens)
            commands << "position fen " << fen << "\ngo perft " << depth << "\n";
    }
    const int status = run_command("'" + program + "' < " + folder.file("commands") + " > " + folder.file("answers"));
    std::vector<divide> answers(1);
    std::ifstream in(folder.file("answers"));
    for (std::string line; std::getline(in, line);) {
        if (line.rfind("Nodes searched:", 0) == 0) {
            answers.emplace_back();
            continue;
        }
        const std::size_t colon = line.find(": ");
        if (colon == 4 || colon == 5)
            answers.back()[line.substr(0, colon)] = std::strtoull(line.c_str() + colon + 2, nullptr, 10);
    }
    answers.pop_back();
    if (status != 0 || answers.size() != fens.size()) {
        *error = program + " answered " + std::to_string(answers.size()) + " of " + std::to_string(fens.size()) +
                 " positions (exit status " + std::to_string(status) + ")";
        if (answers.size() < fens.size())
            *error += ", stopping at " + fens[answers.size()];
        return {};
    }
    return answers;
}

// The first move, in the order of the move texts, whose count differs or that only one side has.
std::string first_difference(const divide& ours, const divide& theirs)
{
    divide all = theirs;
    all.insert(ours.begin(), ours.end());
    for (const auto& [text, nodes] : all) {
        const auto a = ours.find(text), b = theirs.find(text);
        if (a == ours.end() || b == theirs.end() || a->second != b->second)
            return text;
    }
    return {};
}

// Follows the differing move down, asking stockfish again at each ply, to the
// position where one of the two has a move the other does not.
std::string explain_difference(position p, int depth, divide theirs)
{
    std::string line;
    for (;;) {
        const divide ours = our_divide(p, depth);
        const std::string text = first_difference(ours, theirs);
        const bool only_ours = !theirs.count(text), only_theirs = !ours.count(text);
        if (only_ours || only_theirs || depth == 1)
            return "after" + (line.empty() ? std::string(" nothing") : line) + ", in " + position_fen(p) + ", " +
                   text + (only_ours ? " is legal for us only" : only_theirs ? " is legal for stockfish only"
                                                                              : " is counted differently");
        move_list list;
        legal_moves(p, &list);
        for (move m : list)
            if (engine_text(m) == text) {
                undo_record undo;
                make(&p, m, &undo);
            }
        line += " " + text;
        depth--;
        std::string after_error;
        const std::vector<divide> deeper = stockfish_divides({position_fen(p)}, depth, &after_error);
        if (deeper.empty())
            return "after" + line + ": " + after_error;
        theirs = deeper[0];
    }
}

// Features the random positions must include, counted independently of the
// move generator's own shortcuts (pins and checks from the attack tables).
struct feature_counts {
    int check = 0, double_check = 0, pin = 0, castling_rights = 0, castling_move = 0, en_passant = 0, promotion = 0,
        discovered_check = 0;
};

void count_features(position p, feature_counts* counts)
{
    const colour us = p.side, them = opponent(us);
    const int king_at = p.king_square(us);
    const int checkers = square_count(attackers_of(p, king_at, p.occupied()) & p.by_colour[them]);
    counts->check += checkers == 1;
    counts->double_check += checkers >= 2;
    counts->castling_rights += p.castling != 0;
    const bitboard rooks = (p.by_type[rook] | p.by_type[queen]) & p.by_colour[them];
    const bitboard bishops = (p.by_type[bishop] | p.by_type[queen]) & p.by_colour[them];
    bitboard pinned = 0;
    for (bitboard snipers = (rook_attacks(king_at, 0) & rooks) | (bishop_attacks(king_at, 0) & bishops); snipers;) {
        const bitboard between = attacks.between[king_at][pop_lowest(&snipers)] & p.occupied();
        if (square_count(between) == 1)
            pinned |= between & p.by_colour[us];
    }
    counts->pin += pinned != 0;
    move_list list;
    legal_moves(p, &list);
    bool castles = false, en_passant = false, promotes = false, discovers = false;
    undo_record undo;
    for (move m : list) {
        const int kind = move_kind_of(m);
        castles |= kind == castle_short || kind == castle_long;
        en_passant |= kind == en_passant_capture;
        promotes |= is_promotion(m);
        if (kind == castle_short || kind == castle_long)
            continue;
        make(&p, m, &undo);
        discovers |= (attackers_of(p, p.king_square(them), p.occupied()) & p.by_colour[us] & ~square_bit(move_to(m))) != 0;
        unmake(&p, m, undo);
    }
    counts->castling_move += castles;
    counts->en_passant += en_passant;
    counts->promotion += promotes;
    counts->discovered_check += discovers;
}

TEST(perft_against_stockfish, perft_agrees_with_stockfish_on_random_positions)
{
    constexpr std::uint64_t seed = 0x5EED0001;
    constexpr int depth = 3;
    const int count = differential_count(2000, 500);
    random_source random(seed);
    const board_shape shape{.min_pieces = 2, .max_pieces = 32, .pawn_percent = 45, .kings_at_edge_percent = 0,
                            .castling_percent = 35, .played_percent = 40, .en_passant_percent = 8,
                            .side = any_side};
    std::vector<position> positions;
    std::vector<std::string> fens;
    feature_counts features;
    for (int i = 0; i < count; i++) {
        positions.push_back(random_position(&random, shape));
        fens.push_back(position_fen(positions.back()));
        count_features(positions.back(), &features);
    }
    std::string error;
    const std::vector<divide> theirs = stockfish_divides(fens, depth, &error);
    ASSERT_FALSE(theirs.empty()) << error;
    int mismatches = 0;
    for (int i = 0; i < count && mismatches < 5; i++) {
        const divide ours = our_divide(positions[std::size_t(i)], depth);
        if (ours == theirs[std::size_t(i)])
            continue;
        mismatches++;
        const std::string text = first_difference(ours, theirs[std::size_t(i)]);
        ADD_FAILURE() << "seed " << seed << ", position " << i << ": " << fens[std::size_t(i)] << "\nperft " << depth
                      << ": ours " << total(ours) << ", stockfish " << total(theirs[std::size_t(i)])
                      << "; first differing move " << text << ": ours "
                      << (ours.count(text) ? std::to_string(ours.at(text)) : "none") << ", stockfish "
                      << (theirs[std::size_t(i)].count(text) ? std::to_string(theirs[std::size_t(i)].at(text)) : "none")
                      << "\n" << explain_difference(positions[std::size_t(i)], depth, theirs[std::size_t(i)]);
    }
    // The positions hold what a move generator most often gets wrong.
    const int enough = count / 50;
    const std::pair<const char*, int> seen[] = {
        {"in check", features.check}, {"in double check", features.double_check}, {"with a pin", features.pin},
        {"with castling rights", features.castling_rights}, {"with castling legal", features.castling_move},
        {"with en passant legal", features.en_passant}, {"with a promotion", features.promotion},
        {"with a discovered check", features.discovered_check}};
    for (const auto& [what, positions_seen] : seen)
        EXPECT_GE(positions_seen, enough) << "positions " << what << " among " << count << " (seed " << seed << ")";
}

// A search tries a move remembered from another position without generating
// the whole list: every one of the 65,536 move words must be judged as the
// list judges it, kinds (capture, promotion, castling) included.
TEST(single_move_legality, agrees_with_the_whole_list_on_random_positions)
{
    constexpr std::uint64_t seed = 0x5EED0002;
    const int count = differential_count(300, 40);
    random_source random(seed);
    const board_shape shape{.min_pieces = 2, .max_pieces = 32, .pawn_percent = 45, .kings_at_edge_percent = 0,
                            .castling_percent = 35, .played_percent = 40, .en_passant_percent = 8,
                            .side = any_side};
    int mismatches = 0;
    for (int i = 0; i < count && mismatches < 5; i++) {
        const position p = random_position(&random, shape);
        move_list list;
        legal_moves(p, &list);
        std::vector<char> listed(1 << 16, 0);
        for (move m : list)
            listed[m] = 1;
        for (int word = 1; word < 1 << 16 && mismatches < 5; word++)
            if (is_legal_move(p, move(word)) != bool(listed[std::size_t(word)])) {
                mismatches++;
                ADD_FAILURE() << "seed " << seed << ", position " << i << ": " << position_fen(p) << "\nmove "
                              << move_from(move(word)) << "-" << move_to(move(word)) << " kind "
                              << move_kind_of(move(word)) << (listed[std::size_t(word)] ? " listed" : " not listed");
            }
    }
}

}  // namespace
