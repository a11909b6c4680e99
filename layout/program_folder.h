// Where the running program lives, for the files an install puts beside it
// (the default square set, the solver's diagram reader). No GTK+: the solver
// links it too.
#pragma once

#include <string>

// The running program's folder, ending in "/"; empty when unknown.
std::string program_folder();

bool file_exists(const std::string& path);
