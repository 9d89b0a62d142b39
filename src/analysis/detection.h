// Fundamental detection: the lowest sharp, harmonically confirmed spectral peak, its
// phase-vocoder refinement, and the five-value stability filter.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "analysis/spectrum.h"

namespace tw {

// Bin bounds of the peak search for a transform of N points at 16000 Hz.
struct PeakSearchBounds {
    int32_t lo;   // first bin scanned
    int32_t hi;   // scan ends before this bin
    int32_t lo2;  // peaks below this bin get the octave-down (third harmonic) check
};

// The search starts at 50 Hz so that the low strings of basses (B0..F#1) are found through
// their second harmonic; the octave-down check keeps its 200 Hz bound.
inline constexpr float kScanStartHz = 50.0f;
// The strongest magnitude must reach this for the scan to consider any note.
inline constexpr double kMagnitudeFloor = 200.0;
// Upper end of the scan.
inline constexpr float kScanEndHz = 4979.0f;
// The octave-down check covers peaks below twice this frequency.
inline constexpr float kOctaveCheckHz = 100.0f;

PeakSearchBounds PeakSearchBoundsFor(uint32_t n, float scanStartHz = kScanStartHz);

// Returns the bin of the fundamental, or 0 when the frame holds no acceptable note.
// `scratch` holds magnitudes between calls so that the capture thread does not allocate.
int32_t FindFundamentalBin(const LSpectrum& spectrum, uint32_t n, std::vector<double>& scratch);
int32_t FindFundamentalBin(const LSpectrum& spectrum, uint32_t n);
// The same search with explicit bounds (used to compare scan starts).
int32_t FindFundamentalBinWithin(const LSpectrum& spectrum, uint32_t n,
                                 const PeakSearchBounds& bounds, std::vector<double>& scratch);

// What the search found: the fundamental's bin, and the peak that led to it. A low peak that
// turned out to be the second harmonic of a note at half its bin has harmonic 2.
struct FundamentalPeak {
    int32_t bin = 0;  // 0: no fundamental
    int32_t peak = 0;
    int32_t harmonic = 1;
};
// The magnitudes of one frame and the figures the scan judges peaks by.
struct FrameMagnitudes {
    const double* m = nullptr;  // valid for bins 1 .. last
    int32_t last = 0;
    double mean = 0.0;      // over the scan and its margins
    double max = 0.0;       // strongest bin of the same range
    int32_t strongest = 0;  // where it lies
    // 50 and 60 Hz as this frame's hum shows them (the grid drifts); the harmonic choice
    // measures them, the scan does not use them.
    double mainsHz[2] = {50.0, 60.0};
    // The complex spectrum the magnitudes come from (bins 0 .. size - 1): the phases tell a
    // vibrato's centre.
    const double* re = nullptr;
    const double* im = nullptr;
    uint32_t size = 0;
};
// Fills `scratch` with magnitudes; false when the strongest is under the floor (no note).
bool MeasureFrame(const LSpectrum& spectrum, uint32_t n, const PeakSearchBounds& bounds,
                  std::vector<double>& scratch, FrameMagnitudes& out);
// The first bin at or above `from` that passes the scan's six tests (a right-hand local peak
// that stands out, has a second harmonic, dominates its neighbours and is sharp); 0 if none.
int32_t NextQualifyingPeak(const FrameMagnitudes& frame, const PeakSearchBounds& bounds,
                           int32_t from);

// The bin of a strong, sharp peak within two bins of i + i/2, or 0: the third harmonic of a
// note at half of bin i, whose second harmonic i would then be.
int32_t ThirdHarmonicOfHalf(const FrameMagnitudes& frame, int32_t i);

// The lowest qualifying peak, halved below lo2 when a third harmonic of half its bin shows.
FundamentalPeak LocateFundamental(const LSpectrum& spectrum, uint32_t n,
                                  const PeakSearchBounds& bounds, std::vector<double>& scratch);

// The refined fundamental of a located peak. The phase is read where the energy is: at the
// peak itself, divided by its harmonic number, so that a weak or missing fundamental below
// the scan does not leave the estimate to the leakage in its own bin.
double RefineFundamental(const LSpectrum& current, const LSpectrum& previous,
                         const FundamentalPeak& found, uint32_t n, uint32_t hop, uint32_t rate);

// True when, within `width` bins on each side of p, the magnitude drops strictly below
// m[p] / divisor on both sides.
bool IsSharpPeak(const double* magnitudes, int32_t p, int32_t width, double divisor);

// Frequency of bin k refined from its phase advance between two frames one hop apart.
double RefineFrequency(const LSpectrum& current, const LSpectrum& previous, uint32_t k, uint32_t n,
                       uint32_t hop, uint32_t rate);

// Five accepted estimates and a candidate group for the next note.
struct StabilityFilter {
    static constexpr int kHistory = 5;
    std::array<double, kHistory> history{};
    uint8_t index = 0;
    double candidateSum = 0.0;
    int32_t candidateCount = 0;

    // Sum in index order times the single-precision value of 0.2.
    double Average() const;
    // Feeds one refined estimate.
    void SmoothFrequency(double x);
};

}  // namespace tw
