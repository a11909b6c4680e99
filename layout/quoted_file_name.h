// Quoting a file name in a one-line message, as any input is quoted (escapes,
// a NUL's place), except that a long name loses its start rather than its
// end: the end is where the file's own name is.
#pragma once

#include <string>
#include <string_view>

// «/home/…/contest/d-0001.jpg» shows as «…t/contest/d-0001.jpg» when longer
// than a quote may be.
std::string quoted_file_name(std::string_view path);
