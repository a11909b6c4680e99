// A position as a user gives it in text: a FEN or EPD line, or a piece list
// ("White: Kh1 … Black: Kh8", in English, Russian or German), told apart by
// its first word. Every front end reads user input through here, so each
// form works wherever another does. Problem files are read elsewhere.
#pragma once

#include <string>
#include <string_view>

#include "chess/fen.h"

// False with one Russian line naming the fault, as the form's reader says it.
bool position_text_read(std::string_view text, fen_record* record, std::string* error);
