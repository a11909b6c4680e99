// Lines as problem columns print them: the key with "!", a try with "?" and
// its refutation with "!", defences numbered "1...", and a dual marked.
#include "solve/report.h"

namespace {

bool russian(notation language)
{
    return language == notation::russian;
}

// "мат в 1 ход", "мат в 3 хода", "мат в 5 ходов" / "mate in 2".
std::string mate_in(int n, notation language, bool help = false)
{
    if (!russian(language))
        return std::string(help ? "helpmate" : "mate") + " in " + std::to_string(n);
    const char* unit = n == 1 ? "ход" : n <= 4 ? "хода" : "ходов";
    return std::string(help ? "кооперативный мат" : "мат") + " в " + std::to_string(n) + " " + unit;
}

// Moves played one after another from p, numbered from the problem's start:
// ply 0 is the first move of the side to move at the start.
std::string line_text(position p, const std::vector<move>& moves, int first_ply, colour starter, notation language)
{
    std::string text;
    for (std::size_t i = 0; i < moves.size(); i++) {
        const int ply = first_ply + int(i);
        const int shifted = ply + (starter == black ? 1 : 0);
        const std::string number = std::to_string(1 + shifted / 2);
        if (i)
            text += ' ';
        if (shifted % 2 == 0)
            text += number + ".";
        else if (i == 0)
            text += number + "...";
        text += move_text(p, moves[i], language);
        undo_record undo;
        make(&p, moves[i], &undo);
    }
    return text;
}

std::string key_text(const position& p, move key, notation language)
{
    return line_text(p, {key}, 0, p.side, language) + "!";
}

}  // namespace

std::string directmate_lines(const position& p, const directmate_result& result, notation language)
{
    std::string out;
    for (const key_move& key : result.keys) {
        out += key_text(p, key.key, language) + "\n";
        position after = p;
        undo_record undo;
        make(&after, key.key, &undo);
        if (!key.checks && result.length >= 2) {
            std::string threat = russian(language) ? "угроза: " : "threat: ";
            if (key.threat_length == 0)
                threat = russian(language) ? "угрозы нет" : "no threat";
            position passed = after;
            make_null(&passed, &undo);
            for (std::size_t i = 0; i < key.threats.size(); i++)
                threat += (i ? ", " : "") + line_text(passed, {key.threats[i]}, 2, p.side, language);
            if (key.threat_length >= 2)
                threat += " (" + mate_in(key.threat_length, language) + ")";
            out += threat + "\n";
        }
        for (const variation& v : key.variations) {
            // Every defence to the key of a two-mover allows at least one mate.
            out += line_text(after, {v.defence, v.mates[0]}, 1, p.side, language);
            position defended = after;
            make(&defended, v.defence, &undo);
            for (std::size_t i = 1; i < v.mates.size(); i++)
                out += ", " + line_text(defended, {v.mates[i]}, 2, p.side, language);
            if (v.mates.size() > 1)
                out += russian(language) ? " (дуаль)" : " (dual)";
            out += "\n";
        }
    }
    for (const try_move& t : result.tries) {
        position after = p;
        undo_record undo;
        make(&after, t.attempt, &undo);
        out += line_text(p, {t.attempt}, 0, p.side, language) + "? " +
               line_text(after, {t.refutation}, 1, p.side, language) + "!\n";
    }
    return out;
}

std::string helpmate_lines(const position& p, const helpmate_result& result, notation language)
{
    std::string out;
    for (const std::vector<move>& solution : result.solutions) {
        // Helpmates number each pair of moves, Black's first: "1.Kd5 Qb3+ 2.Ke4 Qd5#".
        position q = p;
        for (std::size_t i = 0; i < solution.size(); i++) {
            if (i % 2 == 0)
                out += (i ? " " : "") + std::to_string(i / 2 + 1) + ".";
            else
                out += " ";
            out += move_text(q, solution[i], language);
            undo_record undo;
            make(&q, solution[i], &undo);
        }
        out += "\n";
    }
    return out;
}

std::string directmate_verdict(const position& p, int stated, const directmate_result& result, notation language)
{
    const bool ru = russian(language);
    if (result.length == 0)
        return ru ? "решения нет" : "no solution";
    if (result.length < stated)
        return (ru ? "короткое решение: " : "short solution: ") + mate_in(result.length, language);
    if (result.keys.size() == 1)
        return ru ? "корректна: одно решение" : "sound: one solution";
    std::string keys;
    for (const key_move& key : result.keys)
        keys += " " + key_text(p, key.key, language);
    return (ru ? "побочное решение:" : "cooked:") + keys;
}

std::string helpmate_verdict(const position&, int stated, const helpmate_result& result, notation language)
{
    const bool ru = russian(language);
    if (result.length == 0)
        return ru ? "решения нет" : "no solution";
    if (result.length < stated)
        return (ru ? "короткое решение: " : "short solution: ") + mate_in(result.length, language, true);
    if (result.solutions.size() == 1)
        return ru ? "корректна: одно решение" : "sound: one solution";
    const std::string count = std::to_string(result.solutions.size());
    return ru ? "побочное решение: решений " + count : "cooked: " + count + " solutions";
}
