// Problems as problemists keep them: twins written on a diagram and in the
// standard solver's words, that solver's input files, YAML records of the
// problem databases, and the same problems written back out. Rows give an
// input and what must come of it; "!…" is a piece of the one-line refusal.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "chess/fen.h"
#include "chess/problem_file.h"
#include "chess/problem_writer.h"
#include "chess/stipulation.h"
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
    for (notation language : {notation::russian, notation::english}) {
        const std::string text = twin_written(t, before, language);
        twin back;
        std::string ignored;
        again = before;
        if (t.changes[0].kind == twin_change_kind::substitute || t.changes[0].kind == twin_change_kind::shift ||
            t.changes[0].kind == twin_change_kind::polish || t.changes[0].kind == twin_change_kind::new_stipulation)
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
    EXPECT_EQ(twin_written(t, position, notation::russian), "+c) Крd5→e5, −Кf3");
    EXPECT_EQ(twin_written(t, position, notation::english), "+c) Kd5→e5, −Sf3");
    EXPECT_EQ(twin_solver_text(t), "continued move d5 e5 remove f3");
}

// A read problem in one line: FEN, stipulation, stated solutions, the set
// options, twins in the solver's words.
std::string summary(const problem_record& p)
{
    std::string text = fen_write(p.position) + " | " + p.stipulation;
    if (p.stated_solutions)
        text += " | " + std::to_string(p.stated_solutions) + " solutions";
    const problem_options& o = p.options;
    for (auto [set, name] : {std::pair{o.set_play, "setplay"}, {o.duplex, "duplex"}, {o.half_duplex, "halfduplex"},
                             {o.tries, "try"}, {o.variations, "variation"}, {o.no_threat, "nothreat"}})
        if (set)
            text += std::string(" | ") + name;
    if (o.defence)
        text += " | defence " + std::to_string(o.defence);
    if (p.zero_position)
        text += " | zero";
    for (const twin& t : p.twins)
        text += std::string(" | ") + t.label + ") " + twin_solver_text(t);
    return text;
}

struct file_row {
    const char* name;
    std::string file;
    std::vector<std::string> expected;  // per problem: its summary, or "!part of the refusal"
};

