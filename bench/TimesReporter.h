// The console table of a Google Benchmark run, with each run's time kept by
// name for the ratio summary a program prints after it. Colour only on a
// terminal: the library decides that for its own default reporter, not for
// one a program passes in, which would write colour codes into a file.
#pragma once

#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <map>
#include <string>
#include <vector>

namespace qndx {
namespace bench {

class TimesReporter : public benchmark::ConsoleReporter {
public:
    TimesReporter() : ConsoleReporter(isatty(fileno(stdout)) ? OO_ColorTabular : OO_Tabular) {}

    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& r : runs)
            if (!r.error_occurred && r.iterations > 0) m_times[r.benchmark_name()] = r.GetAdjustedRealTime();
        ConsoleReporter::ReportRuns(runs);
    }

    // The reference's time over the measured one (above 1.00 the measured is
    // faster); 0 when either did not run.
    double Ratio(const std::string& measured, const std::string& reference) const {
        const double m = Time(measured), r = Time(reference);
        return m > 0 && r > 0 ? r / m : 0.0;
    }
    bool Ran(const std::string& name) const { return Time(name) > 0; }

private:
    double Time(const std::string& name) const {
        auto it = m_times.find(name);
        return it == m_times.end() ? 0.0 : it->second;
    }

    std::map<std::string, double> m_times;
};

}  // namespace bench
}  // namespace qndx
