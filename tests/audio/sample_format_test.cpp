#include "audio/sample_format.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

namespace tw {
namespace {

TEST(SampleFormatTest, DeviceConversionRoundsToNearest) {
    struct Case {
        int32_t device, internal;
    };
    const Case cases[] = {{2047, 0},         {2048, 1}, {-2048, 0},          {-2049, -1},
                          {4095, 1},         {0, 0},    {INT32_MAX, 524288}, {INT32_MIN, -524288},
                          {1 << 30, 1 << 18}};
    for (const auto& c : cases) {
        Sample out = 12345;
        FromDeviceSamples(&out, &c.device, 1);
        EXPECT_EQ(out, c.internal) << c.device;
    }
}

TEST(SampleFormatTest, InternalSamplesSurviveTheDeviceRoundTrip) {
    std::mt19937 rng(3);
    std::uniform_int_distribution<int32_t> dist(-kInternalFullScale, kInternalFullScale - 1);
    std::vector<Sample> in(1000), back(1000);
    std::vector<int32_t> device(1000);
    for (auto& s : in) s = dist(rng);
    ToDeviceSamples(device.data(), in.data(), 1000);
    FromDeviceSamples(back.data(), device.data(), 1000);
    EXPECT_EQ(in, back);
    EXPECT_EQ(device[0], in[0] * 4096);
}

TEST(SampleFormatTest, GainsInFixedPoint) {
    std::vector<Sample> s = {1000, -1000, 524287, -3};
    ApplyGainQ9(256, s.data(), 4);  // x 0.5
    EXPECT_EQ(s, (std::vector<Sample>{500, -500, 262143, -2}));

    // MulQ24 drops the low x low term and truncates twice: within 3 of the exact product.
    const int32_t gains[] = {kUnityQ24, kUnityQ24 / 2, 3 * kUnityQ24 / 4, 12345678, 0};
    const int32_t samples[] = {524287, -524288, 1, -1, 4095, 300000};
    for (int32_t g : gains) {
        for (int32_t x : samples) {
            const double exact = static_cast<double>(g) * x / 16777216.0;
            EXPECT_NEAR(MulQ24(g, x), exact, 3.0) << g << " " << x;
        }
    }
    EXPECT_EQ(MulQ24(kUnityQ24, 524287), 524287);
}

TEST(SampleFormatTest, DecibelTables) {
    EXPECT_EQ(AmplitudeOfDb(0), 16777216);
    EXPECT_EQ(AmplitudeOfDb(20), 167772160);
    EXPECT_EQ(AmplitudeOfDb(-127), 0);
    EXPECT_EQ(AmplitudeOfDb(-128), 0);
    EXPECT_EQ(AmplitudeOfDb(127), 2147483647);  // capped
    EXPECT_EQ(PowerOfDb(10), 167772160);
    EXPECT_EQ(PowerOfDb(-127), 0);
    EXPECT_EQ(GainQ9OfDb(0), 512);
    EXPECT_EQ(GainQ9OfDb(-127), 0);
    EXPECT_EQ(GainQ9OfDb(-6), 256);  // 0.501 x 512 = 256.6, truncated by the shift
    // Monotonic over the whole range.
    for (int d = -126; d < 127; ++d) EXPECT_LE(AmplitudeOfDb(d), AmplitudeOfDb(d + 1)) << d;
}

TEST(SampleFormatTest, MeanSquareAndItsDecibels) {
    const std::vector<Sample> zeros(512, 0);
    EXPECT_EQ(MeanSquare(zeros.data(), 512, 1, 0), 0);
    EXPECT_EQ(MeanSquareDb(zeros.data(), 512, 1, 0), kSilenceDb);

    const std::vector<Sample> full(512, 524287);
    EXPECT_EQ(MeanSquare(full.data(), 512, 1, 0), 268402688);
    EXPECT_EQ(MeanSquareDb(full.data(), 512, 1, 0), 15);
    EXPECT_EQ(MeanSquare(full.data(), 0, 1, 0), 0);

    // Interleaved stereo: each channel measured on its own.
    std::vector<Sample> stereo;
    for (int i = 0; i < 256; ++i) {
        stereo.push_back(524287);
        stereo.push_back(0);
    }
    EXPECT_EQ(MeanSquareDb(stereo.data(), 256, 2, 0), 15);
    EXPECT_EQ(MeanSquareDb(stereo.data(), 256, 2, 1), kSilenceDb);

    // A sine's mean square is half its peak squared: 6 dB less than a square wave of that peak.
    std::vector<Sample> sine(16000);
    for (int i = 0; i < 16000; ++i) sine[i] = static_cast<Sample>(524287 * std::sin(i * 0.0392699));
    EXPECT_EQ(MeanSquareDb(sine.data(), 16000, 1, 0), 12);
}

TEST(SampleFormatTest, AmplitudeToDbAndRounding) {
    struct Case {
        double x;
        int db;
    };
    const Case cases[] = {{1.0, 0},    {10.0, 20}, {1e-9, -127},   {0.0, -127},   {-1.0, -127},
                          {1e10, 127}, {0.5, -6},  {1.0592537, 0}, {1.0592538, 1}};
    for (const auto& c : cases) EXPECT_EQ(AmplitudeToDb(c.x), c.db) << c.x;
    EXPECT_EQ(RoundHalfAway(2.5), 3.0);
    EXPECT_EQ(RoundHalfAway(-2.5), -3.0);
    EXPECT_EQ(RoundHalfAway(-2.4), -2.0);
}

TEST(SampleFormatTest, MillisecondsToFramesAndPeaks) {
    EXPECT_EQ(MsToFrames(1500, 44100), 66150);
    EXPECT_EQ(MsToFrames(1, 44100), 44);
    EXPECT_EQ(MsToFrames(216000000, 48000), 10368000000LL);  // no 32-bit overflow
    const Sample block[] = {3, -7, 5};
    EXPECT_EQ(PeakOf(block, 3), 7);
    EXPECT_EQ(PeakOf(block, 0), 0);
}

TEST(SampleFormatTest, BlockPeakLevelAgainstTwoToTheSeventeenth) {
    struct Case {
        Sample peak;
        int db;
    };
    // 2^17 reads 0 dB; rounding goes away from zero.
    const Case cases[] = {{0, -127}, {131072, 0}, {262144, 6},  {524287, 12}, {65536, -6},
                          {1, -102}, {131071, 0}, {116000, -1}, {13107, -20}};
    for (const auto& c : cases) {
        const Sample block[] = {0, c.peak, -c.peak / 2};
        EXPECT_EQ(BlockPeakDb(block, 3), c.db) << c.peak;
    }
    const Sample negative[] = {-262144, 100};
    EXPECT_EQ(BlockPeakDb(negative, 2), 6);
}

}  // namespace
}  // namespace tw
