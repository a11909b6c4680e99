// Real exports tag strings (!!python/unicode), write lists in flow or block
// style, give numbers where text is meant (problemid: 7100) and text where
// numbers are (intended-solutions: "2.2.1.1"); every scalar is read as text.
#include "chess/yaml_problem.h"

#include <exception>
#include <map>

#include <yaml-cpp/yaml.h>

#include "chess/piece_list.h"
#include "chess/quoted_input.h"

namespace {

bool fail(std::string* error, std::string line)
{
    *error = std::move(line);
    return false;
}

std::string text_of(const YAML::Node& node)
{
    if (!node || !node.IsScalar())
        return "";
    return node.Scalar();
}

std::vector<std::string> texts_of(const YAML::Node& node)
{
    std::vector<std::string> texts;
    if (node && node.IsSequence()) {
        for (const YAML::Node& item : node)
            if (item.IsScalar())
                texts.push_back(item.Scalar());
    } else if (node && node.IsScalar()) {
        texts.push_back(node.Scalar());
    }
    return texts;
}

std::string join(const std::vector<std::string>& parts, const char* between)
{
    std::string text;
    for (const std::string& part : parts)
        if (!part.empty())
            text += (text.empty() ? "" : between) + part;
    return text;
}

std::string date_text(const YAML::Node& date)
{
    if (!date)
        return "";
    if (date.IsScalar())
        return date.Scalar();
    const std::string year = text_of(date["year"]), month = text_of(date["month"]), day = text_of(date["day"]);
    if (!day.empty() && !month.empty())
        return day + "." + (month.size() == 1 ? "0" : "") + month + "." + year;
    return month.empty() ? year : month + "/" + year;
}

// "feenschach 01-02 (7100) 1965".
std::string source_text(const YAML::Node& source)
{
    if (!source)
        return "";
    if (source.IsScalar())
        return source.Scalar();
    std::string problem_id = text_of(source["problemid"]);
    if (!problem_id.empty())
        problem_id = "(" + problem_id + ")";
    return join({text_of(source["name"]), text_of(source["issue"]), problem_id, date_text(source["date"])}, " ");
}

std::string award_text(const YAML::Node& award, const std::string& source_name)
{
    if (!award || !award.IsMap())
        return text_of(award);
    const YAML::Node tourney = award["tourney"];
    std::string name = tourney && tourney.IsMap() ? text_of(tourney["name"]) : text_of(tourney);
    if (name == "ditto")
        name = source_name;
    return join({text_of(award["distinction"]), name}, ", ");
}

bool read_pieces(const YAML::Node& algebraic, fen_record* position, std::string* error)
{
    position->squares.fill(no_piece);
    if (!algebraic || !algebraic.IsMap())
        return fail(error, "нет позиции (algebraic)");
    for (const auto& entry : algebraic) {
        const std::string colour = text_of(entry.first);
        if (colour != "white" && colour != "black")
            return fail(error, "фигуры " + quoted_input(colour) + " сказочные; такие задачи не проверяются");
        for (const std::string& piece : texts_of(entry.second)) {
            if (piece.find(' ') != std::string::npos)
                return fail(error, "фигура " + quoted_input(piece) + " сказочная; такие задачи не проверяются");
            if (!piece_word_read(piece, piece_letters::solver, colour == "white", position, error))
                return false;
        }
    }
    return true;
}

bool read_stipulation(const YAML::Node& node, problem_record* problem, std::string* error)
{
    const std::string text = text_of(node);
    if (text.empty())
        return fail(error, "нет условия задачи (stipulation)");
    if (text[0] == '=' || text[0] == '+') {
        const std::string_view rest = std::string_view(text).substr(1);
        if (rest.empty() || rest.find_first_of("0123456789") == std::string_view::npos)
            return fail(error, "условие " + quoted_input(text) + " — этюд; этюды не проверяются");
    }
    return problem_stipulation_set(text, problem, error);
}

bool read_twins(const YAML::Node& twins, problem_record* problem, std::string* error)
{
    if (!twins)
        return true;
    if (!twins.IsMap())
        return fail(error, "twins не вида b: Move a1 a2");
    std::map<std::string, std::string> ordered;  // by label, as the records do not keep an order
    for (const auto& entry : twins)
        ordered[text_of(entry.first)] = text_of(entry.second);
    for (const auto& [label, words] : ordered) {
        if (label.size() != 1 || label[0] < 'a' || label[0] > 'z')
            return fail(error, "близнец с меткой " + quoted_input(label) + ", а нужна буква");
        twin t;
        if (!twin_read_solver(words, &t, error))
            return false;
        t.label = label[0];
        if (label == "a")
            problem->zero_position = true;
        problem->twins.push_back(std::move(t));
    }
    return true;
}

bool read_record(const YAML::Node& root, problem_record* problem, std::string* error)
{
    if (!root.IsMap())
        return fail(error, "запись не вида ключ: значение");
    problem_record read;
    read.authors = texts_of(root["authors"]);
    read.source = source_text(root["source"]);
    read.award = award_text(root["award"], root["source"] && root["source"].IsMap() ? text_of(root["source"]["name"]) : "");
    read.title = text_of(root["title"]);
    read.solution = text_of(root["solution"]);
    read.keywords = texts_of(root["keywords"]);
    read.comments = texts_of(root["comments"]);
    if (!read_pieces(root["algebraic"], &read.position, error) || !read_stipulation(root["stipulation"], &read, error) ||
        !problem_options_read(join(texts_of(root["options"]), " "), &read, error) ||
        !read_twins(root["twins"], &read, error) || !problem_stated_set(text_of(root["intended-solutions"]), &read, error) ||
        !problem_finish(&read, error))
        return false;
    *problem = std::move(read);
    return true;
}

// yaml-cpp descends once per level of nesting; a record nests three or four
// levels, so far deeper input is refused before it can exhaust the stack.
bool nested_too_deep(std::string_view document)
{
    constexpr int deepest = 64;
    int flow = 0, items = 0;
    std::size_t indent = 0;
    bool line_start = true;
    for (char c : document) {
        if (c == '\n') {
            line_start = true;
            indent = 0;
            items = 0;
            continue;
        }
        if (line_start && (c == ' ' || c == '-')) {
            indent++;
            items += c == '-';
        } else {
            line_start = false;
        }
        flow += c == '[' || c == '{';
        if (flow > deepest || items > deepest || indent > 4 * deepest)
            return true;
    }
    return false;
}

}  // namespace

bool yaml_document_blank(std::string_view document)
{
    std::size_t i = 0;
    while (i < document.size()) {
        const std::size_t end = std::min(document.find('\n', i), document.size());
        const std::string_view line = document.substr(i, end - i);
        const std::size_t first = line.find_first_not_of(" \t\r");
        if (first != std::string_view::npos && line[first] != '#' && line.substr(first) != "---" &&
            line.substr(first, 3) != "...")
            return false;
        i = end + 1;
    }
    return true;
}

bool yaml_problem_read(std::string_view document, problem_record* problem, std::string* error)
{
    // yaml-cpp reports every fault by throwing; none gets further than here.
    if (nested_too_deep(document))
        return fail(error, "YAML вложен глубже, чем бывает у записи задачи");
    try {
        const YAML::Node root = YAML::Load(std::string(document));
        return read_record(root, problem, error);
    } catch (const YAML::Exception& e) {
        return fail(error, "YAML не читается: строка " + std::to_string(e.mark.line + 1) + ": " + quoted_input(e.msg));
    } catch (const std::exception& e) {
        return fail(error, std::string("YAML не читается: ") + quoted_input(e.what()));
    }
}
