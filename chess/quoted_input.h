// Quoting what a user typed or pasted inside a one-line message. Whatever the
// input holds (a 100 KB line, invalid UTF-8, control characters, NUL bytes),
// the result is short, valid UTF-8 and on one line. It does not translate or
// judge the input; the caller says what is wrong with it.
#pragma once

#include <string>
#include <string_view>

// How many characters of the input a quote shows before it is cut with "…".
constexpr int quoted_input_limit = 60;

// «input» with control characters, invisible separators and bytes that are
// not UTF-8 written as escapes (\t, \r, \n, \0, \x01, \xff, \u2028), cut after
// quoted_input_limit characters. When the input holds a NUL, the quote is
// followed by where the first one stands: «ab\0c» (NUL на позиции 3).
std::string quoted_input(std::string_view input);

// The length of the UTF-8 sequence at the start of text (1 to 4), or 0 when
// its first bytes are not a valid sequence (overlong forms and surrogates
// included).
int utf8_sequence_length(std::string_view text);

bool is_valid_utf8(std::string_view text);
