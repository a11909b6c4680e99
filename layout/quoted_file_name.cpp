// The tail of a long name is quoted as any input, so escapes and a NUL's
// place are shown the same way.
#include "layout/quoted_file_name.h"

#include <vector>

#include "chess/quoted_input.h"

std::string quoted_file_name(std::string_view path)
{
    // The start of each character, so the tail is cut between characters.
    std::vector<std::size_t> starts;
    for (std::size_t at = 0; at < path.size();) {
        starts.push_back(at);
        const int length = utf8_sequence_length(path.substr(at));
        at += std::size_t(length > 0 ? length : 1);
    }
    if (starts.size() <= std::size_t(quoted_input_limit))
        return quoted_input(path);
    const std::string tail = quoted_input(path.substr(starts[starts.size() - std::size_t(quoted_input_limit) + 1]));
    const std::string open = "«";
    return open + "…" + tail.substr(open.size());
}
