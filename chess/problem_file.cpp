// The file is read a line at a time. A solver file is cut after each line
// that starts with `next` or `end`, a YAML export at each `---` line, and each
// piece is read as soon as it is whole.
#include "chess/problem_file.h"

#include <cerrno>
#include <cstring>

#include "chess/quoted_input.h"
#include "chess/yaml_problem.h"

namespace {

// A record longer than this is not a problem someone composed.
constexpr std::size_t longest_record = 1 << 20;

std::string first_word_lower(std::string_view line)
{
    std::size_t i = line.find_first_not_of(" \t\r");
    std::string word;
    while (i < line.size() && line[i] != ' ' && line[i] != '\t' && line[i] != '\r')
        word += char(std::tolower(static_cast<unsigned char>(line[i++])));
    return word;
}

bool ends_a_solver_problem(std::string_view line)
{
    const std::string word = first_word_lower(line);
    return word.size() >= 3 && (std::string_view("nextproblem").starts_with(word) ||
                                std::string_view("endproblem").starts_with(word));
}

bool starts_a_document(std::string_view line)
{
    if (!line.starts_with("---"))
        return false;
    const std::string_view rest = line.substr(3);
    return rest.empty() || rest[0] == ' ' || rest[0] == '\t' || rest[0] == '\r';
}

void yaml_document(problem_file* f)
{
    if (!yaml_document_blank(f->pending)) {
        problem_entry entry;
        entry.number = ++f->documents;
        entry.line = f->pending_line;
        entry.record.position.squares.fill(no_piece);
        std::string error;
        if (f->pending.size() > longest_record)
            error = "запись длиннее " + std::to_string(longest_record) + " байт";
        else
            yaml_problem_read(f->pending, &entry.record, &error);
        entry.read = error.empty();
        if (!entry.read)
            entry.error = "задача " + std::to_string(entry.number) + " (строка " + std::to_string(entry.line) + "): " + error;
        f->ready.push_back(std::move(entry));
    }
    f->pending.clear();
    f->pending_line = f->line + 1;
}

void solver_piece(problem_file* f)
{
    solver_input_parse(f->pending, &f->solver, &f->ready);
    f->pending.clear();
    f->pending_line = f->line + 1;
}

// Takes one line (without its end) into the pending piece, and ends the
// piece where the form says.
void take_line(problem_file* f, std::string_view line)
{
    f->line++;
    if (f->kind == problem_file_kind::yaml) {
        if (starts_a_document(line)) {
            yaml_document(f);
            f->pending_line = f->line;
        }
        if (f->pending.size() <= longest_record)
            f->pending.append(line).append("\n");
        return;
    }
    f->pending.append(line).append("\n");
    if (ends_a_solver_problem(line) || f->pending.size() > longest_record)
        solver_piece(f);
}

void finish(problem_file* f)
{
    if (f->kind == problem_file_kind::yaml)
        yaml_document(f);
    else
        solver_piece(f);
}

problem_file_kind kind_of(std::string_view start)
{
    return looks_like_solver_input(without_byte_order_mark(start)) ? problem_file_kind::solver_input
                                                                  : problem_file_kind::yaml;
}

void take_text(problem_file* f, std::string_view text)
{
    std::size_t i = 0;
    while (i < text.size()) {
        std::size_t end = text.find('\n', i);
        if (end == std::string_view::npos)
            end = text.size();
        std::string_view line = text.substr(i, end - i);
        if (line.ends_with('\r'))
            line.remove_suffix(1);
        take_line(f, line);
        i = end + 1;
    }
}

}  // namespace

bool problem_file_open(const std::string& path, problem_file* f, std::string* error)
{
    *f = problem_file{};
    f->path = path;
    f->file = std::fopen(path.c_str(), "rb");
    if (!f->file) {
        *error = "не удалось открыть файл задач " + quoted_input(path) + ": " + std::strerror(errno);
        return false;
    }
    // The form is told from the start, then the start is read as any other part.
    char start[4096];
    const std::size_t got = std::fread(start, 1, sizeof start, f->file);
    if (std::ferror(f->file)) {
        *error = "не удалось прочитать файл задач " + quoted_input(path) + ": " + std::strerror(errno);
        std::fclose(f->file);
        f->file = nullptr;
        return false;
    }
    f->kind = kind_of(std::string_view(start, got));
    std::rewind(f->file);
    return true;
}

bool problem_file_next(problem_file* f, problem_entry* entry)
{
    std::string line;
    while (f->next_ready >= f->ready.size()) {
        f->ready.clear();
        f->next_ready = 0;
        if (f->at_end)
            return false;
        line.clear();
        int c;
        while ((c = std::getc(f->file)) != EOF && c != '\n')
            if (line.size() <= longest_record)
                line += char(c);
        if (c == EOF && std::ferror(f->file)) {
            problem_entry failed;
            failed.error = "не удалось дочитать файл задач " + quoted_input(f->path) + ": " + std::strerror(errno);
            f->ready.push_back(failed);
            f->at_end = true;
            continue;
        }
        if (c == EOF) {
            if (!line.empty())
                take_text(f, line);
            finish(f);
            f->at_end = true;
            continue;
        }
        if (f->line == 0)
            line = std::string(without_byte_order_mark(line));
        take_text(f, line);
    }
    *entry = std::move(f->ready[f->next_ready++]);
    return true;
}

void problem_file_close(problem_file* f)
{
    if (f->file)
        std::fclose(f->file);
    f->file = nullptr;
}

void problems_parse(std::string_view content, std::vector<problem_entry>* entries)
{
    problem_file f;
    const std::string_view text = without_byte_order_mark(content);
    f.kind = kind_of(text);
    take_text(&f, text);
    finish(&f);
    for (problem_entry& e : f.ready)
        entries->push_back(std::move(e));
}
