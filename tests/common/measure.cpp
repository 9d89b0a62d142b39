#include "common/measure.h"

#include <algorithm>
#include <cmath>

namespace tw::test {

double Cents(double measured, double truth) {
    return 1200.0 * std::log2(measured / truth);
}

double SnrDb(const std::vector<double>& reference, const std::vector<double>& actual) {
    const size_t n = std::min(reference.size(), actual.size());
    double signal = 0.0, noise = 0.0;
    for (size_t i = 0; i < n; ++i) {
        signal += reference[i] * reference[i];
        const double e = actual[i] - reference[i];
        noise += e * e;
    }
    if (noise == 0.0) return INFINITY;
    return 10.0 * std::log10(signal / noise);
}

std::vector<Publication> AnalyseAt16k(const std::vector<int32_t>& samples, uint32_t block,
                                      bool harmonicChoice) {
    ManualClock clock;
    Collector collector;
    AnalysisCore core(&clock);
    core.SetListener(&collector);
    core.SetHarmonicChoice(harmonicChoice);
    for (size_t at = 0; at < samples.size(); at += block) {
        const uint32_t count = static_cast<uint32_t>(std::min<size_t>(block, samples.size() - at));
        // Stamps are the audio time at the end of the block.
        clock.Set(static_cast<uint32_t>((at + count) * 1000 / kAnalysisRate));
        core.ProcessBlock(samples.data() + at, count);
    }
    return collector.publications;
}

double SettledFrequency(const std::vector<Publication>& publications, double fromSeconds) {
    std::vector<double> values;
    for (const auto& p : publications) {
        if (p.seconds >= fromSeconds) values.push_back(p.frequency);
    }
    if (values.empty()) return 0.0;
    std::nth_element(values.begin(), values.begin() + values.size() / 2, values.end());
    return values[values.size() / 2];
}

}  // namespace tw::test
