// What a command-line program (the renderer, the solver) says on standard
// error: one line per problem, each on a line of its own, and on a terminal
// a progress line that problems never share: it is wiped before a problem is
// written and drawn again after. It writes nothing to standard output.
#pragma once

#include <string>

// At start: the name every line begins with ("chess-diagram-render").
void console_start(const char* program_name);

// One line, prefixed with the program's name. Control characters and bytes
// that are not UTF-8 are shown escaped, so the line stays one readable line.
void report_problem(const std::string& line);

// "chess-diagram-render: 120 из 4000" on a terminal, at most ten times a
// second; nothing elsewhere. The last call before progress_end is drawn.
void progress_show(int done, int total);
// The same for any text after the program's name.
void progress_show_text(const std::string& text);
// Leaves the progress line, if any, as it stands and moves below it.
void progress_end();
// Wipes the progress line, if any, leaving the cursor where it began.
void progress_clear();

// For a signal handler: wipes the progress line with write(2) only.
void progress_wipe_from_signal();
// For a signal handler: "program-name: " with write(2) only.
void program_name_from_signal();
