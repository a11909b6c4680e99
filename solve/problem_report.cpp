// Twins are checked one after another in their order, so the report never
// depends on timing. A problem with one part and no twins prints just as a
// single --fen problem does, under its head line.
#include "solve/problem_report.h"

#include <algorithm>
#include <set>
#include <vector>

namespace {

// The square a move goes to ("Bc3-d4" and "Сd4" give d4; castling is "0-0"
// or "0-0-0"), or empty when the word is not a move.
std::string destination(std::string_view word)
{
    if (word.find("0-0-0") != std::string_view::npos || word.find("O-O-O") != std::string_view::npos)
        return "0-0-0";
    if (word.find("0-0") != std::string_view::npos || word.find("O-O") != std::string_view::npos)
        return "0-0";
    std::string square;
    for (std::size_t i = 0; i + 1 < word.size(); i++)
        if (word[i] >= 'a' && word[i] <= 'h' && word[i + 1] >= '1' && word[i + 1] <= '8')
            square = std::string(word.substr(i, 2));
    return square;
}

std::vector<std::string_view> words_of(std::string_view line)
{
    std::vector<std::string_view> words;
    std::size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && (line[i] == ' ' || line[i] == '\t'))
            i++;
        std::size_t end = i;
        while (end < line.size() && line[end] != ' ' && line[end] != '\t')
            end++;
        if (end > i)
            words.push_back(line.substr(i, end - i));
        i = end;
    }
    return words;
}

// The solutions of a text, one string each: a battle genre's keys (a first
// move marked ! and not ?), or a help or series genre's whole lines.
std::set<std::string> solutions_of(std::string_view text, bool whole_lines, bool half_move)
{
    std::set<std::string> solutions;
    std::size_t at = 0;
    while (at < text.size()) {
        std::size_t end = text.find('\n', at);
        if (end == std::string_view::npos)
            end = text.size();
        std::string line(text.substr(at, end - at));
        at = end + 1;
        // Comments in braces say nothing about the moves.
        for (std::size_t open; (open = line.find('{')) != std::string::npos;)
            line.erase(open, line.find('}', open) == std::string::npos ? std::string::npos : line.find('}', open) - open + 1);
        const std::size_t first = line.find_first_not_of(" \t");
        if (first == std::string::npos)
            continue;
        const std::string_view start = std::string_view(line).substr(first);
        // Set play (1...) is not the solution, except where the play starts with Black's half move.
        if (!start.starts_with("1.") || (start.starts_with("1...") != half_move))
            continue;
        const std::vector<std::string_view> words = words_of(start);
        std::string moves;
        bool key = false, try_move = false;
        for (std::size_t i = 0; i < words.size(); i++) {
            const std::string square = destination(words[i]);
            if (square.empty())
                continue;
            moves += (moves.empty() ? "" : " ") + square;
            if (whole_lines)
                continue;
            // Marks stand on the move or after it.
            for (std::size_t k = i; k < words.size() && (k == i || destination(words[k]).empty()); k++) {
                key = key || words[k].find('!') != std::string_view::npos;
                try_move = try_move || words[k].find('?') != std::string_view::npos;
            }
            break;
        }
        if (!moves.empty() && (whole_lines || (key && !try_move)))
            solutions.insert(moves);
    }
    return solutions;
}

// The verdict's words, as solve/report.cpp writes them.
constexpr struct {
    std::string_view start;
    int rank;
} verdict_words[] = {
    {"корректна", 0}, {"sound", 0}, {"короткое решение", 1}, {"short solution", 1},
    {"побочное решение", 2}, {"cooked", 2}, {"решений меньше", 2}, {"fewer solutions", 2},
    {"решения нет", 3}, {"no solution", 3},
};

constexpr std::string_view duplex_marks[] = {"; дуплекс: ", "; duplex: "};

int one_verdict_rank(std::string_view verdict)
{
    for (const auto& word : verdict_words)
        if (verdict.starts_with(word.start))
            return word.rank;
    return 3;
}

}  // namespace

int verdict_rank(const std::string& verdict)
{
    for (std::string_view mark : duplex_marks)
        if (const std::size_t at = verdict.find(mark); at != std::string::npos)
            return std::max(one_verdict_rank(std::string_view(verdict).substr(0, at)),
                            one_verdict_rank(std::string_view(verdict).substr(at + mark.size())));
    return one_verdict_rank(verdict);
}

std::string solution_comparison(const std::string& recorded, const std::string& found, const std::string& stipulation,
                                notation language)
{
    const bool russian = language == notation::russian;
    struct stipulation s;
    std::string ignored;
    if (recorded.empty() || !stipulation_read_short(stipulation, &s, &ignored))
        return "";
    const bool whole_lines = s.play != play_kind::battle;
    const std::set<std::string> given = solutions_of(recorded, whole_lines, s.half);
    const std::set<std::string> ours = solutions_of(found, whole_lines, s.half);
    if (given == ours)
        return russian ? "решения совпадают с записанными" : "the solutions are those recorded";
    int missing = 0, extra = 0;
    for (const std::string& line : given)
        missing += !ours.contains(line);
    for (const std::string& line : ours)
        extra += !given.contains(line);
    return russian ? "решения не совпадают с записанными: найдено не записанных " + std::to_string(extra) +
                         ", не найдено записанных " + std::to_string(missing)
                   : "the solutions differ from those recorded: " + std::to_string(extra) + " found but not recorded, " +
                         std::to_string(missing) + " recorded but not found";
}

bool problem_part_check(const problem_record& problem, const problem_part& part, notation language,
                        problem_report* report, std::string* error, search_control& control)
{
    stipulation task;
    if (!stipulation_read_short(part.stipulation, &task, error))
        return false;
    const problem_options& o = problem.options;
    task.set_play = task.set_play || o.set_play;
    task.duplex = o.duplex;
    task.half_duplex = o.half_duplex;
    if (problem.stated_solutions > 0)
        task.solutions = problem.stated_solutions;
    return problem_check(part.position, task, language, report, error, control);
}

bool problem_parts_report(const problem_record& problem, int number, notation language, std::string* report,
                          search_control& control)
{
    const bool russian = language == notation::russian;
    std::string text = problem_heading(problem, number, language) + "\n";
    std::vector<problem_part> parts;
    std::string error;
    if (!problem_parts(problem, language, &parts, &error)) {
        *report = text + error + "\n";
        return false;
    }
    bool checked = true;
    std::string found;  // every part's lines, to compare with a recorded solution
    int worst = 0;
    std::string worst_verdict;
    for (const problem_part& part : parts) {
        if (!part.twin_line.empty())
            text += part.twin_line + "\n";
        problem_report result;
        if (!problem_part_check(problem, part, language, &result, &error, control)) {
            text += error + "\n";
            checked = false;
            continue;
        }
        text += result.text;
        found += result.text;
        const int rank = verdict_rank(result.verdict);
        if (worst_verdict.empty() || rank > worst) {
            worst = rank;
            worst_verdict = (part.twin_line.empty() ? "" : part.twin_line.substr(0, part.twin_line.find(')') + 1) + " ") +
                            result.verdict;
        }
    }
    if (checked && parts.size() > 1)
        text += std::string(russian ? "задача: " : "problem: ") +
                (worst == 0 ? (russian ? "корректна" : "sound") : worst_verdict) + "\n";
    if (checked) {
        const std::string comparison = solution_comparison(problem.solution, found, problem.stipulation, language);
        if (!comparison.empty())
            text += comparison + "\n";
    }
    *report = text;
    return checked;
}
