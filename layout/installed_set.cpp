// The set's place is compiled in, relative to the program's own folder when
// the install folders are relative, so one build serves any prefix and the
// package alike. A program run from its build tree has no installed set
// beside it; it takes the default set the build drew instead.
#include "layout/installed_set.h"

#include <cstdlib>

#include <sys/stat.h>
#include <unistd.h>

namespace {

// The running program's folder, ending in "/"; empty when unknown.
std::string program_folder()
{
    char program[4096];
    const ssize_t length = readlink("/proc/self/exe", program, sizeof program);
    if (length <= 0 || length == ssize_t(sizeof program))
        return "";
    const std::string path(program, std::size_t(length));
    return path.substr(0, path.rfind('/') + 1);
}

bool exists(const std::string& path)
{
    struct stat info;
    return stat(path.c_str(), &info) == 0;
}

}  // namespace

std::string installed_square_set()
{
    const std::string folder = program_folder();
    std::string set = CHESS_DATA_DIR;
    if (set.front() != '/') {
        if (folder.empty())
            return "";
        set = folder + set;
    }
    if (!exists(set) && !folder.empty() && exists(folder + CHESS_BUILD_SET))
        set = folder + CHESS_BUILD_SET;
    if (char* resolved = realpath(set.c_str(), nullptr)) {
        set = resolved;
        std::free(resolved);
    }
    return set;
}
