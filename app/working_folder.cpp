// The user's working folder ~/chess-diagram: made on first use with DATA/
// copied from the installed default set, SAVE/ and TEMP/. A folder the user
// already has is taken as it is; only a missing DATA/ is filled, so removing
// DATA/ brings the default set back. The installed files are only read.
#include "app/working_folder.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>

#include <sys/stat.h>
#include <unistd.h>

#include <glib.h>

#include "app/file_services.h"

namespace {

constexpr int square_image_count = 32;
constexpr char user_folder_name[] = "chess-diagram";

bool is_folder(const std::string& path)
{
    struct stat status;
    return stat(path.c_str(), &status) == 0 && S_ISDIR(status.st_mode);
}

std::string with_reason(const std::string& what, int error)
{
    return what + ": " + g_strerror(error);
}

std::string square_name(int n)
{
    return "/" + std::to_string(n) + ".jpg";
}

// The set is copied into a hidden folder that becomes DATA/ only once all
// 32 images are there: a first start cut short (a full disk) must not leave
// a half set behind that every later start would take for the user's own.
std::string fill_data(const std::string& set, const std::string& folder)
{
    std::string partial = folder + "/.DATA-XXXXXX";
    if (!mkdtemp(partial.data()))
        return with_reason("не удаётся создать папку в " + folder, errno);
    std::string why;
    for (int n = 1; n <= square_image_count && why.empty(); n++) {
        if (!file_copy(text_from_utf8(set + square_name(n)), text_from_utf8(partial + square_name(n))))
            why = "не удаётся скопировать " + set + square_name(n) + " в " + folder + "/DATA/";
    }
    if (why.empty() && std::rename(partial.c_str(), (folder + "/DATA").c_str()) != 0)
        why = with_reason("не удаётся создать папку " + folder + "/DATA", errno);
    if (!why.empty()) {
        for (int n = 1; n <= square_image_count; n++)
            unlink((partial + square_name(n)).c_str());
        rmdir(partial.c_str());
    }
    return why;
}

}  // namespace

std::string working_folder_settle(const std::string& default_set)
{
    if (is_folder("DATA"))
        return "";
    const char* home = g_get_home_dir();
    if (!home || home[0] != '/')
        return "в текущей папке нет DATA/, а домашняя папка не найдена";
    std::string folder = std::string(home) + (home[1] ? "/" : "") + user_folder_name;
    bool has_data = is_folder(folder + "/DATA");
    if (!has_data && !is_folder(default_set))
        return "в папке " + text_to_utf8(directory_current()) + " нет DATA/, а набор клеток по умолчанию не установлен (" +
               default_set + ")";
    if (mkdir(folder.c_str(), 0777) != 0 && errno != EEXIST)
        return with_reason("не удаётся создать рабочую папку " + folder, errno);
    if (!has_data) {
        std::string why = fill_data(default_set, folder);
        if (!why.empty())
            return why;
    }
    if (chdir(folder.c_str()) != 0)
        return with_reason("не удаётся войти в рабочую папку " + folder, errno);
    // The composer would make these as well; made here, the first start
    // leaves the whole folder in place for the user to find.
    mkdir("SAVE", 0777);
    mkdir("TEMP", 0777);
    return "";
}
