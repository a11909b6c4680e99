// Moves as problem columns print them, in both languages: piece letters,
// captures, which of two like pieces moved, promotions, castling, en
// passant, check and mate. Expectations are read off the board by hand.
#include <gtest/gtest.h>

#include "chess/moves.h"
#include "chess/notation.h"

namespace {

struct notation_row {
    const char* fen;
    const char* move;  // from, to and a promotion letter: "b7b8n"
    const char* russian;
    const char* english;
};

const notation_row notation_rows[] = {
    {"rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1", "g1f3", "Кf3", "Nf3"},
    {"rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1", "e2e4", "e4", "e4"},
    {"4k3/8/8/8/8/5N2/8/1N2K3 w - - 0 1", "b1d2", "Кbd2", "Nbd2"},
    {"4k3/8/8/R7/8/8/8/R3K3 w - - 0 1", "a1a3", "Л1a3", "R1a3"},
    {"8/8/1k6/8/4Q2Q/8/8/K6Q w - - 0 1", "h4e1", "Фh4e1", "Qh4e1"},
    {"8/8/8/3pP3/8/2p5/Q7/2k1K3 w - d6 0 1", "e5d6", "exd6", "exd6"},
    {"8/8/3Q2p1/6p1/8/4k3/8/R3K2R w KQ - 0 1", "e1g1", "0-0", "0-0"},
    {"8/8/3Q2p1/6p1/8/4k3/8/R3K2R w KQ - 0 1", "e1c1", "0-0-0", "0-0-0"},
    {"8/8/3Q2p1/6p1/8/4k3/8/R3K2R w KQ - 0 1", "e1f1", "Крf1", "Kf1"},
    {"8/8/3Q2p1/6p1/8/4k3/8/R3K2R w KQ - 0 1", "a1a3", "Лa3+", "Ra3+"},
    {"6k1/5ppp/8/8/8/8/8/R5K1 w - - 0 1", "a1a8", "Лa8#", "Ra8#"},
    {"k2N4/8/K7/8/8/8/8/8 w - - 0 1", "d8c6", "Кc6=", "Nc6="},
    {"4k3/1P6/8/8/8/8/8/K7 w - - 0 1", "b7b8q", "b8=Ф+", "b8=Q+"},
    {"4k3/1P6/8/8/8/8/8/K7 w - - 0 1", "b7b8n", "b8=К", "b8=N"},
    {"2n1k3/1P6/8/8/8/8/8/K7 w - - 0 1", "b7c8r", "bxc8=Л+", "bxc8=R+"},
    {"4kb1r/p2n1ppp/4q3/4p1B1/4P3/1Q6/PPP2PPP/2KR4 w k - 0 16", "d1d7", "Лxd7", "Rxd7"},
};

TEST(notation, writes_moves_as_problem_columns_print_them)
{
    for (const notation_row& row : notation_rows) {
        fen_record record;
        std::string error;
        ASSERT_TRUE(fen_read(row.fen, &record, &error)) << error;
        const position p = position_from_fen(record);
        const std::string wanted = row.move;
        move_list list;
        legal_moves(p, &list);
        move found = no_move;
        for (move m : list) {
            std::string name = square_text(move_from(m)) + square_text(move_to(m));
            if (is_promotion(m))
                name += "nbrq"[promoted_type(m) - knight];
            if (name == wanted)
                found = m;
        }
        ASSERT_NE(found, no_move) << row.fen << " " << row.move << " is not legal";
        EXPECT_EQ(move_text(p, found, notation::russian), row.russian) << row.fen;
        EXPECT_EQ(move_text(p, found, notation::english), row.english) << row.fen;
    }
}

}  // namespace
