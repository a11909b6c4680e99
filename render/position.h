// A position as the renderer draws it: what each of the 64 board squares
// shows (layout/square_content.h, from a FEN that chess/fen.h has read),
// with the problem markers put on it by square names such as e4.
#pragma once

#include <string>
#include <string_view>

#include "layout/square_content.h"

using board_position = board_squares_shown;

// "e4" or "E4" -> its board square 1..64; 0 for a name that is not a square.
int square_from_name(std::string_view name);

// Puts marker on every square of a list such as "e4,f5" or "e4, f5". An
// empty item, a square off the board, or one that already holds a piece or
// the other marker fails with one line naming it.
bool place_markers(std::string_view squares, char marker, board_position* position, std::string* error);
