// The tuner settings over a private settings store: defaults, the text matching of
// instrument and tuning names, the note position's range and integers of text.
#include "tuner/tuner_settings.h"

#include <gtest/gtest.h>

#include <climits>
#include <vector>

#include "common/test_env.h"
#include "store/settings.h"
#include "tuner/notes.h"

namespace tw {
namespace {

class TunerSettings : public ::testing::Test {
  protected:
    test::TempHome home_;
};

std::vector<int32_t> Notes(TunerChoice c) {
    const auto span = NotesOfList(TuningNotesOf(c.instrument, c.tuning));
    return {span.begin(), span.end()};
}

TEST_F(TunerSettings, FirstRunDefaults) {
    EXPECT_EQ(GetInstrumentName(), "Guitar");
    EXPECT_EQ(GetTuningName(), "Standard");
    EXPECT_EQ(GetUserNotePosition(), 0);
    EXPECT_EQ(GetUserNote(), 12);
    EXPECT_EQ(GetUserFrequency(), 440);
    EXPECT_EQ(GetSoundInDevice(), "[Default Sound In]");
    EXPECT_EQ(GetSoundInDevice("Built-in Microphone"), "Built-in Microphone");
    EXPECT_EQ(GetSoundInDeviceChannel(), 0);
    EXPECT_EQ(GetInputChannel(), "None");
    EXPECT_FALSE(GetAlwaysOnTop());
    EXPECT_EQ(GetRunTimesRecording(), 0);
    EXPECT_EQ(GetPlayerDevice(), "");
    const TunerChoice c = RestoreTunerChoice();
    EXPECT_EQ(c.instrument, 9);
    EXPECT_EQ(c.tuning, 0);
    EXPECT_EQ(Notes(c), (std::vector<int32_t>{40, 45, 50, 55, 59, 64}));
}

TEST_F(TunerSettings, InstrumentAndTuningAreMatchedByExactText) {
    struct Case {
        const char* instrument;
        const char* tuning;
        int instrument_index;
        int tuning_index;
        std::vector<int32_t> notes;
    };
    const Case cases[] = {
        {"Violin", "Cajun", 13, 1, {53, 60, 67, 74}},  // not Fiddle's Cajun
        {"Fiddle", "Cajun", 8, 1, {53, 60, 67, 77}},
        {"Guitar", "Drop D", 9, 10, {38, 45, 50, 55, 59, 64}},
        {"Guitar", "drop d", 9, 0, {40, 45, 50, 55, 59, 64}},  // case counts
        {"guitar", "Standard", 0, 0, {}},                      // no match: the first item
        {"Viola", "Cajun", 12, 0, {48, 55, 62, 69}},
        {"Select Target Note", "", 1, 0, {}},
    };
    for (const auto& c : cases) {
        SetInstrumentName(c.instrument);
        SetTuningName(c.tuning);
        const TunerChoice choice = RestoreTunerChoice();
        EXPECT_EQ(choice.instrument, c.instrument_index) << c.instrument << "/" << c.tuning;
        EXPECT_EQ(choice.tuning, c.tuning_index) << c.instrument << "/" << c.tuning;
        EXPECT_EQ(Notes(choice), c.notes) << c.instrument << "/" << c.tuning;
    }
}

TEST_F(TunerSettings, SelectTargetNoteRestoresTheStoredNote) {
    SetInstrumentName("Select Target Note");
    SetUserNotePosition(57);
    EXPECT_EQ(RestoreTunerChoice().instrument, kInstrumentTargetNote);
    EXPECT_STREQ(TargetNoteNames()[GetUserNotePosition()], "A4");
    EXPECT_EQ(GetUserNote(), 69);
    EXPECT_FLOAT_EQ(NoteFrequency(GetUserNote()), 440.0f);
}

TEST_F(TunerSettings, IntegersReadFromText) {
    struct Case {
        const char* key;
        const char* stored;
        int (*read)();
        int expected;
    };
    const Case cases[] = {
        {"UserFreq", "abc", GetUserFrequency, 0},
        {"UserFreq", "442", GetUserFrequency, 442},
        {"UserFreq", "12abc", GetUserFrequency, 12},
        {"UserFreq", "", GetUserFrequency, 440},
        {"UserNote", "115", GetUserNotePosition, 115},
        {"UserNote", "116", GetUserNotePosition, 0},
        {"UserNote", "999", GetUserNotePosition, 0},
        {"UserNote", "-3", GetUserNotePosition, 0},
        {"UserNote", "x", GetUserNotePosition, 0},
        {"RunTimesRecording", "7", GetRunTimesRecording, 7},
    };
    for (const auto& c : cases) {
        SetSetting("Settings", c.key, c.stored);
        EXPECT_EQ(c.read(), c.expected) << c.key << "=\"" << c.stored << "\"";
    }
}

TEST_F(TunerSettings, WrittenValuesUseTheStoresForms) {
    SetSoundInDeviceChannel(3);
    EXPECT_EQ(GetSetting("Settings", "SoundInDeviceChannel"), "3");
    SetAlwaysOnTop(true);
    EXPECT_EQ(GetSetting("Settings", "AlwaysOnTop"), "1");
    EXPECT_TRUE(GetAlwaysOnTop());
    SetAlwaysOnTop(false);
    EXPECT_EQ(GetSetting("Settings", "AlwaysOnTop"), "0");
    SetUserFrequency(442);
    EXPECT_EQ(GetSetting("Settings", "UserFreq"), "442");
    SetSetting("Player", "Device", "[Default Sound Out]");
    EXPECT_EQ(GetPlayerDevice(), kDefaultSoundOutName);
}

TEST(NoSoundHint, ShowsInAtMostTheFirstTenRuns) {
    struct Case {
        int runs;
        bool shows;
    };
    const Case cases[] = {{-1, true},  {0, true},   {9, true},       {10, false},
                          {11, false}, {-2, false}, {INT_MAX, false}};
    for (const auto& c : cases) EXPECT_EQ(MayShowNoSoundHint(c.runs), c.shows) << c.runs;
}

}  // namespace
}  // namespace tw
