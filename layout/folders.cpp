// The home folder comes from GLib, which takes $HOME first, so a test or a
// user with another home gets that home's folder.
#include "layout/folders.h"

#include <sys/stat.h>

#include <glib.h>

#include "layout/installed_set.h"
#include "layout/quoted_file_name.h"

bool is_folder(const std::string& path)
{
    struct stat info;
    return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

std::string user_folder()
{
    const char* home = g_get_home_dir();
    if (!home || home[0] != '/')
        return "";
    return std::string(home) + (home[1] ? "/" : "") + user_folder_name;
}

std::string editor_working_folder(editor_start how)
{
    if (how == editor_start::shell && is_folder(square_set_folder_name))
        return ".";
    return user_folder();
}

std::string default_square_set()
{
    if (is_folder(square_set_folder_name))
        return square_set_folder_name;
    const std::string own = user_folder();
    if (!own.empty() && is_folder(own + "/" + square_set_folder_name))
        return own + "/" + square_set_folder_name;
    const std::string installed = installed_square_set();
    return is_folder(installed) ? installed : "";
}

std::string chosen_square_set(const std::string& given, std::string* error)
{
    const std::string set = given.empty() ? default_square_set() : given;
    if (set.empty())
        *error = "набор клеток не найден: нет ни ./DATA, ни " + quoted_file_name(user_folder() + "/DATA") +
                 ", ни набора по умолчанию; укажите его ключом --data";
    return set;
}
