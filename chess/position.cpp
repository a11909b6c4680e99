// Setting a position up from FEN, telling what makes it unplayable, and
// making and unmaking moves with the Zobrist key kept in step.
#include "chess/position.h"

namespace {

struct zobrist_keys {
    std::uint64_t piece_square[16][64];
    std::uint64_t castling[16];
    std::uint64_t en_passant_file[8];
    std::uint64_t black_to_move;
};

// A fixed seed: keys are the same in every run, so a search is repeatable.
// Made by the compiler: a table filled at start-up is written page by page,
// which costs a small problem more than its search.
constexpr zobrist_keys make_keys()
{
    zobrist_keys k{};
    std::uint64_t state = 0x9E3779B97F4A7C15ull;
    auto next = [&state] {
        std::uint64_t z = (state += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    };
    for (auto& squares : k.piece_square)
        for (auto& key : squares)
            key = next();
    for (auto& key : k.castling)
        key = next();
    for (auto& key : k.en_passant_file)
        key = next();
    k.black_to_move = next();
    return k;
}

constexpr zobrist_keys keys = make_keys();

constexpr std::string_view fen_letters = "PNBRQK";

piece piece_from_letter(char letter)
{
    const bool is_black = letter >= 'a';
    const std::size_t type = fen_letters.find(char(is_black ? letter - 32 : letter));
    return make_piece(is_black ? black : white, piece_type(type));
}

char letter_of(piece pc)
{
    const char upper = fen_letters[type_of(pc)];
    return colour_of(pc) == black ? char(upper + 32) : upper;
}

void put(position* p, piece pc, int square)
{
    p->board[square] = pc;
    p->by_type[type_of(pc)] |= square_bit(square);
    p->by_colour[colour_of(pc)] |= square_bit(square);
    p->key ^= keys.piece_square[pc][square];
}

void remove(position* p, int square)
{
    const piece pc = p->board[square];
    p->board[square] = empty;
    p->by_type[type_of(pc)] ^= square_bit(square);
    p->by_colour[colour_of(pc)] ^= square_bit(square);
    p->key ^= keys.piece_square[pc][square];
}

void shift(position* p, int from, int to)
{
    const piece pc = p->board[from];
    const bitboard both = square_bit(from) | square_bit(to);
    p->board[from] = empty;
    p->board[to] = pc;
    p->by_type[type_of(pc)] ^= both;
    p->by_colour[colour_of(pc)] ^= both;
    p->key ^= keys.piece_square[pc][from] ^ keys.piece_square[pc][to];
}

// Rights lost when a piece leaves or lands on a square (a king or rook moves, a rook is taken).
constexpr std::uint8_t rights_kept_by(int square)
{
    switch (square) {
    case 0: return std::uint8_t(~white_long);
    case 4: return std::uint8_t(~(white_short | white_long));
    case 7: return std::uint8_t(~white_short);
    case 56: return std::uint8_t(~black_long);
    case 60: return std::uint8_t(~(black_short | black_long));
    case 63: return std::uint8_t(~black_short);
    default: return 0xFF;
    }
}

// Where the rook of a castling move stands before and after it.
struct rook_move {
    int from, to;
};
rook_move castling_rook(int king_from, int kind)
{
    const int rank_base = king_from & 56;
    return kind == castle_short ? rook_move{rank_base + 7, rank_base + 5} : rook_move{rank_base, rank_base + 3};
}

struct castling_rule {
    castling_right right;
    colour side;
    int king_from, rook_from, rook_file_bit;
};
constexpr castling_rule castling_rules[4] = {
    {white_short, white, 4, 7, 0x80}, {white_long, white, 4, 0, 0x01},
    {black_short, black, 60, 63, 0x80}, {black_long, black, 60, 56, 0x01}};

// The en passant square only counts when a pawn of the side to move could take there,
// behind a pawn of the other side that has just moved two squares: the third rank
// before Black moves, the sixth before White does.
bool en_passant_possible(const position& p, int square)
{
    const colour mover = p.side;
    if (square / 8 != (mover == white ? 5 : 2))
        return false;
    const int pushed = mover == white ? square - 8 : square + 8;  // where the pawn that moved two squares stands
    const int origin = mover == white ? square + 8 : square - 8;
    return p.board[pushed] == make_piece(opponent(mover), pawn) && p.board[square] == empty &&
           p.board[origin] == empty && (attacks.pawn[opponent(mover)][square] & p.pieces(mover, pawn));
}

// What unmake needs back, saved before a move or a pass changes anything. The
// en passant square goes: only the double step just played may leave one.
void save_and_clear_en_passant(position* p, undo_record* undo)
{
    *undo = {p->key, empty, p->castling, p->en_passant, p->halfmove_clock};
    if (p->en_passant != no_square)
        p->key ^= keys.en_passant_file[file_of(p->en_passant)];
    p->en_passant = no_square;
}

void set_en_passant(position* p, int square)
{
    p->en_passant = std::int8_t(square);
    if (square != no_square)
        p->key ^= keys.en_passant_file[file_of(square)];
}

}  // namespace

position position_from_fen(const fen_record& record, colour to_move)
{
    position p{};
    p.en_passant = no_square;
    for (int square = 0; square < 64; square++)
        if (record.squares[std::size_t(square)] != no_piece)
            put(&p, piece_from_letter(record.squares[std::size_t(square)]), square);
    p.side = to_move;
    if (to_move == black)
        p.key ^= keys.black_to_move;
    for (const castling_rule& rule : castling_rules) {
        const bool named = record.fields < 3 || (record.castling_files[rule.side] & rule.rook_file_bit);
        if (named && p.board[rule.king_from] == make_piece(rule.side, king) &&
            p.board[rule.rook_from] == make_piece(rule.side, rook))
            p.castling |= rule.right;
    }
    p.key ^= keys.castling[p.castling];
    if (record.en_passant != no_square && en_passant_possible(p, record.en_passant))
        set_en_passant(&p, record.en_passant);
    p.halfmove_clock = std::uint16_t(record.halfmove_clock > 0xFFFF ? 0xFFFF : record.halfmove_clock);
    p.fullmove_number = record.fullmove_number;
    return p;
}

position position_from_fen(const fen_record& record)
{
    return position_from_fen(record, record.black_to_move ? black : white);
}

std::string position_fen(const position& p)
{
    fen_record record;
    for (int square = 0; square < 64; square++)
        record.squares[std::size_t(square)] = p.board[square] == empty ? no_piece : letter_of(p.board[square]);
    record.fields = 6;
    record.black_to_move = p.side == black;
    for (const castling_rule& rule : castling_rules)
        if (p.castling & rule.right)
            record.castling_files[rule.side] |= std::uint8_t(rule.rook_file_bit);
    record.en_passant = p.en_passant;
    record.halfmove_clock = p.halfmove_clock;
    record.fullmove_number = p.fullmove_number;
    return fen_write(record);
}

std::string position_problem(const position& p)
{
    static const char* const side_names[2] = {"белых", "чёрных"};
    for (colour c : {white, black}) {
        const int kings = square_count(p.pieces(c, king));
        if (kings == 0)
            return std::string("у ") + side_names[c] + " нет короля";
        if (kings > 1)
            return std::string("у ") + side_names[c] + " больше одного короля";
    }
    if (bitboard stray = p.by_type[pawn] & (rank_1 | rank_8))
        return "пешка на " + square_text(lowest_square(stray)) + ": пешки не бывают на первом и последнем ряду";
    if (square_attacked(p, p.king_square(opponent(p.side)), p.side))
        return std::string(p.side == white ? "чёрный" : "белый") + " король под шахом, а ход " + side_names[p.side];
    return {};
}

// A slider's rays are walked only when one stands on a line with the square
// at all, which in a problem's sparse positions is seldom.
bitboard sliding_attackers(const position& p, int square, bitboard occupied, bitboard among)
{
    const bitboard rooks = (p.by_type[rook] | p.by_type[queen]) & among & attacks.rook_lines[square];
    const bitboard bishops = (p.by_type[bishop] | p.by_type[queen]) & among & attacks.bishop_lines[square];
    return (rooks ? rook_attacks(square, occupied) & rooks : 0) | (bishops ? bishop_attacks(square, occupied) & bishops : 0);
}

bitboard attackers_of(const position& p, int square, bitboard occupied)
{
    return (attacks.pawn[white][square] & p.pieces(black, pawn)) |
           (attacks.pawn[black][square] & p.pieces(white, pawn)) | (attacks.knight[square] & p.by_type[knight]) |
           (attacks.king[square] & p.by_type[king]) | sliding_attackers(p, square, occupied, ~bitboard(0));
}

bool square_attacked(const position& p, int square, colour by)
{
    const bitboard them = p.by_colour[by];
    if ((attacks.knight[square] & p.by_type[knight] & them) || (attacks.pawn[opponent(by)][square] & p.by_type[pawn] & them) ||
        (attacks.king[square] & p.by_type[king] & them))
        return true;
    return sliders_attack(p, square, p.occupied(), them);
}

void make(position* p, move m, undo_record* undo)
{
    const int from = move_from(m), to = move_to(m), kind = move_kind_of(m);
    const colour us = p->side;
    save_and_clear_en_passant(p, undo);
    p->halfmove_clock++;
    if (type_of(p->board[from]) == pawn)
        p->halfmove_clock = 0;

    if (kind == en_passant_capture) {
        const int taken = us == white ? to - 8 : to + 8;
        undo->captured = p->board[taken];
        remove(p, taken);
    } else if (is_capture(m)) {
        undo->captured = p->board[to];
        remove(p, to);
        p->halfmove_clock = 0;
    }
    shift(p, from, to);
    if (kind == castle_short || kind == castle_long) {
        const rook_move rook_moved = castling_rook(from, kind);
        shift(p, rook_moved.from, rook_moved.to);
    } else if (is_promotion(m)) {
        remove(p, to);
        put(p, make_piece(us, promoted_type(m)), to);
    }

    const std::uint8_t rights = p->castling & rights_kept_by(from) & rights_kept_by(to);
    if (rights != p->castling) {
        p->key ^= keys.castling[p->castling] ^ keys.castling[rights];
        p->castling = rights;
    }
    p->side = opponent(us);
    p->key ^= keys.black_to_move;
    if (us == black)
        p->fullmove_number++;
    if (kind == double_push) {
        const int passed = (from + to) / 2;
        // Only a square where a pawn can take changes what may happen next.
        if (attacks.pawn[us][passed] & p->pieces(p->side, pawn))
            set_en_passant(p, passed);
    }
}

void unmake(position* p, move m, const undo_record& undo)
{
    const int from = move_from(m), to = move_to(m), kind = move_kind_of(m);
    p->side = opponent(p->side);
    const colour us = p->side;
    if (us == black)
        p->fullmove_number--;
    if (is_promotion(m)) {
        remove(p, to);
        put(p, make_piece(us, pawn), to);
    }
    shift(p, to, from);
    if (kind == castle_short || kind == castle_long) {
        const rook_move rook_moved = castling_rook(from, kind);
        shift(p, rook_moved.to, rook_moved.from);
    }
    if (undo.captured != empty)
        put(p, undo.captured, kind == en_passant_capture ? (us == white ? to - 8 : to + 8) : to);
    p->castling = undo.castling;
    p->en_passant = undo.en_passant;
    p->halfmove_clock = undo.halfmove_clock;
    p->key = undo.key;
}

void make_null(position* p, undo_record* undo)
{
    save_and_clear_en_passant(p, undo);
    p->side = opponent(p->side);
    p->key ^= keys.black_to_move;
}

void unmake_null(position* p, const undo_record& undo)
{
    p->side = opponent(p->side);
    p->en_passant = undo.en_passant;
    p->key = undo.key;
}
