// Short algebraic notation, which needs the position: the piece letter, which
// of two like pieces moved, and whether the move checks or mates.
#include "chess/notation.h"

#include "chess/moves.h"

namespace {

const char* piece_letter(piece_type type, notation language)
{
    static const char* const russian[] = {"", "К", "С", "Л", "Ф", "Кр"};
    static const char* const english[] = {"", "N", "B", "R", "Q", "K"};
    return language == notation::russian ? russian[type] : english[type];
}

// The file, the rank or the whole square of the origin, when another piece of
// the same kind could also go to the same square.
std::string disambiguation(const position& p, move m)
{
    move_list list;
    legal_moves(p, &list);
    const int from = move_from(m), to = move_to(m);
    bool rival = false, same_file = false, same_rank = false;
    for (move other : list) {
        const int other_from = move_from(other);
        if (move_to(other) != to || other_from == from || p.board[other_from] != p.board[from])
            continue;
        rival = true;
        same_file |= file_of(other_from) == file_of(from);
        same_rank |= rank_of(other_from) == rank_of(from);
    }
    if (!rival)
        return {};
    if (!same_file)
        return {char('a' + file_of(from))};
    if (!same_rank)
        return {char('1' + rank_of(from))};
    return square_text(from);
}

}  // namespace

std::string move_text(const position& p, move m, notation language)
{
    const int from = move_from(m), to = move_to(m), kind = move_kind_of(m);
    std::string text;
    if (kind == castle_short) {
        text = "0-0";
    } else if (kind == castle_long) {
        text = "0-0-0";
    } else if (type_of(p.board[from]) == pawn) {
        if (is_capture(m))
            text = std::string(1, char('a' + file_of(from))) + "x";
        text += square_text(to);
        if (is_promotion(m))
            text += std::string("=") + piece_letter(promoted_type(m), language);
    } else {
        text = piece_letter(type_of(p.board[from]), language) + disambiguation(p, m);
        text += (is_capture(m) ? "x" : "") + square_text(to);
    }
    position after = p;
    undo_record undo;
    make(&after, m, &undo);
    if (in_check(after))
        text += has_legal_move(after) ? "+" : "#";
    else if (!has_legal_move(after))
        text += "=";  // stalemate, as problem columns mark it
    return text;
}
