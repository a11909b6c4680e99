// Places pieces square by square into a FEN record and lets the rules say
// whether the result can be played from; plays random moves on from there.
#include "tests/support/random_position.h"

#include <cstdlib>

#include "chess/moves.h"

namespace {

std::uint64_t splitmix(std::uint64_t* state)
{
    std::uint64_t z = (*state += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

bool on_outer_rings(int square)
{
    const int file = file_of(square), rank = rank_of(square);
    return file <= 1 || file >= 6 || rank <= 1 || rank >= 6;
}

struct placement {
    fen_record record;
    int pieces[2] = {0, 0};
    int pawns[2] = {0, 0};

    bool free(int square) const { return record.squares[std::size_t(square)] == no_piece; }
    void put(int square, colour c, char upper)
    {
        record.squares[std::size_t(square)] = c == white ? upper : char(upper + 32);
        pieces[c]++;
        if (upper == 'P')
            pawns[c]++;
    }
};

int random_free_square(random_source* random, const placement& board, bool pawn, bool near_edge)
{
    for (;;) {
        const int square = random->below(64);
        if (!board.free(square) || (near_edge && !on_outer_rings(square)))
            continue;
        if (pawn && (rank_of(square) == 0 || rank_of(square) == 7))
            continue;
        return square;
    }
}

// A king, and for a castling set-up its rooks, on their home squares.
void place_king(random_source* random, const board_shape& shape, colour c, placement* board)
{
    const int home = c == white ? 4 : 60;
    if (random->percent(shape.castling_percent) && board->free(home)) {
        board->put(home, c, 'K');
        for (int rook_square : {home - 4, home + 3})
            if (board->free(rook_square) && random->percent(70))
                board->put(rook_square, c, 'R');
        return;
    }
    board->put(random_free_square(random, *board, false, random->percent(shape.kings_at_edge_percent)), c, 'K');
}

// A pawn at home and an enemy pawn on the square beside where its double step lands.
void place_en_passant_pair(random_source* random, colour mover, placement* board)
{
    const int file = random->below(8);
    const int beside = file == 0 ? 1 : file == 7 ? 6 : file + (random->percent(50) ? 1 : -1);
    const int home = square_at(file, mover == white ? 1 : 6);
    const int enemy = square_at(beside, mover == white ? 3 : 4);
    if (board->free(home) && board->free(enemy)) {
        board->put(home, mover, 'P');
        board->put(enemy, opponent(mover), 'P');
    }
}

char random_officer(random_source* random)
{
    const int roll = random->below(100);
    return roll < 25 ? 'N' : roll < 50 ? 'B' : roll < 78 ? 'R' : 'Q';
}

bool lands_beside_enemy_pawn(const position& p, move m)
{
    const int to = move_to(m);
    const bitboard beside = ((square_bit(to) << 1) & ~file_a) | ((square_bit(to) >> 1) & ~file_h);
    return beside & p.pieces(opponent(p.side), pawn);
}

// Double steps that leave an en passant capture are rare among random moves: favour them.
move random_move(random_source* random, const position& p, const move_list& list)
{
    move pushes[256], en_passant_pushes[256];
    int push_count = 0, en_passant_count = 0;
    for (move m : list)
        if (move_kind_of(m) == double_push) {
            pushes[push_count++] = m;
            if (lands_beside_enemy_pawn(p, m))
                en_passant_pushes[en_passant_count++] = m;
        }
    if (en_passant_count && random->percent(80))
        return en_passant_pushes[random->below(en_passant_count)];
    if (push_count && random->percent(30))
        return pushes[random->below(push_count)];
    return list.moves[random->below(list.size)];
}

}  // namespace

std::uint64_t random_source::next()
{
    return splitmix(&state);
}

int random_source::below(int n)
{
    return int(next() % std::uint64_t(n));
}

position random_position(random_source* random, const board_shape& shape)
{
    for (;;) {
        const colour wanted = shape.side == any_side ? colour(random->below(2)) : colour(shape.side);
        const bool en_passant_set_up = random->percent(shape.en_passant_percent);
        const int plies = en_passant_set_up ? 1 : random->percent(shape.played_percent) ? 1 + random->below(4) : 0;
        placement board;
        board.record.squares.fill(no_piece);
        board.record.fields = 6;
        board.record.black_to_move = (plies % 2 ? opponent(wanted) : wanted) == black;

        const int count = shape.min_pieces + random->below(shape.max_pieces - shape.min_pieces + 1);
        place_king(random, shape, white, &board);
        place_king(random, shape, black, &board);
        if (en_passant_set_up)
            place_en_passant_pair(random, board.record.black_to_move ? black : white, &board);
        while (board.pieces[white] + board.pieces[black] < count) {
            colour c = random->percent(shape.movers_percent) ? wanted : opponent(wanted);
            if (board.pieces[c] == 16)
                c = opponent(c);
            const bool pawn = board.pawns[c] < 8 && random->percent(shape.pawn_percent);
            board.put(random_free_square(random, board, pawn, false), c, pawn ? 'P' : random_officer(random));
        }
        // Rights as a FEN gives them: only where king and rook stand at home, and not always then.
        for (colour c : {white, black}) {
            const int home = c == white ? 4 : 60;
            const char king_letter = c == white ? 'K' : 'k', rook_letter = c == white ? 'R' : 'r';
            if (board.record.squares[std::size_t(home)] != king_letter)
                continue;
            for (int rook_square : {home - 4, home + 3})
                if (board.record.squares[std::size_t(rook_square)] == rook_letter && random->percent(80))
                    board.record.castling_files[c] |= std::uint8_t(1 << file_of(rook_square));
        }

        position p = position_from_fen(board.record);
        if (!position_problem(p).empty())
            continue;
        for (int i = 0; i < plies; i++) {
            move_list list;
            legal_moves(p, &list);
            if (list.size == 0)
                break;
            undo_record undo;
            make(&p, random_move(random, p, list), &undo);
        }
        // Checked again after the moves: a faulty move generator must not
        // hand an unplayable position to the test that is about to catch it.
        if (p.side == wanted && position_problem(p).empty())
            return p;
    }
}

int differential_count(int optimised, int sanitized)
{
#if defined(__SANITIZE_ADDRESS__) || !defined(NDEBUG)
    constexpr bool slow_build = true;
#else
    constexpr bool slow_build = false;
#endif
    int count = slow_build ? sanitized : optimised;
    if (const char* scale = std::getenv("CHESS_DIFFERENTIAL_SCALE"))
        if (std::atoi(scale) > 1)
            count *= std::atoi(scale);
    return count;
}
