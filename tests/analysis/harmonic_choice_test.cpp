// The fundamental on tones that trip the lowest-peak search: a fundamental far under its third
// partial, a partial or a second voice a fifth above, vibrato, mains hum, and notes that decay
// under the scan's floor or are nearly pure. Each case
// isolates one cause and is judged the way a player sees it: the note named and the cents.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "analysis/harmonic_choice.h"
#include "common/measure.h"
#include "synth/synth.h"
#include "tuner/notes.h"

namespace tw {
namespace {

constexpr double kRate = 16000.0;
constexpr double kTwoPiHere = 6.283185307179586;
// The stability filter needs about 0.75 s; judge what is published after this.
constexpr double kSettledAfter = 1.0;

double NoteHz(int note) {
    return 440.0 * std::pow(2.0, (note - 69) / 12.0);
}

double DbToRatio(double db) {
    return std::pow(10.0, db / 20.0);
}

// A tone whose frequency swings sinusoidally by +-`cents` at `rateHz` around f0. With
// `levelSwingDb`, its level falls by that much from the flattest to the sharpest point of the
// swing, as a violin's does when its partials move over the body's resonances.
std::vector<double> VibratoTone(double f0, double seconds, const std::vector<double>& harmonics,
                                double rateHz, double cents, double levelSwingDb = 0.0) {
    const size_t n = static_cast<size_t>(seconds * kRate);
    std::vector<double> out(n, 0.0);
    const double depth = std::pow(2.0, cents / 1200.0) - 1.0;
    double phase = 0.0;  // of the fundamental, in cycles
    for (size_t i = 0; i < n; ++i) {
        const double swing = std::sin(kTwoPiHere * rateHz * i / kRate);
        const double f = f0 * (1.0 + depth * swing);
        const double gain = DbToRatio(-levelSwingDb * (1.0 + swing) / 2.0);
        for (size_t h = 0; h < harmonics.size(); ++h) {
            if (f * (h + 1) < kRate * 0.45)
                out[i] +=
                    gain * harmonics[h] * std::sin(kTwoPiHere * phase * (h + 1) + 0.7 * h * h);
        }
        phase += f / kRate;
    }
    return out;
}

struct Outcome {
    int publications = 0;
    int right = 0;     // publications naming the expected note
    double cents = 0;  // median offset of the settled publications from f0
    int settledNote = -1;
};

Outcome Judge(const std::vector<double>& signal, double f0) {
    const auto pubs = test::AnalyseAt16k(synth::ToInternalSamples(signal));
    Outcome o;
    o.publications = static_cast<int>(pubs.size());
    const int note = NearestNote(static_cast<float>(f0));
    for (const auto& p : pubs) o.right += NearestNote(p.frequency) == note;
    const double settled = test::SettledFrequency(pubs, kSettledAfter);
    if (settled > 0) {
        o.settledNote = NearestNote(static_cast<float>(settled));
        o.cents = test::Cents(settled, f0);
    }
    return o;
}

const std::vector<double> kString{0.30, 0.15, 0.10, 0.07, 0.05, 0.04};

void ExpectRightNote(const std::vector<double>& signal, double f0, const std::string& what) {
    const Outcome o = Judge(signal, f0);
    const int note = NearestNote(static_cast<float>(f0));
    EXPECT_GT(o.publications, 0) << what;
    EXPECT_EQ(o.right, o.publications)
        << what << ": " << o.publications - o.right << " readings name another note";
    EXPECT_EQ(o.settledNote, note) << what;
    if (o.settledNote == note) {
        EXPECT_LT(std::abs(o.cents), 1.0) << what;
    }
}

// Cause 1: a decaying string's fundamental falls under the 1/15 bar of the strongest partial.
TEST(HarmonicChoiceTest, FundamentalFarUnderItsThirdPartial) {
    for (int note : {57, 62, 64, 69, 72}) {  // A3 D4 E4 A4 C5
        for (double db : {-25.0, -30.0}) {
            const std::vector<double> h{0.3 * DbToRatio(db), 0.15, 0.3, 0.1, 0.06};
            ExpectRightNote(synth::HarmonicTone(NoteHz(note), kRate, 2.0, h), NoteHz(note),
                            ScientificName(note) + " fundamental " + std::to_string(db) + " dB");
        }
    }
}

// Cause 2: one partial at 1.5 f, as loud as the fundamental (a string ringing along).
TEST(HarmonicChoiceTest, PartialAtOneAndAHalfTimesTheFundamental) {
    for (int note : {40, 45, 50}) {  // E2 A2 D3
        const double f0 = NoteHz(note);
        auto signal = synth::HarmonicTone(f0, kRate, 2.0, kString);
        synth::Mix(signal, synth::HarmonicTone(1.5 * f0, kRate, 2.0, {kString[0]}));
        ExpectRightNote(signal, f0, ScientificName(note) + " with a partial at 1.5 f");
    }
}

// Cause 2 again: a second voice a fifth above at -12 dB, on guitar, violin and bass notes.
TEST(HarmonicChoiceTest, SecondVoiceAFifthAbove) {
    for (int note : {28, 31, 33, 40, 43, 45, 50, 55}) {  // E1 G1 A1 E2 G2 A2 D3 G3
        const double f0 = NoteHz(note);
        auto signal = synth::HarmonicTone(f0, kRate, 2.0, kString);
        auto fifth = kString;
        for (double& a : fifth) a *= DbToRatio(-12.0);
        synth::Mix(signal, synth::HarmonicTone(NoteHz(note + 7), kRate, 2.0, fifth));
        ExpectRightNote(signal, f0, ScientificName(note) + " with a fifth above at -12 dB");
    }
}

// Weak even partials (a clarinet): the second partial misses the 1/15 bar, so the third is the
// first peak to qualify; the note is a twelfth under it.
TEST(HarmonicChoiceTest, WeakEvenPartials) {
    for (int note : {50, 57, 62}) {  // D3 A3 D4
        const std::vector<double> h{0.3, 0.01, 0.25, 0.01, 0.1, 0.03, 0.06};
        ExpectRightNote(synth::HarmonicTone(NoteHz(note), kRate, 2.0, h), NoteHz(note),
                        ScientificName(note) + " with weak even partials");
    }
}

// Cause 3: vibrato puts FM sidebands around every partial; the reading is the centre.
// At 5 and 5.5 Hz the sidebands lie a fractional number of bins apart (2.56 bins at 5 Hz), so
// the lower sideband's mirror image falls between bins (G5 and A#5 read 9 to 12 cents flat when
// only the mirror's stronger neighbour was taken for the partner).
TEST(HarmonicChoiceTest, VibratoReadsItsCentre) {
    for (int note : {57, 69, 76, 79, 81, 82}) {  // A3 A4 E5 G5 A5 A#5
        for (double rate : {5.0, 5.5, 6.0, 7.0}) {
            const double f0 = NoteHz(note);
            const auto signal = VibratoTone(f0, 3.0, kString, rate, 15.0);
            const Outcome o = Judge(signal, f0);
            const std::string what = ScientificName(note) + " vibrato " + std::to_string(rate);
            EXPECT_EQ(o.settledNote, NearestNote(static_cast<float>(f0))) << what;
            EXPECT_LT(std::abs(o.cents), 3.0) << what << ": " << o.cents << " cents";
            EXPECT_EQ(o.right, o.publications) << what;
        }
    }
}

// Vibrato whose level swings with the pitch (loudest when flattest, as a violin's partials move
// over its body's resonances) makes the lower sidebands stronger than the upper ones; the
// centre must still be read, not a sideband. Under about 200 Hz the lower sideband lies half a
// semitone down and names another note once a wide swing lifts it over the scan's bar. Higher
// up, the first lower sideband grows as strong as the carrier (a recorded violin's A4 with a
// natural vibrato of 25 cents read 25 cents flat, its D5 to A5 with 6 dB 12 to 16 cents flat).
TEST(HarmonicChoiceTest, VibratoWithASwingOfLevel) {
    struct Case {
        int note;
        double swingDb;
        double cents;
    };
    const Case cases[] = {{50, 12.0, 15.0}, {55, 12.0, 15.0}, {57, 6.0, 15.0},
                          {62, 6.0, 15.0},  {69, 6.0, 15.0},  {69, 10.0, 25.0},
                          {74, 6.0, 15.0},  {76, 6.0, 15.0},  {81, 6.0, 15.0}};
    for (const Case& c : cases) {
        for (double rate : {5.0, 6.0}) {
            const double f0 = NoteHz(c.note);
            const Outcome o = Judge(VibratoTone(f0, 3.0, kString, rate, c.cents, c.swingDb), f0);
            const std::string what = ScientificName(c.note) + " vibrato " + std::to_string(rate) +
                                     " Hz +-" + std::to_string(c.cents) + " c, level swing " +
                                     std::to_string(c.swingDb) + " dB";
            EXPECT_EQ(o.settledNote, c.note) << what;
            EXPECT_LT(std::abs(o.cents), 3.0) << what << ": " << o.cents << " cents";
            EXPECT_EQ(o.right, o.publications) << what;
        }
    }
}

std::vector<double> Hum(double mains, double seconds, double level) {
    return synth::HarmonicTone(mains, kRate, seconds,
                               {level, level * 0.5, level * 0.3, level * 0.2, level * 0.1});
}

// Cause 4: hum with its harmonics is not a note, and does not take over the bass notes
// played over it (30 dB above the hum).
TEST(HarmonicChoiceTest, MainsHum) {
    for (double mains : {50.0, 60.0}) {
        for (double level : {0.003, 0.03}) {
            auto hum = Hum(mains, 3.0, level);
            synth::Mix(hum, synth::Noise(kRate, 3.0, level * 0.01, 7));
            EXPECT_EQ(Judge(hum, mains).publications, 0) << mains << " Hz hum at " << level;
        }
        for (int note : {31, 35}) {  // G1 B1
            const double f0 = NoteHz(note);
            // One second of hum alone, then the note over it.
            auto signal = Hum(mains, 3.5, 0.3 * DbToRatio(-30.0));
            auto tone = synth::HarmonicTone(f0, kRate, 2.5, kString);
            tone.insert(tone.begin(), static_cast<size_t>(kRate), 0.0);
            synth::Mix(signal, tone);
            const Outcome o = Judge(signal, f0);
            const std::string what = ScientificName(note) + " over " + std::to_string(mains);
            EXPECT_EQ(o.right, o.publications) << what;
            EXPECT_EQ(o.settledNote, note) << what;
        }
    }
}

// A buzz: `count` mains harmonics (or the odd ones among them) falling as n^-slope, their
// amplitudes summing to `level`.
std::vector<double> Buzz(double mains, double seconds, int count, bool oddOnly, double slope,
                         double level) {
    std::vector<double> partials(count, 0.0);
    double sum = 0.0;
    for (int n = 1; n <= count; ++n) {
        if (oddOnly && n % 2 == 0) continue;
        partials[n - 1] = std::pow(n, -slope);
        sum += partials[n - 1];
    }
    for (double& a : partials) a *= level / sum;
    return synth::HarmonicTone(mains, kRate, seconds, partials);
}

// Hum through an amplifier, or a rectifier's buzz, carries mains harmonics far up: all of
// them or the odd ones only. No member of such a series is a note, at any level.
TEST(HarmonicChoiceTest, BuzzWithManyHarmonics) {
    struct Shape {
        const char* what;
        int count;
        bool oddOnly;
        double slope;  // partial n at n^-slope
    };
    const Shape shapes[] = {
        {"eight harmonics falling as 1/n", 8, false, 1.0},
        {"twenty harmonics", 20, false, 0.7},
        {"odd harmonics to the 29th", 29, true, 0.3},
    };
    for (double mains : {50.0, 60.0}) {
        for (const Shape& shape : shapes) {
            for (double level : {0.003, 0.03, 0.3}) {
                auto hum = Buzz(mains, 4.0, shape.count, shape.oddOnly, shape.slope, level);
                synth::Mix(hum, synth::Noise(kRate, 4.0, level * 0.003, 5));
                const Outcome o = Judge(hum, mains);
                EXPECT_EQ(o.publications, 0) << mains << " Hz " << shape.what << " at " << level
                                             << ": read as note " << o.settledNote;
            }
        }
    }
}

// The grid runs up to 0.2 Hz off 50 or 60 Hz, and its hum's harmonics proportionally further:
// hum off the nominal frequency is no note either, with its first four harmonics or twenty.
TEST(HarmonicChoiceTest, HumOffTheNominalMains) {
    for (double mains : {49.8, 49.9, 50.1, 50.2, 59.8, 59.9, 60.1, 60.2}) {
        for (double level : {0.003, 0.03}) {
            auto hum = Hum(mains, 3.0, level);
            synth::Mix(hum, synth::Noise(kRate, 3.0, level * 0.01, 7));
            EXPECT_EQ(Judge(hum, mains).publications, 0) << mains << " Hz hum at " << level;
            EXPECT_EQ(Judge(Buzz(mains, 3.0, 20, false, 0.7, level), mains).publications, 0)
                << mains << " Hz buzz at " << level;
        }
    }
}

// A note that happens to sit on a high multiple of the mains frequency (350 Hz is seven times
// 50, 660 Hz eleven times 60) is no hum while no mains series shows, even when its fundamental
// is under half its strongest partial, where hum is passed over.
TEST(HarmonicChoiceTest, NoteOnAHighMainsMultiple) {
    for (double f0 : {350.0, 660.0, 1100.0}) {
        const auto signal = synth::HarmonicTone(f0, kRate, 2.0, {0.006, 0.02, 0.01});
        ExpectRightNote(signal, f0, std::to_string(static_cast<int>(f0)) + " Hz");
    }
}

// A tone of odd partials alone (a square or a triangle wave, a stopped pipe, an FM voice whose
// fifth partial is its loudest) has no second harmonic for the scan to confirm; it is read all
// the same. A pure sine, such as the reference tone heard through the microphone, still is not.
TEST(HarmonicChoiceTest, OddPartialsAlone) {
    constexpr double kSeconds = 2.0;
    const double frames = (kSeconds - 0.512) / 0.032 - 6.0;
    struct Shape {
        const char* what;
        std::vector<double> oddDb;  // partials 1, 3, 5, ... against the fundamental
    };
    const Shape shapes[] = {
        {"square", {0, -9.5, -14, -16.9, -19.1, -20.8, -22.3, -23.5}},
        {"triangle", {0, -19.1, -28, -33.8, -38.2}},
        {"fifth partial loudest", {0, -21, 9, -4, -5, -16, -19}},
    };
    for (const Shape& shape : shapes) {
        for (int note : {23, 28, 45, 50, 57, 69, 76, 81}) {  // B0 E1 A2 D3 A3 A4 E5 A5
            std::vector<double> partials(2 * shape.oddDb.size() - 1, 0.0);
            for (size_t j = 0; j < shape.oddDb.size(); ++j)
                partials[2 * j] = 0.05 * DbToRatio(shape.oddDb[j]);
            const double f0 = NoteHz(note);
            const auto signal = synth::HarmonicTone(f0, kRate, kSeconds, partials);
            const std::string what = ScientificName(note) + " " + shape.what;
            ExpectRightNote(signal, f0, what);
            EXPECT_GE(Judge(signal, f0).publications, 0.9 * frames) << what;
        }
    }
    for (int note : {57, 69}) {
        const double f0 = NoteHz(note);
        EXPECT_EQ(Judge(synth::HarmonicTone(f0, kRate, kSeconds, {0.2}), f0).publications, 0)
            << ScientificName(note) << " pure sine";
    }
}

// A tone whose partials all decay by `dbPerSecond`, as a struck or plucked string does.
std::vector<double> DecayingTone(double f0, double seconds, const std::vector<double>& harmonics,
                                 double dbPerSecond) {
    auto tone = synth::HarmonicTone(f0, kRate, seconds, harmonics);
    for (size_t i = 0; i < tone.size(); ++i) tone[i] *= DbToRatio(-dbPerSecond * i / kRate);
    return tone;
}

// Notes decaying over a buzz of twenty mains harmonics, 20 dB under the note's first two
// seconds: every reading names the note, from the first on, while the buzz alone before the
// note reads nothing.
TEST(HarmonicChoiceTest, NotesOverABuzz) {
    constexpr double kLeadIn = 1.0;
    constexpr double kSeconds = 3.0;
    for (double mains : {50.0, 60.0}) {
        for (int note : {40, 55, 64, 69, 76}) {  // E2 G3 E4 A4 E5
            const double f0 = NoteHz(note);
            auto tone = DecayingTone(f0, kSeconds, kString, 6.0);
            auto buzz = Buzz(mains, kLeadIn + kSeconds, 20, false, 0.7, 1.0);
            const auto rms = [](const std::vector<double>& x, size_t from, size_t to) {
                double sum = 0.0;
                for (size_t i = from; i < to; ++i) sum += x[i] * x[i];
                return std::sqrt(sum / static_cast<double>(to - from));
            };
            const double gain = rms(tone, 0, static_cast<size_t>(2.0 * kRate)) /
                                rms(buzz, 0, buzz.size()) * DbToRatio(-20.0);
            for (double& b : buzz) b *= gain;
            tone.insert(tone.begin(), static_cast<size_t>(kLeadIn * kRate), 0.0);
            synth::Mix(buzz, tone);
            const auto pubs = test::AnalyseAt16k(synth::ToInternalSamples(buzz));
            const std::string what =
                ScientificName(note) + " over " + std::to_string(static_cast<int>(mains)) + " Hz";
            ASSERT_FALSE(pubs.empty()) << what;
            int wrong = 0;
            for (const auto& p : pubs) wrong += NearestNote(p.frequency) != note;
            EXPECT_EQ(wrong, 0) << what << ": " << wrong << " of " << pubs.size()
                                << " readings name another note";
        }
    }
}

// Cause 5: a decaying note falls under the scan's magnitude floor (about 1.6 s into these
// tones) long before it is inaudible; it keeps being read, right, to the end of the tone. With
// vibrato, a steel string's strong upper partials spread into sidebands that lift the frame's
// mean, so its fundamental stands less far above it than a steady tail's does.
TEST(HarmonicChoiceTest, DecayingNoteUnderTheFloor) {
    constexpr double kSeconds = 3.0;
    constexpr double kLeadIn = 0.5;
    // A sampled steel string's partials as measured late in its note, in dB.
    std::vector<double> steel;
    for (double db : {0, -4, -7, -14, -34, -9, -20, -23, -37, -32, -24, -31})
        steel.push_back(0.02 * DbToRatio(db));
    struct Case {
        const char* what;
        std::vector<double> partials;
        double vibratoHz;   // 0: none
        double centsLimit;  // of the settled reading late in the tone
    };
    const Case cases[] = {
        {"decaying", {0.02, 0.008, 0.004}, 0.0, 1.0},
        {"steel string decaying with vibrato", steel, 6.0, 3.0},
    };
    for (const Case& c : cases) {
        for (int note : {57, 64, 69, 76}) {  // A3 E4 A4 E5
            const double f0 = NoteHz(note);
            auto signal = c.vibratoHz > 0.0
                              ? VibratoTone(f0, kSeconds, c.partials, c.vibratoHz, 15.0)
                              : synth::HarmonicTone(f0, kRate, kSeconds, c.partials);
            for (size_t i = 0; i < signal.size(); ++i) signal[i] *= DbToRatio(-15.0 * i / kRate);
            // Half a second of silence first sets the level gate's floor, as a room's quiet does.
            signal.insert(signal.begin(), static_cast<size_t>(kLeadIn * kRate), 0.0);
            const auto pubs = test::AnalyseAt16k(synth::ToInternalSamples(signal));
            const std::string what = ScientificName(note) + " " + c.what;
            ASSERT_FALSE(pubs.empty()) << what;
            for (const auto& p : pubs) EXPECT_EQ(NearestNote(p.frequency), note) << what;
            // Frames end every 32 ms; the last ones of the tone still publish.
            EXPECT_GE(pubs.back().seconds, kLeadIn + kSeconds - 0.1) << what;
            const double late = test::SettledFrequency(pubs, kLeadIn + 2.0);
            EXPECT_LT(std::abs(test::Cents(late, f0)), c.centsLimit)
                << what << ": " << late << " Hz";
        }
    }
}

// Cause 5, the other side: noise as loud as those quiet tails is no note.
TEST(HarmonicChoiceTest, QuietNoisePublishesNothing) {
    for (double amplitude : {0.0005, 0.002, 0.01}) {
        const auto noise = synth::Noise(kRate, 3.0, amplitude, 11);
        EXPECT_TRUE(test::AnalyseAt16k(synth::ToInternalSamples(noise)).empty()) << amplitude;
    }
}

// Cause 5: a nearly pure high tone (a flute's A5) has its second harmonic under the scan's 1/15
// bar; it reads right in most frames once the first frame is full.
TEST(HarmonicChoiceTest, NearlyPureHighTone) {
    constexpr double kSeconds = 2.0;
    // Frames that lie wholly within the tone, less the six the stability filter waits for.
    const double frames = (kSeconds - 0.512) / 0.032 - 6.0;
    for (int note : {81, 84, 88}) {  // A5 C6 E6
        for (double db : {-26.0, -34.0}) {
            const double f0 = NoteHz(note);
            const auto signal =
                synth::HarmonicTone(f0, kRate, kSeconds, {0.2, 0.2 * DbToRatio(db)});
            const std::string what =
                ScientificName(note) + " second harmonic " + std::to_string(db) + " dB";
            ExpectRightNote(signal, f0, what);
            EXPECT_GE(Judge(signal, f0).publications, 0.9 * frames) << what;
        }
    }
}

// A clarinet's second partial lies under the scan's 1/15 bar, so the scan reads the third,
// which needs the sixth as its second harmonic. Vibrato spreads the sixth partial's sidebands
// under that bar in many frames, and spreads all partials enough to lift the frame's mean: the
// fundamental then stands only 40 to 46 dB above it. Those frames must still read the note.
TEST(HarmonicChoiceTest, VibratoOnANearlyPureNote) {
    constexpr double kSeconds = 3.0;
    const double frames = (kSeconds - 0.512) / 0.032 - 6.0;
    // A sampled clarinet's partials as measured, in dB against the fundamental.
    std::vector<double> clarinet;
    for (double db : {0, -29, -8, -25, -14, -19, -13, -22, -17, -34, -24, -39, -41, -36, -33, -34})
        clarinet.push_back(0.2 * DbToRatio(db));
    for (int note : {57, 64, 69, 72}) {  // A3 E4 A4 C5
        for (double rate : {5.0, 6.0}) {
            const double f0 = NoteHz(note);
            auto signal = VibratoTone(f0, kSeconds, clarinet, rate, 15.0);
            synth::Mix(signal, synth::Noise(kRate, kSeconds, 0.002, 3));
            const std::string what =
                ScientificName(note) + " clarinet, vibrato " + std::to_string(rate) + " Hz";
            const Outcome o = Judge(signal, f0);
            EXPECT_EQ(o.right, o.publications) << what;
            EXPECT_EQ(o.settledNote, note) << what;
            EXPECT_GE(o.publications, 0.8 * frames) << what;
        }
    }
}

// The choice on a frame's spectrum by hand (8192 bins of 1.95 Hz): `floor` in every bin, then
// the bins given.
int32_t ChosenBin(const std::vector<std::pair<int, double>>& bins, double floor) {
    constexpr uint32_t kN = 8192;
    LSpectrum spectrum(kN);
    for (int32_t b = 1; b < static_cast<int32_t>(kN / 2); ++b) spectrum.Real()[b] = floor;
    for (const auto& [bin, value] : bins) spectrum.Real()[bin] = value;
    std::vector<double> scratch;
    ChoiceContext context;
    return ChooseFundamental(spectrum, kN, PeakSearchBoundsFor(kN), scratch, context).bin;
}

// The same frames by hand (bins of 1.95 Hz, a floor that puts the strongest bin 130 times over
// the frame's mean, and nothing the scan accepts): the strongest bin with a second harmonic at
// -34 dB is the note when nothing stands under it; with something at its half, it is a higher
// partial of that note (an attack) and nothing is read.
TEST(HarmonicChoiceTest, LoudFrameWithALoneStrongestBin) {
    struct Case {
        const char* what;
        std::vector<std::pair<int, double>> bins;
        int32_t bin;
    };
    const Case cases[] = {
        {"alone", {{226, 1500}, {452, 30}}, 226},
        {"over a weak note at its half", {{113, 80}, {226, 1500}, {452, 30}}, 0},
        {"over a weak note at its third", {{75, 80}, {226, 1500}, {452, 30}}, 0},
    };
    for (const Case& c : cases) EXPECT_EQ(ChosenBin(c.bins, 10.0), c.bin) << c.what;
}

// A decayed string, nearly its fundamental alone, under a voice an octave above whose own
// fundamental is weak: the voice's partials qualify first and the octave check would name the
// voice; the strongest peak, of which they are all harmonics, is the note.
TEST(HarmonicChoiceTest, NearlyPureNoteUnderAnOctaveVoice) {
    for (int note : {55, 59, 64}) {  // G3 B3 E4
        const double f0 = NoteHz(note);
        auto signal = synth::HarmonicTone(f0, kRate, 2.0, {0.2});
        synth::Mix(signal, synth::HarmonicTone(2.0 * f0, kRate, 2.0, {0.01, 0.06, 0.02, 0.02}));
        ExpectRightNote(signal, f0, ScientificName(note) + " under an octave voice");
    }
}

// The low notes' own octave check (a third harmonic of the half) halves only on partials of the
// half at its first, fifth or seventh multiple; a broad hump there (a hammer's thump, the noise
// of an attack) is no partial. Spectra by hand: A1 on bin 28 with a fifth above on bin 42.
TEST(HarmonicChoiceTest, LowOctaveCheckWantsPartialsOfTheHalf) {
    constexpr uint32_t kN = 8192;
    const PeakSearchBounds bounds = PeakSearchBoundsFor(kN);
    struct Case {
        const char* what;
        std::vector<std::pair<int, double>> extra;  // bins added to the note and its fifth
        int32_t bin;
    };
    const Case cases[] = {
        {"the note and its fifth", {}, 28},
        {"a broad hump at the half's fifth partial",
         {{66, 130}, {67, 130}, {68, 140}, {69, 150}, {70, 150}, {71, 140}, {72, 130}, {73, 130}},
         28},
        {"a sharp partial at the half's fifth partial", {{70, 150}}, 14},
        {"a sharp partial at the half's seventh partial", {{98, 150}}, 14},
    };
    for (const Case& c : cases) {
        LSpectrum spectrum(kN);
        for (const auto& [bin, value] :
             std::vector<std::pair<int, double>>{{28, 1000}, {42, 300}, {56, 1500}, {84, 600}})
            spectrum.Real()[bin] = value;
        for (const auto& [bin, value] : c.extra) spectrum.Real()[bin] = value;
        std::vector<double> scratch;
        ChoiceContext context;
        EXPECT_EQ(ChooseFundamental(spectrum, kN, bounds, scratch, context).bin, c.bin) << c.what;
    }
}

// A low piano note struck near a node of its low partials: the fundamental under the scan's bar
// and the odd partials weak up to the seventh, strong above it (partials 1..16 as measured on a
// sampled piano's A1, relative to the second). The octave above must not be read. The control
// keeps only the odd partials 3, 9 and 15, raised: they belong as well to a voice a fifth above
// the octave, which must not halve the octave.
TEST(HarmonicChoiceTest, LowNoteWithWeakLowOddPartials) {
    const std::vector<double> piano{0.05, 1.0,  0.05, 0.125, 0.20, 0.86, 0.09, 0.02,
                                    0.20, 0.50, 0.55, 0.17,  0.50, 0.68, 0.36, 0.24};
    std::vector<double> fifthOnly = piano;
    fifthOnly[10] = fifthOnly[12] = 0.0;  // partials 11 and 13
    fifthOnly[0] = fifthOnly[4] = fifthOnly[6] = 0.0;
    fifthOnly[2] = fifthOnly[8] = fifthOnly[14] = 0.4;  // a fifth above the octave, -8 dB
    struct Case {
        const char* what;
        const std::vector<double>* partials;
        int octaveAbove;  // 0: the note itself is expected, 12: its octave
    };
    const Case cases[] = {
        {"weak low odd partials", &piano, 0},
        {"odd partials only where a fifth above explains them", &fifthOnly, 12},
    };
    for (const Case& c : cases) {
        for (int note : {28, 33, 38}) {  // E1 A1 D2
            std::vector<double> h = *c.partials;
            for (double& a : h) a *= 0.15;
            const double f0 = NoteHz(note);
            const double expected = NoteHz(note + c.octaveAbove);
            ExpectRightNote(synth::HarmonicTone(f0, kRate, 2.0, h), expected,
                            ScientificName(note) + ", " + c.what);
        }
    }
}

// A sampled guitar's loop leaves a steady sine near half the note, off the exact half by a few
// tens of cents and with no partials of its own; it is the lowest peak to qualify, and the note
// must not read an octave down. The control is a real note an octave down whose odd partials are
// 30 dB under its even ones: they are still there, so it keeps its octave.
TEST(HarmonicChoiceTest, LowSoundAloneUnderTheNote) {
    // Partials of a steel-string A2 as measured, relative to the strongest (the third).
    const std::vector<double> steel{0.45, 0.63, 1.0, 0.04, 0.2, 0.4, 0.35};
    struct Case {
        const char* what;
        double subCents;  // the low sound against the exact half; NAN: a note an octave down
        double subDb;     // its level against the note's fundamental
    };
    const Case cases[] = {
        {"a sine 31 cents over the half, -14 dB", 31.0, -14.0},
        {"a sine 20 cents under the half, -10 dB", -20.0, -10.0},
        {"the note an octave down, weak odd partials", NAN, 0.0},
    };
    for (const Case& c : cases) {
        for (int note : {40, 45, 50}) {  // E2 A2 D3
            const double f0 = NoteHz(note);
            std::vector<double> h = steel;
            for (double& a : h) a *= 0.15;
            if (std::isnan(c.subCents)) {
                // The same partials as the even ones of the octave below, its odd ones at -30 dB.
                std::vector<double> low;
                low.push_back(h[0]);
                for (double a : h) {
                    low.push_back(a);
                    low.push_back(a * DbToRatio(-30.0));
                }
                ExpectRightNote(synth::HarmonicTone(f0 / 2.0, kRate, 2.0, low), f0 / 2.0,
                                ScientificName(note - 12) + ", " + c.what);
                continue;
            }
            auto signal = synth::HarmonicTone(f0, kRate, 2.0, h);
            const double sub = f0 / 2.0 * std::pow(2.0, c.subCents / 1200.0);
            synth::Mix(signal, synth::HarmonicTone(sub, kRate, 2.0, {h[0] * DbToRatio(c.subDb)}));
            ExpectRightNote(signal, f0, ScientificName(note) + " with " + c.what);
        }
    }
}

// The octave check's share, on spectra by hand (bins of 1.95 Hz). A sampled piano's A0 early in
// its note, over the floor its attack leaves: the partials of A1 (bin 28) and the half's third
// and fifth partials at 0.21 of A1's series. The fifth partial, which no voice a fifth above
// explains, lowers the bar: a note with the same share from the half's third and fifth
// partials is halved, one with it from the half's first and third is not. And an E1 whose
// partials suggest a twelfth below it, under the lowest note the scan reads.
TEST(HarmonicChoiceTest, OctaveShareAndTheLowestNotes) {
    struct Case {
        const char* what;
        std::vector<std::pair<int, double>> bins;
        double floor;
        int32_t bin;
    };
    const Case cases[] = {
        {"A0 with its third and fifth partials",
         {{28, 235}, {42, 282}, {56, 1810}, {70, 673}, {84, 2300}, {112, 124}},
         20.0,
         14},
        {"bin 120 with the half's third and fifth partials",
         {{120, 1000}, {180, 250}, {240, 600}, {300, 250}, {360, 400}, {480, 300}},
         0.0,
         60},
        {"bin 120 with the half's first and third partials",
         {{60, 60}, {120, 1000}, {180, 440}, {240, 600}, {360, 400}, {480, 300}},
         0.0,
         120},
        {"E1 whose twelfth below would be 20 Hz",
         {{21, 400}, {31, 1000}, {41, 800}, {52, 500}, {62, 300}, {72, 300}, {83, 600}, {103, 400}},
         0.0,
         21},
    };
    for (const Case& c : cases) EXPECT_EQ(ChosenBin(c.bins, c.floor), c.bin) << c.what;
}

// A damped low string loses its odd partials first, the third last: partials 5 and 7 fade at
// 40 dB/s, the third at 12 dB/s, the even ones at 3 dB/s, over noise 60 dB under the tone.
std::vector<double> DampedLowTone(double f0, double seconds) {
    const std::vector<double> partials{0.01, 0.06, 0.1, 0.25, 0.15, 0.25, 0.08, 0.05};
    std::vector<double> signal(static_cast<size_t>(seconds * kRate), 0.0);
    for (size_t k = 1; k <= partials.size(); ++k) {
        const double dbPerSecond = k % 2 == 0 ? 3.0 : k == 3 ? 12.0 : 40.0;
        std::vector<double> one(k, 0.0);
        one[k - 1] = partials[k - 1];
        synth::Mix(signal, DecayingTone(f0, seconds, one, dbPerSecond));
    }
    synth::Mix(signal, synth::Noise(kRate, seconds, 0.0003, 7));
    return signal;
}

// The reading that stands keeps its octave while any odd partial is left: the damped tone
// never reads an octave up.
TEST(HarmonicChoiceTest, DampedLowNoteKeepsItsOctave) {
    for (int note : {21, 28, 33}) {  // A0 E1 A1
        const auto pubs =
            test::AnalyseAt16k(synth::ToInternalSamples(DampedLowTone(NoteHz(note), 2.5)));
        const std::string what = ScientificName(note) + " damped";
        ASSERT_FALSE(pubs.empty()) << what;
        int octaveUp = 0;
        for (const auto& p : pubs) octaveUp += NearestNote(p.frequency) == note + 12;
        EXPECT_EQ(octaveUp, 0) << what << ": of " << pubs.size() << " readings";
        EXPECT_EQ(NearestNote(pubs.back().frequency), note) << what;
    }
}

// The other side: the octave struck while the damped note still rings is a new attack, and
// the reading follows it.
TEST(HarmonicChoiceTest, OctaveStruckOverADampedNote) {
    constexpr double kFirst = 1.5;
    constexpr double kSecond = 1.5;
    for (int note : {21, 28, 33}) {  // A0 E1 A1
        auto signal = DampedLowTone(NoteHz(note), kFirst + kSecond);
        auto octave = DecayingTone(NoteHz(note + 12), kSecond, kString, 3.0);
        octave.insert(octave.begin(), static_cast<size_t>(kFirst * kRate), 0.0);
        synth::Mix(signal, octave);
        const auto pubs = test::AnalyseAt16k(synth::ToInternalSamples(signal));
        const std::string what = ScientificName(note + 12) + " over " + ScientificName(note);
        int late = 0, octaveRead = 0;
        for (const auto& p : pubs) {
            if (p.seconds < kFirst + 0.8) continue;
            ++late;
            octaveRead += NearestNote(p.frequency) == note + 12;
        }
        EXPECT_GT(late, 0) << what;
        EXPECT_EQ(octaveRead, late) << what;
    }
}

// A sampled note's loop repeats every 18 periods, which adds lines at every multiple of f0 / 18
// (levels as measured on a nylon-string B3 late in its note, against its fundamental). The
// lowest of them qualify for the scan and the octave checks take the comb for a low note's
// series; the note stands far above everything around it in that series. The control is a real
// low note whose loudest partial stands only 20 dB above its neighbours: it keeps its own note.
TEST(HarmonicChoiceTest, LoopCombUnderTheNote) {
    const std::vector<double> nylon{1.0, 0.76, 0.73, 0.14, 0.09, 0.17};
    // Comb lines k = 1 .. 17 against the note's fundamental.
    const std::vector<double> comb{0.0,   0.0,   0.018, 0.116, 0.058, 0.42, 0.012, 0.114, 0.028,
                                   0.022, 0.013, 0.012, 0.012, 0.0,   0.0,  0.0,   0.0};
    for (int note : {55, 57, 59, 62, 64}) {  // G3 A3 B3 D4 E4
        const double f0 = NoteHz(note);
        std::vector<double> h = nylon;
        for (double& a : h) a *= 0.2;
        auto signal = synth::HarmonicTone(f0, kRate, 2.0, h);
        std::vector<double> lines = comb;
        for (double& a : lines) a *= 0.2;
        synth::Mix(signal, synth::HarmonicTone(f0 / 18.0, kRate, 2.0, lines));
        ExpectRightNote(signal, f0, ScientificName(note) + " over its loop's comb");
    }
    for (int note : {33, 38}) {  // A1 D2
        std::vector<double> h(13, 0.3 * DbToRatio(-20.0));
        h[5] = 0.3;
        ExpectRightNote(synth::HarmonicTone(NoteHz(note), kRate, 2.0, h), NoteHz(note),
                        ScientificName(note) + " loudest in its sixth partial");
    }
}

}  // namespace
}  // namespace tw
