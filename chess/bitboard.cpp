// The attack tables, walked out square by square by the compiler; the
// generator only looks them up. Built at start-up they would be written page
// by page before a small problem could begin.
#include "chess/bitboard.h"

namespace {

struct step {
    int file, rank;
};
// In the order of attack_tables::ray: the first four go up the square numbers.
constexpr step ray_steps[8] = {{0, 1}, {1, 0}, {1, 1}, {-1, 1}, {0, -1}, {-1, 0}, {-1, -1}, {1, -1}};

constexpr bitboard leaper(int square, const step* steps, int count)
{
    bitboard b = 0;
    for (int i = 0; i < count; i++) {
        const int file = (square & 7) + steps[i].file, rank = (square >> 3) + steps[i].rank;
        if (file >= 0 && file < 8 && rank >= 0 && rank < 8)
            b |= square_bit(rank * 8 + file);
    }
    return b;
}

constexpr bitboard walk(int square, step direction)
{
    bitboard b = 0;
    int file = (square & 7) + direction.file, rank = (square >> 3) + direction.rank;
    for (; file >= 0 && file < 8 && rank >= 0 && rank < 8; file += direction.file, rank += direction.rank)
        b |= square_bit(rank * 8 + file);
    return b;
}

constexpr attack_tables make_tables()
{
    constexpr step knight_steps[8] = {{1, 2}, {2, 1}, {2, -1}, {1, -2}, {-1, -2}, {-2, -1}, {-2, 1}, {-1, 2}};
    constexpr step king_steps[8] = {{1, 0}, {1, 1}, {0, 1}, {-1, 1}, {-1, 0}, {-1, -1}, {0, -1}, {1, -1}};
    constexpr step white_pawn[2] = {{-1, 1}, {1, 1}};
    constexpr step black_pawn[2] = {{-1, -1}, {1, -1}};
    attack_tables t{};
    for (int s = 0; s < 64; s++) {
        t.knight[s] = leaper(s, knight_steps, 8);
        t.king[s] = leaper(s, king_steps, 8);
        t.pawn[0][s] = leaper(s, white_pawn, 2);
        t.pawn[1][s] = leaper(s, black_pawn, 2);
        for (int d = 0; d < 8; d++)
            t.ray[d][s] = walk(s, ray_steps[d]);
        t.rook_lines[s] = t.ray[0][s] | t.ray[1][s] | t.ray[4][s] | t.ray[5][s];
        t.bishop_lines[s] = t.ray[2][s] | t.ray[3][s] | t.ray[6][s] | t.ray[7][s];
    }
    for (int a = 0; a < 64; a++)
        for (int d = 0; d < 8; d++)
            for (bitboard r = t.ray[d][a]; r;) {
                const int b = pop_lowest(&r);
                t.between[a][b] = t.ray[d][a] & ~t.ray[d][b] & ~square_bit(b);
                t.line[a][b] = t.ray[d][a] | t.ray[(d + 4) % 8][a] | square_bit(a);
            }
    return t;
}

}  // namespace

constexpr attack_tables attacks = make_tables();
