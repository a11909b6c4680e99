// A chess position for move generation and search: pieces as bitboards and
// a square table, side to move, castling rights, the en passant square and a
// Zobrist key kept up to date by make and unmake. A move is packed in 16 bits;
// unmake needs only a small undo record, so a search allocates nothing.
//
// Orthodox chess only: castling moves the king from e1 (e8) two squares
// towards a rook on a1 or h1 (a8 or h8).
#pragma once

#include <cstdint>
#include <string>

#include "chess/bitboard.h"
#include "chess/fen.h"

enum colour : std::uint8_t { white, black };
enum piece_type : std::uint8_t { pawn, knight, bishop, rook, queen, king };
constexpr colour opponent(colour c)
{
    return colour(c ^ 1);
}

// A square's content: 0 for empty, else 1 + type + 8 * colour.
using piece = std::uint8_t;
constexpr piece empty = 0;
constexpr piece make_piece(colour c, piece_type t)
{
    return piece(1 + t + 8 * c);
}
constexpr piece_type type_of(piece p)
{
    return piece_type((p - 1) & 7);
}
constexpr colour colour_of(piece p)
{
    return colour(p >> 3);
}

// from (6 bits) | to (6 bits) | kind (4 bits).
using move = std::uint16_t;
enum move_kind : std::uint8_t {
    quiet = 0,
    double_push = 1,
    castle_short = 2,
    castle_long = 3,
    capture = 4,
    en_passant_capture = 5,
    promotion = 8,          // + 0..3 for knight, bishop, rook, queen
    promotion_capture = 12  // likewise
};
constexpr move no_move = 0;
constexpr move make_move(int from, int to, int kind)
{
    return move(from | to << 6 | kind << 12);
}
constexpr int move_from(move m)
{
    return m & 63;
}
constexpr int move_to(move m)
{
    return (m >> 6) & 63;
}
constexpr int move_kind_of(move m)
{
    return m >> 12;
}
constexpr bool is_promotion(move m)
{
    return move_kind_of(m) >= promotion;
}
constexpr piece_type promoted_type(move m)
{
    return piece_type(knight + (move_kind_of(m) & 3));
}
constexpr bool is_capture(move m)
{
    const int k = move_kind_of(m);
    return k == capture || k == en_passant_capture || k >= promotion_capture;
}

// Castling rights, one bit each.
enum castling_right : std::uint8_t { white_short = 1, white_long = 2, black_short = 4, black_long = 8 };

struct position {
    bitboard by_type[6];
    bitboard by_colour[2];
    piece board[64];
    colour side;
    std::uint8_t castling;
    std::int8_t en_passant;  // no_square when there is none
    std::uint16_t halfmove_clock;
    int fullmove_number;
    std::uint64_t key;

    bitboard occupied() const { return by_colour[0] | by_colour[1]; }
    bitboard pieces(colour c, piece_type t) const { return by_colour[c] & by_type[t]; }
    int king_square(colour c) const { return lowest_square(pieces(c, king)); }
};

struct undo_record {
    std::uint64_t key;
    piece captured;
    std::uint8_t castling;
    std::int8_t en_passant;
    std::uint16_t halfmove_clock;
};

// The position of a FEN record. A placement alone gives every castling right
// whose king and rook stand on their home squares; rights and an en passant
// square that the board cannot have (no rook there, no pawn that just moved
// two squares) are dropped, as the move could never be played.
position position_from_fen(const fen_record& record);
// The same with the side to move set, whatever the record says.
position position_from_fen(const fen_record& record, colour to_move);
std::string position_fen(const position& p);

// One line saying why the position cannot be played from (no king, two
// kings, a pawn on the first or last rank, the side not to move in check);
// empty when it can. Move generation and search need a position without one.
std::string position_problem(const position& p);

// Squares attacked by a side, and attackers of one square.
bitboard attackers_of(const position& p, int square, bitboard occupied);
// The rooks, bishops and queens among `among` that reach the square over the
// given occupancy.
bitboard sliding_attackers(const position& p, int square, bitboard occupied, bitboard among);
inline bool sliders_attack(const position& p, int square, bitboard occupied, bitboard among)
{
    return sliding_attackers(p, square, occupied, among) != 0;
}
bool square_attacked(const position& p, int square, colour by);
inline bool in_check(const position& p)
{
    return square_attacked(p, p.king_square(p.side), opponent(p.side));
}

void make(position* p, move m, undo_record* undo);
void unmake(position* p, move m, const undo_record& undo);
// Passing the move: only for asking what a side threatens. Not when in check.
void make_null(position* p, undo_record* undo);
void unmake_null(position* p, const undo_record& undo);
