// The tuner window end to end: the real capture and playback engines through PortAudio
// against a private PulseAudio, the window on a private X server with openbox, and the
// player's actions as real pointer clicks and key presses through the X server (xdotool).
// A harmonic G3 written into the FIFO source must show as G3 at 196 Hz; picking an
// instrument, a tuning and a string moves the target; the reference tone recorded from
// the null sink's monitor follows the target without a gap; "Keep window on top at all
// times" reaches the window manager; a restart restores the choice; input stopped for ten
// seconds shows "No Signal" until the next note. Screenshots are kept in the build folder.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "base/main_thread_poster.h"
#include "common/test_env.h"
#include "e2e/pulse_server.h"
#include "e2e/run_program.h"
#include "platform/audio/audio_hal.h"
#include "platform/audio/sound_file.h"
#include "platform/ui/testing/ui_driver.h"
#include "tuner/main_window.h"
#include "tuner/notes.h"
#include "tuner/tuner_settings.h"
#include "ui/controls.h"
#include "ui/gui_support.h"
#include "ui/modal_stack.h"

namespace tw {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

const auto* const kDisplay =
    ::testing::AddGlobalTestEnvironment(new test::PrivateDisplay(/*with_window_manager=*/true));

const fs::path kOutput = fs::path(TW_TEST_OUTPUT_DIR) / "e2e";
constexpr int kFifoRate = 48000;
constexpr int kRecordRate = 44100;
constexpr double kG3 = 196.0;

// Writes a harmonic G3 into the FIFO in real time, 10 ms at a time, while `sounding`; writes
// nothing (the input stops) otherwise.
class NoteFeeder {
  public:
    explicit NoteFeeder(const std::string& fifo)
        : fd_(open(fifo.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC)), thread_([this] { Run(); }) {}
    ~NoteFeeder() {
        stop_ = true;
        thread_.join();
        if (fd_ >= 0) close(fd_);
    }
    bool Ok() const { return fd_ >= 0; }
    void SetSounding(bool on) { sounding_ = on; }

  private:
    void Run() {
        constexpr int kPiece = kFifoRate / 100;
        std::vector<int16_t> pcm(kPiece);
        int64_t frame = 0;
        auto next = Clock::now();
        while (!stop_) {
            next += std::chrono::milliseconds(10);
            std::this_thread::sleep_until(next);
            if (!sounding_ || fd_ < 0) continue;
            for (int i = 0; i < kPiece; ++i, ++frame) {
                const double t = double(frame) / kFifoRate;
                double v = 0;
                for (int k = 1; k <= 4; ++k) v += std::sin(2 * M_PI * kG3 * k * t) / k;
                pcm[i] = int16_t(std::lround(v * 0.25 * 32767));
            }
            const char* bytes = reinterpret_cast<const char*>(pcm.data());
            size_t left = pcm.size() * sizeof(int16_t);
            while (left > 0 && !stop_) {
                const ssize_t w = write(fd_, bytes, left);
                if (w < 0 && errno == EAGAIN) {
                    pollfd p{fd_, POLLOUT, 0};
                    poll(&p, 1, 100);
                    continue;
                }
                if (w <= 0) break;
                bytes += w;
                left -= size_t(w);
            }
        }
    }

