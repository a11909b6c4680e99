// The side to move, castling and en passant are not part of either format's
// position, so they go out as the options that mean them; a placement alone
// (a diagram read back) needs none of them.
#include "chess/problem_writer.h"

#include <yaml-cpp/yaml.h>

namespace {

constexpr std::string_view order = "KQRBNP";

// "Kh1", "Sf3", with the solver's S for the knight.
std::vector<std::string> pieces_of(const fen_record& p, bool white)
{
    std::vector<std::string> pieces;
    for (char type : order) {
        const char letter = white ? type : char(type + 32);
        for (int file = 0; file < 8; file++)
            for (int rank = 0; rank < 8; rank++)
                if (p.squares[std::size_t(square_at(file, rank))] == letter)
                    pieces.push_back(std::string(1, type == 'N' ? 'S' : type) + square_text(square_at(file, rank)));
    }
    return pieces;
}

// Option words that keep the position's side to move, castling and en
// passant: "HalfDuplex", "NoCastling a1 e8", "EnPassant e2 e3 e4".
std::vector<std::string> position_options(const problem_record& problem)
{
    std::vector<std::string> options;
    const problem_options& o = problem.options;
    if (o.set_play) options.push_back("SetPlay");
    if (o.duplex) options.push_back("Duplex");
    if (o.variations) options.push_back("Variation");
    if (o.tries) options.push_back("Try");
    if (o.no_threat) options.push_back("NoThreat");
    if (o.post_key) options.push_back("PostKeyPlay");
    if (o.defence) options.push_back("Defence " + std::to_string(o.defence));
    if (o.max_solutions) options.push_back("MaxSolutions " + std::to_string(o.max_solutions));
    const fen_record& p = problem.position;
    stipulation s;
    std::string ignored;
    const bool help = stipulation_read_short(problem.stipulation, &s, &ignored) && begins_as_genre_says(s);
    if (o.half_duplex || (p.black_to_move && !help))
        options.push_back("HalfDuplex");
    if (p.fields >= 3) {
        fen_record board = p;
        castling_from_board(&board);
        std::string squares;
        for (int colour = 0; colour < 2; colour++) {
            const int rank = colour ? 7 : 0;
            const std::uint8_t possible = board.castling_files[std::size_t(colour)];
            const std::uint8_t kept = possible & p.castling_files[std::size_t(colour)];
            if (possible && !kept)
                squares += " " + square_text(square_at(4, rank));
            else
                for (int file : {0, 7})
                    if ((possible & (1u << file)) && !(kept & (1u << file)))
                        squares += " " + square_text(square_at(file, rank));
        }
        if (!squares.empty())
            options.push_back("NoCastling" + squares);
    }
    if (p.fields >= 4 && p.en_passant != no_square) {
        const int step = rank_of(p.en_passant) == 2 ? 8 : -8;  // a white pawn crossed the third rank
        options.push_back("EnPassant " + square_text(p.en_passant - step) + " " + square_text(p.en_passant) + " " +
                          square_text(p.en_passant + step));
    }
    return options;
}

std::string joined(const std::vector<std::string>& words)
{
    std::string text;
    for (const std::string& w : words)
        text += (text.empty() ? "" : " ") + w;
    return text;
}

// Text commands run to the end of their line.
std::string one_line(std::string text)
{
    for (char& c : text)
        if (c == '\n' || c == '\r')
            c = ' ';
    return text;
}

}  // namespace

std::string solver_input_write(const problem_record& problem)
{
    std::string text = "BeginProblem\n";
    if (!problem.title.empty())
        text += "Title " + one_line(problem.title) + "\n";
    for (const std::string& author : problem.authors)
        text += "Author " + one_line(author) + "\n";
    if (!problem.source.empty())
        text += "Origin " + one_line(problem.source) + "\n";
    text += "Pieces White " + joined(pieces_of(problem.position, true)) + "\n";
    text += "  Black " + joined(pieces_of(problem.position, false)) + "\n";
    text += "Stipulation " + problem.stipulation + "\n";
    if (problem.stated_solutions)
        text += "Remark " + std::string(stated_remark) + " " +
                (problem.stated_text.empty() ? std::to_string(problem.stated_solutions) : problem.stated_text) + "\n";
    for (const std::string& option : position_options(problem))
        text += "Option " + option + "\n";
    if (problem.zero_position)
        text += "ZeroPosition\n";
    for (const twin& t : problem.twins)
        text += "Twin " + twin_solver_text(t) + "\n";
    // The format has no place for a solution; remarks keep it beside the problem.
    for (std::size_t at = 0; at < problem.solution.size();) {
        const std::size_t end = std::min(problem.solution.find('\n', at), problem.solution.size());
        if (end > at)
            text += "Remark " + one_line(problem.solution.substr(at, end - at)) + "\n";
        at = end + 1;
    }
    return text + "EndProblem\n";
}

std::string yaml_problem_write(const problem_record& problem)
{
    YAML::Emitter out;
    out << YAML::BeginMap;
    if (!problem.authors.empty())
        out << YAML::Key << "authors" << YAML::Value << problem.authors;
    if (!problem.title.empty())
        out << YAML::Key << "title" << YAML::Value << problem.title;
    if (!problem.source.empty())
        out << YAML::Key << "source" << YAML::Value << YAML::BeginMap << YAML::Key << "name" << YAML::Value
            << problem.source << YAML::EndMap;
    if (!problem.award.empty())
        out << YAML::Key << "award" << YAML::Value << YAML::BeginMap << YAML::Key << "distinction" << YAML::Value
            << problem.award << YAML::EndMap;
    out << YAML::Key << "algebraic" << YAML::Value << YAML::BeginMap;
    out << YAML::Key << "white" << YAML::Value << YAML::Flow << pieces_of(problem.position, true);
    out << YAML::Key << "black" << YAML::Value << YAML::Flow << pieces_of(problem.position, false);
    out << YAML::EndMap;
    out << YAML::Key << "stipulation" << YAML::Value << YAML::DoubleQuoted << problem.stipulation;
    const std::vector<std::string> options = position_options(problem);
    if (!options.empty())
        out << YAML::Key << "options" << YAML::Value << options;
    if (problem.stated_solutions)
        out << YAML::Key << "intended-solutions" << YAML::Value
            << (problem.stated_text.empty() ? std::to_string(problem.stated_solutions) : problem.stated_text);
    if (!problem.twins.empty()) {
        out << YAML::Key << "twins" << YAML::Value << YAML::BeginMap;
        for (const twin& t : problem.twins)
            out << YAML::Key << std::string(1, t.label) << YAML::Value << twin_solver_text(t);
        out << YAML::EndMap;
    }
    if (!problem.solution.empty())
        out << YAML::Key << "solution" << YAML::Value << YAML::Literal << problem.solution;
    if (!problem.keywords.empty())
        out << YAML::Key << "keywords" << YAML::Value << problem.keywords;
    if (!problem.comments.empty())
        out << YAML::Key << "comments" << YAML::Value << problem.comments;
    out << YAML::EndMap;
    return std::string("---\n") + out.c_str() + "\n";
}
