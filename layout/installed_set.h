// Where the installation put the default square set, for both front ends:
// the editor fills a new user folder from it, the renderer draws with it
// when no other set is named.
#pragma once

#include <string>

// The installed default square set, found relative to the running program
// so that an install under any prefix finds its own; for a program run from
// its build tree, the default set that build drew.
std::string installed_square_set();
