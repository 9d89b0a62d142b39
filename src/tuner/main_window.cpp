#include "tuner/main_window.h"

#include <algorithm>
#include <string>

#include "tuner/frequency_text.h"
#include "tuner/notes.h"
#include "tuner/resource_image.h"
#include "tuner/tuner_settings.h"
#include "ui/controls.h"
#include "ui/message_box.h"

namespace tw {

namespace {

// The row labels are white on the panel.
constexpr Rgba kLabelColour{1, 1, 1, 1};

// Frames, as offsets from the client width W and the toolbar height T.
constexpr int kSideMargin = 35;  // display and range bar from the window's sides
constexpr int kDisplayTop = 25;
constexpr int kDisplayHeight = 110;
constexpr int kRangeBarTop = 145;
constexpr int kRangeBarHeight = 22;
constexpr int kRangeBarRightGap = 102;  // room for the tone button beside the bar
constexpr int kToneButtonFromRight = 65;
constexpr int kToneButtonWidth = 32;
constexpr int kInstrumentRowTop = 192;
constexpr int kTargetRowTop = 231;
constexpr int kRowHeight = 24;
constexpr int kLabelFromRight = 410;
constexpr int kLabelWidth = 150;
constexpr int kControlFromRight = 255;
constexpr int kControlWidth = 220;
constexpr int kPickerTop = 270;
constexpr int kPickerHeight = 123;

// The rows that share the target row: label and control.
struct TargetRow {
    int label;
    int control;
};
constexpr TargetRow kTargetRows[] = {{kMainTuningLabel, kMainTuningPopup},
                                     {kMainFrequencyLabel, kMainFrequencyField},
                                     {kMainNoteLabel, kMainNotePopup}};

// The toolbar's one item.
constexpr ToolbarItem kToolbarItems[] = {{kToolbarItemButton, kCommandShowPreferences,
                                          kIconPreferences, "Preferences", "Preferences",
                                          "Adjust settings and options", 0}};

void CreateRowLabel(LWindow* w, int id, const char* text) {
    if (NativeControl* label = CreateStaticText(w, id, text, &kLabelColour)) label->SetAlignment(1);
}

}  // namespace

MainWindow::MainWindow(const MillisecondClock* clock) : clock_(clock), analyzer_(clock) {}

MainWindow::~MainWindow() {
    KillAllTimers();
    listening_ = false;
}

void MainWindow::OnInit() {
    // 1. Toolbar, fixed size, status text (the frame installs the menus).
    toolbar_.SetToolbarName("MainWindow");
    toolbar_.CreateToolbar(this, kToolbarItems, int(std::size(kToolbarItems)), {});
    window->ChangeAttributes(0, kWindowResizableAttribute | kWindowFullZoomAttribute);
    window->SetStatusBarVisible(true);
    window->SetStatusText(0, kProductStatusText);
    // The panel goes first so that every other control lies above it.
    CreateUserPane(this, kMainPanel);
    panel_.Attach(this, kMainPanel);

    // 2. The two views.
    CreateUserPane(this, kMainDisplay);
    display_.Attach(this, kMainDisplay);
    CreateUserPane(this, kMainRangeBar);
    range_bar_.Attach(this, kMainRangeBar);

    // 3. Instruments.
    CreateRowLabel(this, kMainInstrumentLabel, "Instruments:");
    CreatePopup(this, kMainInstrumentPopup);
    BindControlCommand(kMainInstrumentPopup, kBindOnPopupPick, kCommandApplyInstrument);
    PopupAppendItems(this, kMainInstrumentPopup, InstrumentNames());

    // 4. Tunings.
    CreateRowLabel(this, kMainTuningLabel, "Tunings:");
    CreatePopup(this, kMainTuningPopup);
    BindControlCommand(kMainTuningPopup, kBindOnPopupPick, kCommandApplyTuning);

    // 5. The reference-tone button (its face once it has its frame).
    CreatePushButton(this, kMainToneButton, "", kBevelButtonStyle, kCommandToggleTone);

    // 6. Frequency.
    CreateRowLabel(this, kMainFrequencyLabel, "Frequency (Hz):");
    EditFieldOptions numeric;
    numeric.decimal_only = 1;
    CreateEditField(this, kMainFrequencyField, numeric);
    BindControlCommand(kMainFrequencyField, kBindOnEditInput, kCommandApplyFrequency);
    SetEditInt(this, kMainFrequencyField, GetUserFrequency());

    // 7. Note.
    CreateRowLabel(this, kMainNoteLabel, "Note:");
    CreatePopup(this, kMainNotePopup);
    BindControlCommand(kMainNotePopup, kBindOnPopupPick, kCommandApplyNote);
    PopupAppendItems(this, kMainNotePopup, TargetNoteNames());
    PopupSelectIndex(this, kMainNotePopup, GetUserNotePosition());

    // 8. The stored instrument; its tuning is selected once the tuning pop-up is filled.
    if (!PopupSelectText(this, kMainInstrumentPopup, GetInstrumentName().c_str())) {
        PopupSelectIndex(this, kMainInstrumentPopup, 0);
    }
    const std::string tuning = GetTuningName();

    // 9. The string picker.
    CreateUserPane(this, kMainStringPicker);
    picker_.Attach(this, kMainStringPicker);
    LayoutControls();
    picker_.SetListener(this);
    picker_.Invalidate();

    // 10 - 12.
    ApplyAlwaysOnTop();
    SetTimer(kTimerNoSoundCheck, kNoSoundCheckMs);
    StartAnalysis();
    listening_ = true;

    // 13, 14.
    LayoutControls();
    ApplyInstrument(tuning);

    // 15.
    SetTimer(kTimerWatchdog, kWatchdogMs);
    SetTimer(kTimerTick, kTickMs);
    SetTimer(kTimerCaptureRetry, kCaptureRetryMs);
}

void MainWindow::LayoutControls() {
    int w = 0;
    int h = 0;
    GetClientSize(&w, &h);
    const int t = toolbar_.Height();
    SetControlFrame(this, kMainPanel, 0, t, w, h);
    SetControlFrame(this, kMainDisplay, kSideMargin, t + kDisplayTop, w - 2 * kSideMargin,
                    kDisplayHeight);
    SetControlFrame(this, kMainRangeBar, kSideMargin, t + kRangeBarTop, w - kRangeBarRightGap,
                    kRangeBarHeight);
    SetControlFrame(this, kMainToneButton, w - kToneButtonFromRight, t + kRangeBarTop,
                    kToneButtonWidth, kRangeBarHeight);
    SetControlFrame(this, kMainInstrumentLabel, w - kLabelFromRight, t + kInstrumentRowTop,
                    kLabelWidth, kRowHeight);
    SetControlFrame(this, kMainInstrumentPopup, w - kControlFromRight, t + kInstrumentRowTop,
                    kControlWidth, kRowHeight);
    for (const TargetRow& row : kTargetRows) {
        SetControlFrame(this, row.label, w - kLabelFromRight, t + kTargetRowTop, kLabelWidth,
                        kRowHeight);
        SetControlFrame(this, row.control, w - kControlFromRight, t + kTargetRowTop, kControlWidth,
                        kRowHeight);
    }
    SetControlFrame(this, kMainStringPicker, 0, t + kPickerTop, w, kPickerHeight);
    // The button's face is scaled to its frame.
    ShowToneFace(tone_.IsPlaying());
    CenterWindow();
}

void MainWindow::OnCommand(std::uint32_t id, void*) {
    switch (id) {
        case kCommandShowPreferences:
            ShowPreferences();
            break;
        case kCommandToggleTone:
            ToggleTone();
            break;
        case kCommandApplyInstrument:
            // A new instrument starts at its first tuning.
            ApplyInstrument("");
            break;
        case kCommandApplyTuning:
            ApplyTuning();
            break;
        case kCommandApplyNote:
            ApplyNote();
            break;
        case kCommandApplyFrequency:
            ApplyFrequency();
            break;
        default:
            break;
    }
}

void MainWindow::ShowTargetRow(int label_id) {
    for (const TargetRow& row : kTargetRows) {
        ShowControl(this, row.label, row.label == label_id);
        ShowControl(this, row.control, row.label == label_id);
    }
}

void MainWindow::ApplyInstrument(const std::string& tuning_name) {
    const int a = std::max(PopupGetIndex(this, kMainInstrumentPopup), 0);
    PopupRemoveAll(this, kMainTuningPopup);
    PopupAppendItems(this, kMainTuningPopup, TuningNamesOf(a));
    // The stored tuning at start; the first one otherwise, or when it no longer exists.
    const int tuning = std::max(FindTuningIndex(a, tuning_name), 0);
    PopupSelectIndex(this, kMainTuningPopup, tuning);
    EnableControl(this, kMainTuningPopup, PopupGetCount(this, kMainTuningPopup) > 1);

    if (a == kInstrumentTargetNote) {
        ShowTargetRow(kMainNoteLabel);
        ApplyNote();
    } else if (a == kInstrumentTargetFrequency) {
        ShowTargetRow(kMainFrequencyLabel);
        ApplyFrequency();
    } else if (a > kInstrumentTargetFrequency) {
        ShowTargetRow(kMainTuningLabel);
    } else {
        ShowTargetRow(0);
    }
    ApplyTuning();
}

void MainWindow::ApplyTuning() {
    const int a = std::max(PopupGetIndex(this, kMainInstrumentPopup), 0);
    const int t = std::max(PopupGetIndex(this, kMainTuningPopup), 0);
    // The picker selects its first string and reports it to OnStringPicked.
    picker_.SetStrings(TuningNotesOf(a, t));
    picker_.Invalidate();
}

void MainWindow::OnStringPicked(int32_t note) {
    const int a = std::max(PopupGetIndex(this, kMainInstrumentPopup), 0);
    // Under "Select Target Note" and "Select Target Frequency" the picker is empty and
    // the note or frequency stays the target. Under "None" the end marker, -1, becomes a
    // target that neither view can show.
    if (a == kInstrumentTargetNote || a == kInstrumentTargetFrequency) return;
    SetTargetNote(note);
}

void MainWindow::ApplyNote() {
    const int k = std::max(PopupGetIndex(this, kMainNotePopup), 0);
    SetUserNotePosition(k);
    SetTargetNote(TargetNoteToIndex(k));
}

void MainWindow::ApplyFrequency() {
    const int v = FrequencyFieldValue(GetEditText(this, kMainFrequencyField));
    SetUserFrequency(v);
    SetTargetFrequency(float(v));
}

void MainWindow::SetTargetNote(int32_t note) {
    display_.SetTargetNote(note);
    range_bar_.SetTargetNote(note);
    FollowTarget();
}

void MainWindow::SetTargetFrequency(float hz) {
    display_.SetTargetFrequency(hz);
    range_bar_.SetTargetFrequency(hz);
    FollowTarget();
}

void MainWindow::FollowTarget() {
    tone_.Follow(display_.TargetFrequency());
}

void MainWindow::ToggleTone() {
    if (tone_.IsPlaying()) {
        tone_.Stop();
        ShowToneFace(false);
        return;
    }
    if (tone_.Start(display_.TargetFrequency())) {
        ShowToneFace(true);
        return;
    }
    ShowToneFace(false);
    ShowMessage(window, kPlayErrorText, kPlayErrorCaption);
}

void MainWindow::ShowToneFace(bool playing) {
    NativeControl* button = FindControl(this, kMainToneButton);
    std::string path;
    // The larger artwork, scaled down to the button, stays sharp on any screen.
    constexpr double kSharpScale = 2;
    if (button == nullptr ||
        !LookUpResourceImage(playing ? kImageTonePlaying : kImageToneStopped, kSharpScale, &path)) {
        return;
    }
    if (button->ImagePath() != path) button->SetImage(path);
}

bool MainWindow::ShowPreferences() {
    listening_ = false;
    analyzer_.StopAnalysis();
    const bool ok = RunPreferencesDialog(window, opener_);
    if (ok) ApplyAlwaysOnTop();
    StartAnalysis();
    listening_ = true;
    return ok;
}

void MainWindow::ApplyAlwaysOnTop() {
    if (IsValid()) window->SetKeepAbove(GetAlwaysOnTop());
}

void MainWindow::StartAnalysis() {
    analyzer_.StartAnalysis(GetSoundInDevice().c_str(), GetInputChannel().c_str());
}

void MainWindow::OnTimer(int id) {
    switch (id) {
        case kTimerTick:
            Tick();
            break;
        case kTimerWatchdog:
            display_.ShowNoSignal();
            break;
        case kTimerNoSoundCheck:
            CheckNoSound();
            break;
        case kTimerCaptureRetry:
            RetryCapture();
            break;
        default:
            break;
    }
}

void MainWindow::Tick() {
    SetTimer(kTimerTick, kTickMs);
    const float f = analyzer_.PublishedFrequency();
    const std::uint32_t age = clock_->NowMilliseconds() - analyzer_.PublishedTime();
    if (age > kFreshEstimateMs) return;
    SetTimer(kTimerWatchdog, kWatchdogMs);
    display_.FeedEstimate(f);
    range_bar_.SetMeasuredFrequency(f);
    display_.Tick();
}

void MainWindow::CheckNoSound() {
    const int runs = GetRunTimesRecording();
    if (MayShowNoSoundHint(runs) && !analyzer_.IsCapturing()) window->SetInfoBarText(kNoSoundHint);
    SetRunTimesRecording(runs + 1);
}

void MainWindow::RetryCapture() {
    SetTimer(kTimerCaptureRetry, kCaptureRetryMs);
    // A device unplugged, or its sound server restarted, ends the capture; it starts
    // again by itself once the device is back, without a word to the player.
    if (!listening_ || analyzer_.State() != LSoundRecorder::kStopped) return;
    analyzer_.StopAnalysis();
    StartAnalysis();
}

void MainWindow::OnClose() {
    KillAllTimers();
    listening_ = false;
    analyzer_.PauseAnalysis();
    analyzer_.StopAnalysis();
    tone_.Stop();
    ShowToneFace(false);
    SetInstrumentName(PopupGetText(this, kMainInstrumentPopup));
    SetTuningName(PopupGetText(this, kMainTuningPopup));
}

}  // namespace tw
