// The tuner's main window: listens to the chosen input through the pitch analyser, shows
// the estimate on the display and the range bar 20 times a second, turns the choice of
// instrument and tuning, note or frequency into the target of both views, plays the
// reference tone of the target, and runs the preferences dialog.
//
// Thread: main thread. The analyser publishes from its capture thread; the tick reads
// the published pair without a lock (each half is one aligned 32-bit word).
#pragma once

#include <cstdint>

#include "analysis/clock.h"
#include "analysis/pitch_analyzer.h"
#include "base/timer_set.h"
#include "tuner/note_range_bar.h"
#include "tuner/panel_background.h"
#include "tuner/preferences_dialog.h"
#include "tuner/reference_tone.h"
#include "tuner/string_picker.h"
#include "tuner/tuner_display.h"
#include "ui/toolbar.h"
#include "ui/window.h"

namespace tw {

// Control ids.
inline constexpr int kMainPanel = 1100;  // the background behind everything below
inline constexpr int kMainDisplay = 1103;
inline constexpr int kMainRangeBar = 1104;
inline constexpr int kMainInstrumentLabel = 1105;
inline constexpr int kMainInstrumentPopup = 1106;
inline constexpr int kMainTuningLabel = 1107;
inline constexpr int kMainTuningPopup = 1108;
inline constexpr int kMainStringPicker = 1109;
inline constexpr int kMainFrequencyField = 1112;
inline constexpr int kMainFrequencyLabel = 1113;
inline constexpr int kMainNotePopup = 1114;
inline constexpr int kMainNoteLabel = 1115;
inline constexpr int kMainToneButton = 1116;

// Commands.
inline constexpr std::uint32_t kCommandShowPreferences = 1000;
inline constexpr std::uint32_t kCommandToggleTone = 1116;
inline constexpr std::uint32_t kCommandApplyInstrument = 2000;
inline constexpr std::uint32_t kCommandApplyTuning = 2001;
inline constexpr std::uint32_t kCommandApplyNote = 2002;
inline constexpr std::uint32_t kCommandApplyFrequency = 2003;

// Timers.
inline constexpr int kTimerWatchdog = 2;
inline constexpr int kTimerTick = 3;
inline constexpr int kTimerNoSoundCheck = 5;
inline constexpr int kTimerCaptureRetry = 6;
inline constexpr int kWatchdogMs = 2000;
inline constexpr int kTickMs = 50;
inline constexpr int kNoSoundCheckMs = 60000;
inline constexpr int kCaptureRetryMs = 2000;
// An estimate older than this counts as absent.
inline constexpr std::uint32_t kFreshEstimateMs = 2000;

// Images of the reference-tone button and the toolbar.
inline constexpr int kImageToneStopped = 319;
inline constexpr int kImageTonePlaying = 320;

inline constexpr char kProductStatusText[] = "Tunewright Musical Instrument Tuner v 2.15";
inline constexpr char kNoSoundHint[] =
    "No sound is heard. You may need to change the sound input device settings.";
inline constexpr char kPlayErrorCaption[] = "Sound Play Error";
inline constexpr char kPlayErrorText[] =
    "Unable to start playback.\r\n\r\nThis might be because the sound card is being used by "
    "some other applications.";

class MainWindow : public LWindow, public LTimerSet, public StringPickerListener {
  public:
    explicit MainWindow(const MillisecondClock* clock = &SystemClock::Instance());
    ~MainWindow() override;

    void OnInit() override;
    void OnClose() override;
    void OnCommand(std::uint32_t id, void* data) override;
    // Runs the preferences dialog with the analysis stopped; true when it ended with OK.
    virtual bool ShowPreferences();
    // Places the controls for the client width and the toolbar, then centres the window.
    virtual void LayoutControls();
    void OnStringPicked(int32_t note) override;
    void OnTimer(int id) override;

    // The preferences dialog's way to the desktop's sound settings (tests replace it).
    void SetSoundSettingsOpener(GeneralPage::SoundSettingsOpener opener) { opener_ = opener; }

    // What the window holds, for the application frame and tests.
    TunerDisplay& Display() { return display_; }
    NoteRangeBar& RangeBar() { return range_bar_; }
    StringPicker& Picker() { return picker_; }
    LPitchAnalyzer& Analyzer() { return analyzer_; }
    ReferenceTone& Tone() { return tone_; }
    LToolbar& Toolbar() { return toolbar_; }

  private:
    void ApplyInstrument(const std::string& tuning_name);
    void ApplyTuning();
    void ApplyNote();
    void ApplyFrequency();
    void SetTargetNote(int32_t note);
    void SetTargetFrequency(float hz);
    void FollowTarget();
    void ToggleTone();
    void ShowToneFace(bool playing);
    void ApplyAlwaysOnTop();
    void StartAnalysis();
    void Tick();
    void CheckNoSound();
    void RetryCapture();
    // The pair of the tuning, frequency or note row that is shown (0 for none).
    void ShowTargetRow(int label_id);

    const MillisecondClock* clock_;
    PanelBackground panel_;
    TunerDisplay display_;
    NoteRangeBar range_bar_;
    StringPicker picker_;
    LPitchAnalyzer analyzer_;
    ReferenceTone tone_;
    LToolbar toolbar_;
    GeneralPage::SoundSettingsOpener opener_ = nullptr;
    bool listening_ = false;  // from OnInit to OnClose, outside the preferences dialog
};

}  // namespace tw
