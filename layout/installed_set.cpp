// The set's place is compiled in, relative to the program's own folder when
// the install folders are relative, so one build serves any prefix and the
// package alike.
#include "layout/installed_set.h"

#include <cstdlib>

#include <unistd.h>

std::string installed_square_set()
{
    std::string set = CHESS_DATA_DIR;
    if (set.front() != '/') {
        char program[4096];
        ssize_t length = readlink("/proc/self/exe", program, sizeof program);
        if (length <= 0 || length == ssize_t(sizeof program))
            return "";
        std::string path(program, std::size_t(length));
        set = path.substr(0, path.rfind('/') + 1) + set;
    }
    if (char* resolved = realpath(set.c_str(), nullptr)) {
        set = resolved;
        std::free(resolved);
    }
    return set;
}
