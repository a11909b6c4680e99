// Which folder the program works in, chosen before the composer starts: the
// folder it was started in when that holds DATA/, otherwise the user's own
// folder ~/chess-diagram, made on first use from the installed square set.
// The composer itself always works relative to the current folder.
#pragma once

#include <string>

// Makes the working folder the current folder. Returns "" on success, or
// the one-line reason why the program cannot start.
std::string working_folder_settle(const std::string& default_set);
