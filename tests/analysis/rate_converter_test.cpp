#include "analysis/rate_converter.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numeric>
#include <vector>

#include "common/measure.h"
#include "synth/synth.h"

namespace tw {
namespace {

// Keeps every frame it receives and every trim.
class RecordingSink final : public LSoundSink {
  public:
    RecordingSink(int32_t rate, uint8_t channels) : LSoundSink(rate, channels) {}
    void WriteBlock(const Sample* samples, int32_t frames) override {
        blocks.push_back(frames);
        data.insert(data.end(), samples, samples + frames * Channels());
        length_ += frames;
    }
    void TrimTo(int32_t position) override { trims.push_back(position); }
    std::vector<int32_t> blocks;
    std::vector<Sample> data;
    std::vector<int32_t> trims;
};

struct Chain {
    Chain(int32_t from, int32_t to, uint8_t channels = 1) {
        sink = new RecordingSink(to, channels);
        sinkRef = SinkRef::Adopt(sink);
        converter = ConverterFor(from, sink);
    }
    RecordingSink* sink;
    SinkRef sinkRef;
    SinkRef converter;
    LRateConverter* Converter() const { return static_cast<LRateConverter*>(converter.get()); }
};

TEST(RateConverterTest, PhasesAndStepAreExact) {
    struct Case {
        int32_t from, to, phases, step;
    };
    const Case cases[] = {{44100, 16000, 160, 441}, {48000, 16000, 1, 3}, {8000, 16000, 2, 1},
                          {22050, 16000, 320, 441}, {96000, 16000, 1, 6}, {11025, 16000, 640, 441},
                          {32000, 16000, 1, 2}};
    for (const auto& c : cases) {
        Chain chain(c.from, c.to);
        EXPECT_EQ(chain.Converter()->Phases(), c.phases) << c.from;
        EXPECT_EQ(chain.Converter()->Step(), c.step) << c.from;
    }
}

TEST(RateConverterTest, CoefficientRows) {
    const std::vector<int32_t> row48 = {7,     -727, -1726, -1358, 2224,  8950, 15836, 18773,
                                        15836, 8950, 2224,  -1358, -1726, -727, 7};
    const std::vector<int32_t> row441 = {267,   -303, -1710, -2263, 849,   8412, 16930, 20705,
                                         16930, 8412, 849,   -2263, -1710, -303, 267};
    Chain c48(48000, 16000), c441(44100, 16000);
    EXPECT_EQ(std::vector<int32_t>(c48.Converter()->Row(0), c48.Converter()->Row(0) + 15), row48);
    EXPECT_EQ(std::vector<int32_t>(c441.Converter()->Row(0), c441.Converter()->Row(0) + 15),
              row441);
    // Every phase of every design has a gain of about 1.
    for (const Chain* c : {&c48, &c441}) {
        for (int32_t p = 0; p < c->Converter()->Phases(); ++p) {
            const int32_t* row = c->Converter()->Row(p);
            EXPECT_NEAR(std::accumulate(row, row + 15, 0), 65536, 1200) << p;
        }
    }
}

TEST(RateConverterTest, OutputCounts) {
    Chain chain(48000, 16000);
    const std::vector<Sample> block(4410, 0);
    chain.converter->WriteBlock(block.data(), 4410);
    EXPECT_EQ(chain.sink->blocks.back(), 1468);
    EXPECT_EQ(chain.Converter()->HeldFrames(), 13);
    for (int i = 0; i < 3; ++i) {
        chain.converter->WriteBlock(block.data(), 4410);
        EXPECT_EQ(chain.sink->blocks.back(), 1470);
    }

    // 44100 -> 16000: 441 input frames give 160 outputs.
    Chain cd(44100, 16000);
    const std::vector<Sample> in(441 * 20, 0);
    for (int i = 0; i < 20; ++i) cd.converter->WriteBlock(in.data(), 441);
    const int32_t total = std::accumulate(cd.sink->blocks.begin(), cd.sink->blocks.end(), 0);
    // Output n is centred on input n x 441 / 160 and made while its first tap lies more than
    // 15 frames before the end of the 7 lead frames plus the input.
    int32_t expected = 0;
    while (static_cast<int64_t>(expected) * 441 / 160 < 7 + 441 * 20 - 15) ++expected;
    EXPECT_EQ(total, expected);
    EXPECT_EQ(expected, 3198);
    EXPECT_EQ(cd.converter->Length(), 441 * 20);
}

TEST(RateConverterTest, LargeBlocksGoOutInPiecesOfAtMost8192) {
    Chain chain(8000, 16000);
    const std::vector<Sample> block(20000, 160);
    chain.converter->WriteBlock(block.data(), 20000);
    for (int32_t b : chain.sink->blocks) EXPECT_LE(b, 8192);
    EXPECT_NEAR(static_cast<double>(chain.sink->data.size()), 40000.0, 30.0);
}

TEST(RateConverterTest, ConstantInputKeepsItsLevel) {
    for (int32_t from : {44100, 48000, 8000, 22050}) {
        Chain chain(from, 16000);
        const std::vector<Sample> block(from / 10, 16000);  // a multiple of 16
        for (int i = 0; i < 5; ++i) chain.converter->WriteBlock(block.data(), from / 10);
        const auto& out = chain.sink->data;
        ASSERT_GT(out.size(), 100u);
        // Away from the leading zeros the output sits at V times the row's gain.
        for (size_t i = 20; i < out.size(); ++i)
            ASSERT_NEAR(out[i], 16000, 300) << from << " at " << i;
    }
}

TEST(RateConverterTest, SineSurvivesWithHighSnr) {
    // A 440 Hz sine resampled to 16000 Hz against the same sine computed at 16000 Hz; the
    // output frame n sits on input position n x M / L, so there is no delay to compensate.
    for (int32_t from : {44100, 48000, 22050, 8000}) {
        const double amplitude = 0.5;
        const auto in =
            synth::ToInternalSamples(synth::HarmonicTone(440.0, from, 1.0, {amplitude}));
        Chain chain(from, 16000);
        const int32_t block = from / 10;
        for (size_t at = 0; at + block <= in.size(); at += block)
            chain.converter->WriteBlock(in.data() + at, block);
        const auto ideal = synth::HarmonicTone(440.0, 16000.0, 1.0, {amplitude});
        std::vector<double> got, want;
        for (size_t i = 100; i < chain.sink->data.size() - 100; ++i) {
            got.push_back(chain.sink->data[i] / 524288.0);
            want.push_back(ideal[i]);
        }
        EXPECT_GT(test::SnrDb(want, got), 40.0) << from;
    }
}

TEST(RateConverterTest, AliasesAreSuppressed) {
    // Tones above the 8000 Hz output band fold back into it; the 15-tap filter keeps them
    // more than 20 dB down (a tuner only reads the band below 5 kHz).
    for (double f : {10000.0, 12000.0, 15000.0, 20000.0}) {
        const auto in = synth::ToInternalSamples(synth::HarmonicTone(f, 44100.0, 1.0, {0.5}));
        Chain chain(44100, 16000);
        for (size_t at = 0; at + 4410 <= in.size(); at += 4410)
            chain.converter->WriteBlock(in.data() + at, 4410);
        double energy = 0.0;
        for (size_t i = 100; i < chain.sink->data.size(); ++i)
            energy += std::pow(chain.sink->data[i] / 524288.0, 2);
        const double rms = std::sqrt(energy / (chain.sink->data.size() - 100));
        EXPECT_LT(20.0 * std::log10(rms / (0.5 / std::sqrt(2.0))), -20.0) << f;
    }
}

TEST(RateConverterTest, StereoChannelsStaySeparate) {
    Chain chain(48000, 16000, 2);
    std::vector<Sample> block;
    for (int i = 0; i < 4800; ++i) {
        block.push_back(16000);
        block.push_back(-32000);
    }
    chain.converter->WriteBlock(block.data(), 4800);
    const auto& out = chain.sink->data;
    for (size_t f = 10; f < out.size() / 2; ++f) {
        ASSERT_NEAR(out[2 * f], 16000, 300);
        ASSERT_NEAR(out[2 * f + 1], -32000, 600);
    }
}

TEST(RateConverterTest, TrimAndFlush) {
    Chain chain(44100, 16000);
    const std::vector<Sample> block(4410, 1600);
    chain.converter->WriteBlock(block.data(), 4410);
    const size_t before = chain.sink->data.size();
    chain.converter->TrimTo(441);
    ASSERT_EQ(chain.sink->trims.size(), 1u);
    EXPECT_EQ(chain.sink->trims[0], 160);
    EXPECT_EQ(chain.converter->Length(), 441);
    EXPECT_GT(chain.sink->data.size(), before);  // the tail was flushed first

    // Releasing the converter flushes its tail into the next node, which outlives it.
    const size_t beforeRelease = chain.sink->data.size();
    chain.converter->WriteBlock(block.data(), 4410);
    const size_t written = chain.sink->data.size();
    chain.converter = SinkRef();
    EXPECT_GT(chain.sink->data.size(), written);
    EXPECT_GT(written, beforeRelease);
    EXPECT_EQ(chain.sink->References(), 1);
}

TEST(RateConverterTest, StepsLongerThanTheFilterSkipInputSafely) {
    // 384000 -> 16000 advances 24 input frames per output, more than the 15 taps reach; the
    // converter must skip the frames in between rather than run past its history.
    Chain chain(384000, 16000);
    EXPECT_EQ(chain.Converter()->Step(), 24);
    const std::vector<Sample> block(8192, 1600);
    for (int i = 0; i < 30; ++i) chain.converter->WriteBlock(block.data(), 8192);
    const double expected = 30.0 * 8192 / 24;
    EXPECT_NEAR(static_cast<double>(chain.sink->data.size()), expected, 2.0);
    EXPECT_LE(chain.Converter()->HeldFrames(), 15);
}

TEST(RateConverterTest, EqualRatesNeedNoConverter) {
    auto* sink = new RecordingSink(16000, 1);
    SinkRef ref = SinkRef::Adopt(sink);
    SinkRef same = ConverterFor(16000, sink);
    EXPECT_EQ(same.get(), sink);
    EXPECT_EQ(sink->References(), 2);
}

TEST(RateConverterTest, LengthStartsAtTheNextNodesPosition) {
    auto* sink = new RecordingSink(16000, 1);
    SinkRef ref = SinkRef::Adopt(sink);
    const std::vector<Sample> block(24000, 0);
    sink->WriteBlock(block.data(), 24000);  // 1500 ms
    SinkRef converter = ConverterFor(44100, sink);
    EXPECT_EQ(converter->Length(), 66150);
}

}  // namespace
}  // namespace tw
