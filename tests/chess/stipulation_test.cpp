// Stipulations as people type them and as problem files write them: every
// genre in its short form and its task texts in both languages, stated
// numbers of solutions, set play and duplex; and what is refused, fairy
// genres by name.
#include <gtest/gtest.h>

#include <string>

#include "chess/stipulation.h"

namespace {

TEST(stipulation, reads_short_forms_and_task_texts_as_typed)
{
    const struct {
        const char* text;
        const char* short_form;  // as read back
        int solutions = 1;
        bool set_play = false;
        bool duplex = false;
    } rows[] = {
        {"#2", "#2"}, {" #3 ", "#3"}, {"# 2", "#2"}, {"h#2", "h#2"}, {"H#3", "h#3"}, {"Мат в 1 ход", "#1"},
        {"Мат в 2 хода", "#2"}, {"Мат в 4 хода", "#4"}, {"Мат в 5 ходов", "#5"}, {"МАТ В 3 ХОДА", "#3"},
        {"мат в 2 хода.", "#2"}, {"Мат\xC2\xA0в 2  хода\r\n", "#2"}, {"Кооперативный мат в 2 хода", "h#2"},
        {"кооперативный мат в 3 хода", "h#3"}, {"Mate in 2", "#2"}, {"mate in 3 moves", "#3"},
        {"Mate in 1 move", "#1"}, {"Helpmate in 2", "h#2"}, {"HELPMATE IN 4 MOVES", "h#4"},
        {"Мат в 30 ходов", "#30"}, {"#21", "#21"},
        // Every genre, short and in both languages.
        {"s#3", "s#3"}, {"S#2", "s#2"}, {"r#2", "r#2"}, {"=3", "=3"}, {"s=2", "s=2"}, {"h=2", "h=2"},
        {"h#2.5", "h#2.5"}, {"h#2,5", "h#2.5"}, {"h#2\xC2\xBD", "h#2.5"}, {"h=1.5", "h=1.5"},
        {"ser-#3", "ser-#3"}, {"ser-=4", "ser-=4"}, {"ser-h#7", "ser-h#7"}, {"ser-h=4", "ser-h=4"},
        {"SER-S#3", "ser-s#3"}, {"Обратный мат в 2 хода", "s#2"}, {"Рефлексный мат в 2 хода", "r#2"},
        {"Пат в 3 хода", "=3"}, {"Обратный пат в 2 хода", "s=2"}, {"Кооперативный пат в 2 хода", "h=2"},
        {"Кооперативный мат в 2,5 хода", "h#2.5"}, {"Кооперативный мат в 2.5 хода", "h#2.5"},
        {"Серийный мат в 3 хода", "ser-#3"}, {"Серийный пат в 4 хода", "ser-=4"},
        {"Серийный кооперативный мат в 5 ходов", "ser-h#5"}, {"Серийный кооперативный пат в 4 хода", "ser-h=4"},
        {"Серийный обратный мат в 3 хода", "ser-s#3"}, {"Selfmate in 3", "s#3"}, {"Reflexmate in 2", "r#2"},
        {"Stalemate in 3 moves", "=3"}, {"Selfstalemate in 2", "s=2"}, {"Helpmate in 2.5", "h#2.5"},
        {"Helpstalemate in 3", "h=3"}, {"Series-mate in 3", "ser-#3"}, {"Series-stalemate in 4", "ser-=4"},
        {"Series-helpmate in 7", "ser-h#7"}, {"Series helpmate in 7", "ser-h#7"},
        {"Series-helpstalemate in 4", "ser-h=4"}, {"Series-selfmate in 3", "ser-s#3"},
        // Stated numbers, set play and duplex.
        {"h#2, 2 solutions", "h#2", 2}, {"h#2 (2 sol.)", "h#2", 2}, {"h#2 2 solutions", "h#2", 2},
        {"Кооперативный мат в 2 хода, 2 решения", "h#2", 2}, {"Кооперативный мат в 3 хода, 5 решений.", "h#3", 5},
        {"Кооперативный мат в 2,5 хода, 21 решение", "h#2.5", 21}, {"Helpmate in 2, 3 solutions", "h#2", 3},
{"h#0.5", "h#0.5"}, {"#2*", "#2", 1, true}, {"h#2*", "h#2", 1, true}, {"h#2* (2 sol.)", "h#2", 2, true},
        {"h#2 дуплекс", "h#2", 1, false, true}, {"Helpmate in 2, duplex", "h#2", 1, false, true},
        {"Кооперативный мат в 2 хода, 2 решения, дуплекс", "h#2", 2, false, true},
    };
    for (const auto& row : rows) {
        stipulation read;
        std::string error;
        ASSERT_TRUE(stipulation_read(row.text, &read, &error)) << row.text << ": " << error;
        EXPECT_EQ(stipulation_short_form(read), row.short_form) << row.text;
        EXPECT_EQ(read.solutions, row.solutions) << row.text;
        EXPECT_EQ(read.set_play, row.set_play) << row.text;
        EXPECT_EQ(read.duplex, row.duplex) << row.text;
    }
    // Genres there are none of, and numbers out of range.
    for (const char* text : {"r=2", "s#2.5", "#2.5", "ser-h#2.5", "ser-r#3", "ser-s=3", "#0", "#31", "h#", "x#2",
                             "Мат в два хода", "h#2, 0 solutions", "Обратный кооперативный мат в 2 хода"}) {
        stipulation read;
        std::string error;
        EXPECT_FALSE(stipulation_read(text, &read, &error)) << text;
    }
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
        {"h#0.5", "Кооперативный мат в 0,5 хода", "Helpmate in 0.5"},
        {"#0", "!не от 1 до 30", ""},
        {"#2.5", "!половина хода бывает только у h# и h=", ""},
        {"#31", "!не от 1 до 30", ""},
        {"#", "!не ортодоксальный жанр", ""},
    };
    for (const stipulation_row& row : rows) {
        stipulation s;
        std::string error;
        const bool read = stipulation_read_short(row.input, &s, &error);
        if (row.russian[0] == '!') {
            EXPECT_FALSE(read) << row.input;
            EXPECT_NE(error.find(row.russian + 1), std::string::npos) << error;
            continue;
        }
        ASSERT_TRUE(read) << row.input << ": " << error;
        EXPECT_EQ(stipulation_task_text(s, notation::russian), row.russian);
        EXPECT_EQ(stipulation_task_text(s, notation::english), row.english);
    }
}

}  // namespace
