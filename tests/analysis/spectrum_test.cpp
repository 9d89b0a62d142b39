#include "analysis/spectrum.h"

#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <random>
#include <vector>

namespace tw {
namespace {

constexpr uint32_t kOrder = 13;
constexpr uint32_t kN = 1u << kOrder;

TEST(SpectrumTest, PeriodicHammingWindow) {
    const LHammingWindow w(kN);
    EXPECT_DOUBLE_EQ(w.Weights()[0], 0.08);
    EXPECT_DOUBLE_EQ(w.Weights()[kN / 2], 1.0);
    double sum = 0.0;
    for (uint32_t i = 0; i < kN; ++i) sum += w.Weights()[i];
    EXPECT_NEAR(sum, 0.54 * kN, 1e-9);
    for (uint32_t i = 1; i < kN / 2; ++i)
        EXPECT_NEAR(w.Weights()[i], w.Weights()[kN - i], 1e-12) << i;
}

TEST(SpectrumTest, BitReversalTable) {
    const LFFT fft(kOrder);
    EXPECT_EQ(fft.Size(), kN);
    EXPECT_EQ(fft.BitReversal()[0], 0);
    EXPECT_EQ(fft.BitReversal()[1], 4096);
    EXPECT_EQ(fft.BitReversal()[2], 2048);
    EXPECT_EQ(fft.BitReversal()[kN - 1], static_cast<int32_t>(kN - 1));
}

// The transform must equal the scaled forward DFT with the negative exponent, checked against
// a direct O(N^2) sum on random input for several orders.
TEST(SpectrumTest, TransformMatchesDirectDft) {
    std::mt19937 rng(11);
    std::uniform_int_distribution<int32_t> dist(-500000, 500000);
    for (uint32_t order : {1u, 2u, 5u, 8u}) {
        const uint32_t n = 1u << order;
        const LFFT fft(order);
        const LHammingWindow window(n);
        LSpectrum s(n);
        std::vector<int32_t> x(n);
        for (auto& v : x) v = dist(rng);
        ApplyWindow(s, x.data(), n, window);
        std::vector<double> windowed(s.Real(), s.Real() + n);
        Transform(fft, s);
        for (uint32_t k = 0; k < n; ++k) {
            std::complex<double> sum = 0.0;
            for (uint32_t t = 0; t < n; ++t)
                sum += windowed[t] * std::polar(1.0, -kTwoPi * k * t / n);
            sum /= n;
            EXPECT_NEAR(s.Real()[k], sum.real(), 1e-6) << "order " << order << " bin " << k;
            EXPECT_NEAR(s.Imaginary()[k], sum.imag(), 1e-6) << "order " << order << " bin " << k;
        }
    }
}

TEST(SpectrumTest, SpecialFrames) {
    const LFFT fft(kOrder);
    const LHammingWindow window(kN);
    LSpectrum s(kN);
    std::vector<int32_t> frame(kN, 0);

    // Zeros: an all-zero spectrum.
    ApplyWindow(s, frame.data(), kN, window);
    Transform(fft, s);
    for (uint32_t k = 0; k < kN; ++k) ASSERT_EQ(Magnitude(s, k), 0.0) << k;

    // Constant V: bin 0 holds 0.54 V, the rest nearly nothing.
    std::fill(frame.begin(), frame.end(), 1000);
    ApplyWindow(s, frame.data(), kN, window);
    Transform(fft, s);
    EXPECT_NEAR(s.Real()[0], 540.0, 1e-9);
    EXPECT_NEAR(s.Imaginary()[0], 0.0, 1e-12);
    EXPECT_NEAR(Magnitude(s, 1), 230.0, 1e-9);  // the window's own first bin: 0.46 / 2
    for (uint32_t k = 2; k < kN - 1; ++k) ASSERT_LT(Magnitude(s, k), 1e-7) << k;

    // An impulse at index 0 (weight 0.08): every bin is 0.08 / N.
    std::fill(frame.begin(), frame.end(), 0);
    frame[0] = 1;
    ApplyWindow(s, frame.data(), kN, window);
    Transform(fft, s);
    for (uint32_t k = 0; k < kN; ++k) ASSERT_NEAR(s.Real()[k], 0.08 / kN, 1e-18) << k;
}

TEST(SpectrumTest, RealSinusoidMirrorsAndPeaksAtItsBin) {
    const LFFT fft(kOrder);
    const LHammingWindow window(kN);
    LSpectrum s(kN);
    std::vector<int32_t> frame(kN);
    const double amplitude = 100000.0;
    for (uint32_t i = 0; i < kN; ++i)
        frame[i] = static_cast<int32_t>(amplitude * std::sin(kTwoPi * 100 * i / kN));
    ApplyWindow(s, frame.data(), kN, window);
    Transform(fft, s);
    EXPECT_NEAR(Magnitude(s, 100), Magnitude(s, kN - 100), 1e-6);
    EXPECT_NEAR(Magnitude(s, 100), 0.27 * amplitude, 0.001 * amplitude);
    // Opposite phases in the mirror bin.
    EXPECT_NEAR(s.Imaginary()[100], -s.Imaginary()[kN - 100], 1e-6);
}

}  // namespace
}  // namespace tw
