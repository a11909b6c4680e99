// Lists are written by hand and by other programs; the usual faults of the
// latter (Windows line ends, a byte-order mark, Latin-1 task texts) are read
// as meant, the rest is refused with the line's number.
#include "chess/position_list.h"

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "chess/position_text.h"
#include "chess/quoted_input.h"

namespace {

bool skipped(std::string_view line)
{
    const std::size_t first = line.find_first_not_of(" \t");
    return first == std::string_view::npos || line[first] == '#';
}

// Task texts saved by older Windows programs are Latin-1; every byte of it is
// a character of the same number, so nothing is lost reading it that way.
std::string utf8_task_text(std::string_view text)
{
    if (is_valid_utf8(text))
        return std::string(text);
    std::string converted;
    for (char c : text) {
        const unsigned byte = std::uint8_t(c);
        if (byte < 0x80) {
            converted += c;
        } else {
            converted += char(0xC0 | byte >> 6);
            converted += char(0x80 | (byte & 0x3F));
        }
    }
    return converted;
}

// Spreadsheets save an empty last column as a trailing tab.
std::string_view trimmed(std::string_view text)
{
    const std::size_t first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos)
        return {};
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

bool has_control_character(std::string_view text)
{
    for (char c : text)
        if (std::uint8_t(c) < 0x20 || c == 0x7F)
            return true;
    return false;
}

void parse_line(std::string_view line, int line_number, position_list* list)
{
    listed_position entry{line_number, ++list->position_lines, {}, {}};
    const std::size_t tab = line.find('\t');
    std::string error;
    if (position_text_read(line.substr(0, tab), &entry.position, &error)) {
        const std::string_view task = tab == std::string_view::npos ? std::string_view() : trimmed(line.substr(tab + 1));
        entry.task_text = utf8_task_text(tab == std::string_view::npos ? entry.position.epd_id : task);
        if (has_control_character(entry.task_text))
            error = "в тексте задания управляющий знак: " + quoted_input(entry.task_text);
    }
    if (!error.empty()) {
        list->errors.push_back("строка " + std::to_string(line_number) + ": " + error);
        return;
    }
    list->positions.push_back(std::move(entry));
}

}  // namespace

void position_list_parse(std::string_view content, position_list* list)
{
    std::string_view rest = without_byte_order_mark(content);
    int line_number = 0;
    while (!rest.empty()) {
        const std::size_t end = rest.find_first_of("\r\n");
        std::string_view line = rest.substr(0, end);
        std::size_t used = end == std::string_view::npos ? rest.size() : end + 1;
        if (end != std::string_view::npos && rest[end] == '\r' && end + 1 < rest.size() && rest[end + 1] == '\n')
            used++;
        rest.remove_prefix(used);
        line_number++;
        if (!skipped(line))
            parse_line(line, line_number, list);
    }
}

bool position_list_read(const std::string& path, position_list* list, std::string* error)
{
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) {
        *error = "не удалось открыть список " + quoted_input(path) + ": " + std::strerror(errno);
        return false;
    }
    std::string content;
    char buffer[65536];
    std::size_t got;
    while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0)
        content.append(buffer, got);
    const bool failed = std::ferror(file);
    const int failure = errno;
    std::fclose(file);
    if (failed) {
        *error = "не удалось прочитать список " + quoted_input(path) + ": " + std::strerror(failure);
        return false;
    }
    position_list_parse(content, list);
    return true;
}
