// Text as people paste it: FEN and EPD lines, list files, and the quoting of
// input in messages. Each row is an input with what must come of it: the FEN
// written back ("=…"), or a piece of the one-line refusal ("!…").
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "chess/command_line.h"
#include "chess/fen.h"
#include "chess/piece_list.h"
#include "chess/position_list.h"
#include "chess/position_text.h"
#include "chess/quoted_input.h"
#include "tests/support/test_support.h"

using namespace std::string_literals;

namespace {

const std::string start = "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR";
const std::string wac1 = "2rr3k/pp3pp1/1nnqbN1p/3pN3/2pP4/2P3Q1/PPB4P/R4RK1";

struct fen_row {
    const char* name;
    std::string input;
    std::string expected;  // "=FEN written back" or "!part of the refusal"
};

const fen_row fen_rows[] = {
    {"full", start + " w KQkq - 0 1", "=" + start + " w KQkq - 0 1"},
    {"placement_alone", start, "=" + start},
    {"placement_then_cr", start + "\r", "=" + start},
    {"placement_then_crlf", start + "\r\n", "=" + start},
    {"placement_then_lf", start + "\n", "=" + start},
    {"byte_order_mark", "\xEF\xBB\xBF" + start + " b - -", "=" + start + " b - -"},
    {"no_break_spaces", start + "\xC2\xA0w\xC2\xA0KQkq\xC2\xA0-", "=" + start + " w KQkq -"},
    {"tabs_around", "\t " + start + "\tw\t-\t-\t3 9 \t", "=" + start + " w - - 3 9"},
    {"promoted_mark", "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQ~KBN~R", "=" + start},
    {"shredder_letters", start + " w HAha -", "=" + start + " w KQkq -"},
    {"xfen_inner_rook_files", start + " w Bg -", "=" + start + " w Bg -"},
    {"en_passant_square", start + " b - e3 0 1", "=" + start + " b - e3 0 1"},
    {"en_passant_on_the_h_file", start + " w - h6 0 1", "=" + start + " w - h6 0 1"},
    {"epd_four_fields", wac1 + " w - - bm Qg6; id \"WAC.001\";", "=" + wac1 + " w - -"},
    {"epd_after_full_fen", wac1 + " w - - 0 1 bm Qg6; id \"WAC 001; x\";", "=" + wac1 + " w - - 0 1"},
    {"epd_last_semicolon_missing", wac1 + " w - - id \"a\"", "=" + wac1 + " w - -"},
    {"empty", " \t\r\n", "!FEN пуст"},
    {"unknown_letter", "rnbqkbnr/ppppxppp/8/8/8/8/PPPPPPPP/RNBQKBNR", "!неизвестный знак «x» в ряду 7"},
    {"cyrillic_letter", "Кр7/8/8/8/8/8/8/7k", "!неизвестный знак «К» в ряду 8"},
    {"mark_without_piece", "~7/8/8/8/8/8/8/8", "!неизвестный знак «~» в ряду 8"},
    {"adjacent_digits", "44/8/8/8/8/8/8/8", "!две цифры подряд в ряду 8: «44»"},
    {"rank_too_long", "8/8/8/8/8/8/8/7kK", "!ряд 1 в FEN длиннее"},
    {"rank_too_short", "8/8/8/7/8/8/8/8", "!ряд 5 в FEN короче"},
    {"seven_ranks", "8/8/8/8/8/8/8", "!не восемь рядов, а 7"},
    {"nine_ranks", "8/8/8/8/8/8/8/8/8", "!больше восьми рядов"},
    {"nul_in_placement", "8/8/8/8/8/8/8/7\0"s, "!(NUL на позиции 2)"},
    {"capital_side", start + " W KQkq - 0 1", "!поле хода «W»"},
    {"castling_unknown_letter", start + " w KQkx -", "!поле рокировки «KQkx»"},
    {"castling_named_twice", start + " w KHq -", "!поле рокировки «KHq»"},
    {"en_passant_wrong_rank", start + " w - e5 0 1", "!поле взятия на проходе «e5»"},
    {"negative_counter", start + " w - - -1 1", "!счётчик полуходов «-1»"},
    {"move_number_not_integer", start + " w - - 0 1x", "!номер хода «1x»"},
    {"huge_counter", start + " w - - 0 12345678901", "!номер хода"},
    {"epd_unclosed_quote_still_reads_the_position", wac1 + " w - - id \"WAC.001;", "=" + wac1 + " w - -"},
    {"epd_opcode_not_a_word_still_reads_the_position", wac1 + " w - - 0 1 ;x", "=" + wac1 + " w - - 0 1"},
    {"suite_lone_semicolon", wac1 + " w - - ; bm d5; id BK.02", "=" + wac1 + " w - -"},
    {"suite_semicolon_on_en_passant", wac1 + " w - -; am Nxb6 + ? ; c1 diff=10", "=" + wac1 + " w - -"},
    {"suite_semicolon_on_move_number", start + " w KQkq - 1 4; v=-399", "=" + start + " w KQkq - 1 4"},
    {"suite_perft_counts", start + " w KQkq - 0 1 ;D1 48 ;D2 2039 ;D3 97862", "=" + start + " w KQkq - 0 1"},
    {"suite_quotation_left_open", wac1 + " b - - bm a6; c0 \"Kubbel 1927, 1 ... e3 2 a7 e2 3", "=" + wac1 + " b - -"},
    {"suite_free_text_after_operations", wac1 + " w - - id \"ZPTS.02\"; CCC post 27.4.2004 by ...", "=" + wac1 + " w - -"},
    {"counter_glued_to_semicolon_still_checked", start + " w - - 0 1x;", "!номер хода «1x»"},
};

class fen_reading : public testing::TestWithParam<fen_row> {};

TEST_P(fen_reading, reads_or_refuses_in_one_line)
{
    const fen_row& row = GetParam();
    fen_record record;
    std::string error;
    const bool read = fen_read(row.input, &record, &error);
    if (row.expected[0] == '=') {
        ASSERT_TRUE(read) << error;
        EXPECT_EQ(fen_write(record), row.expected.substr(1));
    } else {
        ASSERT_FALSE(read) << fen_write(record);
        EXPECT_NE(error.find(row.expected.substr(1)), std::string::npos) << error;
        EXPECT_EQ(error.find('\n'), std::string::npos) << error;
        EXPECT_TRUE(is_valid_utf8(error)) << error;
    }
}

INSTANTIATE_TEST_SUITE_P(pasted, fen_reading, testing::ValuesIn(fen_rows),
                         [](const testing::TestParamInfo<fen_row>& row) { return row.param.name; });

TEST(fen_reading, keeps_the_epd_id_and_the_fields_it_was_given)
{
    fen_record record;
    std::string error;
    ASSERT_TRUE(fen_read(wac1 + " b Kq e6 bm Qg6; id \"WAC.001\";", &record, &error)) << error;
    EXPECT_EQ(record.epd_id, "WAC.001");
    EXPECT_TRUE(record.black_to_move);
    EXPECT_EQ(record.castling_files[0], 0x80);
    EXPECT_EQ(record.castling_files[1], 0x01);
    EXPECT_EQ(square_text(record.en_passant), "e6");
    EXPECT_EQ(record.squares[square_at(7, 7)], 'k');  // h8
    EXPECT_EQ(record.squares[square_at(5, 5)], 'N');  // f6
}

// Piece lists, read through the one entry point every front end uses. The
// same rows' good inputs also go out as lists and come back the same.
const fen_row piece_list_rows[] = {
    {"international", "White: Kh1 Qd1 Sf3 Pg2 Black: Kh8 Ph7", "=7k/7p/8/8/8/5N2/6P1/3Q3K"},
    {"short_colour_words", "Wh: Kh1, Nf3; Bl: Kh8", "=7k/8/8/8/8/5N2/8/7K"},
    {"one_letter_colour_words", "w: Kh1 Bc1 b: Kh8 Bc8", "=2b4k/8/8/8/8/8/8/2B4K"},
    {"pawns_run_together_and_bare", "White: Ka1 Pa2b3c4 d5 Black: Kh8", "=7k/8/8/3P4/2P5/1P6/P7/K7"},
    {"russian", "Белые: Крh1 Фd1 Лa1 Сc1 Кf3 g2 Чёрные: Крh8 h7", "=7k/7p/8/8/8/5N2/6P1/R1BQ3K"},
    {"russian_short_words_and_pawn_letter", "Бел.: Крh1 пg2 Черн.: Крh8", "=7k/8/8/8/8/8/6P1/7K"},
    {"german", "Weiß: Kh1 Dd1 Tf1 Lc1 Sf3 Bg2 Schwarz: Kh8", "=7k/8/8/8/8/5N2/6P1/2BQ1R1K"},
    {"german_weiss", "Weiss: Kh1 Schwarz: Kh8 Bh7", "=7k/7p/8/8/8/8/8/7K"},
    {"count_that_agrees", "White: Kh1 Sf3 Black: Kh8 (2+1)", "=7k/8/8/8/8/5N2/8/7K"},
    {"count_with_spaces", "White: Kh1 Black: Kh8 ( 1 + 1 ) ", "=7k/8/8/8/8/8/8/7K"},
    {"count_that_disagrees", "White: Kh1 Sf3 Black: Kh8 (3+1)", "!в списке фигур 2+1, а в счёте (3+1)"},
    {"count_not_a_count", "White: Kh1 Black: Kh8 (2-1)", "!счёт фигур «(2-1)»"},
    {"unknown_piece", "White: Kh1 Zf3 Black: Kh8", "!«Zf3» неизвестная фигура «Z»"},
    {"german_letter_in_english", "White: Kh1 Dd1 Black: Kh8", "!«Dd1» неизвестная фигура «D»"},
    {"square_off_the_board", "White: Kh9 Black: Kh8", "!«Kh9» — не фигура с клеткой"},
    {"square_taken_twice", "White: Kh1 Black: Kh1", "!клетка h1 занята дважды («Kh1»)"},
    {"latin_letter_in_russian", "Белые: Крh1 Qd1 Чёрные: Крh8", "!«Qd1» неизвестная фигура «Q»"},
    {"no_pieces", "White: Black:", "!нет ни одной фигуры"},
    {"fen_still_fen", "7k/8/8/8/8/8/8/7K w - -", "=7k/8/8/8/8/8/8/7K w - -"},
};

class piece_list_reading : public testing::TestWithParam<fen_row> {};

TEST_P(piece_list_reading, reads_or_refuses_in_one_line)
{
    const fen_row& row = GetParam();
    fen_record record, again;
    std::string error;
    const bool read = position_text_read(row.input, &record, &error);
    if (row.expected[0] == '=') {
        ASSERT_TRUE(read) << error;
        EXPECT_EQ(fen_write(record), row.expected.substr(1));
        for (piece_list_language language : {piece_list_language::international, piece_list_language::russian}) {
            const std::string written = piece_list_write(record, language);
            ASSERT_TRUE(position_text_read(written, &again, &error)) << written << ": " << error;
            EXPECT_EQ(fen_placement(again.squares), fen_placement(record.squares)) << written;
        }
    } else {
        ASSERT_FALSE(read) << fen_write(record);
        EXPECT_NE(error.find(row.expected.substr(1)), std::string::npos) << error;
        EXPECT_EQ(error.find('\n'), std::string::npos) << error;
    }
}

INSTANTIATE_TEST_SUITE_P(pasted, piece_list_reading, testing::ValuesIn(piece_list_rows),
                         [](const testing::TestParamInfo<fen_row>& row) { return row.param.name; });

TEST(piece_list_reading, writes_the_list_as_problemists_print_it)
{
    fen_record record;
    std::string error;
    ASSERT_TRUE(fen_read("7k/7p/8/8/8/5N2/6P1/3Q3K", &record, &error)) << error;
    EXPECT_EQ(piece_list_write(record, piece_list_language::international),
              "White: Kh1 Qd1 Sf3 Pg2 Black: Kh8 Ph7 (4+2)");
    EXPECT_EQ(piece_list_write(record, piece_list_language::russian), "Белые: Крh1 Фd1 Кf3 g2 Чёрные: Крh8 h7 (4+2)");
}

// Random boards written as lists in the three languages read back to the
// same board. The German list is written here, from the letters alone, so
// the reader is not checked only against its own writer.
TEST(piece_list_reading, random_boards_go_out_as_lists_and_come_back_the_same)
{
    const unsigned seed = 20261209;
    std::srand(seed);
    constexpr std::string_view letters = "KQRBNPkqrbnp";
    constexpr const char* german[] = {"K", "D", "T", "L", "S", "B"};
    for (int n = 0; n < 3000; n++) {
        fen_record record;
        record.squares.fill(no_piece);
        const int pieces = 1 + std::rand() % 32;
        for (int k = 0; k < pieces; k++)
            record.squares[std::size_t(std::rand() % 64)] = letters[std::size_t(std::rand() % letters.size())];
        std::string weiss = "Weiß:", schwarz = " Schwarz:";
        for (int square = 0; square < 64; square++) {
            const char c = record.squares[std::size_t(square)];
            if (c == no_piece)
                continue;
            const std::size_t type = letters.find(c) % 6;
            (c < 'a' ? weiss : schwarz) += std::string(" ") + german[type] + square_text(square);
        }
        const std::string lists[] = {piece_list_write(record, piece_list_language::international),
                                     piece_list_write(record, piece_list_language::russian), weiss + schwarz};
        for (const std::string& list : lists) {
            fen_record again;
            std::string error;
            ASSERT_TRUE(position_text_read(list, &again, &error)) << "seed " << seed << ": " << list << ": " << error;
            ASSERT_EQ(fen_placement(again.squares), fen_placement(record.squares)) << "seed " << seed << ": " << list;
        }
    }
}

struct quote_row {
    std::string input;
    std::string expected;
};

TEST(quoted_input, is_one_short_line_of_utf8_whatever_the_input)
{
    const quote_row rows[] = {
        {"e4", "«e4»"},
        {"Мат в 2 хода", "«Мат в 2 хода»"},
        {"a\tb\r\n", "«a\\tb\\r\\n»"},
        {"\x01\x7f\xff", "«\\x01\\x7f\\xff»"},
        {"\xC0\x80\xED\xA0\x80", "«\\xc0\\x80\\xed\\xa0\\x80»"},  // an overlong NUL, a surrogate
        {"\xD0", "«\\xd0»"},                                      // a letter cut short
        {"x\xE2\x80\xA8y\xEF\xBB\xBF", "«x\\u2028y\\ufeff»"},
        {"\xC2\x85|\xC2\xA9", "«\\u0085|\xC2\xA9»"},          // a C1 control beside ©
        {"\xF0\x9F\x98\x80", "«\xF0\x9F\x98\x80»"},            // a four-byte character shows as it is
        {"\xF4\x90\x80\x80", "«\\xf4\\x90\\x80\\x80»"},    // past U+10FFFF
        {"\xE0\x80\xAF", "«\\xe0\\x80\\xaf»"},                // an overlong slash
        {"\xD0" "A\xE2\x82" "B", "«\\xd0A\\xe2\\x82B»"},      // sequences cut short by a letter
        {"ab\0c"s, "«ab\\0c» (NUL на позиции 3)"},
        {std::string(61, 'x'), "«" + std::string(60, 'x') + "…»"},
        {std::string(60, 'x'), "«" + std::string(60, 'x') + "»"},
        {std::string(100, 'x') + "\0"s, "«" + std::string(60, 'x') + "…» (NUL на позиции 101)"},
    };
    for (const quote_row& row : rows)
        EXPECT_EQ(quoted_input(row.input), row.expected);
    EXPECT_LT(quoted_input(std::string(100000, '\xff')).size(), 400u);
}

TEST(position_list, reads_lines_as_other_programs_write_them)
{
    const std::string list = "\xEF\xBB\xBF" + wac1 + "\tМат в 2 хода\r\n"  // a Windows file
                             "# a comment\r\n"
                             "\r\n" +
                             start + " w KQkq -\t Mate in 2 \t\r" +  // old Mac line end, a spreadsheet's empty column
                             wac1 + " w - - bm Qg6; id \"WAC.001\";\n" + start +
                             "\tMatt in 2 Z\xfcgen\n"  // Latin-1
                             "8/8/8/8/8/8/8/8 W\tMate in 2\n" +
                             start + "\tMate\x01 in 2\n" +
                             wac1 + " w - - id \"first\" \"second\";\n";  // only the first operand names it
    position_list parsed;
    position_list_parse(list, &parsed);
    ASSERT_EQ(parsed.positions.size(), 5u);
    EXPECT_EQ(parsed.position_lines, 7);
    const struct {
        int line;
        const char* task;
    } expected[] = {{1, "Мат в 2 хода"}, {4, "Mate in 2"}, {5, "WAC.001"}, {6, "Matt in 2 Zügen"}, {9, "first"}};
    for (std::size_t i = 0; i < std::size(expected); i++) {
        EXPECT_EQ(parsed.positions[i].line, expected[i].line);
        EXPECT_EQ(parsed.positions[i].task_text, expected[i].task);
    }
    EXPECT_EQ(parsed.positions[3].number, 4);
    ASSERT_EQ(parsed.errors.size(), 2u);
    EXPECT_EQ(parsed.errors[0].rfind("строка 7: в FEN поле хода «W»", 0), 0u) << parsed.errors[0];
    EXPECT_EQ(parsed.errors[1].rfind("строка 8: в тексте задания управляющий знак", 0), 0u) << parsed.errors[1];
}

TEST(position_list, reads_a_file_and_names_one_it_cannot_open)
{
    temp_folder folder;
    const std::string text = start + "\tМат в 2 хода\n";
    ASSERT_TRUE(write_file_bytes(folder.file("list.txt"), {text.begin(), text.end()}));
    position_list parsed;
    std::string error;
    ASSERT_TRUE(position_list_read(folder.file("list.txt"), &parsed, &error)) << error;
    ASSERT_EQ(parsed.positions.size(), 1u);
    EXPECT_EQ(parsed.positions[0].task_text, "Мат в 2 хода");
    EXPECT_FALSE(position_list_read(folder.file("missing.txt"), &parsed, &error));
    EXPECT_EQ(error, "не удалось открыть список «" + folder.file("missing.txt") + "»: No such file or directory");
    EXPECT_FALSE(position_list_read(folder.file(""), &parsed, &error)) << "a folder is no list";
    EXPECT_EQ(error.rfind("не удалось прочитать список", 0), 0u) << error;
}

TEST(position_list, comments_alone_give_no_position_lines)
{
    position_list parsed;
    position_list_parse("\xEF\xBB\xBF# only a comment\n\n   \n", &parsed);
    EXPECT_EQ(parsed.position_lines, 0);
    EXPECT_TRUE(parsed.errors.empty());
}

TEST(command_line, takes_the_value_after_the_option_or_after_equals)
{
    const struct {
        std::vector<std::string> arguments;  // argv from argv[1]; the option read is the first
        std::string expected;                // "name=value, next index" or "!part of the refusal"
    } rows[] = {
        {{"--fen", "8/8 w"}, "--fen=8/8 w, 2"},
        {{"--fen=8/8 w", "x"}, "--fen=8/8 w, 1"},
        {{"--text=a=b"}, "--text=a=b, 1"},
        {{"--text="}, "--text=, 1"},
        {{"-o", "-"}, "-o=-, 2"},
        {{"-o=d.jpg"}, "!неизвестный ключ «-o=d.jpg»"},  // only long options take "="
        {{"--fen"}, "!у ключа --fen нет значения"},
        {{"--bogus=1"}, "!неизвестный ключ «--bogus=1» (справка: --help)"},
    };
    const auto known = [](std::string_view name) { return name == "--fen" || name == "--text" || name == "-o"; };
    for (const auto& row : rows) {
        std::vector<char*> argv{const_cast<char*>("program")};
        for (const std::string& argument : row.arguments)
            argv.push_back(const_cast<char*>(argument.c_str()));
        int i = 1;
        command_line_option option;
        std::string error;
        const bool read = read_command_line_option(int(argv.size()), argv.data(), &i, known, &option, &error);
        if (row.expected[0] == '!') {
            EXPECT_FALSE(read) << row.expected;
            EXPECT_EQ(error.rfind(row.expected.substr(1), 0), 0u) << error;
            continue;
        }
        ASSERT_TRUE(read) << error;
        EXPECT_EQ(std::string(option.name) + "=" + option.value + ", " + std::to_string(i), row.expected);
    }
}

}  // namespace
