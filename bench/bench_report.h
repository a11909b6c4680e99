// Shared reporting for the benchmark programs. Benchmarks are registered in
// triples named "<operation>/ours", "<operation>/peer" and "<operation>/limit"
// (peer or limit may be missing); after the run the reporter prints, for each
// operation, the three medians and the two ratios, and one machine-readable
// line "table|operation|ours_ms|peer_ms|limit_ms" that bench/run-all gathers.
#pragma once

#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <string>
#include <vector>

class ratio_reporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override
    {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            if (run.run_type != Run::RT_Aggregate || run.aggregate_name != "median")
                continue;
            std::string name = run.run_name.function_name;
            std::size_t slash = name.rfind('/');
            if (slash == std::string::npos)
                continue;
            double ms = run.GetAdjustedRealTime() * to_ms(run.time_unit);
            medians_[name.substr(0, slash)][name.substr(slash + 1)] = ms;
        }
    }

    void print_ratios() const
    {
        std::printf("\n%-28s %12s %12s %12s %10s %10s\n", "operation", "ours ms", "peer ms", "limit ms",
                    "ours/peer", "ours/limit");
        for (const auto& [operation, sides] : medians_) {
            double ours = value(sides, "ours"), peer = value(sides, "peer"), limit = value(sides, "limit");
            std::printf("%-28s %12.3f %12.3f %12.3f %10s %10s\n", operation.c_str(), ours, peer, limit,
                        ratio(ours, peer).c_str(), ratio(ours, limit).c_str());
            std::printf("table|%s|%.4f|%.4f|%.4f\n", operation.c_str(), ours, peer, limit);
        }
    }

private:
    static double to_ms(benchmark::TimeUnit unit)
    {
        switch (unit) {
        case benchmark::kNanosecond: return 1e-6;
        case benchmark::kMicrosecond: return 1e-3;
        case benchmark::kMillisecond: return 1.0;
        default: return 1e3;
        }
    }
    static double value(const std::map<std::string, double>& sides, const char* side)
    {
        auto found = sides.find(side);
        return found == sides.end() ? 0.0 : found->second;
    }
    static std::string ratio(double ours, double other)
    {
        if (ours <= 0 || other <= 0)
            return "-";
        char buffer[32];
        std::snprintf(buffer, sizeof buffer, "%.2f", ours / other);
        return buffer;
    }
    std::map<std::string, std::map<std::string, double>> medians_;
};

// Every benchmark program's main: run with medians over repetitions, then print the ratios.
#define CHESS_BENCHMARK_MAIN()                                                   \
    int main(int argc, char** argv)                                              \
    {                                                                            \
        benchmark::Initialize(&argc, argv);                                      \
        ratio_reporter reporter;                                                 \
        benchmark::RunSpecifiedBenchmarks(&reporter);                            \
        reporter.print_ratios();                                                 \
        benchmark::Shutdown();                                                   \
        return 0;                                                                \
    }
