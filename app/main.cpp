// chess-diagram: compose chess diagrams, save them as JPEG, print four on a sheet.
// The working folder is settled first; the composer then works relative to it.
#include <clocale>
#include <cstring>

#include "app/composer.h"
#include "app/working_folder.h"
#include "layout/installed_set.h"
#include "toolkit/safe_write.h"

namespace {

// The desktop entry's option: work in the user's folder whatever the
// folder the menu starts the program in holds.
constexpr char user_folder_option[] = "--user-folder";

// Takes the program's own option out of the arguments, which otherwise all
// go to GTK+.
editor_start take_start_option(int* argc, char** argv)
{
    editor_start how = editor_start::shell;
    int kept = 1;
    for (int i = 1; i < *argc; i++) {
        if (std::strcmp(argv[i], user_folder_option) == 0)
            how = editor_start::desktop_entry;
        else
            argv[kept++] = argv[i];
    }
    argv[kept] = nullptr;
    *argc = kept;
    return how;
}

}  // namespace

int main(int argc, char** argv)
{
    // GTK+ would set the locale anyway; set it now so a refusal before GTK+
    // starts names the system's reason in the user's language.
    std::setlocale(LC_ALL, "");
    safe_write_remove_on_signals();
    const editor_start how = take_start_option(&argc, argv);
    std::string why = working_folder_settle(how, installed_square_set());
    if (!why.empty()) {
        show_start_refusal(why, &argc, &argv);
        return 1;
    }
    return composer_main(argc, argv);
}
