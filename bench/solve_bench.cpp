// The rules and the solver against Debian's stockfish, on one processor.
//
// perft(5) from the initial position: our generator against stockfish's
// "go perft 5" (both count the last ply without making it); the nodes per
// second are shown beside the times.
//
// Checking a problem completely (every key and cook, the threats, the
// solution tree and the tries of a two-mover) against stockfish asked
// "go mate N" for the same position, which stops at the first mate it finds
// and cannot tell a cook. The positions are famous published finishes whose
// solutions anyone can follow over the board:
//   #2 Morphy - Duke Karl / Count Isouard, Paris 1858, after 15...Nxd7: 16.Qb8+! Nxb8 17.Rd8#
//   #3 Anderssen - Kieseritzky, London 1851, after 20...Na6: 21.Nxg7+! Kd8 22.Qf6+! Nxf6 23.Be7#
//   #4 Anderssen - Dufresne, Berlin 1852, after 20...Nxe7: 21.Qxd7+!! Kxd7 22.Bf5+ Ke8 23.Bd7+ Kf8 24.Bxe7#
//
// Then one problem of every other genre (random positions with a solution
// of the stated length and none shorter, as the problemists' standard solver
// found them), a six-mover of a published suite and a full-board helpmate:
// no peer here solves them, so their "peer" column is the same check on one
// processor, and the ratio is what sharing the first moves gains.
//
// Stockfish runs in one process for the whole bench, with one thread and
// its hash cleared before every search, so neither side pays for start-up.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include "bench/bench_report.h"
#include "chess/moves.h"
#include "solve/problem_check.h"
#include "solve/report.h"

namespace {

struct problem {
    const char* name;
    const char* fen;
    int moves;
};

const problem problems[] = {
    {"#2 Opera game, 21 pieces", "4kb1r/p2n1ppp/4q3/4p1B1/4P3/1Q6/PPP2PPP/2KR4 w k - 0 16", 2},
    {"#3 Immortal game, 25 pieces", "r1b1k1nr/p2p1ppp/n2B4/1p1NPN1P/6P1/3P1Q2/P1P1K3/q5b1 w kq - 2 21", 3},
    {"#4 Evergreen game, 23 pieces", "1r2k1r1/pbppnp1p/1b3P2/8/Q7/B1PB1q2/P4PPP/3R2K1 w - - 0 21", 4},
};
struct genre_problem {
    const char* stipulation;
    const char* fen;
};

const genre_problem genre_problems[] = {
    {"s#3", "8/8/7N/7p/6Pp/7k/8/1B2B2K w - - 0 1"},
    {"r#2", "8/8/8/8/1p6/k7/p7/K1R1Q3 w - - 0 1"},
    {"=3", "8/1P2K2k/8/8/8/8/8/8 w - - 0 1"},
    {"s=2", "8/8/8/8/1p4Q1/k7/p7/K6b w - - 0 1"},
    {"h#3.5", "2K3R1/8/8/2P4k/8/8/8/8 w - - 0 1"},
    {"h=3", "5k2/8/8/4R3/7K/8/8/5N2 b - - 0 1"},
    {"ser-#5", "8/6K1/8/8/8/4n2k/8/6R1 w - - 0 1"},
    {"ser-=4", "k2N4/8/b7/8/8/K7/8/8 w - - 0 1"},
    {"ser-h#7", "8/8/K7/8/3p1r2/4k3/1RP5/8 b - - 0 1"},
    {"ser-h=4", "k1N5/8/8/8/8/8/1K1B4/8 b - - 0 1"},
    {"ser-s#3", "8/8/8/2p5/7b/kpR5/p7/K7 w - - 0 1"},
    {"#6", "5nr1/1B6/1p3p2/1p1P1Kp1/1p1kN1Q1/1P1p1Pp1/3P1p2/q5r1 w - - 0 1"},
    {"h#3", "r2q1rk1/ppp2ppp/2npbn2/2b1p3/2B1P3/2NP1N2/PPP1QPPP/R1B2RK1 b - - 0 8"},
};

const char initial[] = "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1";

position position_of(const char* fen)
{
    fen_record record;
    std::string error;
    if (!fen_read(fen, &record, &error))
        std::abort();
    return position_from_fen(record);
}

// Stockfish behind two pipes, spoken to in its own text protocol.
class engine {
public:
    engine()
    {
        int to_engine[2], from_engine[2];
        if (pipe(to_engine) != 0 || pipe(from_engine) != 0)
            return;
        pid_ = fork();
        if (pid_ == 0) {
            dup2(to_engine[0], 0);
            dup2(from_engine[1], 1);
            close(to_engine[1]);
            close(from_engine[0]);
            execlp("stockfish", "stockfish", nullptr);
            execl("/usr/games/stockfish", "stockfish", nullptr);
            _exit(127);
        }
        close(to_engine[0]);
        close(from_engine[1]);
        in_ = fdopen(to_engine[1], "w");
        out_ = fdopen(from_engine[0], "r");
        say("uci");
        running_ = wait_for("uciok").rfind("uciok", 0) == 0;
        say("setoption name Threads value 1");
    }
    ~engine()
    {
        if (in_) {
            say("quit");
            std::fclose(in_);
        }
        if (out_)
            std::fclose(out_);
        if (pid_ > 0)
            waitpid(pid_, nullptr, 0);
    }
    bool running() const { return running_; }
    void say(const std::string& line)
    {
        std::fprintf(in_, "%s\n", line.c_str());
        std::fflush(in_);
    }
    // The first line starting with prefix, or "" when the engine ends first.
    std::string wait_for(const char* prefix)
    {
        char line[4096];
        while (std::fgets(line, sizeof line, out_))
            if (std::strncmp(line, prefix, std::strlen(prefix)) == 0)
                return line;
        return {};
    }
    void fresh_game()
    {
        say("ucinewgame");
        say("isready");
        wait_for("readyok");
    }

private:
    pid_t pid_ = -1;
    std::FILE* in_ = nullptr;
    std::FILE* out_ = nullptr;
    bool running_ = false;
};

engine& stockfish()
{
    static engine instance;
    return instance;
}

void perft_ours(benchmark::State& state)
{
    position p = position_of(initial);
    std::uint64_t nodes = 0;
    double seconds = 0;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        nodes = perft(&p, 5);
        seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    }
    if (nodes != 4865609)
        state.SkipWithError("perft(5) of the initial position is not 4865609");
    // Shown beside the times as "Mnps", millions of nodes per second.
    state.counters["Mnps"] = double(nodes) * double(state.iterations()) / seconds / 1e6;
}

