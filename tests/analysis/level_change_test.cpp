// Notes that start and stop inside the 512 ms frame. The phase vocoder's estimate is then
// pulled towards the centre of its bin, by up to a third of a bin in the release; corrected
// for the change of level, the readings stay on the note. Judged in cents, against the plain
// refinement on the same tones, so that a case which no longer shows the pull is noticed.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "analysis/level_change.h"
#include "analysis/pipeline.h"
#include "common/measure.h"
#include "synth/synth.h"

namespace tw {
namespace {

constexpr double kRate = 16000.0;
constexpr double kTwoPiHere = 6.283185307179586;
constexpr double kLeadIn = 0.5;
constexpr double kHold = 1.5;
// By then the attack has left the frame and the filter holds the note.
constexpr double kJudgeAfter = 0.6;
constexpr double kAttackSeconds = 0.005;
// Peak amplitude of the background noise, 60 dB under the held note.
constexpr double kRoomNoise = 0.0005;

const std::vector<double> kString{0.30, 0.15, 0.10, 0.07, 0.05, 0.04};

// The level of a note at time t (seconds from its onset): a short attack, kHold seconds at a
// steady level, then a release that falls by 1/e every `releaseSeconds`.
double NoteLevel(double t, double releaseSeconds) {
    if (t < 0.0) return 0.0;
    double level = std::min(1.0, t / kAttackSeconds);
    if (t > kHold) level *= std::exp(-(t - kHold) / releaseSeconds);
    return level;
}

double StringSample(double f0, double t) {
    double v = 0.0;
    for (size_t h = 0; h < kString.size(); ++h) {
        if (f0 * (h + 1) < kRate * 0.45)
            v += kString[h] * std::sin(kTwoPiHere * f0 * (h + 1) * t + 0.7 * h * h);
    }
    return v;
}

// Silence, the note, and the room's noise under all of it: a tail ends in that noise.
std::vector<double> HeldNote(double f0, double releaseSeconds) {
    const size_t n = static_cast<size_t>((kLeadIn + kHold + 1.0) * kRate);
    std::vector<double> out(n, 0.0);
    for (size_t i = 0; i < n; ++i) {
        const double t = i / kRate - kLeadIn;
        out[i] = NoteLevel(t, releaseSeconds) * StringSample(f0, t);
    }
    synth::Mix(out, synth::Noise(kRate, static_cast<double>(n) / kRate, kRoomNoise, 7));
    return out;
}

// The worst offset in cents of the readings after the attack, and how many there are.
struct Worst {
    double cents = 0.0;
    int readings = 0;
};

Worst WorstAfterAttack(const std::vector<test::Publication>& pubs, double f0) {
    Worst w;
    for (const auto& p : pubs) {
        if (p.seconds < kLeadIn + kJudgeAfter) continue;
        ++w.readings;
        w.cents = std::max(w.cents, std::abs(test::Cents(p.frequency, f0)));
    }
    return w;
}

struct ReleaseCase {
    double hz;
    double releaseSeconds;
    double plainAtLeastCents;  // how far the plain refinement strays on this tone
};

// Fundamentals between bins (1.95 Hz apart), from low strings read through their second
// harmonic to the treble, with quick and slow releases and notes cut off. 41 Hz puts that harmonic
// on a bin's centre, where nothing pulls: the correction must not make it worse.
const ReleaseCase kReleases[] = {
    {41.5, 0.05, 6.0},   {41.0, 0.05, 0.0},   {73.0, 0.05, 6.0},   {73.0, 0.15, 3.0},
    {110.9, 0.05, 3.0},  {196.8, 0.05, 1.5},  {330.5, 0.1, 0.5},   {441.0, 0.05, 0.5},
    {83.15, 0.002, 8.0}, {110.9, 0.002, 3.0}, {441.5, 0.002, 0.1},
};
// The readings through the release, worst case, with the correction.
constexpr double kMostCents = 2.0;

TEST(LevelChangeTest, ReleasesStayOnTheNote) {
    for (const ReleaseCase& c : kReleases) {
        const auto samples = synth::ToInternalSamples(HeldNote(c.hz, c.releaseSeconds));
        const Worst mended = WorstAfterAttack(test::AnalyseAt16k(samples), c.hz);
        const Worst plain = WorstAfterAttack(test::AnalyseAt16k(samples, 1600, false), c.hz);
        const std::string what =
            std::to_string(c.hz) + " Hz, release " + std::to_string(c.releaseSeconds) + " s";
        EXPECT_GE(plain.cents, c.plainAtLeastCents) << what;
        // The last frame of a fading note may publish or not either way.
        EXPECT_GE(mended.readings, plain.readings - 1) << what;
        EXPECT_LT(mended.cents, kMostCents) << what;
        // Where nothing pulls, the correction may cost no more than a tenth of what it mends.
        EXPECT_LE(mended.cents, std::max(plain.cents + 0.2, kMostCents / 2)) << what;
    }
}

// Two frames one hop apart, transformed as the analysis core does.
struct FramePair {
    LSpectrum previous{kFrameLength};
    LSpectrum current{kFrameLength};
    FundamentalPeak found;
};

// The note sounds from `onsetSeconds` and is cut off at `stopSeconds` (times from the start of
// the earlier frame); its fundamental's bin is taken as the peak.
FramePair Frames(double f0, double onsetSeconds, double stopSeconds, double level) {
    std::vector<double> signal(kFrameLength + kHop, 0.0);
    for (size_t i = 0; i < signal.size(); ++i) {
        const double t = i / kRate;
        if (t >= onsetSeconds && t < stopSeconds) signal[i] = level * StringSample(f0, t);
    }
    const auto samples = synth::ToInternalSamples(signal);
    LRealFFT fft(kFrameOrder);
    LHammingWindow window(kFrameLength);
    FramePair p;
    fft.Transform(samples.data(), window, p.previous);
    fft.Transform(samples.data() + kHop, window, p.current);
    const int32_t centre = static_cast<int32_t>(std::lround(f0 * kFrameLength / kRate));
    int32_t peak = centre;
    for (int32_t k = centre - 1; k <= centre + 1; ++k) {
        if (Magnitude(p.current, k) > Magnitude(p.current, peak)) peak = k;
    }
    p.found = {peak, peak, 1};
    return p;
}

struct FrameCase {
    const char* what;
    double onset, stop;  // seconds from the start of the earlier frame
    bool corrects;
};

const FrameCase kFrameCases[] = {
    {"steady", -1.0, 10.0, false},
    {"stops inside both frames", -1.0, 0.3, true},
    {"starts inside both frames", 0.25, 10.0, true},
};

// A tenth of a bin: how far the plain estimate is at least pulled on these frames; what is
// left after the correction is a fortieth of a bin.
constexpr double kPulledHz = 0.2;
constexpr double kCorrectedHz = 0.05;

TEST(LevelChangeTest, CorrectsOnlyWhereTheLevelChanges) {
    for (const FrameCase& c : kFrameCases) {
        for (double f0 : {73.0, 110.9, 196.8}) {
            const FramePair p = Frames(f0, c.onset, c.stop, 1.0);
            const double plain =
                RefineFundamental(p.current, p.previous, p.found, kFrameLength, kHop, 16000);
            const double held = Magnitude(p.current, p.found.peak);
            const LevelChangeRefinement r = RefineAcrossLevelChange(
                p.current, p.previous, p.found, kFrameLength, kHop, 16000, held);
            const std::string what = std::string(c.what) + " " + std::to_string(f0);
            EXPECT_EQ(r.corrected, c.corrects) << what;
            if (!c.corrects) {
                EXPECT_EQ(r.frequency, plain) << what;  // exactly the phase vocoder's
                EXPECT_NEAR(r.gain, 1.0, kSteadyDisagreement) << what;
            } else {
                EXPECT_GT(std::abs(plain - f0), kPulledHz) << what;
                EXPECT_LT(std::abs(r.frequency - f0), kCorrectedHz) << what;
                EXPECT_LT(r.gain, 1.0 - kSteadyDisagreement) << what;
            }
        }
    }
}

// A tail far under the level the reading stood at is left alone, however its bins disagree.
TEST(LevelChangeTest, LeavesTailsUnderTheHeldLevel) {
    const FramePair p = Frames(73.0, -1.0, 0.3, 1.0);
    const double strong = Magnitude(p.current, p.found.peak);
    const double plain =
        RefineFundamental(p.current, p.previous, p.found, kFrameLength, kHop, 16000);
    const auto r = RefineAcrossLevelChange(p.current, p.previous, p.found, kFrameLength, kHop,
                                           16000, 2.0 * strong / kTailShare);
    EXPECT_FALSE(r.corrected);
    EXPECT_EQ(r.frequency, plain);
}

}  // namespace
}  // namespace tw