    int fd_;
    std::atomic<bool> stop_{false};
    std::atomic<bool> sounding_{true};
    std::thread thread_;
};

std::string Output(const std::vector<std::string>& argv) {
    const test::ProgramResult r =
        test::RunProgram(argv[0], std::vector<std::string>(argv.begin() + 1, argv.end()));
    return r.out;
}

std::string WindowId(const std::string& title) {
    std::string id =
        Output({"/usr/bin/xdotool", "search", "--onlyvisible", "--name", "^" + title + "$"});
    id = id.substr(0, id.find('\n'));
    return id;
}

// A real click at the control's centre, through the X server.
void ClickAt(const std::string& window_id, NativeControl* control, int dy = -1) {
    const Rect r = ui_driver::BoundsInWindow(control);
    const int x = int(r.x + r.w / 2);
    const int y = int(r.y + (dy < 0 ? r.h / 2 : dy));
    Output({"/usr/bin/xdotool", "mousemove", "--window", window_id, std::to_string(x),
            std::to_string(y), "click", "1"});
}

void Keys(const std::vector<std::string>& keys) {
    std::vector<std::string> argv = {"/usr/bin/xdotool", "key", "--delay", "60"};
    argv.insert(argv.end(), keys.begin(), keys.end());
    Output(argv);
}

// After the redraws that are due have reached the screen.
void Screenshot(const std::string& name) {
    RunEventLoopFor(300);
    fs::create_directories(kOutput);
    Output({"/usr/bin/import", "-window", "root", (kOutput / name).string()});
}

// The frequency of the sine in x[from, from + n) from its rising zero crossings.
double FrequencyAt(const std::vector<double>& x, size_t from, size_t n) {
    double first = -1;
    double last = -1;
    int crossings = 0;
    for (size_t i = from + 1; i < from + n && i < x.size(); ++i) {
        if (x[i - 1] < 0 && x[i] >= 0) {
            const double t = double(i - 1) + x[i - 1] / (x[i - 1] - x[i]);
            if (first < 0) first = t;
            last = t;
            ++crossings;
        }
    }
    return crossings < 2 ? 0 : (crossings - 1) * kRecordRate / (last - first);
}

class TunerWindowEndToEndTest : public ::testing::Test {
  protected:
    void SetUp() override {
#ifndef TW_HAVE_PORTAUDIO
        GTEST_SKIP() << "built without PortAudio";
#endif
        ASSERT_TRUE(test::NeedDisplay());
        std::string error;
        ASSERT_TRUE(server_.Start(&error)) << error;
        hal::SelectBackend("portaudio");
        LMainThreadPoster::InstallMainThreadHandler();
        LTimerSet::EnableTimers(true);
    }
    void TearDown() override {
        later_.clear();
        if (window_) window_->Close();
        window_.reset();
        server_.Stop();
    }

    void Open() {
        window_ = std::make_unique<MainWindow>();
        ASSERT_TRUE(window_->CreateFromNib("main", "MainWindow"));
        window_->InstallWindowHandler(true);
        window_->modal = 0;
        window_->OnInit();
        window_->shown = 1;
        window_->Show(true);
        window_->window->BringToFront();
        ASSERT_TRUE(RunEventLoopUntil([&] { return window_->IsFront(); }, 5000));
        RunEventLoopFor(300);
        id_ = WindowId("Tunewright");
        ASSERT_FALSE(id_.empty());
    }
    NativeControl* Control(int id) {
        return FindControl(window_.get(), id);
    }
    bool ShowsNear(double hz, double cents) {
        const float shown = window_->Display().ShownFrequency();
        return !window_->Display().NoSignal() && shown > 0 &&
               std::fabs(1200 * std::log2(shown / hz)) <= cents;
    }