const file_row file_rows[] = {
    {"solver_plain",
     "BeginProblem\nTitle A try\nAuthor Someone\nPieces White Kg6 Qa1 Black Kg8\nStipulation #1\nEndProblem\n",
     {"6k1/8/6K1/8/8/8/8/Q7 | #1"}},
    {"solver_shortened_any_case",
     "begi\nstip H#2\npiec whit ka3 ra8 pb2c3 blac kh8 sd4\nopti setp\nendp\n",
     {"R6k/8/8/8/3n4/K1P5/1P6/8 | h#2 | setplay"}},
    {"solver_forsyth_with_long_runs",
     "begin\nforsyth 6k1/6K1/40Q\nstipulation #1\nend\n", {"6k1/6K1/8/8/8/8/8/Q7 | #1"}},
    {"solver_next_and_fairy_among_orthodox",
     "begin\npieces white kg6 qa1 black kg8\nstip #1\nnext\npieces white kg6 na1 black kg8\nstip #1\n"
     "next\ncondition circe\npieces white kg6 black kg8\nstip h#1\nnext\npieces white kg6 black kg8\n"
     "stip hs#2\nnext\npieces white kg6 black kg8 qh1\nstip h#1\nend\n",
     {"6k1/8/6K1/8/8/8/8/Q7 | #1", "!фигура «n» в «na1» сказочная", "!условие «circe» сказочное",
      "!условие «hs#2» — не ортодоксальный жанр", "6k1/8/6K1/8/8/8/8/7q | h#1"}},
    {"solver_whitetoplay_halves_a_helpmate",
     "begin\npieces white kh1 black kh8\nstipulation h#2\noption whitetoplay\nend\n",
     {"7k/8/8/8/8/8/8/7K | h#1.5"}},
    {"solver_star_is_set_play", "begin\npieces white kh1 black kh8\nstipulation #2*\nend\n",
     {"7k/8/8/8/8/8/8/7K | #2 | setplay"}},
    {"solver_halfduplex_battle_genre_is_black_to_move",
     "begin\npieces white kh1 black kh8 qa8\nstipulation #2\noption halfduplex\nend\n",
     {"q6k/8/8/8/8/8/8/7K b | #2"}},
    {"solver_nocastling_and_enpassant",
     "begin\npieces white ke1 ra1 rh1 pe4 black ke8 ra8 pd4\nstip #2\noption nocastling a1 e8 enpassant e2 e4 halfduplex\nend\n",
     {"r3k3/8/8/8/3pP3/8/8/R3K2R b K e3 | #2"}},
    {"solver_twins_of_every_kind",
     "begin\npieces white kd5 sf3 ra1 black ke7 pb7\nstip h#2\n"
     "twin move d5 e5\ntwin cont remove f3\ntwin rotate 90 mirror a1<-->h1\ntwin stip h#3 add black bc1\n"
     "twin exchange d5 f3 twin shift a1 b1 twin polish twin substitute s q\nend\n",
     {"8/1p2k3/8/3K4/8/5N2/8/R7 | h#2 | b) move d5 e5 | c) continued remove f3 | d) rotate 90 mirror a1<-->h1"
      " | e) stipulation h#3 add black Bc1 | f) exchange d5 f3 | g) shift a1 b1 | h) polishtype"
      " | i) substitute S Q"}},
    {"solver_zero_position",
     "begin\npieces white kd5 black ke7\nstip h#2\nzeroposition\ntwin move d5 d4\ntwin move d5 c5\nend\n",
     {"8/4k3/8/3K4/8/8/8/8 | h#2 | zero | a) move d5 d4 | b) move d5 c5"}},
    {"solver_fairy_option", "begin\npieces white kh1 black kh8\nstip #2\noption nullmoves\nend\n",
     {"!параметр или условие «nullmoves» не ортодоксальные"}},
    {"solver_no_end", "begin\npieces white kh1 black kh8\nstip #2\n", {"!нет end"}},
    {"solver_no_stipulation", "begin\npieces white kh1 black kh8\nend\n", {"!нет условия"}},
    {"yaml_nested_too_deep", "---\nalgebraic: " + std::string(100, '[') + "\nstipulation: h#2\n",
     {"!YAML вложен глубже"}},
    {"yaml_record",
     "---\nauthors:\n  - Ugren, Ljubomir\nsource:\n  name: feenschach\n  issue: 01-02\n  problemid: 7100\n"
     "  date:\n    year: 1965\naward:\n  tourney:\n    name: feenschach\n  distinction: 1st Prize\n"
     "algebraic:\n  white: [Kh1, Re4, Pg2]\n  black: [Kd1, Bc3, Ph2]\nstipulation: h#4\noptions:\n  - SetPlay\n"
     "intended-solutions: 2.2.1.1\nsolution: |\n  1.Bc3-d4 Re4-e5\n",
     {"8/8/8/8/4R3/2b5/6Pp/3k3K | h#4 | 4 solutions | setplay"}},
    {"yaml_tags_block_lists_and_several_documents",
     "--- \nauthors: [!!python/unicode 'Абдурахманович, Фадил']\nalgebraic:\n  white:\n    - Kh1\n    - Sf3\n"
     "  black: [Kh8]\nstipulation: \"#2\"\ntwins:\n  c: Continued Remove f3\n  b: Move h1 g1\n"
     "---\nalgebraic: {white: [Kh1], black: [Kh8, Nc3]}\nstipulation: h#2\n"
     "---\nalgebraic: {white: [Kh1], black: [Kh8]}\nstipulation: \"= black to move\"\n"
     "---\nalgebraic: {white: [Kh1], black: [Kh8]}\nstipulation: \"#2\"\noptions: [AntiCirce]\n"
     "---\nalgebraic: {white: [Kh1], neutral: [Pa2], black: [Kh8]}\nstipulation: h#2\n"
     "---\nalgebraic: [unclosed\n"
     "---\n# only a comment\n"
     "---\nalgebraic: {white: [Kh1], black: [Kh8]}\nstipulation: ser-h#3\ntwins: {a: Move h1 g1, b: Move h1 h2}\n",
     {"7k/8/8/8/8/5N2/8/7K | #2 | b) move h1 g1 | c) continued remove f3", "!«Nc3» сказочная", "!этюд",
      "!«AntiCirce» не ортодоксальные", "!фигуры «neutral» сказочные", "!YAML не читается: строка",
      "7k/8/8/8/8/8/8/7K | ser-h#3 | zero | a) move h1 g1 | b) move h1 h2"}},
};

