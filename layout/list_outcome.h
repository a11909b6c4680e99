// What became of each position of a list while the workers draw it: written,
// or failed and said so, or never reported because its worker died. The
// progress line follows it, and what was never written is named at the end
// in one line.
#pragma once

#include <string>
#include <vector>

#include "chess/position_list.h"

struct list_outcome {
    std::vector<char> settled;  // one per position of the list: nonzero once written or failed
    int settled_count = 0;
    bool some_failed = false;
};

void outcome_start(list_outcome* outcome, const position_list& list);

// Position index is written (or failed, its line already said); moves the progress line.
void outcome_settle(list_outcome* outcome, int index, bool written);

// The lines of the positions never settled, in compact ranges: "строки
// 12–40, 57 не записаны", "строка 9 не записана"; empty when there are none.
// Long lists of ranges are cut, with the count of lines.
std::string lines_not_written(const std::vector<int>& lines, const std::vector<char>& settled);

// The same for a check of a list that was cut short: "строки 12–40 не
// проверены" / "lines 12-40 not checked".
std::string lines_not_checked(const std::vector<int>& lines, const std::vector<char>& settled, bool english);

// Ends the progress line and says in one line which worker did not end well
// and what was not written. True when everything was written.
bool outcome_finish(const list_outcome& outcome, const position_list& list, bool workers_well,
                    const std::string& abnormal);
