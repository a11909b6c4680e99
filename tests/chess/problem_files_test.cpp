// Problems as problemists keep them: twins written on a diagram and in the
// standard solver's words, that solver's input files, YAML records of the
// problem databases, and the same problems written back out. Rows give an
// input and what must come of it; "!…" is a piece of the one-line refusal.
#include <gtest/gtest.h>

#include <string>

#include "chess/fen.h"
#include "chess/stipulation_text.h"
#include "chess/twin.h"

namespace {

// Kd5 and Sf3 white, Ke7 and Pb7 black, Ra1 white.
const std::string diagram = "8/1p2k3/8/3K4/8/5N2/8/R7";

struct twin_row {
    const char* name;
    std::string twin;      // written ("b) …") or in the solver's words
    std::string expected;  // "=placement after" or "!part of the refusal"
};

const twin_row twin_rows[] = {
    {"written_move_arrow", "b) Kd5→e5", "=8/1p2k3/8/4K3/8/5N2/8/R7"},
    {"written_move_hyphen", "b) Kd5-e5", "=8/1p2k3/8/4K3/8/5N2/8/R7"},
    {"written_move_ascii_arrow", "b) Kd5->e5", "=8/1p2k3/8/4K3/8/5N2/8/R7"},
    {"written_move_russian_with_space", "b) Кр d5→e5", "=8/1p2k3/8/4K3/8/5N2/8/R7"},
    {"written_remove", "b) -Sf3", "=8/1p2k3/8/3K4/8/8/8/R7"},
    {"written_remove_minus_sign", "b) −Nf3", "=8/1p2k3/8/3K4/8/8/8/R7"},
    {"written_remove_pawn", "b) −Кf3, −b7", "=8/4k3/8/3K4/8/8/8/R7"},
    {"written_add_white_pawn", "b) +wPc3", "=8/1p2k3/8/3K4/8/2P2N2/8/R7"},
    {"written_add_black_bishop", "b) +bBe6", "=8/1p2k3/4b3/3K4/8/5N2/8/R7"},
    {"written_add_russian", "b) +бпc3, +чСe6", "=8/1p2k3/4b3/3K4/8/2P2N2/8/R7"},
    {"written_exchange", "b) Kd5↔e5", "=8/1p2k3/8/4K3/8/5N2/8/R7"},
    {"written_exchange_ascii", "b) Sf3<->d5", "=8/1p2k3/8/3N4/8/5K2/8/R7"},
    {"written_mirror_vertical_line", "b) a1↔h1", "=8/3k2p1/8/4K3/8/2N5/8/7R"},
    {"written_mirror_horizontal_line", "b) a1↔a8", "=R7/8/5N2/8/3K4/8/1p2k3/8"},
    {"written_mirror_a1_h8", "b) a1↔h8", "=7R/1p6/8/3K4/1k6/5N2/8/8"},
    {"written_mirror_a8_h1", "b) a8↔h1", "=8/8/2N5/6k1/4K3/8/6p1/R7"},
    {"written_rotate_left", "b) 90°", "=8/8/5N2/1k6/3K4/8/1p6/7R"},
    {"written_stipulation", "b) h#3", "=8/1p2k3/8/3K4/8/5N2/8/R7"},
    {"written_wrong_piece", "b) Qd5→e5", "!стоит не та фигура"},
    {"written_empty_square", "b) Kc5→e5", "!на клетке c5 нет фигуры"},
    {"written_no_label", "Kd5→e5", "!не начинается с буквы и скобки"},
    {"written_not_a_change", "b) Kd5", "!не понят"},
    {"written_add_on_a_piece", "b) +wPf3", "!клетка f3 уже занята"},
    {"solver_move_shortened", "mov d5 e5", "=8/1p2k3/8/4K3/8/5N2/8/R7"},
    {"solver_several_changes", "rem f3 add white Pc3d4 add black sg1", "=8/1p2k3/8/3K4/3P4/2P5/8/R5n1"},
    {"solver_exchange", "exchange d5 f3", "=8/1p2k3/8/3N4/8/5K2/8/R7"},
    {"solver_substitute", "substitute S B", "=8/1p2k3/8/3K4/8/5B2/8/R7"},
    {"solver_rotate_180", "rotate 180", "=7R/8/2N5/8/4K3/8/3k2p1/8"},
    {"solver_mirror_three_words", "mirror a1 <--> h1", "=8/3k2p1/8/4K3/8/2N5/8/7R"},
    {"solver_shift", "shift a1 b1", "=8/2p2k2/8/4K3/8/6N1/8/1R6"},
    {"solver_shift_off_the_board", "shift a1 a3", "!уводит фигуру с b7 с доски"},
    {"solver_polish", "polish", "=8/1P2K3/8/3k4/8/5n2/8/r7"},
    {"solver_stipulation", "stip ser-h#4", "=8/1p2k3/8/3K4/8/5N2/8/R7"},
    {"solver_condition_is_fairy", "condition circe", "!условие «circe» сказочное"},
    {"solver_nightrider_is_fairy", "add white Nc3", "!сказочная"},
    {"solver_ambiguous_prefix", "r f3", "!неоднозначное слово «r»"},
    {"solver_rotate_45", "rotate 45", "!rotate нужно 90, 180 или 270"},
};

class twin_reading : public testing::TestWithParam<twin_row> {};

TEST_P(twin_reading, applies_to_the_diagram_or_refuses_in_one_line)
{
    const twin_row& row = GetParam();
    fen_record position;
    std::string error, stipulation = "h#2";
    ASSERT_TRUE(fen_read(diagram, &position, &error));
    twin t;
    const bool written = std::string(row.name).starts_with("written");
    bool applied = written ? twin_read_written(row.twin, &t, &error) : twin_read_solver(row.twin, &t, &error);
    applied = applied && twin_apply(t, &position, &stipulation, &error);
    if (row.expected[0] == '!') {
        ASSERT_FALSE(applied);
        EXPECT_NE(error.find(row.expected.substr(1)), std::string::npos) << error;
        EXPECT_EQ(error.find('\n'), std::string::npos) << error;
        return;
    }
    ASSERT_TRUE(applied) << error;
    EXPECT_EQ(fen_placement(position.squares), row.expected.substr(1));
    // Written out in either form, the twin reads back to the same change.
    fen_record before, again;
    ASSERT_TRUE(fen_read(diagram, &before, &error));
    for (task_language language : {task_language::russian, task_language::english}) {
        const std::string text = twin_written(t, before, language);
        twin back;
        std::string ignored;
        again = before;
        if (t.changes[0].kind == twin_change_kind::substitute || t.changes[0].kind == twin_change_kind::shift ||
            t.changes[0].kind == twin_change_kind::polish || t.changes[0].kind == twin_change_kind::stipulation)
            break;  // these have no written form of their own
        ASSERT_TRUE(twin_read_written(text, &back, &error)) << text << ": " << error;
        ASSERT_TRUE(twin_apply(back, &again, &ignored, &error)) << text << ": " << error;
        EXPECT_EQ(again.squares, position.squares) << text;
    }
    twin back;
    ASSERT_TRUE(twin_read_solver(twin_solver_text(t), &back, &error)) << twin_solver_text(t) << ": " << error;
    again = before;
    std::string new_stipulation = "h#2";
    ASSERT_TRUE(twin_apply(back, &again, &new_stipulation, &error)) << error;
    EXPECT_EQ(again.squares, position.squares) << twin_solver_text(t);
    EXPECT_EQ(new_stipulation, stipulation);
}

INSTANTIATE_TEST_SUITE_P(problems, twin_reading, testing::ValuesIn(twin_rows),
                         [](const testing::TestParamInfo<twin_row>& row) { return row.param.name; });

TEST(twin_reading, writes_the_twin_as_a_diagram_prints_it)
{
    fen_record position;
    std::string error;
    ASSERT_TRUE(fen_read(diagram, &position, &error));
    twin t;
    ASSERT_TRUE(twin_read_solver("continued move d5 e5 remove f3", &t, &error)) << error;
    t.label = 'c';
    EXPECT_EQ(twin_written(t, position, task_language::russian), "+c) Крd5→e5, −Кf3");
    EXPECT_EQ(twin_written(t, position, task_language::english), "+c) Kd5→e5, −Sf3");
    EXPECT_EQ(twin_solver_text(t), "continued move d5 e5 remove f3");
}

struct stipulation_row {
    const char* input;
    const char* russian;  // or "!part of the refusal"
    const char* english;
};

TEST(stipulation_text, orthodox_short_forms_become_task_texts_and_the_rest_is_refused)
{
    const stipulation_row rows[] = {
        {"#2", "Мат в 2 хода", "Mate in 2"},
        {"s#5", "Обратный мат в 5 ходов", "Selfmate in 5"},
        {"R#21", "Рефлексный мат в 21 ход", "Reflexmate in 21"},
        {"=12", "Пат в 12 ходов", "Stalemate in 12"},
        {"s=3", "Обратный пат в 3 хода", "Selfstalemate in 3"},
        {"h# 2.5", "Кооперативный мат в 2,5 хода", "Helpmate in 2.5"},
        {"h=1", "Кооперативный пат в 1 ход", "Helpstalemate in 1"},
        {"ser-#11", "Серийный мат в 11 ходов", "Series-mate in 11"},
        {"ser-=4", "Серийный пат в 4 хода", "Series-stalemate in 4"},
        {"ser-h#7", "Серийный кооперативный мат в 7 ходов", "Series-helpmate in 7"},
        {"ser-h=3", "Серийный кооперативный пат в 3 хода", "Series-helpstalemate in 3"},
        {"ser-s#6", "Серийный обратный мат в 6 ходов", "Series-selfmate in 6"},
        {"hs#3", "!не ортодоксальный жанр", ""},
        {"semi-r#2", "!не ортодоксальный жанр", ""},
        {"exact-h#3", "!не ортодоксальный жанр", ""},
        {"pser-h#6", "!не ортодоксальный жанр", ""},
        {"reci-h#2", "!не ортодоксальный жанр", ""},
        {"dia6.5", "!не ортодоксальный жанр", ""},
        {"#2.5", "!половина хода бывает только у h# и h=", ""},
        {"#31", "!не от 1 до 30", ""},
        {"#", "!не ортодоксальный жанр", ""},
    };
    for (const stipulation_row& row : rows) {
        short_stipulation s;
        std::string error;
        const bool read = short_stipulation_read(row.input, &s, &error);
        if (row.russian[0] == '!') {
            EXPECT_FALSE(read) << row.input;
            EXPECT_NE(error.find(row.russian + 1), std::string::npos) << error;
            continue;
        }
        ASSERT_TRUE(read) << row.input << ": " << error;
        EXPECT_EQ(task_text_of(s, task_language::russian), row.russian);
        EXPECT_EQ(task_text_of(s, task_language::english), row.english);
    }
}

}  // namespace
