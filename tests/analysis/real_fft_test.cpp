#include "analysis/real_fft.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <vector>

namespace tw {
namespace {

// The packed half-size transform gives the full complex transform's spectrum, both halves,
// on random frames, a frame of one value and a frame with only its last sample set.
TEST(RealFftTest, MatchesTheFullComplexTransform) {
    std::mt19937 rng(5);
    std::uniform_int_distribution<int32_t> dist(-524288, 524287);
    for (uint32_t order : {2u, 3u, 6u, 13u}) {
        const uint32_t n = 1u << order;
        const LFFT full(order);
        const LRealFFT real(order);
        const LHammingWindow window(n);
        std::vector<std::vector<int32_t>> frames(3, std::vector<int32_t>(n, 0));
        for (auto& v : frames[0]) v = dist(rng);
        std::fill(frames[1].begin(), frames[1].end(), 1000);
        frames[2][n - 1] = 1 << 19;
        for (const auto& frame : frames) {
            LSpectrum expected(n), actual(n);
            ApplyWindow(expected, frame.data(), n, window);
            Transform(full, expected);
            real.Transform(frame.data(), window, actual);
            double largest = 0.0;
            for (uint32_t k = 0; k < n; ++k) largest = std::max(largest, Magnitude(expected, k));
            for (uint32_t k = 0; k < n; ++k) {
                EXPECT_NEAR(actual.Real()[k], expected.Real()[k], 1e-12 * largest + 1e-12)
                    << "order " << order << " bin " << k;
                EXPECT_NEAR(actual.Imaginary()[k], expected.Imaginary()[k], 1e-12 * largest + 1e-12)
                    << "order " << order << " bin " << k;
            }
        }
    }
}

}  // namespace
}  // namespace tw
