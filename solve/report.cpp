// Lines as problem columns print them: the key with "!", a try with "?" and
// its refutation with "!", defences numbered "1...", a dual marked; help play
// in pairs of moves ending with the side that reaches the goal, series play
// numbered move by move with the other side's closing move after the last
// number.
#include "solve/report.h"

#include "chess/moves.h"

namespace {

bool russian(notation language)
{
    return language == notation::russian;
}

// The Russian noun for n things: 1 ход, 2 хода, 5 ходов, 21 ход.
const char* plural(int n, const char* one, const char* few, const char* many)
{
    if (n % 100 >= 11 && n % 100 <= 14)
        return many;
    if (n % 10 == 1)
        return one;
    return n % 10 >= 2 && n % 10 <= 4 ? few : many;
}

// Moves played one after another from p; `before` is how many half-moves of
// the first move's pair came before it (1: the first move is written "1...").
std::string numbered_line(position p, const std::vector<move>& moves, int before, notation language)
{
    std::string text;
    for (std::size_t i = 0; i < moves.size(); i++) {
        const int shifted = before + int(i);
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

// Battle play, numbered from the problem's start: ply 0 is the attacker's
// first move, and Black's moves are written "1..." as in a game.
std::string line_text(const position& p, const std::vector<move>& moves, int first_ply, colour attacker,
                      notation language)
{
    return numbered_line(p, moves, first_ply + (attacker == black ? 1 : 0), language);
}

std::string key_text(const position& p, move key, notation language)
{
    return line_text(p, {key}, 0, p.side, language) + "!";
}

// One defence with its continuations; a dual when there are several.
// In self and reflex play the defender's closing moves after a continuation:
// those that end the game (every move, in a selfmate's last move), one
// written after it, several in brackets.
std::string closing_moves(const position& p, const stipulation& task, notation language)
{
    if (task.aim != aim_kind::self && task.aim != aim_kind::reflex)
        return {};
    move_list replies;
    legal_moves(p, &replies);
    std::vector<std::string> ending;
    for (move r : replies) {
        position q = p;
        undo_record undo;
        make(&q, r, &undo);
        if (!has_legal_move(q))
            ending.push_back(move_text(p, r, language));
    }
    if (ending.empty() || (task.aim == aim_kind::self && int(ending.size()) != replies.size))
        return {};
    if (ending.size() == 1)
        return " " + ending[0];
    std::string out = " (";
    for (std::size_t i = 0; i < ending.size(); i++)
        out += (i ? ", " : "") + ending[i];
    return out + ")";
}

std::string variation_text(const position& p, const stipulation& task, const variation& v, int first_ply,
                           colour attacker, notation language)
{
    std::string out = line_text(p, {v.defence}, first_ply, attacker, language);
    position defended = p;
    undo_record undo;
    make(&defended, v.defence, &undo);
    for (std::size_t i = 0; i < v.continuations.size(); i++) {
        out += (i ? ", " : " ") + line_text(defended, {v.continuations[i]}, first_ply + 1, attacker, language);
        position continued = defended;
        make(&continued, v.continuations[i], &undo);
        out += closing_moves(continued, task, language);
    }
    if (v.continuations.size() > 1)
        out += russian(language) ? " (дуаль)" : " (dual)";
    return out + "\n";
}

// A key's or a try's threat and variations, after the first move has been written.
std::string play_text(const position& p, const stipulation& task, const first_move& first, int length,
                      notation language)
{
    std::string out;
    position after = p;
    undo_record undo;
    make(&after, first.played, &undo);
    if (!first.checks && length >= 2) {
        std::string threat = russian(language) ? "угроза: " : "threat: ";
        if (first.threat_length == 0)
            threat = russian(language) ? "цугцванг" : "zugzwang";
        position passed = after;
        make_null(&passed, &undo);
        for (std::size_t i = 0; i < first.threats.size(); i++)
            threat += (i ? ", " : "") + line_text(passed, {first.threats[i]}, 2, p.side, language);
        if (first.threat_length >= 2) {
            stipulation in = task;
            in.moves = first.threat_length;
            threat += " (" + genre_text(in, language) + ")";
        }
        out += threat + "\n";
    }
    for (const variation& v : first.variations)
        out += variation_text(after, task, v, 1, p.side, language);
    return out;
}

std::string solutions_count(int n, notation language)
{
    if (!russian(language))
        return n == 1 ? "one solution" : std::to_string(n) + " solutions";
    return n == 1 ? "одно решение" : std::to_string(n) + " " + plural(n, "решение", "решения", "решений");
}

// Sound, cooked or fewer than stated, once the length is right.
std::string count_verdict(int stated, int found, const std::string& cooked, notation language)
{
    const bool ru = russian(language);
    if (found == stated)
        return (ru ? "корректна: " : "sound: ") + solutions_count(found, language);
    if (found > stated)
        return (ru ? "побочное решение:" : "cooked:") + cooked;
    return ru ? "решений меньше, чем указано" : "fewer solutions than stated";
}

// Help play is written in pairs that end with the side reaching the goal.
int help_offset(int plies)
{
    return plies % 2;
}

std::string one_solution(const position& p, const stipulation& task, const std::vector<move>& moves, notation language)
{
    if (task.play == play_kind::help)
        return numbered_line(p, moves, help_offset(int(moves.size())), language);
    // Series: every move of the series numbered, the other side's closing move after them.
    const std::size_t series = task.aim == aim_kind::help ? moves.size() - 1 : moves.size();
    std::string text;
    position q = p;
    undo_record undo;
    for (std::size_t i = 0; i < moves.size(); i++) {
        text += (i ? " " : "") + (i < series ? std::to_string(i + 1) + "." : std::string()) + move_text(q, moves[i], language);
        make(&q, moves[i], &undo);
        if (i + 1 < series)
            make_null(&q, &undo);
    }
    if (task.aim == aim_kind::self) {  // every reply reaches the goal: each is shown
        move_list replies;
        legal_moves(q, &replies);
        for (int i = 0; i < replies.size; i++)
            text += (i ? ", " : " ") + move_text(q, replies.moves[i], language);
    }
    return text;
}

}  // namespace

std::string battle_lines(const position& p, const stipulation& task, const battle_result& result, notation language)
{
    std::string out;
    // Cut short, the keys are proven but their play was never worked out.
    for (const first_move& key : result.keys)
        out += key_text(p, key.played, language) + "\n" +
               (result.interrupted ? std::string() : play_text(p, task, key, result.length, language));
    // A try's refutation is only known once every defence was searched.
    const std::vector<try_move> no_tries;
    for (const try_move& t : result.interrupted ? no_tries : result.tries) {
        position after = p;
        undo_record undo;
        make(&after, t.play.played, &undo);
        out += line_text(p, {t.play.played}, 0, p.side, language) + "?\n" + play_text(p, task, t.play, 2, language) +
               line_text(after, {t.refutation}, 1, p.side, language) + "!\n";
    }
    return out;
}

std::string battle_set_play(const position& p, const stipulation& task, const battle_result& result, notation language)
{
    if (!result.set_play_asked || result.interrupted)
        return {};
    if (result.set_play.empty())
        return russian(language) ? "мнимая игра: нет\n" : "set play: none\n";
    std::string out = russian(language) ? "мнимая игра:\n" : "set play:\n";
    position passed = p;
    undo_record undo;
    make_null(&passed, &undo);
    for (const variation& v : result.set_play) {
        out += variation_text(passed, task, v, 1, p.side, language);
    }
    return out;
}

std::string line_lines(const position& p, const stipulation& task, const line_result& result, notation language)
{
    std::string out;
    for (const std::vector<move>& solution : result.solutions)
        out += one_solution(p, task, solution, language) + "\n";
    return out;
}

std::string line_set_play(const position& p, const stipulation& task, const line_result& result, notation language)
{
    if (!result.set_play_asked || result.interrupted)
        return {};
    if (result.set_play.empty())
        return russian(language) ? "мнимая игра: нет\n" : "set play: none\n";
    std::string out = russian(language) ? "мнимая игра:\n" : "set play:\n";
    position passed = p;
    undo_record undo;
    make_null(&passed, &undo);
    for (const std::vector<move>& solution : result.set_play)
        out += one_solution(passed, task, solution, language) + "\n";
    return out;
}

std::string battle_verdict(const position& p, const stipulation& task, const battle_result& result, notation language)
{
    const bool ru = russian(language);
    if (result.interrupted)
        return ru ? "прервано" : "interrupted";
    if (result.length == 0)
        return ru ? "решения нет" : "no solution";
    if (result.length < task.moves) {
        stipulation shorter = task;
        shorter.moves = result.length;
        return (ru ? "короткое решение: " : "short solution: ") + genre_text(shorter, language);
    }
    std::string keys;
    for (const first_move& key : result.keys)
        keys += " " + key_text(p, key.played, language);
    return count_verdict(task.solutions, int(result.keys.size()), keys, language);
}

std::string line_verdict(const stipulation& task, const line_result& result, notation language)
{
    const bool ru = russian(language);
    if (result.interrupted)
        return ru ? "прервано" : "interrupted";
    if (result.length == 0)
        return ru ? "решения нет" : "no solution";
    const int full = task.play == play_kind::help ? help_plies(task) : task.moves;
    if (result.length < full) {
        stipulation shorter = task;
        shorter.moves = task.play == play_kind::help ? result.length / 2 : result.length;
        shorter.half = task.play == play_kind::help && result.length % 2 == 1;
        return (ru ? "короткое решение: " : "short solution: ") + genre_text(shorter, language);
    }
    const int found = int(result.solutions.size());
    const std::string cooked = ru ? " решений " + std::to_string(found) : " " + std::to_string(found) + " solutions";
    return count_verdict(task.solutions, found, cooked, language);
}
