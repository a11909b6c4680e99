// Legal move generation. The king's square, the pieces giving check and the
// pieces pinned to the king are worked out first; each piece then moves only
// to squares that meet the check and stay on its pin line. King moves and en
// passant, which change more than one line at a time, are tested directly.
#include "chess/moves.h"

namespace {

struct generation {
    const position& p;
    colour us, them;
    bitboard own, enemy, occupied;
    int king_at;
    bitboard checkers = 0, pinned = 0;
    bitboard target = 0;  // where a piece other than the king may go: out of check, not onto its own
    const check_squares* checks_only = nullptr;  // set when only checking moves are wanted

    explicit generation(const position& pos)
        : p(pos), us(pos.side), them(opponent(pos.side)), own(pos.by_colour[pos.side]),
          enemy(pos.by_colour[opponent(pos.side)]), occupied(pos.occupied()), king_at(pos.king_square(pos.side))
    {
        checkers = attackers_of(p, king_at, occupied) & enemy;
        const bitboard enemy_rooks = (p.by_type[rook] | p.by_type[queen]) & enemy;
        const bitboard enemy_bishops = (p.by_type[bishop] | p.by_type[queen]) & enemy;
        bitboard snipers = (attacks.rook_lines[king_at] & enemy_rooks) | (attacks.bishop_lines[king_at] & enemy_bishops);
        while (snipers) {
            const bitboard between = attacks.between[king_at][pop_lowest(&snipers)] & occupied;
            if (between && !(between & (between - 1)) && (between & own))
                pinned |= between;
        }
        if (!checkers)
            target = ~own;
        else if (!(checkers & (checkers - 1)))
            target = attacks.between[king_at][lowest_square(checkers)] | checkers;
    }

    bitboard allowed(int from) const
    {
        return (pinned & square_bit(from)) ? target & attacks.line[king_at][from] : target;
    }

    // Where a piece may go when only checks are wanted: a piece that uncovers
    // no line checks only from the squares that see the other king.
    bitboard checking_from(int from, piece_type type) const
    {
        if (!checks_only || (checks_only->discoverers & square_bit(from)))
            return ~bitboard(0);
        return checks_only->direct[type];
    }

    // Tested square by square for every king move, so it stops at the first attacker.
    bool attacked_without_king(int square) const
    {
        if ((attacks.knight[square] & p.by_type[knight] & enemy) || (attacks.king[square] & p.by_type[king] & enemy) ||
            (attacks.pawn[us][square] & p.by_type[pawn] & enemy))
            return true;
        return sliders_attack(p, square, occupied ^ square_bit(king_at), enemy);
    }