    test::PrivatePulseServer server_;
    std::unique_ptr<MainWindow> window_;
    std::string id_;
    std::vector<std::unique_ptr<test::Later>> later_;
};

TEST_F(TunerWindowEndToEndTest, ThePlayerTunesWithTheWholeWindow) {
    NoteFeeder feeder(server_.FifoPath());
    ASSERT_TRUE(feeder.Ok());
    Open();

    // 1. The note written into the sound server shows as G3 at 196.00 Hz.
    ASSERT_TRUE(RunEventLoopUntil([&] { return ShowsNear(kG3, 1.0); }, 8000))
        << window_->Display().ShownFrequency();
    EXPECT_EQ(ScientificName(NearestNote(window_->Display().ShownFrequency())), "G3");
    Screenshot("tuner-window-g3.png");

    // 2. "Bass Guitar" (four items above "Guitar"), its second tuning, its second string.
    ClickAt(id_, Control(kMainInstrumentPopup));
    RunEventLoopFor(400);
    Keys({"Up", "Up", "Up", "Up", "Return"});
    RunEventLoopFor(400);
    ASSERT_EQ(PopupGetText(window_.get(), kMainInstrumentPopup), "Bass Guitar");
    ClickAt(id_, Control(kMainTuningPopup));
    RunEventLoopFor(400);
    Keys({"Down", "Return"});
    RunEventLoopFor(400);
    ASSERT_EQ(PopupGetText(window_.get(), kMainTuningPopup), "5 string");
    EXPECT_NEAR(window_->Display().TargetFrequency(), NoteFrequency(23), 0.01);  // B0
    const int b0_line = window_->RangeBar().TargetLineX();
    ClickAt(id_, Control(kMainStringPicker), window_->Picker().Positions()[1]);
    RunEventLoopFor(300);
    EXPECT_EQ(window_->Picker().Selected(), 1);
    EXPECT_NEAR(window_->Display().TargetFrequency(), NoteFrequency(28), 0.01);  // E1
    EXPECT_GT(window_->RangeBar().TargetLineX(), b0_line) << "the target marker moved up";

    // 3. The reference tone follows the string, recorded from the null sink's monitor.
    ClickAt(id_, Control(kMainToneButton));
    RunEventLoopFor(200);
    ASSERT_TRUE(window_->Tone().IsPlaying());
    const std::string wav = (kOutput / "tuner-window-tone.wav").string();
    fs::create_directories(kOutput);
    {
        test::BackgroundProgram recorder(
            {"parecord", "--device=speaker.monitor", "--file-format=wav", "--format=s16le",
             "--latency-msec=20", "--rate=" + std::to_string(kRecordRate), "--channels=1", wav});
        ASSERT_TRUE(recorder.Running());
        // The monitor of a null sink delivers nothing for about the first two seconds.
        RunEventLoopFor(3500);
        ClickAt(id_, Control(kMainStringPicker), window_->Picker().Positions()[3]);  // D2
        RunEventLoopFor(1500);
        recorder.Stop(SIGINT);
    }
    EXPECT_NEAR(window_->Display().TargetFrequency(), NoteFrequency(38), 0.01);
    auto reader = SoundFileReader::Open(wav, nullptr);
    ASSERT_TRUE(reader != nullptr);
    std::vector<int32_t> pcm(size_t(reader->Frames()));
    pcm.resize(size_t(reader->Read(pcm.data(), reader->Frames())));
    std::vector<double> x;
    for (int32_t s : pcm) x.push_back(s / 2147483648.0);
    const size_t window = kRecordRate / 10;  // four periods of E1
    const size_t hop = kRecordRate / 100;
    double last_e1 = -1;
    double first_d2 = -1;
    for (size_t i = 0; i + window <= x.size(); i += hop) {
        const double f = FrequencyAt(x, i, window);
        const double t = double(i) / kRecordRate;
        if (std::fabs(f - NoteFrequency(28)) < 0.3 && first_d2 < 0) last_e1 = t;
        if (std::fabs(f - NoteFrequency(38)) < 0.3 && first_d2 < 0 && last_e1 >= 0) first_d2 = t;
    }
    ASSERT_GE(last_e1, 0) << "no E1 in " << wav;
    ASSERT_GE(first_d2, 0) << "no D2 after E1 in " << wav;
    // Windows that straddle the change read neither note; they span at most 0.3 s.
    EXPECT_LT(first_d2 - last_e1, 0.3);
    size_t quiet = 0;
    size_t longest_quiet = 0;
    const size_t from = size_t(last_e1 * kRecordRate);
    const size_t to = std::min(x.size(), size_t((first_d2 + 0.1) * kRecordRate) + window);
    for (size_t i = from; i < to; ++i) {
        quiet = std::fabs(x[i]) < 0.01 ? quiet + 1 : 0;
        longest_quiet = std::max(longest_quiet, quiet);
    }
    EXPECT_LT(longest_quiet, size_t(kRecordRate / 1000)) << "a gap in " << wav;
    std::printf("tone switch: E1 last at %.3f s, D2 first at %.3f s; longest quiet %zu samples\n",
                last_e1, first_d2, longest_quiet);
    ClickAt(id_, Control(kMainToneButton));
    RunEventLoopFor(200);
    EXPECT_FALSE(window_->Tone().IsPlaying());

    // 4. "Keep window on top at all times", ticked and confirmed with the pointer.
    later_.push_back(std::make_unique<test::Later>(1000, [&] {
        auto* dialog = dynamic_cast<LTabbedDialog*>(LWindow::FromNative(modal_stack::Top()));
        if (dialog == nullptr || dialog->Page(0) == nullptr) return;
        const std::string dialog_id = WindowId("Preferences");
        ClickAt(dialog_id, FindControl(dialog->Page(0), kPrefsKeepOnTop));
        later_.push_back(std::make_unique<test::Later>(500, [dialog, dialog_id] {
            ClickAt(dialog_id, FindControl(dialog, kTabbedDialogOK));
        }));
    }));
    EXPECT_TRUE(window_->ShowPreferences());
    EXPECT_TRUE(RunEventLoopUntil(
        [&] {
            return Output({"/usr/bin/xprop", "-id", id_, "_NET_WM_STATE"})
                       .find("_NET_WM_STATE_ABOVE") != std::string::npos;
        },
        3000));

    // 5. Closing and starting again restores the instrument and the tuning.
    window_->Close();
    window_.reset();
    Open();
    EXPECT_EQ(PopupGetText(window_.get(), kMainInstrumentPopup), "Bass Guitar");
    EXPECT_EQ(PopupGetText(window_.get(), kMainTuningPopup), "5 string");

    // 6. Input stopped for ten seconds: "No Signal"; the next note clears it.
    ASSERT_TRUE(RunEventLoopUntil([&] { return ShowsNear(kG3, 1.0); }, 8000));
    feeder.SetSounding(false);
    const auto stopped = Clock::now();
    ASSERT_TRUE(RunEventLoopUntil([&] { return window_->Display().NoSignal(); }, 10000));
    const double no_signal_after = std::chrono::duration<double>(Clock::now() - stopped).count();
    RunEventLoopFor(int(std::max(0.0, 10.0 - no_signal_after) * 1000));
    EXPECT_TRUE(window_->Display().NoSignal());
    Screenshot("tuner-window-no-signal.png");
    feeder.SetSounding(true);
    const auto resumed = Clock::now();
    ASSERT_TRUE(RunEventLoopUntil([&] { return ShowsNear(kG3, 1.0); }, 8000));
    const double within_a_cent = std::chrono::duration<double>(Clock::now() - resumed).count();
    std::printf(
        "No Signal %.2f s after the input stopped; the next note within 1 cent after %.3f s\n",
        no_signal_after, within_a_cent);
    RecordProperty("no_signal_after_ms", int(no_signal_after * 1000));
    RecordProperty("note_within_one_cent_ms", int(within_a_cent * 1000));
}

// The program itself, as the player starts it (no arguments): it opens the tuner window on
// the sound server's default input, floats when the stored choice says so, and on SIGTERM
// closes the window as at quit, keeping the restored instrument and tuning.
TEST_F(TunerWindowEndToEndTest, TheProgramOpensTheTunerOnTheDefaultInputAndKeepsTheChoice) {
    NoteFeeder feeder(server_.FifoPath());
    ASSERT_TRUE(feeder.Ok());
    SetInstrumentName("Bass Guitar");
    SetTuningName("5 string");
    SetAlwaysOnTop(true);
    test::BackgroundProgram program({std::string(TW_BINARY_DIR) + "/tunewright"});
    ASSERT_TRUE(program.Running());
    std::string id;
    const auto start = Clock::now();
    while (id.empty() && Clock::now() - start < std::chrono::seconds(10)) {
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        id = WindowId("Tunewright");
    }
    ASSERT_FALSE(id.empty()) << "no window";
    bool above = false;
    bool recording = false;
    for (int i = 0; i < 30 && !(above && recording); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        above =
            Output({"/usr/bin/xprop", "-id", id, "_NET_WM_STATE"}).find("_NET_WM_STATE_ABOVE") !=
            std::string::npos;
        // A recording stream on the sound server's default source, "mic".
        recording = Output({"/usr/bin/pactl", "list", "short", "source-outputs"})
                        .find_first_not_of(" \n") != std::string::npos;
    }
    EXPECT_TRUE(above);
    EXPECT_TRUE(recording);
    // Time for the note being fed to reach the display before the picture is kept.
    std::this_thread::sleep_for(std::chrono::seconds(3));
    Screenshot("tunewright-program.png");
    EXPECT_EQ(program.Stop(SIGTERM), 0);
    const std::string prefs = test::ReadFileText(std::string(getenv("XDG_CONFIG_HOME")) +
                                                 "/com.orvanesoft.tunewright/preferences.conf");
    EXPECT_NE(prefs.find("Settings/Instrument=Bass Guitar"), std::string::npos) << prefs;
    EXPECT_NE(prefs.find("Settings/Tuning=5 string"), std::string::npos) << prefs;
}

}  // namespace
}  // namespace tw
