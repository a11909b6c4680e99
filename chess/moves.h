// Legal moves of a position: generated legal from the start (pins and checks
// worked out first), so a search never makes a move only to take it back.
// Lists live on the caller's stack.
#pragma once

#include <cstdint>

#include "chess/position.h"

// No position has more than 218 legal moves.
struct move_list {
    move moves[256];
    int size = 0;

    const move* begin() const { return moves; }
    const move* end() const { return moves + size; }
};

// Every legal move of the side to move. The position must have no problem
// (position_problem() empty).
void legal_moves(const position& p, move_list* list);
bool has_legal_move(const position& p);
// Whether m is among the legal moves of p, found without generating them
// all: for a move remembered from another position.
bool is_legal_move(const position& p, move m);
// Only the legal moves that check the other king, as a mate's last move must.
void checking_moves(const position& p, move_list* list);

// Worked out once per position for testing many of its moves for check: the
// squares from which each kind of piece would attack the other king, and the
// pieces whose leaving their line opens one onto it.
struct check_squares {
    bitboard direct[6];
    bitboard discoverers;
    int their_king;

    explicit check_squares(const position& p);
};
// Whether the move, legal in p, checks the other king.
bool gives_check(const position& p, const check_squares& checks, move m);

// Plays the legal move m, calls visit(m) in the position after it and takes
// the move back; returns what visit returned.
template <typename Visit>
bool play_move(position* p, move m, Visit& visit)
{
    undo_record undo;
    make(p, m, &undo);
    const bool result = visit(m);
    unmake(p, m, undo);
    return result;
}

// Plays each move of the list in turn and calls visit(m) in the position
// after it, until visit returns true; returns whether it did. The moves must
// be legal in p, which is as it was when this returns.
template <typename Visit>
bool play_each(position* p, const move_list& list, Visit visit)
{
    for (move m : list)
        if (play_move(p, m, visit))
            return true;
    return false;
}

// Legal move sequences of the given length (perft): the usual proof of a
// move generator against published counts.
std::uint64_t perft(position* p, int depth);
