// Which working folder the editor uses and which square set a program draws
// with when none is named: one rule for every front end. Making folders and
// filling them is the editor's business; this only chooses.
#pragma once

#include <string>

// How the editor was started: from its desktop entry, which says so with an
// option, or from a shell.
enum class editor_start { desktop_entry, shell };

constexpr char user_folder_name[] = "chess-diagram";
constexpr char square_set_folder_name[] = "DATA";

// The user's own working folder, ~/chess-diagram; empty when the home
// folder is unknown.
std::string user_folder();

// The editor's working folder. From the desktop entry always the user's
// folder, whatever the folder it was started in holds; from a shell the
// current folder (".") when it holds DATA/, else the user's folder. Empty
// when the user's folder is needed and unknown.
std::string editor_working_folder(editor_start how);

// The set a program that only reads pieces draws with when none is named:
// ./DATA, else ~/chess-diagram/DATA (the pieces the editor uses), else the
// installed set. Empty when there is none of them.
std::string default_square_set();

// The set a command-line program draws or reads with: the folder it was
// given (--data), else the default set. Empty, with the line to show in
// *error, when it was given none and there is no default.
std::string chosen_square_set(const std::string& given, std::string* error);

bool is_folder(const std::string& path);
