// Reading a diagram back: which image of the loaded square set each board
// square shows, and so the position and its markers. For every front end
// that reads diagrams; printing the result is the caller's business.
#pragma once

#include <string>

#include "layout/square_content.h"

// Matches every board square of the diagram at path against the square set
// loaded as images 1 to 32. False with one line saying why: the file cannot
// be opened (the system's reason), is not JPEG, BMP or PNG, is not the size
// of this set's diagram (both sizes named; checked before any pixel is
// decoded), or has a square that matches no image of the set closely.
bool read_back_diagram(const std::string& path, board_squares_shown* squares, std::string* error);
