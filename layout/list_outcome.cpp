// Ranges run over neighbouring positions of the list, so the comments and
// blank lines between them do not split a range.
#include "layout/list_outcome.h"

#include "layout/console.h"

namespace {

constexpr int ranges_shown = 10;

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
                ranges += "–" + std::to_string(lines[last]);
        }
        i = last;
    }
    if (missing == 0)
        return {};
    if (shown > ranges_shown)
        ranges += ", … (всего " + std::to_string(missing) + ")";
    return missing == 1 ? "строка " + ranges + " не записана" : "строки " + ranges + " не записаны";
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
