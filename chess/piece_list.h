// Piece lists as problems are printed and sent: "White: Kh1 Qd1 Sf3 Pg2
// Black: Kh8 Ph7 (5+2)", "Белые: Крh1 Фd1 Кf3 g2 Чёрные: Крh8 h7",
// "Weiß: Kh1 Dd1 Sf3 Bg2 Schwarz: Kh8", read into the same record as a FEN
// (a placement alone: who moves is not in a list), and written back.
// Only orthodox pieces; the solver's own files, where N is a nightrider, use
// piece_word_read with the solver's letters.
#pragma once

#include <string>
#include <string_view>

#include "chess/fen.h"

// The letters a group of pieces is written with. A colour word names them in
// a free-text list: White/Wh/w (K Q R B S or N P), Белые/Бел. (Кр Ф Л С К п),
// Weiß/Weiss (K D T L S B).
enum class piece_letters {
    international,  // K Q R B S N P, capitals
    russian,        // Кр Ф Л С К п
    german,         // K D T L S B
    solver,         // K Q R B S P in either case; N and two-letter codes are fairy pieces
};

// True when the text starts with a colour word of a piece list, so it is a
// list and not a FEN.
bool looks_like_piece_list(std::string_view text);

// Reads a whole list with its optional count at the end. On failure returns
// false with one Russian line naming the word and why.
bool piece_list_read(std::string_view text, fen_record* record, std::string* error);

// One word of pieces: an optional piece letter and one or more squares run
// together ("Kh1", "Pa2b3c4", "g2", "Крh1"), put on the board in the colour
// given. False with one line when the word is not such, or a square is taken.
bool piece_word_read(std::string_view word, piece_letters letters, bool white, fen_record* record,
                     std::string* error);

// "White: Kh1 Qd1 Sf3 Pg2 Black: Kh8 Ph7 (5+2)" or, in Russian,
// "Белые: Крh1 Фd1 Кf3 g2 Чёрные: Крh8 h7 (5+2)".
enum class piece_list_language { international, russian };
std::string piece_list_write(const fen_record& record, piece_list_language language);

// "(5+2)": the white and black pieces on the board.
std::string piece_count_text(const fen_record& record);
