// The tuner's main window on real GTK windows with openbox and the virtual audio backend:
// what the player sees at first start and after a restart, the target rows, the frequency
// field, the reference tone as the output device receives it, "No Signal" when the input
// stops, the capture coming back after the device does, and closing.
#include "tuner/main_window.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "audio/virtual_devices.h"
#include "common/test_env.h"
#include "platform/ui/keys.h"
#include "platform/ui/native_alert.h"
#include "platform/ui/testing/ui_driver.h"
#include "store/settings.h"
#include "tuner/notes.h"
#include "tuner/tuner_settings.h"
#include "ui/controls.h"
#include "ui/gui_support.h"

namespace tw {
namespace {

const auto* const kDisplay =
    ::testing::AddGlobalTestEnvironment(new test::PrivateDisplay(/*with_window_manager=*/true));

constexpr int kOutputRate = 44100;

hal::VirtualDeviceSpec Microphone(double hz) {
    hal::VirtualDeviceSpec mic =
        test::Input("Microphone", 48000, {1}, hal::VirtualSignal::Kind::kHarmonic);
    mic.signal.hz = hz;
    mic.defaultInput = true;
    return mic;
}

hal::VirtualDeviceSpec Speakers() {
    hal::VirtualDeviceSpec out = test::Output("Speakers", 2);
    out.rate = kOutputRate;
    out.defaultOutput = true;
    return out;
}

// Channel 0 of interleaved device output, as doubles.
std::vector<double> FirstChannel(const std::vector<int32_t>& output, int channels) {
    std::vector<double> mono;
    for (size_t i = 0; channels > 0 && i + channels <= output.size(); i += channels)
        mono.push_back(output[i]);
    return mono;
}

// The frequency of a sine from its rising zero crossings, interpolated between samples.
double ZeroCrossingFrequency(const std::vector<double>& x, int rate) {
    double first = -1;
    double last = -1;
    int crossings = 0;
    for (size_t i = 1; i < x.size(); ++i) {
        if (x[i - 1] < 0 && x[i] >= 0) {
            const double t = double(i - 1) + x[i - 1] / (x[i - 1] - x[i]);
            if (first < 0) first = t;
            last = t;
            ++crossings;
        }
    }
    if (crossings < 2) return 0;
    return (crossings - 1) * rate / (last - first);
}

double Peak(const std::vector<double>& x) {
    double peak = 0;
    for (double v : x) peak = std::max(peak, std::fabs(v));
    return peak;
}

double Rms(const std::vector<double>& x, size_t from, size_t count) {
    double sum = 0;
    for (size_t i = from; i < from + count && i < x.size(); ++i) sum += x[i] * x[i];
    return std::sqrt(sum / double(count));
}

class MainWindowTest : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(test::NeedDisplay()); }
    void TearDown() override {
        if (window_) CloseWindow();
        later_.clear();
    }

    void Open(const std::vector<hal::VirtualDeviceSpec>& devices = {Microphone(196.0),
                                                                    Speakers()}) {
        test::UseVirtualDevices(devices);
        window_ = std::make_unique<MainWindow>();
        ASSERT_TRUE(window_->CreateFromNib("main", "MainWindow"));
        window_->InstallWindowHandler(true);
        window_->modal = 0;
        window_->OnInit();
        window_->shown = 1;
        LTimerSet::EnableTimers(true);
        window_->Show(true);
        ASSERT_TRUE(RunEventLoopUntil([&] { return window_->IsVisible(); }, 5000));
    }
    void CloseWindow() {
        window_->Close();
        window_.reset();
    }

