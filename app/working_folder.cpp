// The lock is an flock on a file in the working folder, held until the
// process ends: the kernel releases it however the editor ends, so a crash
// never locks the user out. It is taken before anything in the folder is
// filled or reset, so a second editor changes nothing there.
#include "app/working_folder.h"

#include <cerrno>
#include <cstdio>

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <glib.h>

#include "app/file_services.h"
#include "layout/image_numbers.h"

namespace {

// The set is copied here first and becomes DATA/ only once all 32 images
// are in: a first start cut short must not leave a half set behind that
// every later start would take for the user's own.
constexpr char partial_set_name[] = ".DATA-new";

std::string with_reason(const std::string& what, int error)
{
    return what + ": " + g_strerror(error);
}

std::string square_name(int n)
{
    return "/" + std::to_string(n) + ".jpg";
}

// What a first start cut short left of the partial set. Only the editor
// holding the lock fills it, so whatever is there is a leftover.
void remove_partial_set(const std::string& partial)
{
    if (DIR* folder = opendir(partial.c_str())) {
        while (const dirent* entry = readdir(folder)) {
            const std::string name = entry->d_name;
            if (name != "." && name != "..")
                unlink((partial + "/" + name).c_str());
        }
        closedir(folder);
    }
    rmdir(partial.c_str());
}

std::string fill_data(const std::string& set, const std::string& folder)
{
    const std::string partial = folder + "/" + partial_set_name;
    remove_partial_set(partial);
    if (mkdir(partial.c_str(), 0777) != 0)
        return with_reason("не удаётся создать папку " + partial, errno);
    std::string why;
    for (int n = 1; n <= square_image_count && why.empty(); n++) {
        if (!file_copy(text_from_utf8(set + square_name(n)), text_from_utf8(partial + square_name(n))))
            why = with_reason("не удаётся скопировать " + set + square_name(n) + " в " + folder + "/DATA/", errno);
    }
    if (why.empty() && std::rename(partial.c_str(), (folder + "/DATA").c_str()) != 0)
        why = with_reason("не удаётся создать папку " + folder + "/DATA", errno);
    if (!why.empty())
        remove_partial_set(partial);
    return why;
}

// Takes the folder's lock for the rest of the process; "" when it is ours.
std::string lock_folder(const std::string& folder, const std::string& shown)
{
    int fd = open((folder + "/" + working_folder_lock_name).c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0666);
    // A folder the user may not write in cannot hold the lock file; the
    // folder itself is locked instead.
    if (fd < 0)
        fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return with_reason("не удаётся открыть рабочую папку " + shown, errno);
    if (flock(fd, LOCK_EX | LOCK_NB) == 0)
        return "";  // the descriptor stays open: it holds the lock
    const int error = errno;
    close(fd);
    if (error == EWOULDBLOCK)
        return "программа уже работает с папкой " + shown + ", вторая копия не запущена";
    // A file system without locks: work unguarded rather than not at all.
    return "";
}

std::string settle_users_folder(editor_start how, const std::string& folder, const std::string& default_set)
{
    const bool has_data = is_folder(folder + "/DATA");
    if (!has_data && !is_folder(default_set)) {
        const std::string missing = how == editor_start::shell
                                        ? text_to_utf8(directory_current()) + " нет DATA/, в " + folder + " тоже"
                                        : folder + " нет DATA/";
        return "в папке " + missing + ", а набор клеток по умолчанию не установлен (" + default_set + ")";
    }
    if (mkdir(folder.c_str(), 0777) != 0 && errno != EEXIST)
        return with_reason("не удаётся создать рабочую папку " + folder, errno);
    std::string why = lock_folder(folder, folder);
    if (why.empty() && !has_data && !is_folder(folder + "/DATA"))
        why = fill_data(default_set, folder);
    return why;
}

}  // namespace

std::string working_folder_settle(editor_start how, const std::string& default_set)
{
    const std::string folder = editor_working_folder(how);
    if (folder.empty())
        return how == editor_start::shell ? "в текущей папке нет DATA/, а домашняя папка не найдена"
                                          : "домашняя папка не найдена";
    const std::string why = folder == "." ? lock_folder(folder, text_to_utf8(directory_current()))
                                          : settle_users_folder(how, folder, default_set);
    if (!why.empty())
        return why;
    if (chdir(folder.c_str()) != 0)
        return with_reason("не удаётся войти в рабочую папку " + folder, errno);
    // The composer would make these as well; made here, the first start
    // leaves the whole folder in place for the user to find.
    mkdir("SAVE", 0777);
    mkdir("TEMP", 0777);
    return "";
}
