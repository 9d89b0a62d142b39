// Clean synthetic tones from A0 to C6 in five timbres: what the analysis publishes for each
// (how many readings, when the first comes, the settled value) is pinned in a table, so that
// changes to the fundamental search cannot move a reading it already gets right.
// Set TW_PRINT_REGRESSION=1 to print the current readings in the table's format.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "common/measure.h"
#include "synth/synth.h"
#include "tuner/notes.h"

namespace tw {
namespace {

constexpr int kA0 = 21;
constexpr int kC6 = 84;
constexpr double kSeconds = 2.0;
constexpr double kSettledAfter = 1.2;
// Room for rounding differences between transforms; far below what a player can see.
constexpr double kToleranceHz = 0.001;

struct Timbre {
    const char* name;
    std::vector<double> harmonics;  // relative amplitudes, fundamental first
};

const Timbre kTimbres[] = {
    {"strong", {0.30, 0.15, 0.10, 0.07, 0.05, 0.04}},
    {"weak", {0.04, 0.24, 0.20, 0.14, 0.10, 0.06}},
    {"reed", {0.30, 0.04, 0.15, 0.03, 0.08, 0.02, 0.05}},  // odd partials lead, as a clarinet
    {"bright", {0.20, 0.10, 0.067, 0.05, 0.04, 0.033, 0.029, 0.025, 0.022, 0.02}},  // sawtooth
    {"mellow", {0.40, 0.08, 0.02}},  // flute-like, little above the second partial
};

struct Row {
    int note;
    int timbre;  // index into kTimbres
    int count;   // publications
    int firstMs;
    double settledHz;
};

struct Measured {
    int count = 0;
    int firstMs = -1;
    double settledHz = 0.0;
};

Measured Measure(int note, const Timbre& timbre) {
    const double f0 = 440.0 * std::pow(2.0, (note - 69) / 12.0);
    const auto signal =
        synth::ToInternalSamples(synth::HarmonicTone(f0, 16000.0, kSeconds, timbre.harmonics));
    const auto publications = test::AnalyseAt16k(signal);
    Measured m;
    m.count = static_cast<int>(publications.size());
    if (!publications.empty()) m.firstMs = static_cast<int>(publications[0].seconds * 1000.0 + 0.5);
    m.settledHz = test::SettledFrequency(publications, kSettledAfter);
    return m;
}

// Readings of the analysis before the octave and sideband checks were added.
const Row kRows[] = {
#include "regression_table.inc"
};

TEST(RegressionTest, CleanTonesReadAsBefore) {
    if (std::getenv("TW_PRINT_REGRESSION")) {
        for (int note = kA0; note <= kC6; ++note) {
            for (int t = 0; t < static_cast<int>(std::size(kTimbres)); ++t) {
                const Measured m = Measure(note, kTimbres[t]);
                std::printf("    {%d, %d, %d, %d, %.4f},  // %s %s\n", note, t, m.count, m.firstMs,
                            m.settledHz, ScientificName(note).c_str(), kTimbres[t].name);
            }
        }
        GTEST_SKIP() << "printed the table";
    }
    ASSERT_GT(std::size(kRows), 1u);
    for (const Row& row : kRows) {
        const Measured m = Measure(row.note, kTimbres[row.timbre]);
        const std::string what = ScientificName(row.note) + " " + kTimbres[row.timbre].name;
        EXPECT_EQ(m.count, row.count) << what;
        EXPECT_EQ(m.firstMs, row.firstMs) << what;
        EXPECT_NEAR(m.settledHz, row.settledHz, kToleranceHz) << what;
    }
}

}  // namespace
}  // namespace tw
