// A file's format follows its name, as a user reading the name expects; a
// name the renderer cannot honour is refused before any drawing starts, and
// so is a missing folder, which would otherwise fail once per diagram.
#include "render/output_names.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include <sys/stat.h>

#include "layout/quoted_file_name.h"

namespace {

bool is_folder(const std::string& path)
{
    struct stat info;
    return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

std::string lower(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(), [](char c) { return c >= 'A' && c <= 'Z' ? char(c + 32) : c; });
    return text;
}

bool check_folder(const std::string& folder, std::string* error)
{
    struct stat info;
    const int reason = stat(folder.c_str(), &info) != 0 ? errno : S_ISDIR(info.st_mode) ? 0 : ENOTDIR;
    if (reason == 0)
        return true;
    *error = "папка для диаграмм " + quoted_file_name(folder) + " недоступна: " + std::strerror(reason);
    return false;
}

}  // namespace

bool output_target_read(const std::string& output, output_target* target, std::string* error)
{
    output_target t;
    if (output.back() == '/' || is_folder(output)) {
        t.folder = true;
        t.stem = output.back() == '/' ? output : output + "/";
        t.extension = ".jpg";
        t.single = output_file_name(t, 1, 1);
        *target = t;
        return check_folder(output, error);
    }
    const std::size_t slash = output.rfind('/');
    const std::size_t base = slash == std::string::npos ? 0 : slash + 1;
    std::size_t dot = output.rfind('.');
    if (dot == std::string::npos || dot <= base)  // a hidden file's leading dot is no extension
        dot = output.size();
    t.stem = output.substr(0, dot);
    t.extension = dot == output.size() ? ".jpg" : output.substr(dot);
    t.single = output;
    const std::string kind = lower(t.extension);
    if (kind == ".png") {
        t.format = image_format::png;
    } else if (kind != ".jpg" && kind != ".jpeg") {
        *error = "диаграмму " + quoted_file_name(output) + " не записать: можно .jpg, .jpeg или .png";
        return false;
    }
    *target = t;
    return check_folder(base == 0 ? "." : output.substr(0, base), error);
}

std::string output_file_name(const output_target& target, int number, int count)
{
    const int digits = std::max(3, int(std::to_string(count).size()));
    char numbered[32];
    std::snprintf(numbered, sizeof numbered, "%s%0*d", target.folder ? "" : "-", digits, number);
    return target.stem + numbered + target.extension;
}
