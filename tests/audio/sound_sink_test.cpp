#include "audio/sound_sink.h"

#include <gtest/gtest.h>

#include <vector>

namespace tw {
namespace {

// Keeps what it is given and counts its own destruction.
class RecordingSink final : public LSoundSink {
  public:
    RecordingSink(int32_t rate, uint8_t channels, int* destroyed)
        : LSoundSink(rate, channels), destroyed_(destroyed) {}
    void WriteBlock(const Sample* samples, int32_t frames) override {
        data.insert(data.end(), samples, samples + frames * Channels());
        length_ += frames;
    }
    void SetLength(int32_t length) { length_ = length; }
    std::vector<Sample> data;

  private:
    ~RecordingSink() override { ++*destroyed_; }
    int* destroyed_;
};

TEST(SoundSinkTest, PositionFromLengthAndRate) {
    int destroyed = 0;
    struct Case {
        int32_t rate, length, ms;
    };
    const Case cases[] = {{16000, 24000, 1500},
                          {0, 24000, 0},
                          {-5, 100, 0},
                          {44100, 44099, 999},
                          {48000, 2147483647, 44739242}};
    for (const auto& c : cases) {
        auto* sink = new RecordingSink(c.rate, 1, &destroyed);
        sink->SetLength(c.length);
        EXPECT_EQ(sink->PositionMs(), c.ms) << c.rate << " " << c.length;
        sink->Release();
    }
    EXPECT_EQ(destroyed, 5);
    auto* sink = new RecordingSink(44100, 1, &destroyed);
    EXPECT_EQ(sink->FramesOfMs(1500), 66150);
    sink->Release();
}

TEST(SoundSinkTest, ZeroChannelsMakeANullSink) {
    int destroyed = 0;
    auto* sink = new RecordingSink(8000, 0, &destroyed);
    EXPECT_EQ(sink->Channels(), 1);
    EXPECT_TRUE(sink->IsNull());
    sink->Release();

    auto* null = new LNullSoundSink();
    EXPECT_TRUE(null->IsNull());
    EXPECT_EQ(null->SampleRate(), 44100);
    EXPECT_EQ(null->Channels(), 1);
    const Sample block[4] = {1, 2, 3, 4};
    null->WriteBlock(block, 4);
    EXPECT_EQ(null->PositionMs(), 0);
    null->Release();
}

TEST(SoundSinkTest, LastReleaseDeletes) {
    int destroyed = 0;
    auto* sink = new RecordingSink(16000, 2, &destroyed);
    {
        SinkRef a = SinkRef::Adopt(sink);
        SinkRef b = a;
        SinkRef c = SinkRef::Share(sink);
        EXPECT_EQ(sink->References(), 3);
        SinkRef moved = std::move(b);
        EXPECT_EQ(sink->References(), 3);
        c = SinkRef();
        EXPECT_EQ(sink->References(), 2);
    }
    EXPECT_EQ(destroyed, 1);
}

}  // namespace
}  // namespace tw
