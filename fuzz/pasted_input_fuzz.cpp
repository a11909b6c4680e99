// Feeds arbitrary bytes to FEN, EPD and list reading. Whatever reads must
// write back as a FEN that reads to the same record; every refusal and every
// task text must be one line of valid UTF-8.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "chess/fen.h"
#include "chess/position_list.h"
#include "chess/quoted_input.h"

namespace {

void check_message(const std::string& line)
{
    if (line.empty() || line.find('\n') != std::string::npos || line.find('\r') != std::string::npos ||
        !is_valid_utf8(line))
        std::abort();
}

bool same(const fen_record& a, const fen_record& b)
{
    return a.squares == b.squares && a.fields == b.fields && a.black_to_move == b.black_to_move &&
           a.castling_files == b.castling_files && a.en_passant == b.en_passant &&
           a.halfmove_clock == b.halfmove_clock && a.fullmove_number == b.fullmove_number;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    fen_record record, again;
    std::string error;
    if (fen_read(input, &record, &error)) {
        if (!fen_read(fen_write(record), &again, &error) || !same(record, again))
            std::abort();
    } else {
        check_message(error);
    }
    position_list list;
    position_list_parse(input, &list);
    for (const std::string& line : list.errors)
        check_message(line);
    for (const listed_position& entry : list.positions)
        if (!is_valid_utf8(entry.task_text) || entry.task_text.find('\n') != std::string::npos)
            std::abort();
    if (list.errors.size() + list.positions.size() != std::size_t(list.position_lines))
        std::abort();
    check_message(quoted_input(input));
    return 0;
}
