// Random legal positions for the differential tests: pieces placed at
// random (kings first), positions that cannot be played from thrown away,
// and sometimes a few random legal moves played on so that en passant
// squares, lost castling rights and promotions come up as they do in games.
// Everything is drawn from one seeded source, so a seed names its positions
// on every machine. Not a model of real games: material is often odd.
#pragma once

#include <cstdint>

#include "chess/position.h"

// A small generator of our own (splitmix64), so that a seed gives the same
// numbers whatever the standard library's distributions do.
struct random_source {
    std::uint64_t state;

    explicit random_source(std::uint64_t seed) : state(seed) {}
    std::uint64_t next();
    int below(int n);  // 0 .. n - 1
    bool percent(int chance) { return below(100) < chance; }
};

constexpr int any_side = -1;

struct board_shape {
    int min_pieces = 2;  // kings included
    int max_pieces = 32;
    int pawn_percent = 40;        // of the pieces besides the kings
    int movers_percent = 50;      // of the pieces besides the kings, those of the side to move
    int kings_at_edge_percent = 0;  // a king placed on the outer two rings
    int castling_percent = 30;    // each side's king and rooks set up at home
    int played_percent = 30;      // a few random moves played after placing
    int en_passant_percent = 0;   // a pawn set up to step past an enemy pawn, and one move played
    int side = any_side;          // white, black, or any_side
};

// A position with position_problem() empty. Castling rights only where king
// and rook stand at home; an en passant square only behind a pawn that the
// last move pushed two squares from a legal position.
position random_position(random_source* random, const board_shape& shape);

// How many random positions a differential test checks: `optimised` in the
// usual build, `sanitized` in an unoptimised or sanitizer build, where every
// move costs many times more. CHESS_DIFFERENTIAL_SCALE=10 in the environment
// multiplies either, for a longer run by hand.
int differential_count(int optimised, int sanitized);
