#include "analysis/detection.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "analysis/pipeline.h"
#include "synth/synth.h"

namespace tw {
namespace {

constexpr uint32_t kN = kFrameLength;
constexpr double kBinHz = 16000.0 / kN;

// Window and transform one frame of a synthesized signal (relative to full scale 2^19).
class FrameAnalyser {
  public:
    FrameAnalyser() : fft_(kFrameOrder), window_(kN) {}
    void Fill(LSpectrum& s, const std::vector<double>& signal, size_t offset = 0) const {
        std::vector<int32_t> frame(kN);
        for (uint32_t i = 0; i < kN; ++i)
            frame[i] = static_cast<int32_t>(std::lround(signal[offset + i] * 524288.0));
        ApplyWindow(s, frame.data(), kN, window_);
        Transform(fft_, s);
    }
    int32_t Bin(const std::vector<double>& signal) const {
        LSpectrum s(kN);
        Fill(s, signal);
        return FindFundamentalBin(s, kN);
    }

  private:
    LFFT fft_;
    LHammingWindow window_;
};

// A spectrum whose magnitudes are set by hand, bin by bin (real parts only).
LSpectrum HandSpectrum(std::initializer_list<std::pair<int, double>> bins) {
    LSpectrum s(kN);
    for (const auto& [bin, value] : bins) s.Real()[bin] = value;
    return s;
}

TEST(PeakSearchTest, BoundsStartAtFiftyHertz) {
    const PeakSearchBounds b = PeakSearchBoundsFor(kN);
    EXPECT_EQ(b.lo, 25);
    EXPECT_EQ(b.hi, 2549);
    EXPECT_EQ(b.lo2, 102);
    const PeakSearchBounds legacy = PeakSearchBoundsFor(kN, 100.0f);
    EXPECT_EQ(legacy.lo, 51);
    EXPECT_EQ(legacy.lo2, 102);
    // Tiny transforms keep the scan clear of bin 0.
    EXPECT_EQ(PeakSearchBoundsFor(16).lo, 5);
}

TEST(PeakSearchTest, HandMadeSpectra) {
    struct Case {
        const char* what;
        LSpectrum spectrum;
        int32_t bin;
    };
    Case cases[] = {
        {"strongest below the floor", HandSpectrum({{300, 199.9}, {600, 199.9}}), 0},
        {"strongest exactly at the floor", HandSpectrum({{300, 200.0}, {600, 200.0}}), 300},
        {"no second harmonic", HandSpectrum({{300, 1000.0}}), 0},
        {"second harmonic too weak", HandSpectrum({{300, 1000.0}, {601, 66.0}}), 0},
        {"second harmonic one bin off", HandSpectrum({{300, 1000.0}, {599, 70.0}}), 300},
        {"rising flank is skipped", HandSpectrum({{300, 1000.0}, {301, 1100.0}, {602, 1000.0}}),
         301},
        {"plateau gives its lowest bin", HandSpectrum({{300, 1000.0}, {301, 1000.0}, {600, 900.0}}),
         300},
        {"lowest qualifying peak, not the strongest",
         HandSpectrum({{300, 300.0}, {600, 3000.0}, {1200, 3000.0}}), 300},
        {"broad peak is not sharp",
         HandSpectrum({{297, 900.0},
                       {298, 900.0},
                       {299, 900.0},
                       {300, 1000.0},
                       {301, 900.0},
                       {302, 900.0},
                       {303, 900.0},
                       {600, 900.0}}),
         0},
        {"octave down through a third harmonic",
         HandSpectrum({{80, 1000.0}, {160, 1000.0}, {120, 1000.0}}), 40},
        {"no third harmonic keeps the peak", HandSpectrum({{80, 1000.0}, {160, 1000.0}}), 80},
        {"octave check stops at bin 102",
         HandSpectrum({{102, 1000.0}, {204, 1000.0}, {153, 1000.0}}), 102},
        {"peak below the scan start is not seen", HandSpectrum({{24, 1000.0}, {48, 1000.0}}), 0},
    };
    for (auto& c : cases) EXPECT_EQ(FindFundamentalBin(c.spectrum, kN), c.bin) << c.what;
}

TEST(PeakSearchTest, SynthesizedTones) {
    const FrameAnalyser analyser;
    const double seconds = 0.6;
    struct Case {
        const char* what;
        double f0;
        std::vector<double> harmonics;
        int32_t bin;
    };
    const Case cases[] = {
        {"pure 440 Hz sinusoid", 440.0, {0.2}, 0},
        {"440 Hz with a second harmonic of a third", 440.0, {0.3, 0.1}, 225},
        {"fundamental on bin 60 with harmonics on 120 and 180", 60 * kBinHz, {0.2, 0.1, 0.1}, 60},
        // The scan now starts at 50 Hz, so a weak 60 Hz fundamental is found directly.
        {"60 Hz, weak fundamental, strong 2nd to 4th", 60.0, {0.02, 0.2, 0.2, 0.2}, 31},
        {"E1 with its fundamental below the old scan", 41.2034, {0.2, 0.15, 0.1, 0.08}, 21},
        {"too quiet for the floor", 440.0, {0.0013, 0.0013}, 0},
    };
    for (const auto& c : cases) {
        const auto signal = synth::HarmonicTone(c.f0, 16000.0, seconds, c.harmonics);
        EXPECT_EQ(analyser.Bin(signal), c.bin) << c.what;
    }
}

TEST(PeakSearchTest, FromOneHundredHertzLowNotesComeThroughTheirSecondHarmonic) {
    // With the old scan start the same 60 Hz tone was found at its second harmonic (bin 61)
    // and halved through the third harmonic.
    const FrameAnalyser analyser;
    LSpectrum s(kN);
    analyser.Fill(s, synth::HarmonicTone(60.0, 16000.0, 0.6, {0.02, 0.2, 0.2, 0.2}));
    std::vector<double> scratch;
    EXPECT_EQ(FindFundamentalBinWithin(s, kN, PeakSearchBoundsFor(kN, 100.0f), scratch), 30);
}

TEST(RefineTest, HalvedPeaksAreRefinedAtTheirSecondHarmonic) {
    // E1 without its fundamental: the peak found is the second harmonic (bin 42), halved to
    // bin 21 by the third-harmonic check; bin 21 holds only leakage, bin 42 the real phase.
    const FrameAnalyser analyser;
    const double f0 = 41.2034;
    const auto signal = synth::HarmonicTone(f0, 16000.0, 1.0, {0.0, 0.24, 0.2, 0.14, 0.1});
    LSpectrum previous(kN), current(kN);
    analyser.Fill(previous, signal, 0);
    analyser.Fill(current, signal, kHop);
    std::vector<double> scratch;
    const FundamentalPeak found = LocateFundamental(current, kN, PeakSearchBoundsFor(kN), scratch);
    EXPECT_EQ(found.bin, 21);
    EXPECT_EQ(found.peak, 42);
    EXPECT_EQ(found.harmonic, 2);
    EXPECT_NEAR(RefineFundamental(current, previous, found, kN, kHop, kAnalysisRate), f0, 0.01);
    // A peak kept as found is refined where it is.
    const auto a4 = synth::HarmonicTone(440.0, 16000.0, 1.0, {0.3, 0.1});
    analyser.Fill(previous, a4, 0);
    analyser.Fill(current, a4, kHop);
    const FundamentalPeak direct = LocateFundamental(current, kN, PeakSearchBoundsFor(kN), scratch);
    EXPECT_EQ(direct.bin, direct.peak);
    EXPECT_EQ(direct.harmonic, 1);
    EXPECT_NEAR(RefineFundamental(current, previous, direct, kN, kHop, kAnalysisRate), 440.0, 0.01);
}

TEST(PeakSearchTest, SharpPeakNeedsADropOnBothSides) {
    const double m[] = {0, 10, 10, 10, 10, 10, 10, 10};
    EXPECT_FALSE(IsSharpPeak(m, 4, 3, 2.0));
    const double left[] = {10, 4.9, 10, 10, 10, 10, 10, 10};
    EXPECT_FALSE(IsSharpPeak(left, 4, 3, 2.0));  // bin 1 is out of reach
    const double both[] = {10, 4.9, 10, 10, 10, 10, 10, 4.9};
    EXPECT_TRUE(IsSharpPeak(both, 4, 3, 2.0));
    const double equal[] = {10, 5.0, 10, 10, 10, 10, 10, 5.0};
    EXPECT_FALSE(IsSharpPeak(equal, 4, 3, 2.0));  // strictly below
}

TEST(RefineTest, IdenticalSpectraGiveTheBinCentreForWholeCyclesPerHop) {
    LSpectrum s(kN);
    for (uint32_t k = 0; k < kN; ++k) {
        s.Real()[k] = std::cos(0.37 * k);
        s.Imaginary()[k] = std::sin(0.37 * k);
    }
    for (uint32_t k : {16u, 32u, 224u, 1600u}) {
        EXPECT_NEAR(RefineFrequency(s, s, k, kN, kHop, kAnalysisRate), k * kBinHz, 1e-9) << k;
    }
    // Otherwise the wrapped phase deficit moves it: bin 225 is 0.0625 cycles short per hop.
    EXPECT_NEAR(RefineFrequency(s, s, 225, kN, kHop, kAnalysisRate), 225 * kBinHz - 0.0625 / 0.032,
                1e-6);
}

TEST(RefineTest, PhaseAdvanceFindsTheFrequencyWithinTheBin) {
    const FrameAnalyser analyser;
    for (double f : {440.0, 439.3, 82.4069, 1234.56, 225.5 * kBinHz}) {
        const auto signal = synth::HarmonicTone(f, 16000.0, 1.0, {0.3, 0.1});
        LSpectrum previous(kN), current(kN);
        analyser.Fill(previous, signal, 0);
        analyser.Fill(current, signal, kHop);
        const auto k = static_cast<uint32_t>(std::lround(f / kBinHz));
        EXPECT_NEAR(RefineFrequency(current, previous, k, kN, kHop, kAnalysisRate), f, 0.01) << f;
    }
    // A zero previous spectrum reads as phase 0.
    LSpectrum zeros(kN), s(kN);
    s.Real()[100] = 0.0;
    s.Imaginary()[100] = 1.0;  // phase pi/2
    const double expected =
        100 * kBinHz +
        (kPi / 2 - std::remainder(kTwoPi * 100 * kBinHz * 0.032, kTwoPi)) / (kTwoPi * 0.032);
    EXPECT_NEAR(RefineFrequency(s, zeros, 100, kN, kHop, kAnalysisRate), expected, 1e-6);
}

TEST(StabilityFilterTest, AverageIsTheSinglePrecisionFifth) {
    StabilityFilter f;
    f.history.fill(440.0);
    EXPECT_DOUBLE_EQ(f.Average(), 440.0000065565109);
    f.SmoothFrequency(441.0);  // 441.0 <= 441.0000065565109
    EXPECT_EQ(f.history[0], 441.0);
    EXPECT_EQ(f.index, 1);
    f.SmoothFrequency(438.99);
    EXPECT_EQ(f.candidateCount, 1);
    EXPECT_EQ(f.index, 1);
}

TEST(StabilityFilterTest, SixConsistentEstimatesReplaceTheHistory) {
    StabilityFilter f;
    const double estimates[] = {440.0, 440.2, 439.9, 440.1, 440.0, 440.3};
    for (int i = 0; i < 5; ++i) {
        f.SmoothFrequency(estimates[i]);
        EXPECT_EQ(f.candidateCount, i + 1);
        EXPECT_EQ(f.history[0], 0.0);
    }
    f.SmoothFrequency(estimates[5]);
    for (double h : f.history) EXPECT_DOUBLE_EQ(h, 440.0833333333333);
    EXPECT_EQ(f.candidateCount, 0);
    EXPECT_EQ(f.index, 0);

    // From then on estimates near the average enter one by one, oldest slot first.
    f.SmoothFrequency(440.5);
    EXPECT_EQ(f.history[0], 440.5);
    EXPECT_EQ(f.index, 1);
    for (int i = 0; i < 4; ++i) f.SmoothFrequency(440.1);
    EXPECT_EQ(f.index, 0);  // wrapped after slot 4
}

TEST(StabilityFilterTest, CandidateGroups) {
    StabilityFilter f;
    f.history.fill(100.0);
    // The group bound is exclusive: 301.0 against a group mean of 300.0 restarts the group.
    f.SmoothFrequency(300.0);
    f.SmoothFrequency(301.0);
    EXPECT_EQ(f.candidateCount, 1);
    EXPECT_EQ(f.candidateSum, 301.0);
    f.SmoothFrequency(300.5);
    EXPECT_EQ(f.candidateCount, 2);
    // An estimate accepted into the history clears the half-built group.
    f.SmoothFrequency(100.5);
    EXPECT_EQ(f.candidateCount, 0);
    EXPECT_EQ(f.candidateSum, 0.0);
    // Alternating strays never replace the history.
    for (int i = 0; i < 20; ++i) f.SmoothFrequency(i % 2 ? 200.0 : 300.0);
    EXPECT_NEAR(f.Average(), 100.1, 1e-3);
}

}  // namespace
}  // namespace tw
