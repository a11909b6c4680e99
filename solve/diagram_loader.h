// The solver's side of reading a diagram: loads the reader module on first
// use and asks it for the position. The solver itself links no image code.
#pragma once

#include <string>

#include "chess/fen.h"

// As diagram_position() in the module: the placement read from the diagram,
// White to move, castling wherever king and rook stand at home, no en
// passant. False with one line saying why, also when the module cannot be
// loaded (the line names it and the loader's reason).
bool diagram_position_from_module(const std::string& path, const std::string& data_folder, fen_record* record,
                                  std::string* error);
