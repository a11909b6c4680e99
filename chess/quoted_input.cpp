// Messages quote input so the user can find the fault, but a message must stay
// one readable line: a terminal or a dialog given raw bytes may show nothing,
// break the line, or stop at a NUL.
#include "chess/quoted_input.h"

#include <cstdint>
#include <cstdio>

namespace {

std::uint32_t code_point(std::string_view sequence)
{
    const auto byte = [&](std::size_t i) { return std::uint32_t(std::uint8_t(sequence[i])); };
    switch (sequence.size()) {
    case 1: return byte(0);
    case 2: return (byte(0) & 0x1F) << 6 | (byte(1) & 0x3F);
    case 3: return (byte(0) & 0x0F) << 12 | (byte(1) & 0x3F) << 6 | (byte(2) & 0x3F);
    default: return (byte(0) & 0x07) << 18 | (byte(1) & 0x3F) << 12 | (byte(2) & 0x3F) << 6 | (byte(3) & 0x3F);
    }
}

std::string hex_escape(const char* format, std::uint32_t value)
{
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, format, unsigned(value));
    return buffer;
}

// The escape for a character that would not show, or would break the line; empty for the others.
std::string escape_for(std::uint32_t c)
{
    switch (c) {
    case 0: return "\\0";
    case '\t': return "\\t";
    case '\r': return "\\r";
    case '\n': return "\\n";
    case '\\': return "\\\\";
    }
    if (c < 0x20 || c == 0x7F)
        return hex_escape("\\x%02x", c);
    // C1 controls, the Unicode line and paragraph separators, and the byte-order mark.
    if ((c >= 0x80 && c <= 0x9F) || c == 0x2028 || c == 0x2029 || c == 0xFEFF)
        return hex_escape("\\u%04x", c);
    return {};
}

}  // namespace

int utf8_sequence_length(std::string_view text)
{
    if (text.empty())
        return 0;
    const std::uint8_t first = std::uint8_t(text[0]);
    int length;
    std::uint32_t smallest;
    if (first < 0x80)
        return 1;
    if (first >= 0xC2 && first <= 0xDF)
        length = 2, smallest = 0x80;
    else if (first >= 0xE0 && first <= 0xEF)
        length = 3, smallest = 0x800;
    else if (first >= 0xF0 && first <= 0xF4)
        length = 4, smallest = 0x10000;
    else
        return 0;
    if (text.size() < std::size_t(length))
        return 0;
    for (int i = 1; i < length; i++)
        if ((std::uint8_t(text[std::size_t(i)]) & 0xC0) != 0x80)
            return 0;
    const std::uint32_t c = code_point(text.substr(0, std::size_t(length)));
    if (c < smallest || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF))
        return 0;
    return length;
}

bool is_valid_utf8(std::string_view text)
{
    while (!text.empty()) {
        const int length = utf8_sequence_length(text);
        if (length == 0)
            return false;
        text.remove_prefix(std::size_t(length));
    }
    return true;
}

std::string quoted_input(std::string_view input)
{
    std::string shown = "«";
    int characters = 0;
    int nul_at = 0;  // 1-based character position of the first NUL
    for (std::string_view rest = input; !rest.empty(); characters++) {
        const int length = utf8_sequence_length(rest);
        std::string_view sequence = rest.substr(0, std::size_t(length ? length : 1));
        rest.remove_prefix(sequence.size());
        if (length == 1 && sequence[0] == '\0' && nul_at == 0)
            nul_at = characters + 1;
        if (characters >= quoted_input_limit) {
            if (characters == quoted_input_limit)
                shown += "…";
            if (nul_at)
                break;
            continue;  // still looking for a NUL to report
        }
        if (length == 0) {
            shown += hex_escape("\\x%02x", std::uint8_t(sequence[0]));
            continue;
        }
        const std::string escape = escape_for(code_point(sequence));
        shown += escape.empty() ? std::string(sequence) : escape;
    }
    shown += "»";
    if (nul_at)
        shown += " (NUL на позиции " + std::to_string(nul_at) + ")";
    return shown;
}
