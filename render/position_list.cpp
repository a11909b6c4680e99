// Reading the list is cheap next to drawing it, so the whole file is parsed
// first: bad lines are reported before any diagram is written, and the good
// ones can be shared among several processes.
#include "render/position_list.h"

#include <glib.h>

namespace {

bool skipped(std::string_view line)
{
    const std::size_t first = line.find_first_not_of(" \t");
    return first == std::string_view::npos || line[first] == '#';
}

void parse_line(std::string_view line, int line_number, position_list* list)
{
    listed_position entry{line_number, ++list->position_lines, {}, {}};
    const std::size_t tab = line.find('\t');
    const std::string_view fen = line.substr(0, tab);
    const std::string_view task = tab == std::string_view::npos ? std::string_view() : line.substr(tab + 1);
    std::string error;
    if (!g_utf8_validate(task.data(), gssize(task.size()), nullptr))
        error = "текст задания не в кодировке UTF-8";
    else if (parse_fen(fen, &entry.position, &error))
        entry.task_text = text_from_utf8(task);
    if (!error.empty()) {
        list->errors.push_back("строка " + std::to_string(line_number) + ": " + error);
        return;
    }
    list->positions.push_back(std::move(entry));
}

}  // namespace

bool read_position_list(const std::string& path, position_list* list, std::string* error)
{
    gchar* content = nullptr;
    gsize length = 0;
    GError* failure = nullptr;
    if (!g_file_get_contents(path.c_str(), &content, &length, &failure)) {
        *error = "не удалось прочитать список: " + std::string(failure->message);
        g_error_free(failure);
        return false;
    }
    std::string_view rest(content, length);
    int line_number = 0;
    while (!rest.empty()) {
        const std::size_t end = rest.find('\n');
        std::string_view line = rest.substr(0, end);
        rest.remove_prefix(end == std::string_view::npos ? rest.size() : end + 1);
        line_number++;
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        if (!skipped(line))
            parse_line(line, line_number, list);
    }
    g_free(content);
    return true;
}