    MainWindow& W() { return *window_; }
    NativeControl* Control(int id) { return FindControl(window_.get(), id); }
    bool Shown(int id) { return Control(id) != nullptr && Control(id)->IsVisible(); }
    // Picks the item with this text as the player does.
    void Pick(int id, const std::string& text) {
        NativeControl* popup = Control(id);
        ASSERT_NE(popup, nullptr);
        for (int i = 0; i < PopupGetCount(window_.get(), id); ++i) {
            if (PopupGetItemText(window_.get(), id, i) == text) {
                ASSERT_TRUE(ui_driver::PickPopupItem(popup, i + 1));
                RunEventLoopFor(20);
                return;
            }
        }
        FAIL() << "no item " << text;
    }
    // Which of the three target rows shows: "tuning", "frequency", "note", "" for none,
    // "several" when the rule of one row at most is broken.
    std::string TargetRow() {
        std::string shown;
        const std::pair<const char*, std::pair<int, int>> rows[] = {
            {"tuning", {kMainTuningLabel, kMainTuningPopup}},
            {"frequency", {kMainFrequencyLabel, kMainFrequencyField}},
            {"note", {kMainNoteLabel, kMainNotePopup}}};
        for (const auto& [name, ids] : rows) {
            if (Shown(ids.first) != Shown(ids.second)) return "label and control differ";
            if (!Shown(ids.first)) continue;
            if (!shown.empty()) return "several";
            shown = name;
        }
        return shown;
    }
    std::vector<double> TakeSpeakerOutput() {
        int channels = 0;
        const auto out =
            hal::Virtual().TakeOutput(hal::Virtual().FindDevice("Speakers"), &channels);
        return FirstChannel(out, channels);
    }

    test::TempHome home_;
    std::unique_ptr<MainWindow> window_;
    std::vector<std::unique_ptr<test::Later>> later_;
};

TEST_F(MainWindowTest, FirstStartShowsGuitarStandardWithTheLowEStringAsTarget) {
    Open();
    EXPECT_EQ(PopupGetText(&W(), kMainInstrumentPopup), "Guitar");
    EXPECT_EQ(PopupGetText(&W(), kMainTuningPopup), "Standard");
    EXPECT_EQ(TargetRow(), "tuning");
    EXPECT_TRUE(Control(kMainTuningPopup)->IsEnabled());
    ASSERT_EQ(W().Picker().StringCount(), 6);
    EXPECT_EQ(W().Picker().Selected(), 0);
    RunEventLoopFor(100);  // a draw places the strings
    const auto& y = W().Picker().Positions();
    ASSERT_EQ(y.size(), 6u);
    EXPECT_EQ(*std::max_element(y.begin(), y.end()), y[0]) << "the first string is the lowest";
    EXPECT_NEAR(W().Display().TargetFrequency(), 82.41, 0.01);
    EXPECT_TRUE(W().Display().NoSignal());
    EXPECT_EQ(W().window->StatusText(0), "Tunewright Musical Instrument Tuner v 2.15");
    EXPECT_EQ(W().Toolbar().Rows().front().command, kCommandShowPreferences);
    EXPECT_EQ(W().Toolbar().Rows().front().label, "Preferences");
    EXPECT_EQ(W().window->Attributes() & kWindowResizableAttribute, 0u);
    // The layout fits the client area above the status bar.
    int w = 0;
    int h = 0;
    W().GetClientSize(&w, &h);
    EXPECT_GE(w, 410);
    EXPECT_GE(h - kStatusBarHeight, 393);
    EXPECT_EQ(Control(kMainStringPicker)->Frame().w, w);
}

TEST_F(MainWindowTest, StoredChoicesAreRestoredAndUnknownNamesFallBack) {
    struct Case {
        const char* instrument;
        const char* tuning;
        const char* shown_instrument;
        const char* shown_tuning;
        const char* row;
        bool tuning_enabled;
        double target_hz;
    } cases[] = {
        {"Guitar", "Drop D", "Guitar", "Drop D", "tuning", true, 73.42},
        {"Guitar", "Gone Tuning", "Guitar", "Standard", "tuning", true, 82.41},
        {"Bass Guitar", "5 string", "Bass Guitar", "5 string", "tuning", true, 30.87},
        // One tuning: the pop-up shows but cannot be opened.
        {"Viola", "Standard", "Viola", "Standard", "tuning", false, NoteFrequency(48)},
        // An instrument that no longer exists: the first item, "None", with no target.
        {"Theremin", "Standard", "None", "", "", false, NoteFrequency(-1)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.instrument) + " / " + c.tuning);
        SetInstrumentName(c.instrument);
        SetTuningName(c.tuning);
        Open();
        EXPECT_EQ(PopupGetText(&W(), kMainInstrumentPopup), c.shown_instrument);
        EXPECT_EQ(PopupGetText(&W(), kMainTuningPopup), c.shown_tuning);
        EXPECT_EQ(TargetRow(), c.row);
        EXPECT_EQ(Control(kMainTuningPopup)->IsEnabled(), c.tuning_enabled);
        EXPECT_NEAR(W().Display().TargetFrequency(), c.target_hz, 0.01);
        CloseWindow();
    }
}

