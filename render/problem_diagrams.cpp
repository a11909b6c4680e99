// A problem file becomes a position list, so everything the renderer does
// with a list (file names, workers, sheets, the report of bad lines) holds
// for problems as well.
#include "render/problem_diagrams.h"

#include "chess/piece_list.h"
#include "chess/problem_file.h"
#include "chess/problem_writer.h"

std::string with_piece_count(const std::string& text, const fen_record& position)
{
    return text.empty() ? piece_count_text(position) : text + " " + piece_count_text(position);
}

bool problem_file_diagrams(const std::string& path, const std::string& text_override, bool count,
                           position_list* list, std::string* error)
{
    problem_file file;
    if (!problem_file_open(path, &file, error))
        return false;
    for (problem_entry entry; problem_file_next(&file, &entry);) {
        list->position_lines++;
        if (!entry.read) {
            list->errors.push_back(entry.error);
            continue;
        }
        std::vector<problem_part> parts;
        std::string why;
        if (!problem_parts(entry.record, notation::russian, &parts, &why)) {
            list->errors.push_back("задача " + std::to_string(entry.number) + ": " + why);
            continue;
        }
        std::string text = text_override.empty() ? problem_task_text(entry.record, notation::russian) : text_override;
        if (count)
            text = with_piece_count(text, entry.record.position);
        list->positions.push_back({entry.line, entry.number, entry.record.position, text});
    }
    problem_file_close(&file);
    return true;
}

bool task_text_with_twins(const std::string& text, const fen_record& position, const std::vector<std::string>& twins,
                          bool count, std::string* task_text, std::string* error)
{
    problem_record problem;
    problem.position = position;
    std::vector<problem_part> parts;
    if (!problem_twins_add_written(twins, &problem, error) ||
        !problem_parts(problem, notation::russian, &parts, error))
        return false;
    std::string result = text;
    for (const problem_part& part : parts)
        if (!part.twin_line.empty())
            result += (result.empty() ? "" : ", ") + part.twin_line;
    *task_text = count ? with_piece_count(result, position) : result;
    return true;
}

bool problem_text_as(const std::string& format, const fen_record& position, const std::string& stipulation,
                     const std::string& author, const std::string& source, std::string* text, std::string* error)
{
    if (format == "fen") {
        *text = fen_write(position) + "\n";
        return true;
    }
    if (format == "pieces") {
        *text = piece_list_write(position, piece_list_language::international) + "\n" +
                piece_list_write(position, piece_list_language::russian) + "\n";
        return true;
    }
    problem_record problem;
    problem.position = position;
    if (!author.empty())
        problem.authors.push_back(author);
    problem.source = source;
    if (!problem_stipulation_set(stipulation, &problem, error) || !problem_finish(&problem, error))
        return false;
    *text = format == "popeye" ? solver_input_write(problem) : yaml_problem_write(problem);
    return true;
}