    bool en_passant_legal(int from, int to) const
    {
        const int taken = us == white ? to - 8 : to + 8;
        const bitboard after = (occupied ^ square_bit(from) ^ square_bit(taken)) | square_bit(to);
        const bitboard rest = enemy ^ square_bit(taken);
        const bitboard rooks = (p.by_type[rook] | p.by_type[queen]) & rest;
        const bitboard bishops = (p.by_type[bishop] | p.by_type[queen]) & rest;
        return !(rook_attacks(king_at, after) & rooks) && !(bishop_attacks(king_at, after) & bishops) &&
               !(attacks.knight[king_at] & p.by_type[knight] & rest) &&
               !(attacks.pawn[us][king_at] & p.by_type[pawn] & rest);
    }
};

// Adds moves to the sink until it asks to stop; returns whether it did.
template <typename Sink>
bool add_targets(int from, bitboard targets, bitboard enemy, Sink& sink)
{
    while (targets) {
        const int to = pop_lowest(&targets);
        if (sink(make_move(from, to, (enemy & square_bit(to)) ? capture : quiet)))
            return true;
    }
    return false;
}

template <typename Sink>
bool add_pawn_move(int from, int to, bool takes, Sink& sink)
{
    if (to >= 56 || to < 8) {
        const int base = takes ? promotion_capture : promotion;
        for (int k = 3; k >= 0; k--)  // queen first
            if (sink(make_move(from, to, base + k)))
                return true;
        return false;
    }
    return sink(make_move(from, to, takes ? capture : quiet));
}

template <typename Sink>
bool king_moves(const generation& g, Sink& sink)
{
    bitboard targets = attacks.king[g.king_at] & ~g.own & g.checking_from(g.king_at, king);
    while (targets) {
        const int to = pop_lowest(&targets);
        if (!g.attacked_without_king(to) &&
            sink(make_move(g.king_at, to, (g.enemy & square_bit(to)) ? capture : quiet)))
            return true;
    }
    if (g.checkers)
        return false;
    const position& p = g.p;
    const int base = g.us == white ? 0 : 56;
    const std::uint8_t short_right = g.us == white ? white_short : black_short;
    const std::uint8_t long_right = g.us == white ? white_long : black_long;
    if ((p.castling & short_right) && !(g.occupied & (square_bit(base + 5) | square_bit(base + 6))) &&
        !square_attacked(p, base + 5, g.them) && !square_attacked(p, base + 6, g.them) &&
        sink(make_move(base + 4, base + 6, castle_short)))
        return true;
    if ((p.castling & long_right) &&
        !(g.occupied & (square_bit(base + 1) | square_bit(base + 2) | square_bit(base + 3))) &&
        !square_attacked(p, base + 3, g.them) && !square_attacked(p, base + 2, g.them) &&
        sink(make_move(base + 4, base + 2, castle_long)))
        return true;
    return false;
}

template <typename Sink>
bool pawn_moves_from(const generation& g, int from, Sink& sink)
{
    const position& p = g.p;
    const int forward = g.us == white ? 8 : -8;
    const bitboard start_rank = g.us == white ? rank_1 << 8 : rank_8 >> 8;
    const bitboard allowed = g.allowed(from);
    const int one = from + forward;
    if (!(g.occupied & square_bit(one))) {
        if ((allowed & square_bit(one)) && add_pawn_move(from, one, false, sink))
            return true;
        const int two = one + forward;
        if ((start_rank & square_bit(from)) && !(g.occupied & square_bit(two)) && (allowed & square_bit(two)) &&
            sink(make_move(from, two, double_push)))
            return true;
    }
    for (bitboard takes = attacks.pawn[g.us][from] & g.enemy & allowed; takes;)
        if (add_pawn_move(from, pop_lowest(&takes), true, sink))
            return true;
    return p.en_passant != no_square && (attacks.pawn[g.us][from] & square_bit(p.en_passant)) &&
           g.en_passant_legal(from, p.en_passant) && sink(make_move(from, p.en_passant, en_passant_capture));
}

template <typename Sink>
bool pawn_moves(const generation& g, Sink& sink)
{
    for (bitboard pawns = g.p.pieces(g.us, pawn); pawns;)
        if (pawn_moves_from(g, pop_lowest(&pawns), sink))
            return true;
    return false;
}

// A knight or a slider.
template <typename Sink>
bool piece_moves_from(const generation& g, int from, piece_type type, Sink& sink)
{
    bitboard reach = 0;
    if (type == knight)
        reach = attacks.knight[from];
    if (type == bishop || type == queen)
        reach |= bishop_attacks(from, g.occupied);
    if (type == rook || type == queen)
        reach |= rook_attacks(from, g.occupied);
    return add_targets(from, reach & g.allowed(from) & g.checking_from(from, type), g.enemy, sink);
}

template <typename Sink>
bool piece_moves(const generation& g, Sink& sink)
{
    const position& p = g.p;
    for (bitboard knights = p.pieces(g.us, knight) & ~g.pinned; knights;)
        if (piece_moves_from(g, pop_lowest(&knights), knight, sink))
            return true;
    for (bitboard sliders = g.own & (p.by_type[bishop] | p.by_type[rook] | p.by_type[queen]); sliders;) {
        const int from = pop_lowest(&sliders);
        if (piece_moves_from(g, from, type_of(p.board[from]), sink))
            return true;
    }
    return false;
}

template <typename Sink>
void generate(const position& p, Sink& sink, const check_squares* checks_only = nullptr)
{
    generation g(p);
    g.checks_only = checks_only;
    if (king_moves(g, sink) || !g.target)  // in double check only the king moves
        return;
    if (!pawn_moves(g, sink))
        piece_moves(g, sink);
}

}  // namespace

void legal_moves(const position& p, move_list* list)
{
    list->size = 0;
    auto sink = [list](move m) {
        list->moves[list->size++] = m;
        return false;
    };
    generate(p, sink);
}