TEST_F(MainWindowTest, TargetNoteShowsTheNoteRowAndEmptiesThePicker) {
    SetUserNotePosition(57);  // A4
    Open();
    Pick(kMainInstrumentPopup, "Select Target Note");
    EXPECT_EQ(TargetRow(), "note");
    EXPECT_EQ(PopupGetText(&W(), kMainNotePopup), "A4");
    EXPECT_EQ(W().Picker().StringCount(), 0);
    EXPECT_NEAR(W().Display().TargetFrequency(), 440.0, 0.01);
    Pick(kMainNotePopup, "C4");
    EXPECT_EQ(GetUserNotePosition(), 48);
    EXPECT_NEAR(W().Display().TargetFrequency(), 261.63, 0.01);
    // Back to an instrument: its tuning row and its first string.
    Pick(kMainInstrumentPopup, "Violin");
    EXPECT_EQ(TargetRow(), "tuning");
    EXPECT_EQ(W().Picker().StringCount(), 4);
    EXPECT_NEAR(W().Display().TargetFrequency(), NoteFrequency(55), 0.01);  // G3
}

TEST_F(MainWindowTest, TargetFrequencyReadsTheWholeHertzOfWhatIsTyped) {
    SetUserFrequency(440);
    Open();
    Pick(kMainInstrumentPopup, "Select Target Frequency");
    EXPECT_EQ(TargetRow(), "frequency");
    EXPECT_EQ(GetEditText(&W(), kMainFrequencyField), "440");
    EXPECT_NEAR(W().Display().TargetFrequency(), 440.0, 1e-3);
    struct Case {
        const char* typed;
        const char* field;  // what the field holds afterwards
        double target;
    } cases[] = {
        {"442.9", "442.9", 442},
        {"-", "-", 0},
        {".", ".", 0},
        {"0", "0", 0},
        {"20000", "20000", 20000},
        {"123456789012345678901234567890", "123456789012345678901234567890", 2147483647.0},
        // Refused by the field's filter: the text stays empty, which reads 0.
        {"4a4", "44", 44},
        {"1.2.3", "1.23", 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.typed);
        SetEditText(&W(), kMainFrequencyField, "");
        ui_driver::TypeText(Control(kMainFrequencyField), c.typed);
        RunEventLoopFor(20);
        EXPECT_EQ(GetEditText(&W(), kMainFrequencyField), c.field);
        EXPECT_FLOAT_EQ(W().Display().TargetFrequency(), float(c.target));
        EXPECT_EQ(GetUserFrequency(), int(c.target));
    }
}

