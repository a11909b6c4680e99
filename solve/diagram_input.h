// A diagram that the editor or the renderer drew, read back into a position
// for the solver. Only the board is read: the task text under it is not, so
// the stipulation is given on the command line.
#pragma once

#include <string>

#include "chess/fen.h"

// Reads the diagram at path with the square set in data_folder (empty: the
// default set). The record is a placement alone, so White moves, castling
// goes wherever king and rook stand at home, and there is no en passant;
// a marked square is an empty one. False with one line saying why.
bool diagram_position(const std::string& path, const std::string& data_folder, fen_record* record,
                      std::string* error);
