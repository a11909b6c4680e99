// Reading a command line whose options take their value as the next argument
// or after "=" (--fen=FEN), as both command-line programs do.
#pragma once

#include <string>
#include <string_view>

struct command_line_option {
    std::string_view name;  // as the user wrote it, without "=value"
    std::string value;
};

// Reads the option at argv[*i] and its value, leaving *i on the last
// argument used. known() tells the program's option names. False, with a
// one-line message, for an unknown option or one with no value after it.
bool read_command_line_option(int argc, char** argv, int* i, bool (*known)(std::string_view name),
                              command_line_option* option, std::string* error);
