// Settling the working folder before the composer starts: the folder is
// chosen by the one rule every program shares (layout/folders.h), locked so
// that one editor at a time works in it, made the current folder, and given
// SAVE/ and TEMP/. The composer itself always works relative to the
// current folder.
#pragma once

#include <string>

#include "layout/folders.h"

// Returns "" on success, or the one-line reason why the program cannot
// start. The user's folder ~/chess-diagram is made on first use with DATA/
// copied from default_set; a folder the user already has is taken as it
// is, and only a missing DATA/ is filled, so removing DATA/ brings the
// default set back. Nothing is written into default_set.
std::string working_folder_settle(editor_start how, const std::string& default_set);

constexpr char working_folder_lock_name[] = ".chess-diagram.lock";
