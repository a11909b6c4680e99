// Ranges run over neighbouring positions of the list, so the comments and
// blank lines between them do not split a range.
#include "layout/list_outcome.h"

#include "layout/console.h"

namespace {

constexpr int ranges_shown = 10;

struct line_words {
    const char* one;       // "строка "
    const char* several;   // "строки "
    const char* range;     // between the first and last line of a range
    const char* total;     // ", … (всего "
    const char* total_end; // ")"
    const char* one_end;   // " не записана"
    const char* many_end;  // " не записаны"
};

std::string lines_named(const std::vector<int>& lines, const std::vector<char>& settled, const line_words& words)
{
    std::string ranges;
    int shown = 0, missing = 0;
    for (std::size_t i = 0; i < lines.size(); i++) {
        if (settled[i])
            continue;
        std::size_t last = i;
        while (last + 1 < lines.size() && !settled[last + 1])
            last++;
        missing += int(last - i + 1);
        if (shown++ < ranges_shown) {
            ranges += (ranges.empty() ? "" : ", ") + std::to_string(lines[i]);
            if (last > i)
                ranges += words.range + std::to_string(lines[last]);
        }
        i = last;
    }
    if (missing == 0)
        return {};
    if (shown > ranges_shown)
        ranges += words.total + std::to_string(missing) + words.total_end;
    return missing == 1 ? words.one + ranges + words.one_end : words.several + ranges + words.many_end;
}

}  // namespace

void outcome_start(list_outcome* outcome, const position_list& list)
{
    outcome->settled.assign(list.positions.size(), 0);
    outcome->settled_count = 0;
    outcome->some_failed = false;
}

void outcome_settle(list_outcome* outcome, int index, bool written)
{
    if (index < 0 || index >= int(outcome->settled.size()) || outcome->settled[std::size_t(index)])
        return;
    outcome->settled[std::size_t(index)] = 1;
    outcome->settled_count++;
    outcome->some_failed = outcome->some_failed || !written;
    progress_show(outcome->settled_count, int(outcome->settled.size()));
}

std::string lines_not_written(const std::vector<int>& lines, const std::vector<char>& settled)
{
    return lines_named(lines, settled, {"строка ", "строки ", "–", ", … (всего ", ")", " не записана", " не записаны"});
}

std::string lines_not_checked(const std::vector<int>& lines, const std::vector<char>& settled, bool english)
{
    if (english)
        return lines_named(lines, settled, {"line ", "lines ", "-", ", ... (", " in all)", " not checked", " not checked"});
    return lines_named(lines, settled, {"строка ", "строки ", "–", ", … (всего ", ")", " не проверена", " не проверены"});
}

bool outcome_finish(const list_outcome& outcome, const position_list& list, bool workers_well,
                    const std::string& abnormal)
{
    progress_end();
    std::vector<int> lines;
    for (const listed_position& entry : list.positions)
        lines.push_back(entry.line);
    const std::string missing = lines_not_written(lines, outcome.settled);
    if (!workers_well || !missing.empty())
        report_problem(abnormal.empty() ? missing : missing.empty() ? abnormal : abnormal + "; " + missing);
    return workers_well && missing.empty() && !outcome.some_failed;
}
