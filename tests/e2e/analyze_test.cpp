// `tunewright --analyze` as a user runs it: real files in several formats and rates, through
// the whole program. A failing case leaves its audio file in the build folder.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "common/measure.h"
#include "e2e/run_program.h"
#include "platform/audio/sound_file.h"
#include "synth/synth.h"
#include "tuner/notes.h"

namespace tw {
namespace {

namespace fs = std::filesystem;

const std::string kProgram = std::string(TW_BINARY_DIR) + "/tunewright";
const fs::path kOutput = fs::path(TW_TEST_OUTPUT_DIR) / "e2e";

struct Row {
    double seconds;
    double hz;
    std::string note;
    double cents;
};

std::vector<Row> ParseCsv(const std::string& out, std::string* header) {
    std::vector<Row> rows;
    const auto lines = test::Lines(out);
    if (!lines.empty() && header) *header = lines[0];
    for (size_t i = 1; i < lines.size(); ++i) {
        std::stringstream s(lines[i]);
        Row r;
        std::string field;
        std::getline(s, field, ',');
        r.seconds = std::stod(field);
        std::getline(s, field, ',');
        r.hz = std::stod(field);
        std::getline(s, r.note, ',');
        std::getline(s, field, ',');
        r.cents = std::stod(field);
        rows.push_back(r);
    }
    return rows;
}

// Writes a file for one case; removed again when the case passes.
class CaseFile {
  public:
    explicit CaseFile(const std::string& name) : path_(kOutput / name) {
        fs::create_directories(kOutput);
    }
    ~CaseFile() {
        if (!::testing::Test::HasFailure()) fs::remove(path_);
    }
    std::string Path() const { return path_.string(); }

