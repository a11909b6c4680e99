// What the renderer says on standard error: one line per problem, each on a
// line of its own, and on a terminal a progress line that problems never
// share: it is wiped before a problem is written and drawn again after.
#pragma once

#include <string>

// One line, prefixed with the program's name. Control characters and bytes
// that are not UTF-8 are shown escaped, so the line stays one readable line.
void report_problem(const std::string& line);

// "chess-diagram-render: 120 из 4000" on a terminal, at most ten times a
// second; nothing elsewhere. The last call before progress_end is drawn.
void progress_show(int done, int total);
// Leaves the progress line, if any, as it stands and moves below it.
void progress_end();

// For a signal handler: wipes the progress line with write(2) only.
void progress_wipe_from_signal();