bool is_legal_move(const position& p, move m)
{
    const int from = move_from(m);
    const piece mover = p.board[from];
    if (mover == empty || colour_of(mover) != p.side)
        return false;
    // A king's step needs only its square unattacked: most moves tried this
    // way are a lone defending king's, and pins and checks would cost more.
    const int kind = move_kind_of(m), to = move_to(m);
    if (type_of(mover) == king && (kind == quiet || kind == capture)) {
        const bitboard enemy = p.by_colour[opponent(p.side)];
        const bool takes = (enemy & square_bit(to)) != 0;
        return (attacks.king[from] & square_bit(to) & ~p.by_colour[p.side]) && takes == (kind == capture) &&
               !(attackers_of(p, to, p.occupied() ^ square_bit(from)) & enemy);
    }
    // Otherwise only the moving piece's moves are generated, with the same
    // checks and pins as a whole generation.
    const generation g(p);
    auto same = [m](move generated) { return generated == m; };
    const piece_type type = type_of(mover);
    // No target in double check, and no square on its pin line for a pinned
    // knight: both come out of allowed() with nothing.
    if (type == king)
        return king_moves(g, same);
    if (type == pawn)
        return pawn_moves_from(g, from, same);
    return piece_moves_from(g, from, type, same);
}

void checking_moves(const position& p, move_list* list)
{
    list->size = 0;
    const check_squares checks(p);
    // Pawn moves, castling and the moves of line openers still need the full test.
    auto sink = [&](move m) {
        if (gives_check(p, checks, m))
            list->moves[list->size++] = m;
        return false;
    };
    generate(p, sink, &checks);
}

bool has_legal_move(const position& p)
{
    bool found = false;
    auto sink = [&found](move) { return found = true; };
    generate(p, sink);
    return found;
}

check_squares::check_squares(const position& p)
{
    const colour us = p.side;
    their_king = p.king_square(opponent(us));
    const bitboard occupied = p.occupied();
    // A pawn of ours attacks the king from where one of theirs on the king's square would attack.
    direct[pawn] = attacks.pawn[opponent(us)][their_king];
    direct[knight] = attacks.knight[their_king];
    direct[bishop] = bishop_attacks(their_king, occupied);
    direct[rook] = rook_attacks(their_king, occupied);
    direct[queen] = direct[bishop] | direct[rook];
    direct[king] = 0;
    discoverers = 0;
    const bitboard rooks = p.pieces(us, rook) | p.pieces(us, queen);
    const bitboard bishops = p.pieces(us, bishop) | p.pieces(us, queen);
    bitboard snipers = (attacks.rook_lines[their_king] & rooks) | (attacks.bishop_lines[their_king] & bishops);
    while (snipers) {
        const bitboard between = attacks.between[their_king][pop_lowest(&snipers)] & occupied;
        if (between && !(between & (between - 1)) && (between & p.by_colour[us]))
            discoverers |= between;
    }
}

bool gives_check(const position& p, const check_squares& checks, move m)
{
    const int kind = move_kind_of(m);
    const int from = move_from(m), to = move_to(m);
    // A piece leaving the line between our slider and the king checks unless it stays on that line.
    const bool discovers =
        (checks.discoverers & square_bit(from)) && !(attacks.line[checks.their_king][from] & square_bit(to));
    if (is_promotion(m)) {
        // The new piece may look through the square the pawn has just left.
        const bitboard after = (p.occupied() ^ square_bit(from)) | square_bit(to);
        const piece_type type = promoted_type(m);
        bitboard reach = type == knight ? attacks.knight[to] : 0;
        if (type == bishop || type == queen)
            reach |= bishop_attacks(to, after);
        if (type == rook || type == queen)
            reach |= rook_attacks(to, after);
        return discovers || (reach & square_bit(checks.their_king));
    }
    // These move a second piece: play them.
    if (kind == castle_short || kind == castle_long || kind == en_passant_capture) {
        position after = p;
        undo_record undo;
        make(&after, m, &undo);
        return in_check(after);
    }
    return discovers || (checks.direct[type_of(p.board[from])] & square_bit(to));
}

std::uint64_t perft(position* p, int depth)
{
    if (depth == 0)
        return 1;
    move_list list;
    legal_moves(*p, &list);
    if (depth == 1)
        return std::uint64_t(list.size);
    std::uint64_t nodes = 0;
    undo_record undo;
    for (move m : list) {
        make(p, m, &undo);
        nodes += perft(p, depth - 1);
        unmake(p, m, undo);
    }
    return nodes;
}
