// The measuring helpers must be right before the tests that rely on them mean anything.
#include <gtest/gtest.h>

#include <cmath>

#include "common/measure.h"
#include "synth/synth.h"

namespace tw::test {
namespace {

TEST(MeasureTest, CentsOfKnownRatios) {
    struct Case {
        double measured, truth, cents;
    };
    const Case cases[] = {
        {880.0, 440.0, 1200.0},
        {440.0, 880.0, -1200.0},
        {440.0, 440.0, 0.0},
        {466.1637615, 440.0, 100.0},
        {synth::DetuneCents(82.41, 3.5), 82.41, 3.5},
    };
    for (const auto& c : cases)
        EXPECT_NEAR(Cents(c.measured, c.truth), c.cents, 1e-6) << c.measured;
}

TEST(MeasureTest, SnrOfKnownNoise) {
    // A unit sine has power 1/2; uniform noise of amplitude a has power a^2 / 3.
    const auto sine = synth::HarmonicTone(440.0, 16000.0, 2.0, {1.0});
    auto noisy = sine;
    synth::Mix(noisy, synth::Noise(16000.0, 2.0, 0.01, 7));
    const double expected = 10.0 * std::log10(0.5 / (0.01 * 0.01 / 3.0));
    EXPECT_NEAR(SnrDb(sine, noisy), expected, 0.2);
    EXPECT_TRUE(std::isinf(SnrDb(sine, sine)));
}

TEST(MeasureTest, SettledFrequencyIsTheMedianAfterTheStart) {
    const std::vector<Publication> pubs = {
        {0.1, 100.0f}, {0.5, 440.0f}, {0.6, 441.0f}, {0.7, 1000.0f}};
    EXPECT_DOUBLE_EQ(SettledFrequency(pubs, 0.5), 441.0);
    EXPECT_DOUBLE_EQ(SettledFrequency(pubs, 2.0), 0.0);
}

TEST(MeasureTest, SynthesizedToneHasItsPitchAndLevel) {
    // The tests' own signals: a tone's zero crossings come at its frequency, and the
    // internal conversion puts full scale at 2^19.
    const auto tone = synth::HarmonicTone(100.0, 16000.0, 1.0, {0.5});
    int crossings = 0;
    for (size_t i = 1; i < tone.size(); ++i) crossings += (tone[i - 1] < 0) != (tone[i] < 0);
    EXPECT_NEAR(crossings, 200, 1);
    const auto internal = synth::ToInternalSamples({1.0, -1.0, 0.5});
    EXPECT_EQ(internal[0], 524287);
    EXPECT_EQ(internal[1], -524288);
    EXPECT_EQ(internal[2], 262144);
}

}  // namespace
}  // namespace tw::test
