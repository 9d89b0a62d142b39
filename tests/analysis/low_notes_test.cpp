// Low notes: every semitone from A0 to C5 with a strong and a weak fundamental must read as
// the right note, and starting the scan at 50 Hz must not make mains hum read more often.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "analysis/detection.h"
#include "analysis/pipeline.h"
#include "common/measure.h"
#include "synth/synth.h"
#include "tuner/notes.h"

namespace tw {
namespace {

constexpr int kA0 = 21;
constexpr int kC5 = 72;
constexpr double kSeconds = 2.0;
// Long enough for the history to be replaced and settle.
constexpr double kSettledAfter = 1.2;

struct Timbre {
    const char* name;
    std::vector<double> harmonics;  // relative amplitudes, fundamental first
};

// Strong: a bright string. Weak: a fundamental a sixth of the strongest overtone, as on the low
// strings of a bass through a small speaker. Missing: no energy at the fundamental at all.
const Timbre kStrong{"strong", {0.30, 0.15, 0.10, 0.07, 0.05, 0.04}};
const Timbre kWeak{"weak", {0.04, 0.24, 0.20, 0.14, 0.10, 0.06}};
const Timbre kMissing{"missing", {0.0, 0.24, 0.20, 0.14, 0.10, 0.06}};

double ExactFrequency(int note) {
    return 440.0 * std::pow(2.0, (note - 69) / 12.0);
}

struct Reading {
    int note;  // -1 when nothing was published after settling
    double cents;
};

Reading Read(int note, const Timbre& timbre) {
    const double f0 = ExactFrequency(note);
    const auto signal =
        synth::ToInternalSamples(synth::HarmonicTone(f0, 16000.0, kSeconds, timbre.harmonics));
    const double settled = test::SettledFrequency(test::AnalyseAt16k(signal), kSettledAfter);
    if (settled <= 0.0) return {-1, 0.0};
    return {NearestNote(static_cast<float>(settled)), test::Cents(settled, f0)};
}

TEST(LowNotesTest, EverySemitoneFromA0ToC5ReadsAsItself) {
    for (const Timbre* timbre : {&kStrong, &kWeak}) {
        for (int note = kA0; note <= kC5; ++note) {
            const Reading r = Read(note, *timbre);
            EXPECT_EQ(r.note, note)
                << ScientificName(note) << " with a " << timbre->name << " fundamental";
            if (r.note == note) {
                EXPECT_LT(std::abs(r.cents), 0.5) << ScientificName(note) << " " << timbre->name;
            }
        }
    }
}

// With no energy at the fundamental, notes whose second harmonic lies below the octave check
// (about 200 Hz: A0 to G2) are read through that harmonic and its phase.
TEST(LowNotesTest, MissingFundamentalsBelowTheOctaveCheckReadAsThemselves) {
    constexpr int kG2 = 43;
    for (int note = kA0; note <= kG2; ++note) {
        const Reading r = Read(note, kMissing);
        EXPECT_EQ(r.note, note) << ScientificName(note);
        if (r.note == note) {
            EXPECT_LT(std::abs(r.cents), 0.5) << ScientificName(note);
        }
    }
}

// Above the octave check the lowest qualifying peak of a tone without its fundamental is the
// second harmonic; the harmonic choice reads the note from its whole series instead.
TEST(LowNotesTest, MissingFundamentalsAboveTheOctaveCheckReadAsThemselves) {
    for (int note = 44; note <= kC5; ++note) {
        const Reading r = Read(note, kMissing);
        EXPECT_EQ(r.note, note) << ScientificName(note);
        if (r.note == note) {
            EXPECT_LT(std::abs(r.cents), 0.5) << ScientificName(note);
        }
    }
}

// Frames in which a hum signal yields any fundamental.
int HumDetections(double mains, const std::vector<double>& harmonics, double level,
                  float scanStart) {
    std::vector<double> h = harmonics;
    for (double& a : h) a *= level;
    auto signal = synth::HarmonicTone(mains, 16000.0, 1.5, h);
    synth::Mix(signal, synth::Noise(16000.0, 1.5, level * 0.01, 99));
    const auto samples = synth::ToInternalSamples(signal);
    const LFFT fft(kFrameOrder);
    const LHammingWindow window(kFrameLength);
    LSpectrum s(kFrameLength);
    std::vector<double> scratch;
    const PeakSearchBounds bounds = PeakSearchBoundsFor(kFrameLength, scanStart);
    int detections = 0;
    for (size_t at = 0; at + kFrameLength <= samples.size(); at += kHop) {
        ApplyWindow(s, samples.data() + at, kFrameLength, window);
        Transform(fft, s);
        detections += FindFundamentalBinWithin(s, kFrameLength, bounds, scratch) != 0;
    }
    return detections;
}

struct HumShape {
    const char* name;
    std::vector<double> harmonics;
};

const HumShape kHumShapes[] = {
    {"clean", {1.0}},
    {"with a second harmonic", {1.0, 0.3}},
    {"buzzing", {1.0, 0.5, 0.3, 0.2, 0.1}},
    {"rectifier, twice mains dominant", {0.2, 1.0, 0.1, 0.05}},
    {"odd harmonics only (transformer)", {1.0, 0.0, 0.4, 0.0, 0.2}},
};

// Shapes that the scan from 100 Hz already read (through the 100 Hz harmonic and the octave
// check) or never read must not be read more often now.
TEST(LowNotesTest, MainsHumIsReadNoMoreOftenWhereTheOldScanSawIt) {
    for (double mains : {50.0, 60.0}) {
        for (const auto& shape : kHumShapes) {
            for (double level : {0.02, 0.2}) {
                const int now = HumDetections(mains, shape.harmonics, level, kScanStartHz);
                const int before = HumDetections(mains, shape.harmonics, level, 100.0f);
                std::printf("hum %2.0f Hz %-34s level %.2f: %2d frames now, %2d before\n", mains,
                            shape.name, level, now, before);
                if (shape.harmonics.size() == 1 || before > 0) {
                    EXPECT_LE(now, before) << mains << " Hz " << shape.name << " level " << level;
                }
            }
        }
    }
}

// A clean hum is a pure sinusoid: never read, however loud.
TEST(LowNotesTest, CleanHumIsNeverRead) {
    for (double mains : {50.0, 60.0}) {
        for (double level : {0.002, 0.02, 0.2, 0.9}) {
            EXPECT_EQ(HumDetections(mains, {1.0}, level, kScanStartHz), 0) << mains << " " << level;
        }
    }
}

}  // namespace
}  // namespace tw
