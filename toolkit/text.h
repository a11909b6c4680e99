// The system's text: UTF-16 code units, compared unit by unit.
// This is the one place where text crosses to and from UTF-8 (GTK+, Pango
// and the file system all speak UTF-8); nothing else converts.
#pragma once

#include <string>
#include <string_view>

using text = std::u16string;

// UTF-16 to UTF-8. Text that cannot be converted (a lone surrogate) gives "".
std::string text_to_utf8(std::u16string_view t);

// UTF-8 to UTF-16. A null pointer or invalid UTF-8 gives the empty text.
text text_from_utf8(const char* utf8);
text text_from_utf8(std::string_view utf8);
