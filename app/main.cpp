// chess-diagram: compose chess diagrams, save them as JPEG, print four on a sheet.
// The working folder is settled first; the composer then works relative to it.
#include <clocale>

#include "app/composer.h"
#include "app/working_folder.h"
#include "layout/installed_set.h"

int main(int argc, char** argv)
{
    // GTK+ would set the locale anyway; set it now so a refusal before GTK+
    // starts names the system's reason in the user's language.
    std::setlocale(LC_ALL, "");
    std::string why = working_folder_settle(installed_square_set());
    if (!why.empty()) {
        show_start_refusal(why, &argc, &argv);
        return 1;
    }
    return composer_main(argc, argv);
}
