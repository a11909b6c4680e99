// Moves in short algebraic notation, with Russian piece letters (Кр Ф Л С К)
// or English ones (K Q R B N): "Фxf7+", "exd6", "e8=Ф#", "Лad1", "0-0-0", "Кc6=".
// Pawn moves carry no letter; a piece is told apart from another of its kind
// that could reach the same square by its file, its rank, or both.
#pragma once

#include <string>

#include "chess/language.h"
#include "chess/position.h"

// The move, legal in p, with + or # when it checks or mates, = when it stalemates.
std::string move_text(const position& p, move m, notation language);
