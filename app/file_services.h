// File and folder services the composer needs besides windows and images:
// copying a file, the current directory, and the decimal text of a number.
#pragma once

#include <cstdint>

#include "toolkit/text.h"

// 1 when the copy ran to the end; 0 with errno saying why when it could not
// start or a read or write failed on the way. The destination changes only
// when the copy is complete; a link at its name is replaced, not followed.
std::int32_t file_copy(const text& source, const text& destination);

text directory_current();  // ends in "/"; empty when it cannot be had
std::int32_t directory_set_current(const text& folder);  // 0, or -1 on failure
text number_to_string(std::int64_t value);

// Where file_copy moves data, exposed so tests can count the chunks.
constexpr std::int64_t file_copy_chunk = 512000;