TEST_F(MainWindowTest, TheToneFollowsTheTargetWithoutAGapAndStopsOnClose) {
    Open();
    ASSERT_FALSE(W().Tone().IsPlaying());
    EXPECT_TRUE(Control(kMainToneButton)->ImagePath().find("319") != std::string::npos);
    ui_driver::Click(Control(kMainToneButton));
    ASSERT_TRUE(W().Tone().IsPlaying());
    EXPECT_TRUE(Control(kMainToneButton)->ImagePath().find("320") != std::string::npos);
    RunEventLoopFor(400);
    TakeSpeakerOutput();
    RunEventLoopFor(400);
    const std::vector<double> e2 = TakeSpeakerOutput();
    ASSERT_GT(e2.size(), size_t(kOutputRate / 10));
    EXPECT_NEAR(ZeroCrossingFrequency(e2, kOutputRate), 82.41, 0.1);
    // A clean sine at the loudest level that does not clip: near full scale, crest 1.414.
    const double peak = Peak(e2);
    EXPECT_GT(peak, 0.4 * 2147483647.0);
    EXPECT_LT(peak, 0.999 * 2147483647.0);
    EXPECT_NEAR(peak / Rms(e2, 0, e2.size()), std::sqrt(2.0), 0.02);

    // A new tuning while the tone plays: its first string sounds at once.
    Pick(kMainTuningPopup, "Drop D");
    RunEventLoopFor(300);
    const std::vector<double> swap = TakeSpeakerOutput();
    RunEventLoopFor(300);
    const std::vector<double> d2 = TakeSpeakerOutput();
    EXPECT_NEAR(ZeroCrossingFrequency(d2, kOutputRate), 73.42, 0.1);
    // At once: the last 70 ms of the 300 ms after the pick are the new string already.
    const size_t tail = kOutputRate * 7 / 100;
    ASSERT_GT(swap.size(), tail);
    const std::vector<double> end(swap.end() - tail, swap.end());
    EXPECT_NEAR(ZeroCrossingFrequency(end, kOutputRate), 73.42, 0.5);
    // No gap: the swap's crossfade never goes quiet for longer than a zero crossing takes
    // (a 1 ms gap would be 44 samples), and no 50 ms stretch loses most of the level. (Two
    // sines of unrelated phase cross-fade with a short dip where they oppose each other.)
    const double steady = Rms(d2, 0, d2.size());
    size_t quiet = 0;
    size_t longest_quiet = 0;
    for (double v : swap) {
        quiet = std::fabs(v) < 0.01 * 2147483647.0 ? quiet + 1 : 0;
        longest_quiet = std::max(longest_quiet, quiet);
    }
    EXPECT_LT(longest_quiet, 20u);
    const size_t window = kOutputRate / 20;
    for (size_t i = 0; i + window <= swap.size(); i += window) {
        ASSERT_GT(Rms(swap, i, window), 0.25 * steady) << "at " << i * 1000 / kOutputRate << " ms";
    }

    CloseWindow();
    RunEventLoopFor(100);
    TakeSpeakerOutput();
    RunEventLoopFor(200);
    EXPECT_LT(Peak(TakeSpeakerOutput()), 1.0) << "the tone stopped with the window";
    EXPECT_EQ(GetInstrumentName(), "Guitar");
    EXPECT_EQ(GetTuningName(), "Drop D");
}

TEST_F(MainWindowTest, AnOutputThatCannotOpenGivesTheSoundPlayError) {
    hal::VirtualDeviceSpec busy = Speakers();
    busy.busy = true;
    Open({Microphone(196.0), busy});
    NativeAlertInfo shown;
    auto poll = std::make_shared<std::function<void()>>();
    *poll = [&, poll] {
        if (OpenAlertCount() == 1 && GetTopAlertInfo(&shown) && shown.width > 1) {
            ClickTopAlertButton("OK");
        } else {
            later_.push_back(std::make_unique<test::Later>(20, *poll));
        }
    };
    later_.push_back(std::make_unique<test::Later>(20, *poll));
    ui_driver::Click(Control(kMainToneButton));
    EXPECT_EQ(shown.caption, "Sound Play Error");
    EXPECT_NE(shown.text.find("Unable to start playback."), std::string::npos);
    EXPECT_FALSE(W().Tone().IsPlaying());
    EXPECT_TRUE(Control(kMainToneButton)->ImagePath().find("319") != std::string::npos);
}

