// Feeds arbitrary bytes to problem files as YAML records of problem databases (the
// bytes follow a first line that tells the form). Every problem ends read or
// refused in one line, never in a crash or a hang; a read problem's twins
// either apply or are refused in one line.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "chess/problem_file.h"
#include "chess/quoted_input.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string input = "---\n" + std::string(reinterpret_cast<const char*>(data), size);
    std::vector<problem_entry> entries;
    problems_parse(input, &entries);
    for (const problem_entry& entry : entries) {
        if (!entry.read) {
            if (entry.error.empty() || entry.error.find('\n') != std::string::npos || !is_valid_utf8(entry.error))
                std::abort();
            continue;
        }
        std::vector<problem_part> parts;
        std::string error;
        if (!problem_parts(entry.record, notation::russian, &parts, &error) &&
            (error.empty() || error.find('\n') != std::string::npos))
            std::abort();
        if (!is_valid_utf8(problem_task_text(entry.record, notation::english)))
            std::abort();
    }
    return 0;
}
