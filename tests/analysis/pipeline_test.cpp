#include "analysis/pipeline.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "common/measure.h"
#include "synth/synth.h"

namespace tw {
namespace {

std::vector<int32_t> Tone(double f0, double seconds, std::vector<double> harmonics) {
    return synth::ToInternalSamples(synth::HarmonicTone(f0, 16000.0, seconds, harmonics));
}

TEST(SampleRingTest, HoldsOneSlotLessThanItsCapacity) {
    SampleRing ring(8);
    EXPECT_EQ(ring.Free(), 7u);
    const int32_t in[7] = {1, 2, 3, 4, 5, 6, 7};
    ring.Write(in, 5);
    int32_t out[7] = {};
    ring.Read(out, 3);
    ring.Write(in, 5);  // wraps
    EXPECT_EQ(ring.Held(), 7u);
    EXPECT_EQ(ring.Free(), 0u);
    ring.Read(out, 7);
    const int32_t expected[7] = {4, 5, 1, 2, 3, 4, 5};
    for (int i = 0; i < 7; ++i) EXPECT_EQ(out[i], expected[i]) << i;
}

TEST(AnalysisCoreTest, FramingOfBlocks) {
    struct Case {
        uint32_t block;
        uint32_t held;      // samples left in the ring
        uint64_t frameEnd;  // end of the last frame taken
    };
    // 20000 samples: 16000 stored, frames at 0, 512, ..., 7680 (16 frames), 7808 left.
    const Case cases[] = {{20000, 7808, 7680 + 8192}, {8192, 7680, 8192}, {8191, 8191, 0}};
    for (const auto& c : cases) {
        ManualClock clock;
        AnalysisCore core(&clock);
        const std::vector<int32_t> block(c.block, 1000);
        core.ProcessBlock(block.data(), c.block);
        EXPECT_EQ(core.Ring().Held(), c.held) << c.block;
        EXPECT_EQ(core.FrameEndSample(), c.frameEnd) << c.block;
    }
}

TEST(AnalysisCoreTest, PausedCoreIgnoresBlocks) {
    ManualClock clock;
    AnalysisCore core(&clock);
    core.SetPaused(true);
    const std::vector<int32_t> block(4000, 1000);
    core.ProcessBlock(block.data(), 4000);
    EXPECT_EQ(core.Ring().Held(), 0u);
    core.SetPaused(false);
    core.ProcessBlock(block.data(), 4000);
    EXPECT_EQ(core.Ring().Held(), 4000u);
}

TEST(LevelMeterTest, FloorIsTheLowestFiveBlockAverage) {
    LevelMeter meter;
    EXPECT_EQ(meter.Floor(), 0);
    // A loud first block leaves the floor at 0 dB.
    meter.Update(6);
    EXPECT_EQ(meter.Floor(), 0);
    EXPECT_EQ(meter.Average(), 6);
    // Averages truncate toward zero: (6 - 20) / 2 = -7.
    meter.Update(-20);
    EXPECT_EQ(meter.Average(), -7);
    EXPECT_EQ(meter.Floor(), -7);
    // Only five levels are held.
    for (int i = 0; i < 5; ++i) meter.Update(-127);
    EXPECT_EQ(meter.Held(), 5);
    EXPECT_EQ(meter.Average(), -127);
    EXPECT_EQ(meter.Floor(), -127);
    // The floor never rises.
    for (int i = 0; i < 10; ++i) meter.Update(10);
    EXPECT_EQ(meter.Floor(), -127);
}

TEST(AnalysisCoreTest, SilenceIsLevelMinus127AndPublishesNothing) {
    const std::vector<int32_t> silence(16000 * 2, 0);
    ManualClock clock;
    AnalysisCore core(&clock);
    for (size_t at = 0; at < silence.size(); at += 1600)
        core.ProcessBlock(silence.data() + at, 1600);
    EXPECT_EQ(core.Meter().Floor(), -127);
    EXPECT_EQ(core.PublishedTime(), 0u);
    EXPECT_EQ(core.PublishedFrequency(), 0.0f);
}

TEST(AnalysisCoreTest, PublishesAfterTheHistoryIsReplaced) {
    // Blocks of one hop: each block yields exactly one frame once the ring is primed.
    const auto tone = Tone(440.0, 2.0, {0.3, 0.1, 0.05});
    const auto pubs = test::AnalyseAt16k(tone, kHop);
    ASSERT_FALSE(pubs.empty());
    // The first analysed frame refines against a zeroed spectrum, so six consistent estimates
    // need seven frames: the seventh ends at 8192 + 6 x 512 samples.
    EXPECT_DOUBLE_EQ(pubs.front().seconds, (8192 + 6 * 512) / 16000.0);
    for (const auto& p : pubs) EXPECT_NEAR(test::Cents(p.frequency, 440.0), 0.0, 0.05) << p.seconds;
    // One publication per frame from then on.
    EXPECT_EQ(pubs.size(), (tone.size() - 8192) / kHop + 1 - 6);
}

TEST(AnalysisCoreTest, QuieterThanTheFloorIsGatedOut) {
    // A loud tone (+4 dB) then, 20 dB lower, another one. The quiet blocks lie under the
    // 5-block averages until four of them have been averaged in; their frames, still mostly the
    // loud tone, must not be analysed, so nothing is published while they arrive.
    auto signal = Tone(220.0, 1.5, {0.3, 0.1});
    const auto quiet = Tone(330.0, 1.5, {0.03, 0.01});
    signal.insert(signal.end(), quiet.begin(), quiet.end());
    const auto pubs = test::AnalyseAt16k(signal, 1600);
    int beforeSwitch = 0, whileGated = 0, quietTone = 0;
    for (const auto& p : pubs) {
        if (p.seconds > 1.45 && p.seconds <= 1.5) ++beforeSwitch;
        if (p.seconds > 1.5 && p.seconds <= 1.9) ++whileGated;
        if (std::abs(p.frequency - 330.0f) < 0.1f) ++quietTone;
    }
    EXPECT_GT(beforeSwitch, 0);
    EXPECT_EQ(whileGated, 0);
    EXPECT_GT(quietTone, 0);  // once the floor has followed it down, the quiet tone is read
}

TEST(AnalysisCoreTest, StalenessLimit) {
    struct Case {
        uint32_t now, published;
        bool fresh;
    };
    const Case cases[] = {{5000, 3000, true},
                          {5001, 3000, false},
                          {3000, 3000, true},
                          {999, 0xFFFFFFFFu - 999, true},  // across the 32-bit wrap
                          {1001, 0xFFFFFFFFu - 999, false}};
    for (const auto& c : cases) EXPECT_EQ(IsFresh(c.now, c.published), c.fresh) << c.now;
}

TEST(AnalysisCoreTest, StampsComeFromTheClock) {
    ManualClock clock(123456);
    AnalysisCore core(&clock);
    const auto tone = Tone(330.0, 1.5, {0.3, 0.1});
    core.ProcessBlock(tone.data(), 16000);
    core.ProcessBlock(tone.data() + 16000, 8000);
    EXPECT_EQ(core.PublishedTime(), 123456u);
    EXPECT_NEAR(core.PublishedFrequency(), 330.0f, 0.05f);
}

}  // namespace
}  // namespace tw
