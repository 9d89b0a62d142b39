// The mean instantaneous frequency of a band of one frame's spectrum: a vibrato's centre,
// measured in cents, whatever the level does over the swing.
#include "analysis/vibrato_centre.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "analysis/real_fft.h"

namespace tw {
namespace {

constexpr uint32_t kOrder = 13;
constexpr uint32_t kSize = 1u << kOrder;
constexpr double kRate = 16000.0;
constexpr double kBinHz = kRate / kSize;
constexpr double kTwoPiHere = 6.283185307179586;
constexpr double kFullScale = 1 << 20;

double BinOf(double hz) {
    return hz / kBinHz;
}

double CentsBetween(double bin, double hz) {
    return 1200.0 * std::log2(bin * kBinHz / hz);
}

struct Swing {
    double f0;
    double rateHz;
    double cents;    // the frequency swings by this much either side of f0
    double levelDb;  // the level falls by this much from the flattest to the sharpest point
    double phase;    // of the swing at the frame's start, radians
};

// One frame of a sine whose frequency and level swing together; silent before `start` (a share
// of the frame).
std::vector<int32_t> SwingFrame(const Swing& s, double start = 0.0) {
    std::vector<int32_t> frame(kSize, 0);
    const double depth = std::pow(2.0, s.cents / 1200.0) - 1.0;
    double cycles = 0.0;
    for (uint32_t i = 0; i < kSize; ++i) {
        const double swing = std::sin(kTwoPiHere * s.rateHz * i / kRate + s.phase);
        const double gain = std::pow(10.0, -s.levelDb * (1.0 + swing) / 40.0);
        if (i >= start * kSize)
            frame[i] =
                static_cast<int32_t>(0.3 * kFullScale * gain * std::sin(kTwoPiHere * cycles));
        cycles += s.f0 * (1.0 + depth * swing) / kRate;
    }
    return frame;
}

LSpectrum SpectrumOf(const std::vector<int32_t>& frame) {
    static const LRealFFT fft(kOrder);
    static const LHammingWindow window(kSize);
    LSpectrum spectrum(kSize);
    fft.Transform(frame.data(), window, spectrum);
    return spectrum;
}

// The band that holds a swing's sidebands: the swing and two vibrato rates either side.
void BandOf(const Swing& s, int32_t& lo, int32_t& hi) {
    const double reach = s.f0 * (std::pow(2.0, s.cents / 1200.0) - 1.0) + 2.0 * s.rateHz;
    lo = static_cast<int32_t>(std::floor(BinOf(s.f0 - reach)));
    hi = static_cast<int32_t>(std::ceil(BinOf(s.f0 + reach)));
}

// The centre a reading of magnitudes gives: the band's power-weighted mean bin.
double PowerCentre(const LSpectrum& spectrum, int32_t lo, int32_t hi) {
    double weight = 0.0, moment = 0.0;
    for (int32_t k = lo; k <= hi; ++k) {
        const double p = spectrum.Real()[k] * spectrum.Real()[k] +
                         spectrum.Imaginary()[k] * spectrum.Imaginary()[k];
        weight += p;
        moment += p * k;
    }
    return moment / weight;
}

// Notes from E4 to E6, vibrato of 5 to 7 Hz and 15 or 25 cents, at several points of the swing.
// With the level falling by 6 or 10 dB towards the sharp end (or rising, with a negative
// figure), the magnitudes' centre leans several cents towards the loud end; the phases must not.
// They stay within 2 cents: a frame holds no whole number of cycles, and the quietest steps at
// its tapered ends fall under the gate (a 10 dB swing of 25 cents at 5 Hz leans 1.4 cents).
TEST(VibratoCentreTest, ReadsTheCentreOfASwingWhateverTheLevelDoes) {
    int swung = 0, leaning = 0;
    for (double f0 : {329.63, 440.0, 659.26, 880.0, 1318.51}) {
        for (double rate : {5.0, 6.0, 7.0}) {
            for (double cents : {15.0, 25.0}) {
                for (double level : {0.0, 6.0, 10.0, -6.0}) {
                    for (double phase : {0.0, 2.1}) {
                        const Swing s{f0, rate, cents, level, phase};
                        const LSpectrum spectrum = SpectrumOf(SwingFrame(s));
                        int32_t lo = 0, hi = 0;
                        BandOf(s, lo, hi);
                        const double mean = MeanInstantaneousBin(
                            spectrum.Real(), spectrum.Imaginary(), kSize, lo, hi);
                        const std::string what =
                            std::to_string(f0) + " Hz, " + std::to_string(rate) + " Hz +-" +
                            std::to_string(cents) + " c, level " + std::to_string(level) +
                            " dB, phase " + std::to_string(phase);
                        ASSERT_GT(mean, 0.0) << what;
                        EXPECT_LT(std::abs(CentsBetween(mean, f0)), 2.0)
                            << what << ": " << CentsBetween(mean, f0) << " cents";
                        const double magnitudes = CentsBetween(PowerCentre(spectrum, lo, hi), f0);
                        if (level >= 6.0) {
                            ++swung;
                            leaning += magnitudes < -3.0;
                        }
                    }
                }
            }
        }
    }
    // Every case whose level falls towards the sharp end is one the magnitudes read more than
    // 3 cents flat: otherwise this test would not tell the two ways apart.
    EXPECT_EQ(leaning, swung);
}

// A steady tone anywhere between two bins reads its own frequency.
TEST(VibratoCentreTest, SteadyToneReadsItsFrequency) {
    for (double bin : {120.0, 225.25, 337.5, 451.75, 900.1}) {
        const Swing s{bin * kBinHz, 6.0, 0.0, 0.0, 0.0};
        const LSpectrum spectrum = SpectrumOf(SwingFrame(s));
        const auto b = static_cast<int32_t>(bin);
        EXPECT_NEAR(
            MeanInstantaneousBin(spectrum.Real(), spectrum.Imaginary(), kSize, b - 4, b + 5), bin,
            0.01)
            << bin;
    }
}

// No answer where there is none to give: silence, a note that fills only part of the frame (a
// part of a swing has another mean), a band too wide or off the spectrum's edge.
TEST(VibratoCentreTest, SaysNothingWhereItCannotTell) {
    const Swing s{440.0, 6.0, 15.0, 0.0, 0.0};
    const LSpectrum silent = SpectrumOf(std::vector<int32_t>(kSize, 0));
    EXPECT_LT(MeanInstantaneousBin(silent.Real(), silent.Imaginary(), kSize, 220, 232), 0.0);

    const LSpectrum late = SpectrumOf(SwingFrame(s, 0.5));
    EXPECT_LT(MeanInstantaneousBin(late.Real(), late.Imaginary(), kSize, 220, 232), 0.0);

    const LSpectrum full = SpectrumOf(SwingFrame(s));
    const double* re = full.Real();
    EXPECT_GT(MeanInstantaneousBin(re, full.Imaginary(), kSize, 220, 232), 0.0);
    EXPECT_LT(MeanInstantaneousBin(re, full.Imaginary(), kSize, 180, 270), 0.0);
    EXPECT_LT(MeanInstantaneousBin(re, full.Imaginary(), kSize, 0, 10), 0.0);
    EXPECT_LT(MeanInstantaneousBin(re, full.Imaginary(), kSize, kSize - 4, kSize + 4), 0.0);
    EXPECT_LT(MeanInstantaneousBin(re, full.Imaginary(), kSize, 232, 220), 0.0);
}

}  // namespace
}  // namespace tw
