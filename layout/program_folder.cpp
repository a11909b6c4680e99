// The program's own path from /proc/self/exe, which follows links to where
// the file really is, as the install's relative paths expect.
#include "layout/program_folder.h"

#include <sys/stat.h>
#include <unistd.h>

std::string program_folder()
{
    char program[4096];
    const ssize_t length = readlink("/proc/self/exe", program, sizeof program);
    if (length <= 0 || length == ssize_t(sizeof program))
        return "";
    const std::string path(program, std::size_t(length));
    return path.substr(0, path.rfind('/') + 1);
}

bool file_exists(const std::string& path)
{
    struct stat info;
    return stat(path.c_str(), &info) == 0;
}
