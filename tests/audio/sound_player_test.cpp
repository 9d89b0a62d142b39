// The playback engine on virtual output devices, whose rendered output is kept: channel maps,
// device changes, failures, the listener, saturation and the gap-free swap of the source.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <vector>

#include "audio/sound_player.h"
#include "audio/virtual_devices.h"
#include "common/measure.h"
#include "platform/audio/sound_file.h"

namespace tw {
namespace {

constexpr double kTwoPi = 6.283185307179586;

class RecordingListener final : public LSoundPlayerListener {
  public:
    void OnPlayStarted(int cookie) override { started += cookie; }
    void OnPlayStopped(int cookie) override { stopped += cookie; }
    void OnPlayPosition(int64_t frames, int) override {
        ++positions;
        lastPosition = frames;
    }
    void OnPlayLevels(const int8_t* levels, int) override {
        ++levelReports;
        level0 = levels[0];
        level1 = levels[1];
    }
    int started = 0, stopped = 0, positions = 0, levelReports = 0;
    int64_t lastPosition = 0;
    int8_t level0 = -127, level1 = -127;
};

SourceRef Tone(double hz, int8_t db = 0, int64_t ms = LToneSource::kReferenceLengthMs) {
    return SourceRef::Adopt(new LToneSource(44100, hz, LToneSource::kSine, db, ms));
}

// One channel of a device's kept output.
std::vector<int32_t> Channel(const std::vector<int32_t>& output, int channels, int channel) {
    std::vector<int32_t> out;
    for (size_t i = channel; i < output.size(); i += channels) out.push_back(output[i]);
    return out;
}

void Pause(int ms) {
    test::WaitFor([] { return false; }, ms);
}

// Leaves the audio of a failing case in the build folder.
void KeepOnFailure(const char* name, const std::vector<int32_t>& samples, int channels) {
    if (!::testing::Test::HasFailure()) return;
    const auto dir = std::filesystem::path(TW_TEST_OUTPUT_DIR) / "audio";
    std::filesystem::create_directories(dir);
    WriteSoundFile((dir / name).string(), SoundFileFormat::kWav32, 44100, channels, samples.data(),
                   static_cast<int64_t>(samples.size() / channels), nullptr);
}

TEST(SoundPlayerTest, MonoSourceIsHeardOnTheFirstTwoDeviceChannels) {
    test::UseVirtualDevices({test::Output("Speakers", 4)});
    LSoundPlayer player;
    RecordingListener listener;
    player.SetListener(&listener, 3);
    SourceRef tone = Tone(440.0);
    ASSERT_TRUE(player.Play(tone.get(), false));
    EXPECT_EQ(listener.started, 3);
    EXPECT_TRUE(player.IsPlaying());
    EXPECT_EQ(player.RingCapacityFrames(), 22050);
    EXPECT_EQ(player.DeviceFrames(), 4 * 512);
    ASSERT_TRUE(test::WaitFor([&] { return listener.levelReports >= 3; }, 3000));
    player.StopPlayback();
    EXPECT_EQ(listener.stopped, 3);
    EXPECT_FALSE(player.IsActive());
    // The meter reads the 0 dB tone as 0 dB; a mono source meters only its one channel.
    EXPECT_EQ(listener.level0, 0);
    EXPECT_EQ(listener.level1, -127);
    EXPECT_GT(listener.lastPosition, 0);

    int channels = 0;
    const auto output = hal::Virtual().TakeOutput(hal::Virtual().FindDevice("Speakers"), &channels);
    ASSERT_EQ(channels, 4);
    const auto left = Channel(output, 4, 0);
    EXPECT_EQ(left, Channel(output, 4, 1));
    EXPECT_EQ(PeakOf(Channel(output, 4, 2).data(), static_cast<int32_t>(left.size())), 0);
    EXPECT_NEAR(PeakOf(left.data(), static_cast<int32_t>(left.size())), 131070 << 12, 2 << 12);
}

TEST(SoundPlayerTest, SameDeviceSelectionTwiceLeavesTheUnitAlone) {
    test::UseVirtualDevices({test::Output("Speakers", 2), test::Output("Headphones", 2)});
    LSoundPlayer player;
    SourceRef tone = Tone(440.0);
    ASSERT_TRUE(player.Play(tone.get(), false));
    EXPECT_EQ(player.UnitOpenings(), 1);
    player.SetDevice({0, 0, 0});
    player.SetDevice({0, 0, 0});
    EXPECT_EQ(player.UnitOpenings(), 1);
    // Another device: the unit is opened again and keeps playing there.
    player.SetDevice({2, 0, 0});
    EXPECT_EQ(player.UnitOpenings(), 2);
    player.SetDevice({2, 0, 0});
    EXPECT_EQ(player.UnitOpenings(), 2);
    Pause(200);
    player.StopPlayback();
    const auto phones = hal::Virtual().Output(hal::Virtual().FindDevice("Headphones"));
    EXPECT_GT(PeakOf(phones.data(), static_cast<int32_t>(phones.size())), 0);
}

TEST(SoundPlayerTest, DeviceInUseFailsAndLeavesThePlayerIdle) {
    auto busy = test::Output("Speakers", 2);
    busy.busy = true;
    test::UseVirtualDevices({busy});
    LSoundPlayer player;
    RecordingListener listener;
    player.SetListener(&listener, 1);
    SourceRef tone = Tone(440.0);
    EXPECT_FALSE(player.Play(tone.get(), false));
    EXPECT_FALSE(player.IsActive());
    EXPECT_EQ(listener.started, 0);
    // Stopping an idle player tells nobody.
    player.StopPlayback();
    EXPECT_EQ(listener.stopped, 0);
    // The source was let go again.
    EXPECT_EQ(hal::Virtual().OpenUnits(), 0);
    SourceRef bad = SourceRef::Adopt(new LToneSource(0, 440.0, 0, 0, 1000));
    EXPECT_FALSE(player.Play(bad.get(), false));
}

TEST(SoundPlayerTest, ShortSourceFinishesAndStopsOnTheMainThread) {
    test::UseVirtualDevices({test::Output("Speakers", 2)});
    LSoundPlayer player;
    RecordingListener listener;
    player.SetListener(&listener, 1);
    SourceRef tone = Tone(440.0, 0, 300);
    ASSERT_TRUE(player.Play(tone.get(), false));
    ASSERT_TRUE(test::WaitFor([&] { return listener.stopped == 1; }, 3000));
    EXPECT_FALSE(player.IsActive());
    EXPECT_EQ(listener.lastPosition, 13230);
    const auto output = hal::Virtual().TakeOutput(hal::Virtual().FindDevice("Speakers"));
    size_t heard = 0;
    for (size_t i = 0; i < output.size(); i += 2) heard += output[i] != 0;
    EXPECT_NEAR(static_cast<double>(heard), 13230.0, 13230 * 0.01);
}

// The reference volume is the loudest at which the tone is still a clean sine, and it is loud:
// within 2 dB of full scale.
TEST(SoundPlayerTest, ReferenceToneIsALoudCleanSine) {
    test::UseVirtualDevices({test::Output("Speakers", 2)});
    LSoundPlayer player;
    player.SetVolume(LToneSource::kReferenceVolumeDb);
    SourceRef tone = Tone(440.0);
    ASSERT_TRUE(player.Play(tone.get(), false));
    Pause(300);
    player.StopPlayback();
    const auto output =
        Channel(hal::Virtual().TakeOutput(hal::Virtual().FindDevice("Speakers")), 2, 0);
    ASSERT_GT(output.size(), 8820u);
    // Fit a 440 Hz sine by least squares over whole periods and measure what is left.
    const size_t n = output.size() / 100 * 100;
    double sc = 0, ss = 0, cc = 0, xs = 0, xc = 0;
    for (size_t i = 0; i < n; ++i) {
        const double x = output[i] / 2147483648.0;
        const double sn = std::sin(kTwoPi * 440.0 * i / 44100.0);
        const double cs = std::cos(kTwoPi * 440.0 * i / 44100.0);
        ss += sn * sn, cc += cs * cs, sc += sn * cs, xs += x * sn, xc += x * cs;
    }
    const double det = ss * cc - sc * sc;
    const double a = (xs * cc - xc * sc) / det;
    const double b = (xc * ss - xs * sc) / det;
    std::vector<double> fit(n), actual(n);
    for (size_t i = 0; i < n; ++i) {
        fit[i] =
            a * std::sin(kTwoPi * 440.0 * i / 44100.0) + b * std::cos(kTwoPi * 440.0 * i / 44100.0);
        actual[i] = output[i] / 2147483648.0;
    }
    EXPECT_GT(test::SnrDb(fit, actual), 60.0);
    EXPECT_GT(std::hypot(a, b), 0.79);  // -2 dB
    KeepOnFailure("reference-tone.wav", output, 1);
}

TEST(SoundPlayerTest, LoudVolumeSaturatesInsteadOfWrapping) {
    test::UseVirtualDevices({test::Output("Speakers", 2)});
    LSoundPlayer player;
    player.SetVolume(20);
    SourceRef tone = Tone(440.0);
    ASSERT_TRUE(player.Play(tone.get(), false));
    Pause(200);
    player.StopPlayback();
    const auto output =
        Channel(hal::Virtual().TakeOutput(hal::Virtual().FindDevice("Speakers")), 2, 0);
    ASSERT_GT(output.size(), 4410u);
    // A wrapped sample would flip sign between neighbours at full scale.
    int flips = 0;
    for (size_t i = 1; i < output.size(); ++i) {
        flips += std::abs(static_cast<int64_t>(output[i]) - output[i - 1]) > (int64_t{1} << 31);
    }
    EXPECT_EQ(flips, 0);
    EXPECT_EQ(*std::max_element(output.begin(), output.end()), (kInternalFullScale - 1) << 12);
    EXPECT_EQ(*std::min_element(output.begin(), output.end()), -kInternalFullScale * 4096);
}

TEST(SoundPlayerTest, ReplaceSourceAndResyncCrossfadeWithoutAGap) {
    test::UseVirtualDevices({test::Output("Speakers", 2)});
    LSoundPlayer player;
    SourceRef first = Tone(440.0);
    ASSERT_TRUE(player.Play(first.get(), false));
    Pause(400);
    SourceRef second = Tone(523.25);
    player.LockFeeder();
    player.ReplaceSource(second.get());
    const int64_t discarded = player.Resync(true);
    player.UnlockFeeder();
    Pause(600);
    player.StopPlayback();
    // Most of the queued half second was dropped for the new tone.
    EXPECT_GT(discarded, 4410);

    const auto output =
        Channel(hal::Virtual().TakeOutput(hal::Virtual().FindDevice("Speakers")), 2, 0);
    auto firstSound = std::find_if(output.begin(), output.end(), [](int32_t s) { return s != 0; });
    auto lastSound = std::find_if(output.rbegin(), output.rend(), [](int32_t s) { return s != 0; });
    ASSERT_NE(firstSound, output.end());
    const std::vector<int32_t> heard(firstSound, lastSound.base());
    ASSERT_GT(heard.size(), 44100u * 8 / 10);

    // No gap: every 5 ms window keeps some of the tone.
    const double amplitude = 131070.0 * 4096;
    const size_t window = 220;
    double quietest = 1;
    for (size_t i = 0; i + window <= heard.size(); i += window / 2) {
        const int32_t peak = PeakOf(heard.data() + i, static_cast<int32_t>(window));
        quietest = std::min(quietest, peak / amplitude);
    }
    EXPECT_GT(quietest, 0.05);
    // No click: no step between samples larger than the higher tone's steepest slope.
    const double steepest = kTwoPi * 523.25 / 44100 * amplitude;
    double largestStep = 0;
    for (size_t i = 1; i < heard.size(); ++i) {
        largestStep = std::max(largestStep, std::abs(static_cast<double>(heard[i]) - heard[i - 1]));
    }
    EXPECT_LT(largestStep, steepest * 1.1);
    // The end is the new tone: 523.25 Hz by its zero crossings over the last 0.2 s.
    const size_t tail = 8820;
    int crossings = 0;
    for (size_t i = heard.size() - tail + 1; i < heard.size(); ++i) {
        crossings += (heard[i - 1] < 0) != (heard[i] < 0);
    }
    EXPECT_NEAR(crossings / 2.0 / 0.2, 523.25, 6.0);
    EXPECT_EQ(player.SkippedRenders(), 0);
    KeepOnFailure("swap.wav", heard, 1);
}

TEST(SoundPlayerTest, ReplaceSourceNeedsTheFeederLockWhilePlaying) {
    test::UseVirtualDevices({test::Output("Speakers", 2)});
    LSoundPlayer player;
    SourceRef first = Tone(440.0);
    ASSERT_TRUE(player.Play(first.get(), false));
    SourceRef second = Tone(880.0);
    player.ReplaceSource(second.get());
    // Without the lock nothing changed: no resync either.
    EXPECT_EQ(player.Resync(true), 0);
    Pause(300);
    player.StopPlayback();
    const auto output =
        Channel(hal::Virtual().TakeOutput(hal::Virtual().FindDevice("Speakers")), 2, 0);
    int crossings = 0;
    for (size_t i = output.size() / 2; i < output.size(); ++i) {
        crossings += (output[i - 1] < 0) != (output[i] < 0);
    }
    const double seconds = (output.size() - output.size() / 2) / 44100.0;
    EXPECT_LT(crossings / 2.0 / seconds, 500.0);
}

TEST(SoundPlayerTest, WatchingThePositionNeverCostsTheDeviceABlock) {
    // The main thread reads the position after every rendered block; the render callback gives
    // up a block whenever it finds the output lock taken, so reading must not take it.
    test::UseVirtualDevices({test::Output("Speakers", 2)});
    hal::Virtual().SetSpeed(20.0);
    LSoundPlayer player;
    SourceRef tone = Tone(440.0);
    ASSERT_TRUE(player.Play(tone.get(), false));
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(1500);
    int64_t last = 0;
    int reads = 0;
    while (std::chrono::steady_clock::now() < until) {
        const int64_t position = player.GetPlayPosition();
        EXPECT_GE(position, last);
        last = position;
        ++reads;
    }
    player.StopPlayback();
    EXPECT_GT(last, 44100);
    EXPECT_EQ(player.SkippedRenders(), 0) << "after " << reads << " position reads";
}

}  // namespace
}  // namespace tw
