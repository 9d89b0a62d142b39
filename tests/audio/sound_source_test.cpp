// Tone wavetables, the peak limiter and the history wrapper, without a device.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "audio/sound_source.h"
#include "audio/source_adapters.h"

namespace tw {
namespace {

// A source of a fixed value (or a ramp), for the adapters.
class TestSource final : public LSoundSource {
  public:
    TestSource(int32_t value, int64_t length, int32_t slope = 0, uint8_t channels = 1)
        : LSoundSource(44100, channels), value_(value), slope_(slope), length_(length) {
        peak_ = std::abs(value) +
                std::abs(slope) * static_cast<int32_t>(std::min<int64_t>(length, 1 << 20));
    }
    int32_t Read(Sample* destination, int32_t frames) override {
        const int32_t n = static_cast<int32_t>(std::clamp<int64_t>(length_ - position_, 0, frames));
        for (int32_t i = 0; i < n; ++i) {
            for (int c = 0; c < Channels(); ++c) {
                destination[i * Channels() + c] =
                    value_ + slope_ * static_cast<int32_t>(position_ + i);
            }
        }
        position_ += n;
        return n;
    }
    int64_t GetPosition() override { return position_; }
    int64_t GetLength() override { return length_; }
    void Seek(int64_t frame) override { position_ = frame; }