class problem_file_reading : public testing::TestWithParam<file_row> {};

TEST_P(problem_file_reading, reads_each_problem_or_refuses_it_in_one_line)
{
    const file_row& row = GetParam();
    std::vector<problem_entry> entries;
    problems_parse(row.file, &entries);
    ASSERT_EQ(entries.size(), row.expected.size());
    for (std::size_t i = 0; i < entries.size(); i++) {
        const std::string& expected = row.expected[i];
        EXPECT_EQ(entries[i].number, int(i) + 1);
        if (expected[0] == '!') {
            EXPECT_FALSE(entries[i].read) << summary(entries[i].record);
            EXPECT_NE(entries[i].error.find(expected.substr(1)), std::string::npos) << entries[i].error;
            EXPECT_EQ(entries[i].error.find('\n'), std::string::npos) << entries[i].error;
        } else {
            ASSERT_TRUE(entries[i].read) << entries[i].error;
            EXPECT_EQ(summary(entries[i].record), expected);
            // Written out in either format, it reads back as the same problem.
            for (const std::string& written :
                 {solver_input_write(entries[i].record), yaml_problem_write(entries[i].record)}) {
                std::vector<problem_entry> again;
                problems_parse(written, &again);
                ASSERT_EQ(again.size(), 1u) << written;
                ASSERT_TRUE(again[0].read) << written << again[0].error;
                EXPECT_EQ(summary(again[0].record), expected) << written;
                EXPECT_EQ(again[0].record.authors, entries[i].record.authors);
                EXPECT_EQ(again[0].record.source, entries[i].record.source);
            }
        }
    }
}

INSTANTIATE_TEST_SUITE_P(problems, problem_file_reading, testing::ValuesIn(file_rows),
                         [](const testing::TestParamInfo<file_row>& row) { return row.param.name; });

TEST(problem_file_reading, keeps_what_a_database_records_about_the_problem)
{
    std::vector<problem_entry> entries;
    const auto row = std::find_if(std::begin(file_rows), std::end(file_rows),
                                  [](const file_row& r) { return std::string(r.name) == "yaml_record"; });
    ASSERT_NE(row, std::end(file_rows));
    problems_parse(row->file, &entries);
    ASSERT_EQ(entries.size(), 1u);
    const problem_record& p = entries[0].record;
    EXPECT_EQ(p.authors, std::vector<std::string>{"Ugren, Ljubomir"});
    EXPECT_EQ(p.source, "feenschach 01-02 (7100) 1965");
    EXPECT_EQ(p.award, "1st Prize, feenschach");
    EXPECT_EQ(p.solution, "1.Bc3-d4 Re4-e5\n");
    EXPECT_EQ(problem_heading(p, 1, notation::english), "Problem 1: Ugren, Ljubomir, feenschach 01-02 (7100) 1965");
}

// Read a line at a time, a file gives the same problems as its whole text.
TEST(problem_file_reading, a_file_read_piece_by_piece_gives_what_its_whole_text_gives)
{
    for (const file_row& row : file_rows) {
        const std::string path = testing::TempDir() + "problems.txt";
        std::FILE* out = std::fopen(path.c_str(), "wb");
        ASSERT_NE(out, nullptr);
        // CRLF line ends and a byte-order mark, as Windows editors save them.
        std::string windows = "\xEF\xBB\xBF";
        for (char c : row.file)
            windows += c == '\n' ? std::string("\r\n") : std::string(1, c);
        std::fwrite(windows.data(), 1, windows.size(), out);
        std::fclose(out);
        std::vector<problem_entry> whole;
        problems_parse(row.file, &whole);
        problem_file file;
        std::string error;
        ASSERT_TRUE(problem_file_open(path, &file, &error)) << error;
        std::size_t n = 0;
        for (problem_entry entry; problem_file_next(&file, &entry); n++) {
            ASSERT_LT(n, whole.size()) << row.name;
            EXPECT_EQ(entry.read, whole[n].read) << row.name << " " << entry.error;
            EXPECT_EQ(entry.line, whole[n].line) << row.name;
            if (entry.read) {
                EXPECT_EQ(summary(entry.record), summary(whole[n].record)) << row.name;
            }
        }
        problem_file_close(&file);
        EXPECT_EQ(n, whole.size()) << row.name;
    }
}

}  // namespace
