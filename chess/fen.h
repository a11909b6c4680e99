// FEN and EPD as people paste them, read into a plain record, and FEN written
// back. Reading checks the text only (letters, digits, fields); whether the
// position could arise in a game is for position_problem() to say.
//
// Accepted around and between fields: spaces, tabs, CR, LF and no-break
// spaces, and a UTF-8 byte-order mark at the start. A placement alone is a
// position; every field given after it is checked. EPD lines (four fields,
// or a whole FEN, then operations such as `bm Qd5; id "WAC.001";`) are read
// too, and the id operation's string is kept. The operations start at the
// first semicolon outside quotes, or at the first word after the fields that
// does not begin like a number; nothing among them ever refuses the line.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

// Squares a1 = 0, b1 = 1, ... h1 = 7, a2 = 8, ... h8 = 63.
constexpr int square_at(int file, int rank)  // file and rank 0..7
{
    return rank * 8 + file;
}
constexpr int file_of(int square)
{
    return square & 7;
}
constexpr int rank_of(int square)
{
    return square >> 3;
}
std::string square_text(int square);  // "e4"

constexpr char no_piece = '.';
constexpr int no_square = -1;

struct fen_record {
    std::array<char, 64> squares;  // a FEN piece letter (KQRBNP white, kqrbnp black) or no_piece
    int fields = 1;                // how many FEN fields were given (1 = the placement alone, up to 6)
    bool black_to_move = false;
    // Castling rights as the files of the rooks they name, one bit a file
    // (bit 0 the a-file): K and Q are the h- and a-files, X-FEN and Shredder
    // letters name their file. [0] is White's, [1] Black's.
    std::array<std::uint8_t, 2> castling_files{};
    int en_passant = no_square;
    int halfmove_clock = 0;
    int fullmove_number = 1;
    std::string epd_id;  // the string of an EPD `id` operation, if any
};

// Reads a FEN or EPD line. On failure returns false with one line (Russian,
// naming the field, with the input quoted) in *error.
bool fen_read(std::string_view text, fen_record* record, std::string* error);

// The placement field alone, and the FEN of the record with as many fields
// as it was read with.
std::string fen_placement(const std::array<char, 64>& squares);
std::string fen_write(const fen_record& record);

// A UTF-8 byte-order mark at the start of text, if any, removed.
std::string_view without_byte_order_mark(std::string_view text);