  private:
    int32_t value_;
    int32_t slope_;
    int64_t length_;
    int64_t position_ = 0;
};

std::vector<Sample> ReadAll(LSoundSource& source, int32_t frames, int32_t piece = 1000) {
    std::vector<Sample> out(static_cast<size_t>(frames) * source.Channels());
    int32_t done = 0;
    while (done < frames) {
        const int32_t n = source.Read(out.data() + static_cast<size_t>(done) * source.Channels(),
                                      std::min(piece, frames - done));
        if (n <= 0) break;
        done += n;
    }
    out.resize(static_cast<size_t>(done) * source.Channels());
    return out;
}

TEST(ToneSourceTest, WavetablePeaks) {
    struct Case {
        int waveform;
        int8_t db;
        int32_t max;
        int32_t min;
    };
    const Case cases[] = {
        {LToneSource::kSine, 0, 131070, -131070},
        {LToneSource::kSine, 20, 1310708, -1310708},
        {LToneSource::kSquare, 0, 92682, -92682},
        {LToneSource::kTriangle, 0, 165794, -165794},
        {LToneSource::kSawtooth, 0, 165713, -165713},
        {LToneSource::kImpulse, 0, 185364, -185364},
        {LToneSource::kSine, -127, 0, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message()
                     << "waveform " << c.waveform << " at " << int{c.db} << " dB");
        LToneSource tone(44100, 440.0, c.waveform, c.db, 1000);
        const auto& table = tone.Table();
        ASSERT_EQ(table.size(), 4096u);
        EXPECT_EQ(*std::max_element(table.begin(), table.end()), c.max);
        EXPECT_EQ(*std::min_element(table.begin(), table.end()), c.min);
    }
    // Noise stays within its scale and is not constant.
    LToneSource noise(44100, 440.0, LToneSource::kNoise, 0, 1000);
    const auto& table = noise.Table();
    EXPECT_LE(*std::max_element(table.begin(), table.end()), 165794);
    EXPECT_NE(*std::max_element(table.begin(), table.end()),
              *std::min_element(table.begin(), table.end()));
    EXPECT_EQ(noise.Increment(), 32768);
}

TEST(ToneSourceTest, NominalPeakLengthAndIncrement) {
    LToneSource tone(44100, 440.0, LToneSource::kSine, 0, LToneSource::kReferenceLengthMs);
    EXPECT_EQ(tone.NominalPeak(), 166827);
    EXPECT_EQ(tone.GetLength(), 9525600000);
    EXPECT_EQ(tone.Increment(), static_cast<int32_t>(std::lround(440.0 / 44100 * (1 << 27))));
    LToneSource loud(44100, 440.0, LToneSource::kSine, 20, 1000);
    EXPECT_EQ(loud.NominalPeak(), 1668276);
    LToneSource bad(0, 440.0, LToneSource::kSine, 0, 1000);
    EXPECT_EQ(bad.Error(), LSoundSource::kInvalidFormat);
    EXPECT_EQ(bad.SampleRate(), 44100);
}

TEST(ToneSourceTest, SineHasTheAskedFrequencyAndStopsAtItsLength) {
    LToneSource tone(44100, 1000.0, LToneSource::kSine, 0, 500);
    const auto samples = ReadAll(tone, 44100);
    ASSERT_EQ(samples.size(), 22050u);
    EXPECT_EQ(tone.GetPosition(), 22050);
    int crossings = 0;
    for (size_t i = 1; i < samples.size(); ++i)
        crossings += (samples[i - 1] < 0) != (samples[i] < 0);
    EXPECT_NEAR(crossings, 1000, 2);  // two a cycle, half a second
    EXPECT_LE(*std::max_element(samples.begin(), samples.end()), 131070);
    EXPECT_GE(*std::max_element(samples.begin(), samples.end()), 131000);
    Sample more = 0;
    EXPECT_EQ(tone.Read(&more, 1), 0);
}

TEST(PeakLimiterTest, SourceAtOrBelowTheCeilingPlaysUnchanged) {
    for (const int8_t db : {int8_t{0}, int8_t{12}}) {
        SCOPED_TRACE(int{db});
        LToneSource plain(44100, 440.0, LToneSource::kSine, db, 2000);
        auto* inner = new LToneSource(44100, 440.0, LToneSource::kSine, db, 2000);
        LPeakLimiter* limiter = new LPeakLimiter(inner, 524272);
        inner->Release();
        EXPECT_EQ(limiter->BlockFrames(), 44100 / 35);
        const auto expected = ReadAll(plain, 88200);
        const auto actual = ReadAll(*limiter, 88200, 777);
        EXPECT_EQ(actual, expected);
        EXPECT_EQ(limiter->GetPosition(), 88200);
        limiter->Release();
    }
}

TEST(PeakLimiterTest, LoudSourceIsBroughtUnderTheCeilingWithoutSteps) {
    auto* inner = new LToneSource(44100, 440.0, LToneSource::kSine, 20, 3000);
    auto* limiter = new LPeakLimiter(inner, 524272);
    inner->Release();
    const auto out = ReadAll(*limiter, 44100 * 3, 512);
    ASSERT_EQ(out.size(), 132300u);
    const int32_t peak = PeakOf(out.data(), static_cast<int32_t>(out.size()));
    EXPECT_LE(peak, 524272);
    EXPECT_GT(peak, 480000);
    limiter->Release();

    // A block gain at or below the ceiling is unity; above it, ceiling / peak in Q24.
    auto* quiet = new TestSource(1000, 100000);
    LPeakLimiter gains(quiet, 524272);
    quiet->Release();
    const Sample atCeiling[] = {524272, -3};
    EXPECT_EQ(gains.BlockGain(atCeiling, 2), 1 << 24);
    const Sample twice[] = {0, -1048544};
    EXPECT_NEAR(gains.BlockGain(twice, 2) / double(1 << 24), 0.5, 0.001);
}

TEST(PeakLimiterTest, GainFallsBeforeAPeakArrives) {
    // Quiet, then a step to twice the ceiling: the gain is already down when the step arrives.
    class Step final : public LSoundSource {
      public:
        Step() : LSoundSource(44100, 1) { peak_ = 1048544; }
        int32_t Read(Sample* d, int32_t frames) override {
            for (int32_t i = 0; i < frames; ++i) d[i] = (position_ + i) < 20000 ? 100000 : 1048544;
            position_ += frames;
            return frames;
        }
        int64_t GetPosition() override { return position_; }
        int64_t GetLength() override { return 100000; }
        void Seek(int64_t f) override { position_ = f; }

      private:
        int64_t position_ = 0;
    };
    auto* step = new Step();
    auto* limiter = new LPeakLimiter(step, 524272);
    step->Release();
    const auto out = ReadAll(*limiter, 40000);
    EXPECT_LE(PeakOf(out.data(), static_cast<int32_t>(out.size())), 524272);
    // Far before the step nothing is touched.
    EXPECT_EQ(out[1000], 100000);
    limiter->Release();
}

TEST(HistorySourceTest, WithoutACrossfadeTheInnerSamplesPassUnchanged) {
    HistoryRing history;
    auto* inner = new LToneSource(44100, 330.0, LToneSource::kTriangle, 0, 1000);
    auto* wrapped = new LHistorySource(inner, &history);
    inner->Release();
    LToneSource plain(44100, 330.0, LToneSource::kTriangle, 0, 1000);
    EXPECT_EQ(ReadAll(*wrapped, 44100, 9000), ReadAll(plain, 44100));
    EXPECT_EQ(history.writeIndex, 44100);
    // What was played is in the history.
    std::vector<Sample> first(100);
    LToneSource again(44100, 330.0, LToneSource::kTriangle, 0, 1000);
    again.Read(first.data(), 100);
    EXPECT_TRUE(std::equal(first.begin(), first.end(), history.samples.begin()));
    wrapped->Release();
}

TEST(HistorySourceTest, CrossfadeBlendsFromTheHistoryToTheNewSource) {
    struct Case {
        uint8_t channels;
        int32_t frames;
    };
    for (const Case c : {Case{1, 1000}, Case{2, 4096}}) {
        SCOPED_TRACE(int{c.channels});
        HistoryRing history;
        auto* oldInner = new TestSource(400000, 1 << 20, 0, c.channels);
        auto* old = new LHistorySource(oldInner, &history);
        oldInner->Release();
        ReadAll(*old, 6000);
        // Back over what is dropped, as a swap does, then the new source fades in.
        auto* newInner = new TestSource(-200000, 1 << 20, 0, c.channels);
        newInner->Seek(6000);  // where the old source was, as ReplaceSource does
        auto* next = new LHistorySource(newInner, &history);
        newInner->Release();
        next->Seek(6000 - c.frames);
        EXPECT_EQ(history.writeIndex, (6000 - c.frames) * c.channels);
        history.crossfadePending = true;
        std::vector<Sample> out(static_cast<size_t>(c.frames) * c.channels);
        ASSERT_EQ(next->Read(out.data(), c.frames), c.frames);
        EXPECT_FALSE(history.crossfadePending);
        EXPECT_NEAR(out[0], 400000, 600);
        EXPECT_NEAR(out[out.size() - 1], -200000, 1200);
        for (size_t i = c.channels; i < out.size(); ++i) {
            EXPECT_LE(out[i], out[i - c.channels]) << i;
            if (::testing::Test::HasFailure()) break;
        }
        // The middle is halfway.
        EXPECT_NEAR(out[(c.frames / 2) * c.channels], 100000, 1500);
        // The next block is the new source alone.
        Sample after[2] = {};
        next->Read(after, 1);
        EXPECT_EQ(after[0], -200000);
        old->Release();
        next->Release();
    }
}

TEST(HistorySourceTest, SeekMovesTheHistoryIndexAndWraps) {
    HistoryRing history;
    auto* inner = new TestSource(5, 1 << 22, 0, 2);
    auto* wrapped = new LHistorySource(inner, &history);
    inner->Release();
    wrapped->Seek(100);
    EXPECT_EQ(history.writeIndex, 200);
    wrapped->Seek(0);
    EXPECT_EQ(history.writeIndex, 0);
    // A move back past the start wraps to the end of the ring.
    wrapped->Seek(-1);
    EXPECT_EQ(history.writeIndex, HistoryRing::kSize - 2);
    wrapped->Seek(HistoryRing::kSize / 2 + 10);
    EXPECT_EQ(history.writeIndex, 20);
    wrapped->Release();
}

}  // namespace
}  // namespace tw
