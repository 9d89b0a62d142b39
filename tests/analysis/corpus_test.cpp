// A small part of the instrument corpus, rendered by fluidsynth from the two corpus soundfonts:
// every held note must read as itself, and a vibrato as its centre. Skipped when fluidsynth or
// the soundfonts are missing (tools/install-deps.sh installs them). A failing take is left as a WAV
// in the build folder.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cmath>
#include <filesystem>
#include <string>
#include <vector>

#include "corpus/corpus.h"
#include "corpus/score.h"

namespace tw {
namespace {

using namespace corpus;

// Most readings of a held note must name it: the rest are the attack and the release.
constexpr double kRightShare = 0.9;

const Instrument* Find(const char* name) {
    for (const auto& i : CorpusInstruments()) {
        if (std::string(i.name) == name) return &i;
    }
    return nullptr;
}

void Keep(const Take& take) {
    const std::string dir = std::string(TW_TEST_OUTPUT_DIR) + "/corpus";
    std::filesystem::create_directories(dir);
    WriteTake(take, dir, nullptr);
}

std::string WorkFolder() {
    const std::string work =
        (std::filesystem::temp_directory_path() / ("tw-corpus-test-" + std::to_string(::getpid())))
            .string();
    std::filesystem::create_directories(work);
    return work;
}

TEST(CorpusTest, HeldNotesReadAsThemselves) {
    for (const auto& font : CorpusSoundfonts()) {
        if (!CanRender(font)) GTEST_SKIP() << "fluidsynth or " << font.path << " missing";
    }
    struct Case {
        const char* instrument;
        Disturbance disturbance;
    };
    const Case cases[] = {
        {"steel-guitar", Disturbance::kClean}, {"clarinet", Disturbance::kClean},
        {"double-bass", Disturbance::kClean},  {"cello", Disturbance::kFifth},
        {"steel-guitar", Disturbance::kFifth}, {"bass-5string", Disturbance::kFifth},
        {"double-bass", Disturbance::kHum50},  {"bass-5string", Disturbance::kHum60},
        {"bass-5string", Disturbance::kBuzz},  {"violin", Disturbance::kVibrato},
    };
    const std::string work = WorkFolder();
    for (const auto& font : CorpusSoundfonts()) {
        for (const Case& c : cases) {
            const Instrument* instrument = Find(c.instrument);
            ASSERT_NE(instrument, nullptr) << c.instrument;
            Take take;
            std::string error;
            ASSERT_TRUE(BuildTake(*instrument, font, c.disturbance, 44100, work, take, &error))
                << error;
            const auto readings = ReadWithTunewright(take, true);
            const double end = static_cast<double>(take.signal.size()) / take.rate;
            bool failed = false;
            for (size_t i = 0; i < take.notes.size(); ++i) {
                const NoteScore s =
                    ScoreNote(readings, take.notes, i, end, kTunewrightFramesPerSecond);
                // Hum and buzz go on through the pauses, where nothing may be read.
                const bool ok = s.readings > 0 && s.right >= kRightShare * s.readings &&
                                s.octaveErrors == 0 && s.pauseWrong == 0;
                EXPECT_TRUE(ok) << take.label << " note " << take.notes[i].note << ": " << s.right
                                << " of " << s.readings << " right, " << s.octaveErrors
                                << " octave errors, " << s.pauseWrong << " readings in the pause";
                failed = failed || !ok;
            }
            if (failed) Keep(take);
        }
    }
    std::filesystem::remove_all(work);
}

// Vibrato of +-15 cents: each note's median stays within 3 cents of the same note played clean.
// At 5 Hz the sidebands of a trumpet's and a flute's high notes lie a fractional number of bins
// apart; on a piano whose level swings with the pitch, the magnitudes put C6 10 cents flat.
TEST(CorpusTest, VibratoReadsTheCleanNote) {
    for (const auto& font : CorpusSoundfonts()) {
        if (!CanRender(font)) GTEST_SKIP() << "fluidsynth or " << font.path << " missing";
    }
    constexpr double kCentreCents = 3.0;
    const std::string work = WorkFolder();
    struct Case {
        const char* instrument;
        Disturbance vibrato;
    };
    const Case cases[] = {{"trumpet", Disturbance::kVibratoSlow},
                          {"flute", Disturbance::kVibratoSlow},
                          {"piano", Disturbance::kVibratoLevel}};
    for (const auto& font : CorpusSoundfonts()) {
        for (const Case& k : cases) {
            const Instrument* instrument = Find(k.instrument);
            ASSERT_NE(instrument, nullptr) << k.instrument;
            Take clean, vibrato;
            std::string error;
            ASSERT_TRUE(
                BuildTake(*instrument, font, Disturbance::kClean, 44100, work, clean, &error))
                << error;
            ASSERT_TRUE(BuildTake(*instrument, font, k.vibrato, 44100, work, vibrato, &error))
                << error;
            const auto cleanReadings = ReadWithTunewright(clean, true);
            const auto vibratoReadings = ReadWithTunewright(vibrato, true);
            const double end = static_cast<double>(vibrato.signal.size()) / vibrato.rate;
            bool failed = false;
            for (size_t i = 0; i < vibrato.notes.size(); ++i) {
                const NoteScore c =
                    ScoreNote(cleanReadings, clean.notes, i, end, kTunewrightFramesPerSecond);
                const NoteScore v =
                    ScoreNote(vibratoReadings, vibrato.notes, i, end, kTunewrightFramesPerSecond);
                const bool ok = c.right > 0 && v.right > 0 &&
                                std::abs(v.medianCents - c.medianCents) <= kCentreCents;
                EXPECT_TRUE(ok) << vibrato.label << " note " << vibrato.notes[i].note << ": "
                                << v.medianCents << " cents against " << c.medianCents
                                << " played clean";
                failed = failed || !ok;
            }
            if (failed) Keep(vibrato);
        }
    }
    std::filesystem::remove_all(work);
}

}  // namespace
}  // namespace tw
