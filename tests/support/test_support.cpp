#include "tests/support/test_support.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

#include <sys/wait.h>

temp_folder::temp_folder()
{
    char name[] = "/tmp/chess-test-XXXXXX";
    const char* made = mkdtemp(name);
    path = made ? made : "";
}

temp_folder::~temp_folder()
{
    if (!path.empty()) {
        std::error_code ignored;
        std::filesystem::permissions(path, std::filesystem::perms::owner_all, ignored);
        std::filesystem::remove_all(path, ignored);
    }
}

std::vector<std::uint8_t> read_file_bytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool write_file_bytes(const std::string& path, const std::vector<std::uint8_t>& bytes)
{
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    return bool(out);
}

bool file_exists(const std::string& path)
{
    std::error_code ignored;
    return std::filesystem::exists(path, ignored);
}

std::string build_dir()
{
    const char* dir = std::getenv("CHESS_BUILD_DIR");
    return dir ? dir : ".";
}

std::string build_tool(const std::string& name)
{
    return build_dir() + "/tools/" + name;
}

int run_command(const std::string& command)
{
    int status = std::system(command.c_str());
    if (status == -1 || !WIFEXITED(status))
        return -1;
    return WEXITSTATUS(status);
}
