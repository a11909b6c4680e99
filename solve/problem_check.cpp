// The side that begins: the attacker of battle and series play is the FEN's
// side to move (the colours' roles exchanged when it is Black); help play
// begins as its genre says whatever the FEN's side to move: Black in h#N and
// in the series of ser-h#N, White in h#N.5. Duplex exchanges the colours'
// roles: the other side begins. Half-duplex is that half alone.
#include "solve/problem_check.h"

#include "chess/position.h"
#include "solve/report.h"

namespace {

colour first_to_move(const fen_record& record, const stipulation& task)
{
    if (task.play == play_kind::help)
        return task.half ? white : black;
    if (task.play == play_kind::series && task.aim == aim_kind::help)
        return black;
    return position_from_fen(record).side;
}

// One half's lines and verdict.
void check_half(const position& p, const stipulation& task, notation language, search_control& control,
                std::string* text, std::string* verdict)
{
    if (task.play == play_kind::battle) {
        const battle_result result = check_battle(p, task, control);
        *verdict = battle_verdict(p, task, result, language);
        *text += battle_set_play(p, task, result, language) + battle_lines(p, task, result, language);
    } else {
        const line_result result = task.play == play_kind::help ? check_help(p, task, control) : check_series(p, task, control);
        *verdict = line_verdict(task, result, language);
        *text += line_set_play(p, task, result, language) + line_lines(p, task, result, language);
    }
    *text += *verdict + "\n";
}

}  // namespace

bool problem_check(const fen_record& record, const stipulation& task, notation language, problem_report* report,
                   std::string* error, search_control& control)
{
    const colour first = task.half_duplex ? opponent(first_to_move(record, task)) : first_to_move(record, task);
    const position p = position_from_fen(record, first);
    *error = position_problem(p);
    if (!error->empty())
        return false;
    report->text.clear();
    check_half(p, task, language, control, &report->text, &report->verdict);
    if (!task.duplex || control.stopped())
        return true;
    const bool ru = language == notation::russian;
    report->text += ru ? "дуплекс:\n" : "duplex:\n";
    const position other = position_from_fen(record, opponent(first));
    std::string verdict;
    if (std::string problem = position_problem(other); !problem.empty()) {
        verdict = ru ? problem : "the position cannot be played with the other side to move";
        report->text += verdict + "\n";
    } else {
        check_half(other, task, language, control, &report->text, &verdict);
    }
    report->verdict += (ru ? "; дуплекс: " : "; duplex: ") + verdict;
    return true;
}
