// Sets of squares as 64-bit words (bit n is square n, a1 = 0) and the attack
// tables the move generator reads: knight, king and pawn attacks, sliding
// attacks along rays, and the squares between and through two squares.
// The tables are made once when the program starts; nothing here allocates.
#pragma once

#include <bit>
#include <cstdint>

using bitboard = std::uint64_t;

constexpr bitboard square_bit(int square)
{
    return bitboard(1) << square;
}
constexpr int lowest_square(bitboard b)
{
    return std::countr_zero(b);
}
constexpr int pop_lowest(bitboard* b)
{
    const int square = std::countr_zero(*b);
    *b &= *b - 1;
    return square;
}
inline int square_count(bitboard b)
{
    return std::popcount(b);
}

constexpr bitboard rank_1 = 0xFFull, rank_8 = rank_1 << 56;
constexpr bitboard file_a = 0x0101010101010101ull, file_h = file_a << 7;

struct attack_tables {
    bitboard knight[64];
    bitboard king[64];
    bitboard pawn[2][64];  // the squares a pawn of that colour on the square attacks
    bitboard ray[8][64];   // north, east, north-east, north-west (upward), south, west, south-west, south-east
    bitboard between[64][64];  // the squares strictly between two squares on a line, else none
    bitboard line[64][64];     // the whole line through two squares on a line, else none
    bitboard rook_lines[64];   // a rook's reach on an empty board
    bitboard bishop_lines[64]; // a bishop's reach on an empty board
};
extern const attack_tables attacks;

namespace attacks_detail {
// Along one ray, up to and including the first occupied square.
template <int direction>
inline bitboard ray_attacks(int square, bitboard occupied)
{
    bitboard ray = attacks.ray[direction][square];
    const bitboard blockers = ray & occupied;
    if (blockers) {
        const int first = direction < 4 ? std::countr_zero(blockers) : 63 - std::countl_zero(blockers);
        ray ^= attacks.ray[direction][first];
    }
    return ray;
}
}  // namespace attacks_detail

inline bitboard rook_attacks(int square, bitboard occupied)
{
    using namespace attacks_detail;
    return ray_attacks<0>(square, occupied) | ray_attacks<1>(square, occupied) | ray_attacks<4>(square, occupied) |
           ray_attacks<5>(square, occupied);
}
inline bitboard bishop_attacks(int square, bitboard occupied)
{
    using namespace attacks_detail;
    return ray_attacks<2>(square, occupied) | ray_attacks<3>(square, occupied) | ray_attacks<6>(square, occupied) |
           ray_attacks<7>(square, occupied);
}
