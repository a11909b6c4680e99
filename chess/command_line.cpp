#include "chess/command_line.h"

#include "chess/quoted_input.h"

bool read_command_line_option(int argc, char** argv, int* i, bool (*known)(std::string_view name),
                              command_line_option* option, std::string* error)
{
    const std::string_view argument = argv[*i];
    const std::size_t equals = argument.find('=');
    const bool joined = argument.rfind("--", 0) == 0 && equals != std::string_view::npos;
    option->name = joined ? argument.substr(0, equals) : argument;
    if (!known(option->name)) {
        *error = "неизвестный ключ " + quoted_input(argument) + " (справка: --help)";
        return false;
    }
    if (!joined && *i + 1 >= argc) {
        *error = "у ключа " + std::string(option->name) + " нет значения";
        return false;
    }
    option->value = joined ? argument.substr(equals + 1) : std::string_view(argv[++*i]);
    return true;
}