TEST_F(MainWindowTest, NoSignalShowsWhenTheInputFallsSilentAndTheNextNoteClearsIt) {
    // G3 for a second, silence for five and a half, then G3 again.
    hal::VirtualDeviceSpec mic = Microphone(196.0);
    mic.signal.kind = hal::VirtualSignal::Kind::kGenerator;
    mic.signal.generator = [](int32_t* out, int32_t frames, int channels, int64_t first) {
        for (int32_t i = 0; i < frames; ++i) {
            const double t = double(first + i) / 48000.0;
            const bool sounding = t < 1.0 || t > 6.5;
            double v = 0;
            for (int k = 1; k <= 4 && sounding; ++k) v += std::sin(2 * M_PI * 196.0 * k * t) / k;
            for (int c = 0; c < channels; ++c)
                out[i * channels + c] = int32_t(v * 0.2 * 2147483647.0);
        }
    };
    Open({mic, Speakers()});
    ASSERT_TRUE(RunEventLoopUntil(
        [&] { return std::fabs(W().Display().ShownFrequency() - 196.0f) < 1.0f; }, 3000));
    EXPECT_FALSE(W().Display().NoSignal());
    ASSERT_TRUE(RunEventLoopUntil([&] { return W().Display().NoSignal(); }, 6000));
    W().Display().Invalidate();
    RunEventLoopFor(100);
    const auto& drawn = W().Display().DrawnImages();
    EXPECT_TRUE(std::find(drawn.begin(), drawn.end(), TunerDisplay::kRaiseImage) == drawn.end() &&
                std::find(drawn.begin(), drawn.end(), TunerDisplay::kLowerImage) == drawn.end())
        << "only the dim faces show without a signal";
    ASSERT_TRUE(RunEventLoopUntil([&] { return !W().Display().NoSignal(); }, 4000));
    // The display glides from its last picture to the new note within a few ticks.
    EXPECT_TRUE(RunEventLoopUntil(
        [&] { return std::fabs(W().Display().ShownFrequency() - 196.0f) < 1.0f; }, 1000))
        << W().Display().ShownFrequency();
}

TEST_F(MainWindowTest, CaptureStartsAgainByItselfWhenTheDeviceComesBack) {
    struct Case {
        const char* name;
        bool busy;         // held by another program from the start
        int vanish_after;  // ms of audio, -1: never
    } cases[] = {{"unplugged while listening", false, 800}, {"busy at start", true, -1}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        hal::VirtualDeviceSpec mic = Microphone(196.0);
        mic.busy = c.busy;
        mic.vanishAfterMs = c.vanish_after;
        Open({mic, Speakers()});
        if (!c.busy) {
            ASSERT_TRUE(RunEventLoopUntil([&] { return !W().Display().NoSignal(); }, 3000));
        }
        // No capture: "No Signal" and no dialog.
        ASSERT_TRUE(RunEventLoopUntil(
            [&] { return !W().Analyzer().IsCapturing() && W().Display().NoSignal(); }, 9000));
        RunEventLoopFor(2500);  // retries find nothing to open
        EXPECT_FALSE(W().Analyzer().IsCapturing());
        EXPECT_EQ(OpenAlertCount(), 0);
        // Plugged in again, or let go by the other program.
        hal::Virtual().SetDevices({Microphone(330.0), Speakers()});
        ASSERT_TRUE(RunEventLoopUntil([&] { return W().Analyzer().IsCapturing(); }, 3000));
        ASSERT_TRUE(RunEventLoopUntil(
            [&] { return std::fabs(W().Display().ShownFrequency() - 330.0f) < 1.0f; }, 4000));
        CloseWindow();
    }
}

TEST_F(MainWindowTest, TheNoSoundHintShowsInTheFirstTenRunsWithoutCapture) {
    struct Case {
        int runs_before;
        bool device;
        bool hint;
    } cases[] = {{0, false, true}, {9, false, true}, {10, false, false}, {0, true, false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.runs_before << " runs, device " << c.device);
        SetRunTimesRecording(c.runs_before);
        if (c.device) {
            Open();
        } else {
            Open({Speakers()});
        }
        W().OnTimer(kTimerNoSoundCheck);
        EXPECT_EQ(W().window->IsInfoBarVisible(), c.hint);
        if (c.hint) {
            EXPECT_EQ(W().window->InfoBarText(), kNoSoundHint);
        }
        EXPECT_EQ(GetRunTimesRecording(), c.runs_before + 1);
        CloseWindow();
    }
}

}  // namespace
}  // namespace tw