void perft_peer(benchmark::State& state)
{
    engine& e = stockfish();
    if (!e.running()) {
        state.SkipWithError("stockfish is not installed");
        return;
    }
    for (auto _ : state) {
        e.say(std::string("position fen ") + initial);
        e.say("go perft 5");
        if (e.wait_for("Nodes searched").find("4865609") == std::string::npos)
            state.SkipWithError("stockfish counted another number");
    }
}

void check_ours(benchmark::State& state, const problem& task)
{
    const position p = position_of(task.fen);
    std::string verdict;
    stipulation stated;
    stated.moves = task.moves;
    for (auto _ : state) {
        const battle_result result = check_battle(p, stated);
        benchmark::DoNotOptimize(battle_lines(p, stated, result, notation::english));
        verdict = battle_verdict(p, stated, result, notation::english);
    }
    if (verdict != "sound: one solution")
        state.SkipWithError(("the problem is not sound: " + verdict).c_str());
}

// Any verdict but "no solution" and a short one: the problem has a solution
// of its stated length. Checked on `jobs` threads; 0: every processor.
void check_genre(benchmark::State& state, const genre_problem& task, int jobs)
{
    fen_record record;
    stipulation stated;
    std::string error;
    if (!fen_read(task.fen, &record, &error) || !stipulation_read(task.stipulation, &stated, &error))
        std::abort();
    problem_report report;
    search_control control;
    control.jobs = jobs > 0 ? jobs : int(std::max(1u, std::thread::hardware_concurrency()));
    for (auto _ : state)
        if (!problem_check(record, stated, notation::english, &report, &error, control))
            state.SkipWithError(error.c_str());
    if (report.verdict == "no solution" || report.verdict.starts_with("short"))
        state.SkipWithError(("the problem has no solution of its length: " + report.verdict).c_str());
}

void check_peer(benchmark::State& state, const problem& task)
{
    engine& e = stockfish();
    if (!e.running()) {
        state.SkipWithError("stockfish is not installed");
        return;
    }
    for (auto _ : state) {
        state.PauseTiming();
        e.fresh_game();
        state.ResumeTiming();
        e.say(std::string("position fen ") + task.fen);
        e.say("go mate " + std::to_string(task.moves));
        if (e.wait_for("bestmove").size() < 9)
            state.SkipWithError("stockfish found no move");
    }
}

void register_benchmarks()
{
    auto shape = [](benchmark::internal::Benchmark* b) {
        b->Repetitions(5)->ReportAggregatesOnly(true)->Unit(benchmark::kMillisecond);
    };
    shape(benchmark::RegisterBenchmark("perft(5) initial position/ours", perft_ours));
    shape(benchmark::RegisterBenchmark("perft(5) initial position/peer", perft_peer));
    for (const problem& task : problems) {
        const std::string name = task.name;
        shape(benchmark::RegisterBenchmark((name + "/ours").c_str(), check_ours, task));
        shape(benchmark::RegisterBenchmark((name + "/peer").c_str(), check_peer, task));
    }
    for (const genre_problem& task : genre_problems) {
        const std::string name = task.stipulation;
        shape(benchmark::RegisterBenchmark((name + "/ours").c_str(), check_genre, task, 0));
        shape(benchmark::RegisterBenchmark((name + "/peer").c_str(), check_genre, task, 1));
    }
}

}  // namespace

int main(int argc, char** argv)
{
    signal(SIGPIPE, SIG_IGN);  // a stockfish that dies must not take the bench with it
    register_benchmarks();
    benchmark::Initialize(&argc, argv);
    ratio_reporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    reporter.print_ratios();
    benchmark::Shutdown();
    return 0;
}
