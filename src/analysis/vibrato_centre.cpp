// Vibrato centre by mean instantaneous frequency.
//
// Method: the bins of one band of the frame's spectrum, shifted down by the band's middle bin,
// are summed back into the band's complex signal (the windowed frame's analytic signal limited
// to the band) at every kStep-th sample. The phase advance from one point to the next is the
// band's frequency over that step; the mean of these advances, weighted by the analysis window
// alone, is the frequency the vibrato swings around.
//
// Why not the spectrum's magnitudes: they weigh each moment of the frame by its power. A bow or
// a breath that is louder at one end of the swing (a violin's partials moving over its body's
// resonances) makes the sidebands on that side the stronger ones, and any centre taken from
// magnitudes leans towards them, up to the first sideband itself. The phase advances weigh every
// moment the same.
#include "analysis/vibrato_centre.h"

#include <algorithm>
#include <cmath>
#include <complex>

#include "analysis/spectrum.h"

namespace tw {
namespace {

// Points 32 samples (2 ms at 16 kHz) apart: a bin b bins off the band's middle turns by
// b / 256 of a cycle from one point to the next at N = 8192.
constexpr uint32_t kStep = 32;
// The band may reach this many bins either side of its middle (16 sidebands 4 bins apart); at
// N = 8192 a step then turns by an eighth of a cycle at most, far from the half that would alias.
constexpr int32_t kMaxHalfWidth = 32;
constexpr int32_t kMaxBins = 2 * kMaxHalfWidth + 1;
// Points per frame at most (N = 16384).
constexpr uint32_t kMaxPoints = 512;
// Steps where the band's signal falls under this share of its peak are left out: before a note's
// attack and in the window's far tails the phase is noise's.
constexpr double kGateShare = 0.1;
// The steps kept must carry at least this share of the window's weight; a frame the note fills
// only in part shows a part of a vibrato cycle, whose mean is not the centre.
constexpr double kCoveredShare = 0.6;

}  // namespace

double MeanInstantaneousBin(const double* re, const double* im, uint32_t n, int32_t lo,
                            int32_t hi) {
    const uint32_t points = n / kStep;
    const int32_t mid = (lo + hi) / 2;
    const int32_t bins = hi - lo + 1;
    if (points < 4 || points > kMaxPoints || lo < 1 || hi >= static_cast<int32_t>(n) || bins < 1 ||
        bins > kMaxBins) {
        return -1.0;
    }

    // Each bin's contribution at the current point, and its turn from one point to the next.
    std::complex<double> at[kMaxBins];
    std::complex<double> turn[kMaxBins];
    for (int32_t i = 0; i < bins; ++i) {
        const int32_t k = lo + i;
        at[i] = {re[k], im[k]};
        const double angle = kTwoPi * (k - mid) * static_cast<double>(kStep) / n;
        turn[i] = {std::cos(angle), std::sin(angle)};
    }

    // The band's signal at every point.
    std::complex<double> z[kMaxPoints];
    double peak = 0.0;
    for (uint32_t j = 0; j < points; ++j) {
        std::complex<double> sum = 0.0;
        for (int32_t i = 0; i < bins; ++i) {
            sum += at[i];
            at[i] *= turn[i];
        }
        z[j] = sum;
        peak = std::max(peak, std::abs(sum));
    }
    if (peak <= 0.0) return -1.0;

    const double gate = kGateShare * peak;
    double sum = 0.0, kept = 0.0, total = 0.0;
    for (uint32_t j = 0; j + 1 < points; ++j) {
        // The analysis window's own weight at the middle of the step.
        const double w = HammingWeight((j + 0.5) * kStep, n);
        total += w;
        if (std::abs(z[j]) < gate || std::abs(z[j + 1]) < gate) continue;
        sum += w * std::arg(z[j + 1] * std::conj(z[j]));
        kept += w;
    }
    if (kept < kCoveredShare * total) return -1.0;
    // The mean phase advance per step, in radians, as bins.
    return mid + (sum / kept) * n / (kTwoPi * kStep);
}

}  // namespace tw
