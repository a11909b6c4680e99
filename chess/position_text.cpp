// A piece list starts with a colour word, which no FEN can; anything else is
// read as FEN, so a mistyped FEN is refused in FEN's own terms.
#include "chess/position_text.h"

#include "chess/piece_list.h"

bool position_text_read(std::string_view text, fen_record* record, std::string* error)
{
    if (looks_like_piece_list(text))
        return piece_list_read(text, record, error);
    return fen_read(text, record, error);
}
