// Reading FEN and EPD the way they reach us: typed, pasted from web pages
// (no-break spaces), copied from Windows files (CR, a byte-order mark), or
// taken from published test suites (EPD operations after four fields).
#include "chess/fen.h"

#include <bit>

#include "chess/quoted_input.h"

namespace {

constexpr std::string_view piece_letters = "KQRBNPkqrbnp";
constexpr std::string_view byte_order_mark = "\xEF\xBB\xBF";
constexpr std::string_view no_break_space = "\xC2\xA0";

// The length of the separator at the start of text, 0 when there is none.
std::size_t separator_length(std::string_view text)
{
    if (text.empty())
        return 0;
    if (text.substr(0, 2) == no_break_space)
        return 2;
    switch (text[0]) {
    case ' ': case '\t': case '\r': case '\n': case '\v': case '\f': return 1;
    default: return 0;
    }
}

std::string_view skip_separators(std::string_view text)
{
    while (std::size_t n = separator_length(text))
        text.remove_prefix(n);
    return text;
}

// The next field: everything up to a separator.
std::string_view take_field(std::string_view* text)
{
    *text = skip_separators(*text);
    std::size_t end = 0;
    while (end < text->size() && separator_length(text->substr(end)) == 0)
        end++;
    std::string_view field = text->substr(0, end);
    text->remove_prefix(end);
    return field;
}

bool fail(std::string* error, std::string line)
{
    *error = std::move(line);
    return false;
}

bool read_rank(std::string_view field, int rank, fen_record* record, std::string* error)
{
    const std::string where = " в ряду " + std::to_string(rank + 1);
    int file = 0;
    bool after_digit = false;
    bool after_piece = false;
    for (std::size_t i = 0; i < field.size(); i++) {
        const char c = field[i];
        if (c == '~' && after_piece) {
            after_piece = false;  // marks a promoted piece; the board is the same
            continue;
        }
        const bool digit = c >= '1' && c <= '8';
        if (!digit && piece_letters.find(c) == std::string_view::npos) {
            const int length = utf8_sequence_length(field.substr(i));
            return fail(error, "в FEN неизвестный знак " + quoted_input(field.substr(i, length > 1 ? length : 1)) +
                                   where + ": " + quoted_input(field));
        }
        if (digit && after_digit)
            return fail(error, "в FEN две цифры подряд" + where + ": " + quoted_input(field));
        const int count = digit ? c - '0' : 1;
        if (file + count > 8)
            return fail(error, "ряд " + std::to_string(rank + 1) + " в FEN длиннее восьми клеток: " +
                                   quoted_input(field));
        for (int k = 0; k < count; k++)
            record->squares[std::size_t(square_at(file++, rank))] = digit ? no_piece : c;
        after_digit = digit;
        after_piece = !digit;
    }
    if (file < 8)
        return fail(error, "ряд " + std::to_string(rank + 1) + " в FEN короче восьми клеток: " + quoted_input(field));
    return true;
}

bool read_placement(std::string_view field, fen_record* record, std::string* error)
{
    int rank = 7;
    std::string_view rest = field;
    for (;;) {
        const std::size_t slash = rest.find('/');
        if (rank < 0)
            return fail(error, "в FEN больше восьми рядов: " + quoted_input(field));
        if (!read_rank(rest.substr(0, slash), rank, record, error))
            return false;
        rank--;
        if (slash == std::string_view::npos)
            break;
        rest.remove_prefix(slash + 1);
    }
    if (rank >= 0)
        return fail(error, "в FEN не восемь рядов, а " + std::to_string(7 - rank) + ": " + quoted_input(field));
    return true;
}

bool read_castling(std::string_view field, fen_record* record)
{
    if (field == "-")
        return true;
    if (field.empty())
        return false;
    for (char c : field) {
        int colour, file;
        if (c == 'K' || c == 'k')
            colour = c == 'k', file = 7;
        else if (c == 'Q' || c == 'q')
            colour = c == 'q', file = 0;
        else if (c >= 'A' && c <= 'H')
            colour = 0, file = c - 'A';
        else if (c >= 'a' && c <= 'h')
            colour = 1, file = c - 'a';
        else
            return false;
        std::uint8_t& files = record->castling_files[std::size_t(colour)];
        const std::uint8_t bit = std::uint8_t(1u << file);
        // A right named twice (KK, or K and H) or a third right for one side is a typing error.
        if ((files & bit) || std::popcount(files) == 2)
            return false;
        files |= bit;
    }
    return true;
}

bool read_en_passant(std::string_view field, fen_record* record)
{
    if (field == "-")
        return true;
    if (field.size() != 2 || field[0] < 'a' || field[0] > 'h' || (field[1] != '3' && field[1] != '6'))
        return false;
    record->en_passant = square_at(field[0] - 'a', field[1] - '1');
    return true;
}

bool read_counter(std::string_view field, int* value)
{
    if (field.empty() || field.size() > 9)
        return false;
    int n = 0;
    for (char c : field) {
        if (c < '0' || c > '9')
            return false;
        n = n * 10 + (c - '0');
    }
    *value = n;
    return true;
}

// Two counters may follow the four fields; a word that begins like a number
// is read as one (and must be one), anything else starts the operations.
bool starts_like_a_number(std::string_view field)
{
    const char c = field.empty() ? '\0' : field[0];
    return (c >= '0' && c <= '9') || c == '+' || c == '-';
}

// Where the operations start at the latest: the first semicolon outside
// double quotes, alone or glued to a field ("- ;", "-;", "4;").
std::size_t operations_cut(std::string_view text)
{
    bool quoted = false;
    for (std::size_t i = 0; i < text.size(); i++) {
        if (text[i] == '"')
            quoted = !quoted;
        else if (text[i] == ';' && !quoted)
            return i;
    }
    return std::string_view::npos;
}

// The end of an operation that does not parse: its next semicolon outside
// quotes, or the end of the line.
std::string_view skip_operation(std::string_view text)
{
    const std::size_t end = operations_cut(text);
    return end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
}

// EPD operations: `opcode operand ... ;` each, operands may be "quoted
// strings" holding spaces and semicolons. Suites write all sorts after the
// position (perft counts, free text, a quotation left open), and none of it
// is the diagram's business: an operation that does not parse is skipped,
// and an open quotation ends with the line.
void read_operations(std::string_view text, fen_record* record)
{
    for (text = skip_separators(text); !text.empty(); text = skip_separators(text)) {
        if (text[0] == ';') {
            text.remove_prefix(1);
            continue;
        }
        std::size_t end = 0;
        while (end < text.size() && text[end] != ';' && separator_length(text.substr(end)) == 0)
            end++;
        const std::string_view opcode = text.substr(0, end);
        const char c = opcode[0];
        if (!((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'))) {
            text = skip_operation(text);
            continue;
        }
        text.remove_prefix(end);
        bool first_operand = true;
        for (;;) {
            text = skip_separators(text);
            if (text.empty())
                break;
            if (text[0] == ';') {
                text.remove_prefix(1);
                break;
            }
            std::string_view operand;
            if (text[0] == '"') {
                const std::size_t close = text.find('"', 1);
                operand = text.substr(1, close == std::string_view::npos ? std::string_view::npos : close - 1);
                text.remove_prefix(close == std::string_view::npos ? text.size() : close + 1);
            } else {
                std::size_t length = 0;
                while (length < text.size() && text[length] != ';' && separator_length(text.substr(length)) == 0)
                    length++;
                operand = text.substr(0, length);
                text.remove_prefix(length);
            }
            if (opcode == "id" && first_operand)
                record->epd_id = std::string(operand);
            first_operand = false;
        }
    }
}

}  // namespace

std::string square_text(int square)
{
    return {char('a' + file_of(square)), char('1' + rank_of(square))};
}

std::string_view without_byte_order_mark(std::string_view text)
{
    if (text.substr(0, byte_order_mark.size()) == byte_order_mark)
        text.remove_prefix(byte_order_mark.size());
    return text;
}

bool fen_read(std::string_view text, fen_record* record, std::string* error)
{
    fen_record read;
    read.squares.fill(no_piece);
    const std::string_view line = without_byte_order_mark(text);
    const std::size_t cut = operations_cut(line);
    std::string_view rest = line.substr(0, cut);
    const std::string_view placement = take_field(&rest);
    if (placement.empty())
        return fail(error, "FEN пуст");
    if (!read_placement(placement, &read, error))
        return false;

    const std::string_view side = take_field(&rest);
    if (!side.empty()) {
        read.fields = 2;
        if (side != "w" && side != "b")
            return fail(error, "в FEN поле хода " + quoted_input(side) + ", а нужно w или b");
        read.black_to_move = side == "b";
    }
    const std::string_view castling = take_field(&rest);
    if (!castling.empty()) {
        read.fields = 3;
        if (!read_castling(castling, &read))
            return fail(error, "в FEN поле рокировки " + quoted_input(castling) +
                                   ", а нужно -, буквы KQkq или вертикали ладей A–H, a–h");
    }
    const std::string_view en_passant = take_field(&rest);
    if (!en_passant.empty()) {
        read.fields = 4;
        if (!read_en_passant(en_passant, &read))
            return fail(error, "в FEN поле взятия на проходе " + quoted_input(en_passant) +
                                   ", а нужно - или клетка 3-го или 6-го ряда");
    }
    struct counter {
        int* value;
        const char* name;
    } counters[] = {{&read.halfmove_clock, "счётчик полуходов"}, {&read.fullmove_number, "номер хода"}};
    for (const counter& c : counters) {
        std::string_view before = rest;
        const std::string_view field = take_field(&rest);
        if (!starts_like_a_number(field)) {
            rest = before;
            break;
        }
        read.fields++;
        if (!read_counter(field, c.value))
            return fail(error, std::string("в FEN ") + c.name + " " + quoted_input(field) +
                                   ", а нужно целое число от 0");
    }
    // The operations: what is left before the cut, and everything after it.
    read_operations(line.substr(std::size_t(rest.data() - line.data())), &read);
    *record = std::move(read);
    return true;
}

std::string fen_placement(const std::array<char, 64>& squares)
{
    std::string fen;
    for (int rank = 7; rank >= 0; rank--) {
        int gap = 0;
        for (int file = 0; file < 8; file++) {
            const char c = squares[std::size_t(square_at(file, rank))];
            if (c == no_piece) {
                gap++;
                continue;
            }
            if (gap)
                fen += char('0' + gap);
            gap = 0;
            fen += c;
        }
        if (gap)
            fen += char('0' + gap);
        if (rank > 0)
            fen += '/';
    }
    return fen;
}

std::string fen_write(const fen_record& record)
{
    std::string fen = fen_placement(record.squares);
    if (record.fields >= 2)
        fen += record.black_to_move ? " b" : " w";
    if (record.fields >= 3) {
        std::string castling;
        for (int colour = 0; colour < 2; colour++) {
            const char base = colour ? 'a' : 'A';
            const std::uint8_t files = record.castling_files[std::size_t(colour)];
            for (int file = 7; file >= 0; file--) {
                if (!(files & (1u << file)))
                    continue;
                castling += file == 7 ? char(base + ('K' - 'A')) : file == 0 ? char(base + ('Q' - 'A')) : char(base + file);
            }
        }
        fen += " " + (castling.empty() ? std::string("-") : castling);
    }
    if (record.fields >= 4)
        fen += " " + (record.en_passant == no_square ? std::string("-") : square_text(record.en_passant));
    if (record.fields >= 5)
        fen += " " + std::to_string(record.halfmove_clock);
    if (record.fields >= 6)
        fen += " " + std::to_string(record.fullmove_number);
    return fen;
}
