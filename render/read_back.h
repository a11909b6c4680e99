// Reading a diagram back: which image of the square set each board square
// shows, and so the position and its markers.
#pragma once

#include <string>

#include "render/position.h"

// Matches every board square of the diagram in path against the loaded
// square set. False with one line naming the square that matches nothing
// closely, or the picture's wrong size.
bool read_diagram(const std::string& path, board_position* position, std::string* error);

// Prints the position's FEN board field, then a line per marker kind
// present: "cross: e4,f5", "ring: c3".
void print_read_position(const board_position& position);
