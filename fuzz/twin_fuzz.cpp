// Feeds arbitrary bytes to both readers of twins and applies what reads to a
// fixed diagram. A twin that applies must write in the solver's words as a
// twin that reads and gives the same board; refusals are one line.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "chess/quoted_input.h"
#include "chess/twin.h"

namespace {

void check_message(const std::string& line)
{
    if (line.empty() || line.find('\n') != std::string::npos || !is_valid_utf8(line))
        std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    fen_record diagram;
    std::string error;
    if (!fen_read("r3k2r/1p6/8/3K4/8/5N2/6P1/R6R w - -", &diagram, &error))
        std::abort();
    for (bool written : {true, false}) {
        twin t;
        if (!(written ? twin_read_written(input, &t, &error) : twin_read_solver(input, &t, &error))) {
            check_message(error);
            continue;
        }
        fen_record changed = diagram, again = diagram;
        std::string stipulation = "h#2", stipulation_again = "h#2";
        if (!twin_apply(t, &changed, &stipulation, &error)) {
            check_message(error);
            continue;
        }
        twin back;
        if (!twin_read_solver(twin_solver_text(t), &back, &error) ||
            !twin_apply(back, &again, &stipulation_again, &error) || again.squares != changed.squares ||
            stipulation_again != stipulation)
            std::abort();
        if (!is_valid_utf8(twin_written(t, diagram, notation::russian)))
            std::abort();
    }
    return 0;
}
