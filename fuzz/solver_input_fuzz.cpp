// Feeds arbitrary bytes to problem files as the standard solver's input files (the
// bytes follow a first line that tells the form). Every problem ends read or
// refused in one line, never in a crash or a hang; a read problem's twins
// either apply or are refused in one line.
#include <cstdint>
#include <string>

#include "fuzz/problem_file_check.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    check_problem_file("begin\n" + std::string(reinterpret_cast<const char*>(data), size));
    return 0;
}
