// Measuring helpers for the tests: pitch in cents, resampler quality as SNR, and a driver that
// runs synthesized audio through the analysis core and collects what it publishes.
#pragma once

#include <cstdint>
#include <vector>

#include "analysis/pipeline.h"

namespace tw::test {

// Cents from `truth` to `measured` (positive: measured is sharp).
double Cents(double measured, double truth);

// Signal-to-noise ratio in dB of `actual` against `reference` over their common length:
// 10 log10(sum ref^2 / sum (actual - ref)^2).
double SnrDb(const std::vector<double>& reference, const std::vector<double>& actual);

struct Publication {
    double seconds;  // audio time of the publication
    float frequency;
};

// Collects every publication of a core.
class Collector final : public PublicationListener {
  public:
    void OnPublished(float frequency, uint32_t timeMs) override {
        publications.push_back({timeMs / 1000.0, frequency});
    }
    std::vector<Publication> publications;
};

// Feeds internal samples at 16000 Hz to a fresh core in blocks of `block` samples, with a
// manual clock that follows audio time, and returns what it published. `harmonicChoice` off
// gives the plain search and refinement.
std::vector<Publication> AnalyseAt16k(const std::vector<int32_t>& samples, uint32_t block = 1600,
                                      bool harmonicChoice = true);

// The median frequency of the publications at or after `fromSeconds`; 0 when there are none.
double SettledFrequency(const std::vector<Publication>& publications, double fromSeconds);

}  // namespace tw::test
