// The progress line is redrawn in place with a carriage return; wiping it
// means writing spaces over it, which every terminal understands.
#include "layout/console.h"

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string_view>

#include <unistd.h>

#include "chess/quoted_input.h"

namespace {

std::string program = "chess-diagram: ";  // what console_start names, with ": "
constexpr auto redraw_interval = std::chrono::milliseconds(100);

std::string progress_text;             // what the progress line is to show; empty when none
std::string drawn_text;                // what it shows
std::atomic<int> progress_columns{0};  // its width, for the signal handler
std::chrono::steady_clock::time_point last_drawn;

bool on_terminal()
{
    static const bool terminal = isatty(STDERR_FILENO);
    return terminal;
}

// A line built from our own words and quoted input is one line already; a
// system message or a slip in quoting must not break it either.
std::string one_line(std::string_view line)
{
    std::string shown;
    while (!line.empty()) {
        const int length = utf8_sequence_length(line);
        const auto byte = static_cast<unsigned char>(line[0]);
        if (length == 0 || (length == 1 && (byte < 0x20 || byte == 0x7F))) {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\x%02x", byte);
            shown += escape;
            line.remove_prefix(1);
            continue;
        }
        shown += line.substr(0, std::size_t(length));
        line.remove_prefix(std::size_t(length));
    }
    return shown;
}

int columns(const std::string& text)
{
    int count = 0;
    for (char c : text)
        count += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    return count;
}

void wipe()
{
    if (const int drawn = progress_columns.load())
        std::fprintf(stderr, "\r%*s\r", drawn, "");
}

void draw()
{
    drawn_text = progress_text;
    std::fprintf(stderr, "\r%s", progress_text.c_str());
    std::fflush(stderr);
    progress_columns.store(columns(progress_text));
    last_drawn = std::chrono::steady_clock::now();
}

}  // namespace

void console_start(const char* program_name)
{
    program = std::string(program_name) + ": ";
}

void report_problem(const std::string& line)
{
    wipe();
    std::fprintf(stderr, "%s%s\n", program.c_str(), one_line(line).c_str());
    if (!progress_text.empty())
        draw();
    std::fflush(stderr);
}

void progress_show(int done, int total)
{
    if (!on_terminal())
        return;
    const bool first = progress_text.empty();
    progress_text = program + std::to_string(done) + " из " + std::to_string(total);
    if (first || done == total || std::chrono::steady_clock::now() - last_drawn >= redraw_interval)
        draw();
}

void progress_show_text(const std::string& text)
{
    if (!on_terminal())
        return;
    const bool first = progress_text.empty();
    progress_text = program + one_line(text);
    if (first || std::chrono::steady_clock::now() - last_drawn >= redraw_interval)
        draw();
}

void progress_clear()
{
    if (progress_text.empty())
        return;
    wipe();
    std::fflush(stderr);
    progress_text.clear();
    drawn_text.clear();
    progress_columns.store(0);
}

void progress_end()
{
    if (progress_text.empty())
        return;
    if (drawn_text != progress_text)
        draw();
    std::fputc('\n', stderr);
    std::fflush(stderr);
    progress_text.clear();
    drawn_text.clear();
    progress_columns.store(0);
}

void progress_wipe_from_signal()
{
    static const char spaces[] = "                                                                ";
    int left = progress_columns.load();
    if (left == 0)
        return;
    (void)!write(STDERR_FILENO, "\r", 1);
    while (left > 0) {
        const int n = left < int(sizeof spaces - 1) ? left : int(sizeof spaces - 1);
        (void)!write(STDERR_FILENO, spaces, std::size_t(n));
        left -= n;
    }
    (void)!write(STDERR_FILENO, "\r", 1);
}

void program_name_from_signal()
{
    // Set once at start, before any handler is installed, and never again.
    (void)!write(STDERR_FILENO, program.data(), program.size());
}
