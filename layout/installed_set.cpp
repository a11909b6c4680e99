// The set's place is compiled in, relative to the program's own folder when
// the install folders are relative, so one build serves any prefix and the
// package alike. A program run from its build tree has no installed set
// beside it; it takes the default set the build drew instead.
#include "layout/installed_set.h"

#include <cstdlib>

#include "layout/program_folder.h"

std::string installed_square_set()
{
    const std::string folder = program_folder();
    std::string set = CHESS_DATA_DIR;
    if (set.front() != '/') {
        if (folder.empty())
            return "";
        set = folder + set;
    }
    if (!file_exists(set) && !folder.empty() && file_exists(folder + CHESS_BUILD_SET))
        set = folder + CHESS_BUILD_SET;
    if (char* resolved = realpath(set.c_str(), nullptr)) {
        set = resolved;
        std::free(resolved);
    }
    return set;
}
