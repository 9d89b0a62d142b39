// Fundamental detection and refinement.
//
// Peak search: scan the magnitude spectrum from low to high and take the first bin that is a
// right-hand local maximum, stands out from the mean and from the strongest bin, has a second
// harmonic, dominates its ten neighbours and is sharp. Below about 200 Hz a third harmonic of
// half the bin shows that the peak was itself a second harmonic, and the bin is halved.
//
// Refinement: the phase vocoder. Bin k's phase advances by 2 pi f dt over one hop; the
// deviation from the advance expected at the bin centre, wrapped to +-pi, moves the estimate
// within +-1/(2 dt) Hz of the centre.
//
// Stability filter: estimates within 1 Hz of the five-value history average enter the history;
// others gather in a candidate group that replaces the whole history once it holds six
// estimates that agree within 1 Hz of their running mean.
#include "analysis/detection.h"

#include <algorithm>
#include <cmath>

namespace tw {

namespace {

// 1 / 16000: the search assumes the analysis rate.
constexpr double kSecondsPerSample = 6.25e-5;
// Bins of margin around the scan that take part in the mean and the neighbourhood test.
constexpr int32_t kMargin = 5;
constexpr double kMeanFactor = 5.0;
constexpr double kFifteenth = 0.06666666666666667;
constexpr double kNeighbourhoodFactor = 0.2;
constexpr double kDominantFactor = 0.5;
constexpr double kThirdHarmonicMeanFactor = 15.0;
// Sharp: within 3 bins on each side the magnitude falls below half the peak.
constexpr int32_t kSharpWidth = 3;
constexpr double kSharpDivisor = 2.0;
// Half-width of the acceptance window of the history and of the candidate group.
constexpr double kAcceptHz = 1.0;
// A candidate group replaces the history once it holds more than this many estimates.
constexpr int32_t kReplaceAfter = 5;
// The single-precision value of 0.2, widened.
constexpr double kFifth = 0.20000000298023224;

// Magnitude of bin k, the same formula as Magnitude() but inlined into the per-frame loops.
inline double BinMagnitude(const double* re, const double* im, int32_t k) {
    return std::sqrt(re[k] * re[k] + im[k] * im[k]);
}

int32_t BinOfHz(uint32_t n, float hz) {
    const float product = static_cast<float>(n) * hz;  // single precision, as the bound is defined
    return static_cast<int32_t>(static_cast<double>(product) * kSecondsPerSample);
}

int32_t LowBin(uint32_t n, float hz) {
    const int32_t lo = BinOfHz(n, hz);
    return lo < 3 ? 5 : lo;
}

// Strongest of bins first..last, starting from `start` and replacing only on a strictly
// greater magnitude, so ties keep the earlier choice.
int32_t StrongestAround(const double* m, int32_t start, int32_t first, int32_t last) {
    int32_t j = start;
    for (int32_t b = first; b <= last; ++b) {
        if (m[b] > m[j]) j = b;
    }
    return j;
}

}  // namespace

PeakSearchBounds PeakSearchBoundsFor(uint32_t n, float scanStartHz) {
    PeakSearchBounds b{};
    b.lo = LowBin(n, scanStartHz);
    b.hi = std::min(BinOfHz(n, kScanEndHz), static_cast<int32_t>(n) - 5);
    b.lo2 = 2 * LowBin(n, kOctaveCheckHz);
    return b;
}

bool IsSharpPeak(const double* m, int32_t p, int32_t width, double divisor) {
    const double v = m[p] / divisor;
    bool below = false;
    for (int32_t b = p - 1; b >= p - width; --b) below = below || m[b] < v;
    if (!below) return false;
    for (int32_t b = p + 1; b <= p + width; ++b) {
        if (m[b] < v) return true;
    }
    return false;
}

bool MeasureFrame(const LSpectrum& spectrum, uint32_t n, const PeakSearchBounds& bounds,
                  std::vector<double>& scratch, FrameMagnitudes& out) {
    const int32_t lo = bounds.lo, hi = bounds.hi;
    if (hi <= lo) return false;
    if (scratch.size() < n) scratch.assign(n, 0.0);
    double* m = scratch.data();
    const double* re = spectrum.Real();
    const double* im = spectrum.Imaginary();

    const int32_t sumFirst = lo - kMargin;
    const int32_t sumLast = hi + kMargin - 1;
    double sum = 0.0, max = 0.0;
    int32_t strongest = sumFirst;
    for (int32_t k = sumFirst; k <= sumLast; ++k) {
        m[k] = BinMagnitude(re, im, k);
        sum += m[k];
        if (m[k] > max) {
            max = m[k];
            strongest = k;
        }
    }
    // Below the scan: the fundamentals of notes whose second harmonic the scan finds. They take
    // no part in the mean or the maximum.
    for (int32_t k = 1; k < sumFirst; ++k) m[k] = BinMagnitude(re, im, k);
    // The second-harmonic test reads up to bin 2 hi - 1. Above N/2 a real frame's spectrum is
    // the mirror image of the lower half, so those magnitudes are copied rather than computed.
    const int32_t last = std::min(2 * hi - 1, static_cast<int32_t>(n) - 1);
    const int32_t nyquist = static_cast<int32_t>(n / 2);
    for (int32_t k = sumLast + 1; k <= last; ++k) {
        m[k] = k > nyquist && n - k <= static_cast<uint32_t>(sumLast) ? m[n - k]
                                                                      : BinMagnitude(re, im, k);
    }

    out.m = m;
    out.last = last;
    out.mean = sum / (hi - lo + 2 * kMargin);
    out.max = max;
    out.strongest = strongest;
    out.re = re;
    out.im = im;
    out.size = n;
    return max >= kMagnitudeFloor;
}

int32_t NextQualifyingPeak(const FrameMagnitudes& frame, const PeakSearchBounds& bounds,
                           int32_t from) {
    const double* m = frame.m;
    const double fifteenth = frame.max * kFifteenth;
    for (int32_t i = std::max(from, bounds.lo); i < bounds.hi; ++i) {
        const double x = m[i];
        if (!(x >= m[i + 1])) continue;
        if (!(x >= kMeanFactor * frame.mean)) continue;
        if (!(x >= fifteenth)) continue;

        const int32_t j = StrongestAround(m, 2 * i, 2 * i - 1, 2 * i + 1);
        if (fifteenth > m[j]) continue;

        double s = 0.0;
        for (int32_t b = i - kMargin; b <= i - 1; ++b) s += m[b];
        for (int32_t b = i + 1; b <= i + kMargin; ++b) s += m[b];
        if (!(x >= kNeighbourhoodFactor * s) && !(x >= kDominantFactor * frame.max)) continue;

        if (!IsSharpPeak(m, i, kSharpWidth, kSharpDivisor)) continue;
        return i;
    }
    return 0;
}

FundamentalPeak LocateFundamental(const LSpectrum& spectrum, uint32_t n,
                                  const PeakSearchBounds& bounds, std::vector<double>& scratch) {
    FrameMagnitudes frame;
    if (!MeasureFrame(spectrum, n, bounds, scratch, frame)) return {};
    const int32_t i = NextQualifyingPeak(frame, bounds, bounds.lo);
    if (i == 0) return {};
    if (i >= bounds.lo2) return {i, i, 1};
    // Below about 200 Hz: was this the second harmonic of a note at half the bin?
    if (ThirdHarmonicOfHalf(frame, i) != 0) return {i / 2, i, 2};
    return {i, i, 1};
}

int32_t ThirdHarmonicOfHalf(const FrameMagnitudes& frame, int32_t i) {
    const double* m = frame.m;
    const int32_t g = i + i / 2;
    const int32_t third = StrongestAround(m, g, g - 2, g + 2);
    const bool strong = m[third] > kThirdHarmonicMeanFactor * frame.mean &&
                        IsSharpPeak(m, third, kSharpWidth, kSharpDivisor);
    return strong ? third : 0;
}

int32_t FindFundamentalBinWithin(const LSpectrum& spectrum, uint32_t n,
                                 const PeakSearchBounds& bounds, std::vector<double>& scratch) {
    return LocateFundamental(spectrum, n, bounds, scratch).bin;
}

int32_t FindFundamentalBin(const LSpectrum& spectrum, uint32_t n, std::vector<double>& scratch) {
    return FindFundamentalBinWithin(spectrum, n, PeakSearchBoundsFor(n), scratch);
}

int32_t FindFundamentalBin(const LSpectrum& spectrum, uint32_t n) {
    std::vector<double> scratch(n);
    return FindFundamentalBin(spectrum, n, scratch);
}

double RefineFrequency(const LSpectrum& current, const LSpectrum& previous, uint32_t k, uint32_t n,
                       uint32_t hop, uint32_t rate) {
    const double phasePrevious = std::atan2(previous.Imaginary()[k], previous.Real()[k]);
    const double phaseCurrent = std::atan2(current.Imaginary()[k], current.Real()[k]);
    const double dt = static_cast<double>(hop) / rate;
    const double fk =
        static_cast<double>(rate * k) / n;  // rate x k wraps as an unsigned 32-bit product
    const double expected = fk * dt * kTwoPi + phasePrevious;
    double delta = phaseCurrent - expected;
    while (delta > kPi) delta -= kTwoPi;
    while (delta < -kPi) delta += kTwoPi;
    return (expected + delta - phasePrevious) / (dt * kTwoPi);
}

double RefineFundamental(const LSpectrum& current, const LSpectrum& previous,
                         const FundamentalPeak& found, uint32_t n, uint32_t hop, uint32_t rate) {
    const double atPeak =
        RefineFrequency(current, previous, static_cast<uint32_t>(found.peak), n, hop, rate);
    return atPeak / found.harmonic;
}

double StabilityFilter::Average() const {
    return (history[0] + history[1] + history[2] + history[3] + history[4]) * kFifth;
}

void StabilityFilter::SmoothFrequency(double x) {
    const double a = Average();
    if (a - kAcceptHz <= x && x <= a + kAcceptHz) {
        history[index] = x;
        index = static_cast<uint8_t>(index == kHistory - 1 ? 0 : index + 1);
        candidateSum = 0.0;
        candidateCount = 0;
        return;
    }
    const double groupMean = candidateCount > 0 ? candidateSum / candidateCount : 0.0;
    if (candidateCount > 0 && groupMean - kAcceptHz < x && x < groupMean + kAcceptHz) {
        candidateSum += x;
        candidateCount += 1;
    } else {
        candidateSum = x;
        candidateCount = 1;
    }
    if (candidateCount > kReplaceAfter) {
        const double v = (1.0 / candidateCount) * candidateSum;
        history.fill(v);
        candidateSum = 0.0;
        candidateCount = 0;
    }
}

}  // namespace tw