  private:
    fs::path path_;
};

TEST(AnalyzeCommandTest, SteadyTonesSettleWithinHalfACent) {
    struct Case {
        const char* file;
        SoundFileFormat format;
        int32_t rate;
        int note;
        double cents;
    };
    const Case cases[] = {
        {"a4-44100.wav", SoundFileFormat::kWav16, 44100, 69, +3.0},
        {"e2-48000.wav", SoundFileFormat::kWav24, 48000, 40, -7.5},
        {"g3-44100.flac", SoundFileFormat::kFlac16, 44100, 55, +12.0},
        {"b1-48000.wav", SoundFileFormat::kWav32, 48000, 35, -4.0},
        {"d4-22050.aiff", SoundFileFormat::kAiff16, 22050, 62, +0.0},
        {"c5-96000.flac", SoundFileFormat::kFlac24, 96000, 72, -18.0},
        {"a2-16000.wav", SoundFileFormat::kWav16, 16000, 45, +25.0},
        {"e1-44100.wav", SoundFileFormat::kWav16, 44100, 28, +5.0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        const double truth = synth::DetuneCents(NoteFrequency(c.note), c.cents);
        const auto tone = synth::HarmonicTone(truth, c.rate, 2.5, {0.25, 0.12, 0.08, 0.05});
        const auto samples = synth::ToDeviceSamples(tone);
        CaseFile file(c.file);
        std::string error;
        ASSERT_TRUE(WriteSoundFile(file.Path(), c.format, c.rate, 1, samples.data(),
                                   static_cast<int64_t>(samples.size()), &error))
            << error;

        const auto run = test::RunProgram(kProgram, {"--analyze", file.Path()});
        ASSERT_EQ(run.exitStatus, 0) << run.err;
        EXPECT_TRUE(run.err.empty()) << run.err;
        std::string header;
        const auto rows = ParseCsv(run.out, &header);
        EXPECT_EQ(header, "time_s,frequency_hz,note,cents");
        int settled = 0;
        for (const auto& r : rows) {
            if (r.seconds < 1.0) continue;
            ++settled;
            EXPECT_EQ(r.note, ScientificName(c.note)) << r.seconds;
            EXPECT_NEAR(r.cents, c.cents, 0.5) << r.seconds;
            EXPECT_NEAR(test::Cents(r.hz, truth), 0.0, 0.5) << r.seconds;
        }
        EXPECT_GT(settled, 20);
    }
}

TEST(AnalyzeCommandTest, OnlyTheFirstChannelIsAnalysed) {
    const int32_t rate = 44100;
    const auto left = synth::HarmonicTone(220.0, rate, 2.0, {0.25, 0.1});
    const auto right = synth::HarmonicTone(330.0, rate, 2.0, {0.25, 0.1});
    std::vector<double> stereo;
    for (size_t i = 0; i < left.size(); ++i) {
        stereo.push_back(left[i]);
        stereo.push_back(right[i]);
    }
    const auto samples = synth::ToDeviceSamples(stereo);
    CaseFile file("stereo.wav");
    ASSERT_TRUE(WriteSoundFile(file.Path(), SoundFileFormat::kWav16, rate, 2, samples.data(),
                               static_cast<int64_t>(left.size()), nullptr));
    const auto run = test::RunProgram(kProgram, {"--analyze", file.Path()});
    ASSERT_EQ(run.exitStatus, 0);
    const auto rows = ParseCsv(run.out, nullptr);
    ASSERT_FALSE(rows.empty());
    for (const auto& r : rows) EXPECT_EQ(r.note, "A3");
}

TEST(AnalyzeCommandTest, FilesWithoutANotePrintOnlyTheHeader) {
    struct Case {
        const char* file;
        std::vector<double> signal;
    };
    const Case cases[] = {
        {"silence.wav", std::vector<double>(44100 * 2, 0.0)},
        {"noise.wav", synth::Noise(44100.0, 2.0, 0.3, 5)},
        {"pure-sine.wav", synth::HarmonicTone(440.0, 44100.0, 2.0, {0.5})},
        {"empty.wav", {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        const auto samples = synth::ToDeviceSamples(c.signal);
        CaseFile file(c.file);
        ASSERT_TRUE(WriteSoundFile(file.Path(), SoundFileFormat::kWav16, 44100, 1, samples.data(),
                                   static_cast<int64_t>(samples.size()), nullptr));
        const auto run = test::RunProgram(kProgram, {"--analyze", file.Path()});
        EXPECT_EQ(run.exitStatus, 0);
        EXPECT_EQ(run.out, "time_s,frequency_hz,note,cents\n");
    }
}

TEST(AnalyzeCommandTest, BadArgumentsAndUnreadableFilesExitWithStatus2) {
    CaseFile garbage("garbage.wav");
    {
        std::ofstream out(garbage.Path());
        out << "this is not audio at all, just some text pretending to be a file";
    }
    CaseFile folder("a-folder.wav");
    fs::create_directories(folder.Path());
    struct Case {
        std::vector<std::string> args;
    };
    const Case cases[] = {
        {{"--analyze", "/nonexistent/file.wav"}},
        {{"--analyze", garbage.Path()}},
        {{"--analyze", folder.Path()}},
        {{"--analyze"}},
        {{"--frobnicate"}},
        {{"--analyze", garbage.Path(), "extra"}},
    };
    for (const auto& c : cases) {
        const auto run = test::RunProgram(kProgram, c.args);
        EXPECT_EQ(run.exitStatus, 2) << c.args.back();
        EXPECT_TRUE(run.out.empty()) << run.out;
        EXPECT_EQ(test::Lines(run.err).size(), 1u) << run.err;
    }
    fs::remove(folder.Path());
}

TEST(AnalyzeCommandTest, DemoClipReadsTheSixStrings) {
    const auto run = test::RunProgram(
        kProgram, {"--analyze", std::string(TW_SOURCE_DIR) + "/resources/demo-guitar.flac"});
    ASSERT_EQ(run.exitStatus, 0) << run.err;
    const auto rows = ParseCsv(run.out, nullptr);
    // Each string sounds for 3 s after a 0.5 s lead-in; read the middle second of each.
    struct String {
        const char* note;
        double cents;
    };
    const String strings[] = {{"E2", -12.0}, {"A2", 0.0},  {"D3", 7.0},
                              {"G3", -4.0},  {"B3", 15.0}, {"E4", -2.0}};
    for (int s = 0; s < 6; ++s) {
        const double from = 0.5 + 3.0 * s + 1.0, to = from + 1.0;
        int count = 0;
        for (const auto& r : rows) {
            if (r.seconds < from || r.seconds >= to) continue;
            ++count;
            EXPECT_EQ(r.note, strings[s].note) << r.seconds;
            EXPECT_NEAR(r.cents, strings[s].cents, 0.5) << r.seconds;
        }
        EXPECT_GT(count, 20) << strings[s].note;
    }
}

}  // namespace
}  // namespace tw
