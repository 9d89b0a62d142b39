// The pitch analyser on virtual devices: device and channel resolution, pause, restart, and a
// live estimate of a known tone.
#include <gtest/gtest.h>

#include <cmath>

#include "analysis/pitch_analyzer.h"
#include "audio/virtual_devices.h"

namespace tw {
namespace {

using Kind = hal::VirtualSignal::Kind;

hal::VirtualDeviceSpec Harmonic(const std::string& name, std::vector<int> buffers, double hz) {
    auto spec = test::Input(name, 44100, std::move(buffers), Kind::kHarmonic);
    spec.signal.hz = hz;
    return spec;
}

TEST(PitchAnalyzerTest, LiveToneIsPublishedThroughTheConverter) {
    test::UseVirtualDevices({Harmonic("Mic", {1}, 196.0)});
    LPitchAnalyzer analyzer;
    analyzer.StartAnalysis("Mic", "None");
    ASSERT_TRUE(analyzer.IsCapturing());
    ASSERT_TRUE(test::WaitFor([&] { return analyzer.PublishedTime() != 0; }, 3000));
    test::WaitFor([] { return false; }, 300);
    EXPECT_NEAR(1200.0 * std::log2(analyzer.PublishedFrequency() / 196.0), 0.0, 1.0);
    EXPECT_TRUE(IsFresh(NowMilliseconds(), analyzer.PublishedTime()));
    analyzer.PauseAnalysis();
    analyzer.StopAnalysis();
    EXPECT_FALSE(analyzer.IsCapturing());
}

TEST(PitchAnalyzerTest, NamesResolveToDeviceAndChannel) {
    struct Case {
        const char* device;
        const char* channel;
        DeviceSelection expected;
    };
    const Case cases[] = {
        // Names that match no device open the system's default input ("Default", listed
        // after the raw cards), entry 0.
        {"[Default Sound In]", "None", {2, 0, false}},
        {"", "None", {2, 0, false}},
        {"Unplugged USB", "None", {2, 0, false}},
        {"Interface", "None", {1, 0, false}},
        // Entry 2 of "Channel 4, Channel 3, Channel 2, Channel 1", by name in another case.
        {"Interface", "cHANNEL 2", {1, 2, false}},
        {"Interface", "Channel 1", {1, 3, false}},
        {"interface", "Channel 1", {2, 0, false}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.device) + " / " + c.channel);
        auto server = Harmonic("Default", {1}, 110.0);
        server.defaultInput = true;
        test::UseVirtualDevices({test::Output("Speakers", 2), Harmonic("Mic", {1}, 110.0),
                                 Harmonic("Interface", {4}, 110.0), server});
        LPitchAnalyzer analyzer;
        analyzer.StartAnalysis(c.device, c.channel);
        EXPECT_TRUE(analyzer.IsCapturing());
        EXPECT_EQ(analyzer.InputSelection(), c.expected);
        analyzer.StopAnalysis();
    }
}

// Without a default input device the first one is opened.
TEST(PitchAnalyzerTest, WithoutADefaultTheFirstInputIsOpened) {
    test::UseVirtualDevices({test::Output("Speakers", 2), Harmonic("Mic", {1}, 110.0),
                             Harmonic("Interface", {4}, 110.0)});
    hal::Virtual().SetNoDefaultInput(true);
    LPitchAnalyzer analyzer;
    analyzer.StartAnalysis("[Default Sound In]", "None");
    EXPECT_TRUE(analyzer.IsCapturing());
    EXPECT_EQ(analyzer.InputSelection(), (DeviceSelection{0, 0, false}));
    analyzer.StopAnalysis();
}

TEST(PitchAnalyzerTest, PauseDropsBlocksUntilTheNextStart) {
    test::UseVirtualDevices({Harmonic("Mic", {1}, 220.0)});
    LPitchAnalyzer analyzer;
    analyzer.StartAnalysis("Mic", "None");
    ASSERT_TRUE(test::WaitFor([&] { return analyzer.PublishedTime() != 0; }, 3000));
    analyzer.PauseAnalysis();
    // Let a block that was on its way land, then nothing more may be published.
    test::WaitFor([] { return false; }, 250);
    const uint32_t stamp = analyzer.PublishedTime();
    test::WaitFor([] { return false; }, 500);
    EXPECT_EQ(analyzer.PublishedTime(), stamp);
    EXPECT_TRUE(analyzer.IsCapturing());

    // Starting while capturing only clears the pause: the same capture goes on.
    const LSoundSink* sink = analyzer.CurrentSink();
    analyzer.StartAnalysis("Mic", "None");
    EXPECT_EQ(analyzer.CurrentSink(), sink);
    ASSERT_TRUE(test::WaitFor([&] { return analyzer.PublishedTime() != stamp; }, 2000));

    // Stop keeps the published values; a restart opens the device again.
    analyzer.StopAnalysis();
    const float frequency = analyzer.PublishedFrequency();
    EXPECT_GT(frequency, 0.0f);
    test::WaitFor([] { return false; }, 200);
    EXPECT_EQ(analyzer.PublishedFrequency(), frequency);
    analyzer.StartAnalysis("Mic", "None");
    EXPECT_TRUE(analyzer.IsCapturing());
    // Nothing was reset: the value stands (or has been refreshed by the same tone) at once,
    // where a reset core would read 0 until seven frames had passed.
    EXPECT_NEAR(analyzer.PublishedFrequency(), frequency, 0.05f);
}

TEST(PitchAnalyzerTest, NoInputDeviceMeansNoCapture) {
    test::UseVirtualDevices({test::Output("Speakers", 2)});
    LPitchAnalyzer analyzer;
    analyzer.StartAnalysis("[Default Sound In]", "None");
    EXPECT_FALSE(analyzer.IsCapturing());
    EXPECT_EQ(analyzer.PublishedTime(), 0u);
}

}  // namespace
}  // namespace tw
