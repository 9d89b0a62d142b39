// The capture engine against virtual devices: the rate-mismatch retry, stalls and
// disappearing devices, the start hand-shake, channel duplication, the settling buffers and
// the voice-activated start.
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <memory>

#include "analysis/rate_converter.h"
#include "audio/sound_recorder.h"
#include "audio/virtual_devices.h"

namespace tw {
namespace {

using hal::VirtualSignal;
using Kind = hal::VirtualSignal::Kind;

class CountingListener final : public RecorderListener {
  public:
    void OnRecording(int32_t) override { ++recording; }
    void OnArmed(int32_t) override { ++armed; }
    void OnStopped(int32_t) override { ++stopped; }
    void OnLevels(int channels, const int8_t* levels, int32_t) override {
        ++levelReports;
        lastChannels = channels;
        lastLevel = levels[0];
    }
    int recording = 0, armed = 0, stopped = 0, levelReports = 0, lastChannels = 0;
    int8_t lastLevel = 0;
};

// A generator whose every sample is `value` internal units with alternating sign, so that its
// peak level is exact.
VirtualSignal Square(int32_t value) {
    VirtualSignal s;
    s.kind = Kind::kGenerator;
    s.generator = [value](int32_t* out, int32_t frames, int channels, int64_t first) {
        for (int32_t i = 0; i < frames; ++i) {
            for (int c = 0; c < channels; ++c) {
                out[i * channels + c] = ((first + i) % 2 ? -value : value) * (1 << 12);
            }
        }
    };
    return s;
}

TEST(SoundRecorderTest, RateMismatchInsertsAConverterOnTheSecondOpen) {
    test::UseVirtualDevices({test::Input("Mic", 44100, {1})});
    LSoundRecorder recorder(&ConverterFor);
    recorder.SetInputSelection({0, 0, false});
    auto* sink = new test::CollectSink(16000, 1);
    SinkRef held = SinkRef::Adopt(sink);
    ASSERT_TRUE(recorder.Start(sink, 0, -10, 216000000, LSoundRecorder::kRecordAtOnce));
    EXPECT_TRUE(recorder.IsCapturing());
    auto* converter = dynamic_cast<LRateConverter*>(recorder.CurrentSink());
    ASSERT_NE(converter, nullptr);
    EXPECT_EQ(converter->SampleRate(), 44100);
    EXPECT_EQ(converter->Phases(), 160);
    EXPECT_EQ(converter->Step(), 441);
    // 100 ms buffers at the device rate.
    EXPECT_EQ(recorder.FramesPerBuffer(), 4410);
    ASSERT_TRUE(test::WaitFor([&] { return sink->FramesSoFar() >= 8000; }, 3000));
    recorder.Stop();
    EXPECT_FALSE(recorder.IsCapturing());
    EXPECT_TRUE(recorder.CurrentSink()->IsNull());
}

TEST(SoundRecorderTest, WithoutAConverterARateMismatchFails) {
    test::UseVirtualDevices({test::Input("Mic", 44100, {1})});
    LSoundRecorder recorder;
    recorder.SetInputSelection({0, 0, false});
    SinkRef sink = SinkRef::Adopt(new test::CollectSink(16000, 1));
    EXPECT_FALSE(recorder.Start(sink.get(), 0, -10, 1000, LSoundRecorder::kRecordAtOnce));
    EXPECT_EQ(recorder.State(), LSoundRecorder::kStopped);
    EXPECT_TRUE(recorder.CurrentSink()->IsNull());
    // The caller's sink was let go again.
    EXPECT_EQ(sink->References(), 1);
}

TEST(SoundRecorderTest, StartFailsWithoutAUsableDeviceOrSink) {
    struct Case {
        const char* what;
        hal::VirtualDeviceSpec device;
        DeviceSelection selection;
        bool nullSink;
    };
    auto busy = test::Input("Mic", 16000, {1});
    busy.busy = true;
    const Case cases[] = {
        {"placeholder sink", test::Input("Mic", 16000, {1}), {0, 0, false}, true},
        {"no default input", test::Input("Mic", 16000, {1}), {-1, 0, false}, false},
        {"index past the devices", test::Input("Mic", 16000, {1}), {3, 0, false}, false},
        {"device in use", busy, {0, 0, false}, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        test::UseVirtualDevices({c.device});
        LSoundRecorder recorder(&ConverterFor);
        CountingListener listener;
        recorder.SetListener(&listener, 7);
        recorder.SetInputSelection(c.selection);
        SinkRef sink = c.nullSink ? SinkRef::Adopt(new LNullSoundSink())
                                  : SinkRef::Adopt(new test::CollectSink(16000, 1));
        EXPECT_FALSE(recorder.Start(sink.get(), 0, -10, 1000, LSoundRecorder::kRecordAtOnce));
        EXPECT_FALSE(recorder.IsCapturing());
        EXPECT_EQ(listener.recording + listener.armed, 0);
        EXPECT_EQ(hal::Virtual().OpenUnits(), 0);
    }
}

TEST(SoundRecorderTest, DeviceThatDeliversNothingEndsCaptureAfterThreeSeconds) {
    struct Case {
        const char* what;
        hal::VirtualDeviceSpec device;
        int minMs, maxMs;
    };
    auto silentLater = test::Input("Mic", 16000, {1});
    silentLater.silentAfterMs = 500;
    auto vanishes = test::Input("Mic", 16000, {1});
    vanishes.vanishAfterMs = 500;
    const Case cases[] = {
        {"never delivers", test::Input("Mic", 16000, {1}, Kind::kNothing), 2900, 4500},
        {"goes silent", silentLater, 3300, 5000},
        {"disappears", vanishes, 3300, 5000},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        test::UseVirtualDevices({c.device});
        LSoundRecorder recorder;
        recorder.SetInputSelection({0, 0, false});
        SinkRef sink = SinkRef::Adopt(new test::CollectSink(16000, 1));
        const auto start = std::chrono::steady_clock::now();
        ASSERT_TRUE(recorder.Start(sink.get(), 0, -10, 216000000, LSoundRecorder::kRecordAtOnce));
        ASSERT_TRUE(
            test::WaitFor([&] { return recorder.State() == LSoundRecorder::kStopped; }, 8000));
        const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
                            std::chrono::steady_clock::now() - start)
                            .count();
        EXPECT_GE(ms, c.minMs);
        EXPECT_LE(ms, c.maxMs);
        EXPECT_FALSE(recorder.IsCapturing());
        EXPECT_EQ(hal::Virtual().OpenUnits(), 0);
    }
}

TEST(SoundRecorderTest, MonoSelectionFeedingAStereoSinkDuplicatesTheChannel) {
    struct Case {
        const char* what;
        std::vector<int> buffers;
        DeviceSelection selection;
        bool equal;
    };
    const Case cases[] = {
        {"mono microphone", {1}, {0, 0, false}, true},
        {"channel entry of a multi-channel device", {2}, {0, 1, true}, true},
        {"both channels of a stereo device", {2}, {0, 0, true}, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        test::UseVirtualDevices({test::Input("Mic", 44100, c.buffers)});
        LSoundRecorder recorder;
        recorder.SetInputSelection(c.selection);
        auto* sink = new test::CollectSink(44100, 2);
        SinkRef held = SinkRef::Adopt(sink);
        ASSERT_TRUE(recorder.Start(sink, 0, -10, 216000000, LSoundRecorder::kRecordAtOnce));
        ASSERT_TRUE(test::WaitFor([&] { return sink->FramesSoFar() >= 4410; }, 3000));
        recorder.Stop();
        const auto samples = sink->Samples();
        size_t differing = 0;
        for (size_t i = 0; i + 1 < samples.size(); i += 2)
            differing += samples[i] != samples[i + 1];
        if (c.equal) {
            EXPECT_EQ(differing, 0u);
        } else {
            EXPECT_GT(differing, samples.size() / 4);
        }
    }
}

TEST(SoundRecorderTest, RecordAtOnceKeepsTheFirstBufferAndArmedDropsFive) {
    // Samples count the frames, so the first one written tells which buffer came first.
    VirtualSignal counter;
    counter.kind = Kind::kGenerator;
    counter.generator = [](int32_t* out, int32_t frames, int channels, int64_t first) {
        for (int32_t i = 0; i < frames * channels; ++i) {
            out[i] = static_cast<int32_t>(50000 + (first + i / channels) % 50000) * (1 << 12);
        }
    };
    struct Case {
        uint16_t flags;
        int32_t firstFrame;
    };
    // The counter runs from 50000, above -10 dB: an armed recorder starts at once after the
    // five settling buffers (1600 frames each at 16 kHz).
    for (const Case c : {Case{LSoundRecorder::kRecordAtOnce, 50000}, Case{0, 50000 + 5 * 1600}}) {
        SCOPED_TRACE(c.flags);
        auto mic = test::Input("Mic", 16000, {1});
        mic.signal = counter;
        test::UseVirtualDevices({mic});
        hal::Virtual().SetSpeed(4.0);
        LSoundRecorder recorder;
        CountingListener listener;
        recorder.SetListener(&listener, 1);
        recorder.SetInputSelection({0, 0, false});
        auto* sink = new test::CollectSink(16000, 1);
        SinkRef held = SinkRef::Adopt(sink);
        ASSERT_TRUE(recorder.Start(sink, 0, -10, 216000000, c.flags));
        ASSERT_TRUE(test::WaitFor([&] { return sink->FramesSoFar() >= 3200; }, 4000));
        ASSERT_TRUE(test::WaitFor(
            [&] { return listener.recording > 0 && listener.levelReports > 0; }, 2000));
        recorder.Stop();
        const auto samples = sink->Samples();
        ASSERT_FALSE(samples.empty());
        EXPECT_EQ(samples[0], c.firstFrame);
        EXPECT_EQ(sink->Blocks()[0], 1600);
        EXPECT_EQ(listener.stopped, 1);
        EXPECT_EQ(listener.lastChannels, 1);
        if (c.flags == 0) {
            EXPECT_GE(listener.armed, 1);
        }
    }
}

TEST(SoundRecorderTest, StartThresholdDecidesWhetherAnArmedRecorderStarts) {
    // Peak levels against 2^17: 42000 reads -10 dB, 37000 reads -11 dB.
    struct Case {
        int32_t peak;
        bool records;
    };
    for (const Case c : {Case{42000, true}, Case{37000, false}}) {
        SCOPED_TRACE(c.peak);
        auto mic = test::Input("Mic", 16000, {1});
        mic.signal = Square(c.peak);
        test::UseVirtualDevices({mic});
        hal::Virtual().SetSpeed(4.0);
        LSoundRecorder recorder;
        CountingListener listener;
        recorder.SetListener(&listener, 1);
        recorder.SetInputSelection({0, 0, false});
        auto* sink = new test::CollectSink(16000, 1);
        SinkRef held = SinkRef::Adopt(sink);
        ASSERT_TRUE(recorder.Start(sink, 0, -10, 216000000, 0));
        EXPECT_EQ(recorder.State(), LSoundRecorder::kArmed);
        // Eight buffers: five to settle, three that could start the recording.
        test::WaitFor([&] { return listener.levelReports >= 3; }, 4000);
        EXPECT_EQ(recorder.State() == LSoundRecorder::kRecording, c.records);
        EXPECT_EQ(sink->FramesSoFar() > 0, c.records);
        EXPECT_EQ(listener.lastLevel, c.records ? -10 : -11);
        recorder.Stop();
    }
}

TEST(SoundRecorderTest, MaximumDurationStopsThroughTheMainThread) {
    test::UseVirtualDevices({test::Input("Mic", 16000, {1})});
    hal::Virtual().SetSpeed(4.0);
    LSoundRecorder recorder;
    CountingListener listener;
    recorder.SetListener(&listener, 1);
    recorder.SetInputSelection({0, 0, false});
    auto* sink = new test::CollectSink(16000, 1);
    SinkRef held = SinkRef::Adopt(sink);
    ASSERT_TRUE(recorder.Start(sink, 300, -60, 216000000, LSoundRecorder::kRecordAtOnce));
    ASSERT_TRUE(test::WaitFor([&] { return listener.stopped == 1; }, 4000));
    EXPECT_EQ(recorder.State(), LSoundRecorder::kStopped);
    // Stopped within a buffer or two of the limit.
    EXPECT_GE(sink->FramesSoFar(), 4800u);
    EXPECT_LE(sink->FramesSoFar(), 16000u);
}

}  // namespace
}  // namespace tw
