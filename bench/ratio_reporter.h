// Reports each benchmark's time against a lower bound measured in the same
// run: after the usual console output, a table of ratios with their targets.
#pragma once

#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <string>
#include <vector>

namespace bench {

struct Ratio {
    std::string subject;
    std::string bound;
    double target; // the subject may take at most this many times the bound
};

class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override
    {
        // With --benchmark_repetitions, the median of the repetitions stands
        // for the benchmark; otherwise its one run does.
        for (const Run& run : runs) {
            if (run.error_occurred)
                continue;
            // Times come in each benchmark's display unit; keep seconds, so
            // that benchmarks shown in different units compare.
            double seconds = run.GetAdjustedRealTime() / benchmark::GetTimeUnitMultiplier(run.time_unit);
            if (run.run_type == Run::RT_Aggregate && run.aggregate_name == "median")
                m_medians[run.run_name.str()] = seconds;
            else if (run.run_type == Run::RT_Iteration)
                m_seconds[run.run_name.str()] = seconds;
        }
        for (const auto& [name, seconds] : m_medians)
            m_seconds[name] = seconds;
        ConsoleReporter::ReportRuns(runs);
    }

    // Prints the table; returns how many ratios missed their target.
    int PrintRatios(const std::vector<Ratio>& ratios) const
    {
        int missed = 0;
        std::printf("\n%-44s %-28s %8s %8s\n", "subject", "lower bound", "ratio", "target");
        for (const Ratio& r : ratios) {
            auto s = m_seconds.find(r.subject);
            auto b = m_seconds.find(r.bound);
            if (s == m_seconds.end() || b == m_seconds.end() || b->second <= 0)
                continue;
            double ratio = s->second / b->second;
            bool ok = ratio <= r.target;
            missed += ok ? 0 : 1;
            std::printf("%-44s %-28s %8.2f %7.2fx %s\n", r.subject.c_str(), r.bound.c_str(), ratio, r.target,
                        ok ? "" : "MISSED");
        }
        return missed;
    }

    double Seconds(const std::string& name) const
    {
        auto it = m_seconds.find(name);
        return it == m_seconds.end() ? 0 : it->second;
    }

private:
    std::map<std::string, double> m_seconds;
    std::map<std::string, double> m_medians;
};

// The main of a benchmark program: runs everything, then prints the ratios.
inline int RunWithRatios(int argc, char** argv, const std::vector<Ratio>& ratios)
{
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    reporter.PrintRatios(ratios);
    benchmark::Shutdown();
    return 0;
}

} // namespace bench
