#include "tuner/notes.h"

#include <gtest/gtest.h>

#include <cmath>
#include <set>
#include <string>
#include <vector>

namespace tw {
namespace {

std::vector<int32_t> Notes(int instrument, int tuning) {
    const auto span = NotesOfList(TuningNotesOf(instrument, tuning));
    return {span.begin(), span.end()};
}

std::vector<std::string> Names(const char* const* list) {
    std::vector<std::string> out;
    for (; *list; ++list) out.emplace_back(*list);
    return out;
}

TEST(NotesTest, FrequencyOfANote) {
    struct Case {
        int32_t note;
        float hz;
        float tolerance;
    };
    const Case cases[] = {{69, 440.0f, 0.0f},    {81, 880.0f, 0.0f},    {57, 220.0f, 0.0f},
                          {40, 82.407f, 0.001f}, {12, 16.352f, 0.001f}, {21, 27.5f, 0.0001f}};
    for (const auto& c : cases) EXPECT_NEAR(NoteFrequency(c.note), c.hz, c.tolerance) << c.note;
}

TEST(NotesTest, NearestNote) {
    struct Case {
        float hz;
        int32_t note;
    };
    const Case cases[] = {{440.0f, 69}, {82.41f, 40}, {452.89f, 69},
                          {453.0f, 70}, {30.87f, 23}, {41.2f, 28}};
    for (const auto& c : cases) EXPECT_EQ(NearestNote(c.hz), c.note) << c.hz;
    // No frequency, no note: the lowest int, never an undefined conversion (UBSan checks).
    for (const float hz : {0.0f, -440.0f, std::nanf("")}) {
        EXPECT_EQ(NearestNote(hz), -2147483647) << hz;
    }
}

TEST(NotesTest, FrequencyAndNoteRoundTrip) {
    for (int32_t n = 0; n <= 155; ++n) EXPECT_EQ(NearestNote(NoteFrequency(n)), n) << n;
}

TEST(NotesTest, QuarterTonesRoundToTheNearestNote) {
    // 45 cents either side still reads the note; 55 cents reads its neighbour.
    for (int32_t n = 21; n <= 108; ++n) {
        const double f = NoteFrequency(n);
        EXPECT_EQ(NearestNote(static_cast<float>(f * std::pow(2.0, 45 / 1200.0))), n) << n;
        EXPECT_EQ(NearestNote(static_cast<float>(f * std::pow(2.0, -45 / 1200.0))), n) << n;
        EXPECT_EQ(NearestNote(static_cast<float>(f * std::pow(2.0, 55 / 1200.0))), n + 1) << n;
    }
}

TEST(NotesTest, NamesOfNotes) {
    struct Case {
        int32_t note;
        bool sharp;
        const char* pitchClass;
        const char* letter;
        const char* octave;
        const char* scientific;
    };
    const Case cases[] = {
        {61, true, "C#", "C", "4", "C#4"},   {64, false, "E", "E", "4", "E4"},
        {69, false, "A", "A", "4", "A4"},    {12, false, "C", "C", "0", "C0"},
        {11, false, "B", "B", "", "B-1"},    {0, false, "C", "C", "", "C-1"},
        {155, false, "B", "B", "11", "B11"}, {156, false, "", "", "", "C12"},
        {-1, false, "", "", "", "B-2"},      {30, true, "F#", "F", "1", "F#1"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(IsSharpNote(c.note), c.sharp) << c.note;
        EXPECT_STREQ(PitchClassName(c.note), c.pitchClass) << c.note;
        EXPECT_STREQ(NoteLetter(c.note), c.letter) << c.note;
        EXPECT_STREQ(OctaveText(c.note), c.octave) << c.note;
        EXPECT_EQ(ScientificName(c.note), c.scientific) << c.note;
    }
    int sharps = 0;
    for (int n = 0; n < 12; ++n) sharps += IsSharpNote(n);
    EXPECT_EQ(sharps, 5);
}

TEST(NotesTest, CentsAgainstANote) {
    EXPECT_NEAR(CentsFrom(440.0, 69), 0.0, 1e-9);
    EXPECT_NEAR(CentsFrom(880.0, 69), 1200.0, 1e-9);
    EXPECT_NEAR(CentsFrom(NoteFrequency(40) * std::pow(2.0, 7 / 1200.0), 40), 7.0, 1e-4);
}

TEST(NotesTest, TargetNoteNames) {
    const auto names = Names(TargetNoteNames());
    ASSERT_EQ(names.size(), 116u);
    EXPECT_EQ(names[0], "C0");
    EXPECT_EQ(names[1], "C0#");
    EXPECT_EQ(names[45], "A3");
    EXPECT_EQ(names[57], "A4");
    EXPECT_EQ(names[49], "C4#");
    EXPECT_EQ(names[115], "G9");
    EXPECT_EQ(TargetNoteToIndex(57), 69);
    EXPECT_EQ(std::set<std::string>(names.begin(), names.end()).size(), 116u);
}

TEST(NotesTest, Instruments) {
    const auto names = Names(InstrumentNames());
    ASSERT_EQ(names.size(), 14u);
    EXPECT_EQ(names[0], "None");
    EXPECT_EQ(names[2], "Select Target Frequency");
    EXPECT_EQ(names[9], "Guitar");
    EXPECT_EQ(names[13], "Violin");
    const int tuningCounts[14] = {0, 0, 0, 6, 3, 3, 3, 2, 10, 22, 6, 3, 1, 2};
    for (int i = 0; i < 14; ++i) EXPECT_EQ(TuningCountOf(i), tuningCounts[i]) << names[i];
}

TEST(NotesTest, TuningTable) {
    struct Case {
        int instrument, tuning;
        const char* name;
        std::vector<int32_t> notes;
    };
    const Case cases[] = {
        {9, 0, "Standard", {40, 45, 50, 55, 59, 64}},
        {9, 1, "Asus2", {40, 45, 47, 52, 57, 64}},
        {9, 7, "Drop B", {47, 42, 59, 52, 56, 61}},
        {9, 12, "Open A major", {40, 45, 52, 57, 49, 64}},
        {9, 13, "Open A minor", {40, 45, 52, 57, 48, 64}},
        {9, 21, "Open G minor", {38, 43, 50, 55, 58, 62}},
        {3, 1, "Double C", {67, 48, 55, 60, 62}},
        {3, 3, "Drop C", {67, 48, 55, 60, 62}},
        {5, 2, "6 string", {23, 28, 33, 38, 43, 48}},
        {4, 2, "Octave Lower", {28, 33, 38, 43, 47, 52}},
        {7, 1, "Solo", {30, 35, 40, 45}},
        {8, 7, "Cross, High bass, High counter", {57, 64, 69, 76}},
        {8, 9, "Sweden", {57, 64, 69, 73}},
        {10, 4, "OctaveMandola", {43, 50, 57, 64}},
        {11, 0, "C", {67, 60, 64, 69}},
        {12, 0, "Standard", {48, 55, 62, 69}},
        {13, 1, "Cajun", {53, 60, 67, 74}},
    };
    for (const auto& c : cases) {
        EXPECT_STREQ(TuningNamesOf(c.instrument)[c.tuning], c.name)
            << c.instrument << "/" << c.tuning;
        EXPECT_EQ(Notes(c.instrument, c.tuning), c.notes) << c.instrument << "/" << c.tuning;
    }
    // Lists that share one table.
    EXPECT_EQ(TuningNotesOf(3, 1), TuningNotesOf(3, 3));
    EXPECT_EQ(TuningNotesOf(8, 8), TuningNotesOf(8, 9));
    // Every note of every tuning has a name and lies within the target notes.
    for (int i = 0; i < 14; ++i) {
        for (int t = 0; t < TuningCountOf(i); ++t) {
            for (int32_t n : Notes(i, t)) {
                EXPECT_GE(n, 12);
                EXPECT_LE(n, 127);
            }
        }
    }
}

TEST(NotesTest, OutOfRangeSelectionsFallBack) {
    EXPECT_TRUE(Notes(0, 0).empty());
    EXPECT_TRUE(Notes(1, 0).empty());
    EXPECT_TRUE(Notes(2, 0).empty());
    EXPECT_EQ(TuningNamesOf(1)[0], nullptr);
    EXPECT_EQ(TuningNotesOf(13, 5), TuningNotesOf(13, 0));
    EXPECT_EQ(TuningNotesOf(9, -1), TuningNotesOf(9, 0));
    EXPECT_TRUE(Notes(-1, 0).empty());
    EXPECT_TRUE(Notes(14, 3).empty());
    EXPECT_EQ(TuningNamesOf(99), TuningNamesOf(0));
    // A list ends at the first value that is not below 128 as unsigned.
    const int32_t odd[] = {40, 127, 128, 45, -1};
    EXPECT_EQ(NotesOfList(odd).size(), 2u);
}

}  // namespace
}  // namespace tw
