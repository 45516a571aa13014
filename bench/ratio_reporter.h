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
        for (const Run& run : runs) {
            if (run.run_type == Run::RT_Iteration && !run.error_occurred)
                m_seconds[run.benchmark_name()] = run.GetAdjustedRealTime();
        }
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
