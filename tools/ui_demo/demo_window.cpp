#include "demo_window.h"

#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdio>

#include "ui/controls.h"

namespace tw::demo {

namespace {

constexpr const char* kNoteNames[] = {"C",  "C#", "D",  "D#", "E",  "F",
                                      "F#", "G",  "G#", "A",  "A#", "B"};
constexpr double kPixelRatio = 1.0003;  // one pixel of the scale, as a frequency ratio
constexpr Rgba kWhite{1, 1, 1, 1};
constexpr Rgba kShadow{0, 0, 0, 0.8};
constexpr Rgba kCurrent{1, 0.012, 0.055, 1};
constexpr Rgba kCurrentTop{0.65, 0.008, 0.02, 1};
constexpr Rgba kTarget{0, 1, 0, 1};
constexpr Rgba kTargetTop{0, 0.65, 0, 1};

double NoteFrequencyOf(int note) {
    return 440.0 * std::pow(2.0, (note - 69) / 12.0);
}

void ShadowText(PaintContext& pc, double x, double y, const std::string& text, const Rgba& c) {
    pc.SetColor(kShadow);
    pc.DrawText(x + 1, y + 1, text);
    pc.SetColor(c);
    pc.DrawText(x, y, text);
}

void Marker(PaintContext& pc, double frequency, int x, int label_top, int w, int h,
            const Rgba& primary, const Rgba& secondary) {
    pc.SetColor(primary);
    pc.SetLineWidth(2);
    pc.StrokeLine(x, 0, x, h);
    const int bx = x + 71 <= w ? x + 1 : x - 71;
    pc.FillRectVerticalGradient(bx, label_top, 70, 16, secondary, primary);
    char text[32];
    std::snprintf(text, sizeof text, "%.2f Hz", frequency);
    pc.SetFont(9, true);
    ShadowText(pc, bx + 5, label_top, text, kWhite);
}

}  // namespace

void ScaleView::OnDraw(PaintContext& pc) {
    ++frames;
    const int w = width;
    const int h = height;
    pc.FillRectVerticalGradient(0, 0, w, h, Rgba{0.09, 0.09, 0.25, 1}, Rgba{0.02, 0.02, 0.1, 1});
    const double shown = frequency.load();
    const double l = std::log(kPixelRatio);
    const double c = std::log(shown) / l;
    const double left = c - w / 2.0;
    const double right = c + w / 2.0;
    // Note ticks across the visible span.
    const int first = int(std::floor(12 * std::log2(std::pow(kPixelRatio, left) / 440.0) + 69));
    const int last = int(std::ceil(12 * std::log2(std::pow(kPixelRatio, right) / 440.0) + 69));
    pc.SetLineWidth(1);
    for (int n = first; n <= last; ++n) {
        const int x = int(std::log(NoteFrequencyOf(n)) / l - left);
        pc.SetColor(Rgba{1, 1, 1, 0.6});
        pc.StrokeLine(x, 0, x, h);
        pc.SetFont(14, true);
        ShadowText(pc, x + 6, 8, kNoteNames[((n % 12) + 12) % 12], kWhite);
        pc.SetFont(8, false);
        char octave[16];
        std::snprintf(octave, sizeof octave, "%d", n / 12 - 1);
        ShadowText(pc, x + 8, 32, octave, kWhite);
    }
    Marker(pc, 440.0, int(std::log(440.0) / l - left), 62, w, h, kTarget, kTargetTop);
    Marker(pc, shown, w / 2, 86, w, h, kCurrent, kCurrentTop);
}

void MeterView::OnDraw(PaintContext& pc) {
    const int w = width;
    const int h = height;
    pc.SetColor(Rgba{0.086, 0.086, 0.22, 1});
    pc.FillRect(-1, -1, w + 2, h + 2);
    const double step = (w - 10) / 115.0;
    pc.SetLineWidth(1);
    pc.SetColor(Rgba{0.4, 0.4, 0.6, 1});
    for (int i = 0; i <= 115; ++i) {
        const int x = int(i * step + 5.0);
        pc.StrokeLine(x, h / 2, x, h);
    }
    pc.SetColor(kTarget);
    pc.SetLineWidth(2);
    const int target_x = int((69 - 12) * step + 5.0);
    pc.StrokeLine(target_x, 0, target_x, h);
    const double note = 12 * std::log2(frequency.load() / 440.0) + 69;
    const int x = int((note - 12) * step + 5.0);
    pc.SetColor(Rgba{1, 0.2, 0.2, 1});
    pc.SetLineWidth(2);
    pc.StrokeLine(x, 0, x, h);
}

// ---------------------------------------------------------------------------------------

DemoWorker::~DemoWorker() {
    Stop();
    CancelPending();
}

void DemoWorker::Run() {
    // Worker thread: computes the marker's wander and asks the views to redraw; the
    // drawing itself happens on the main thread.
    const auto t0 = std::chrono::steady_clock::now();
    int tick = 0;
    while (!WaitForStopOrFinish(40)) {
        const double t =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
        const float f = float(440.0 * std::pow(2.0, 0.9 * std::sin(t * 1.3) / 12.0));
        owner_->scale.frequency = f;
        owner_->meter.frequency = f;
        owner_->scale.Invalidate();
        owner_->meter.Invalidate();
        if (++tick % 5 == 0) {
            progress = (progress + 4) % 104;
            PostToMainThread();
        }
    }
}

void DemoWorker::OnMainThread() {
    SetControlValue(owner_, kProgress, progress);
}

// ---------------------------------------------------------------------------------------

DemoWindow::DemoWindow() = default;

DemoWindow::~DemoWindow() {
    worker.Stop();
    worker.CancelPending();
    KillAllTimers();
    if (!picture_path_.empty()) unlink(picture_path_.c_str());
}

bool DemoWindow::Open() {
    if (!CreateFromNib("demo", "DemoWindow")) return false;
    InstallWindowHandler(false);
    InstallAppHandler();
    modal = 0;
    window->AddToolbarItem(1000, "Preferences", "", "Adjust settings and options");
    window->SetToolbarVisible(true);
    window->SetStatusBarVisible(true);
    window->SetStatusText(0, "Tunewright UI toolkit demonstration");
    OnInit();
    shown = 1;
    UpdateControls();
    return true;
}

void DemoWindow::OnInit() {
    const char* const labels[] = {"Instrument:", "Frequency (Hz):", "Steps:", "Name:"};
    for (int i = 0; i < 4; ++i) {
        NativeControl* label = CreateStaticText(this, kFirstLabel + i, labels[i]);
        label->SetAlignment(1);
    }
    CreateUserPane(this, kScaleView);
    CreateUserPane(this, kMeterView);
    scale.Attach(this, kScaleView);
    meter.Attach(this, kMeterView);
    scale.cornerRadius = 6;

    CreatePopup(this, kInstrumentPopup);
    const char* const instruments[] = {
        "None", "Select Target Note", "Select Target Frequency", "-", "Guitar", "Bass", "Violin",
        nullptr};
    PopupAppendItems(this, kInstrumentPopup, instruments);
    PopupSelectText(this, kInstrumentPopup, "Guitar");
    BindControlCommand(kInstrumentPopup, kBindOnPopupPick, 2000);

    EditFieldOptions decimal;
    decimal.decimal_only = 1;
    CreateEditField(this, kFrequencyField, decimal);
    SetEditInt(this, kFrequencyField, 440);
    BindControlCommand(kFrequencyField, kBindOnEditInput, 2003);

    CreateLittleArrows(this, kStepArrows, 12);
    CreateEditField(this, kStepField, EditFieldOptions{});
    SetEditInt(this, kStepField, 0);

    EditFieldOptions lower;
    lower.lower_case_only = 1;
    CreateEditField(this, kNameField, lower);
    SetEditPlaceholder(this, kNameField, "lower-case letters only");
    SetEditLengthLimit(this, kNameField, 16);

    CreateCheckBox(this, kOnTopBox, "Always on top");
    CreateRadioGroup(this, kWaveGroup);
    CreateRadioButton(this, kWaveGroup, kSineRadio, "Sine");
    CreateRadioButton(this, kWaveGroup, kSquareRadio, "Square");
    CreateRadioButton(this, kWaveGroup, kTriangleRadio, "Triangle");

    CreateSeparator(this, kSeparator);
    const char* const tabs[] = {"General", "Advanced", nullptr};
    NativeControl* tab_control = CreateTabs(this, kTabs, tabs);
    generalPage.AttachEmbedded(this, tab_control->TabsPage(1));
    CreateCheckBox(&generalPage, kStartupBox, "Show the window at start-up");
    SetCheckBoxValue(&generalPage, kStartupBox, 1);
    CreateStaticText(&generalPage, kPageNote, "Controls of an embedded pane");
    SetControlFrame(&generalPage, kStartupBox, 12, 10, 260, 24);
    SetControlFrame(&generalPage, kPageNote, 12, 38, 260, 20);

    // The picture is drawn here so that the demo needs no artwork.
    char path[] = "/tmp/tw-demo-picture-XXXXXX";
    const int fd = mkstemp(path);
    if (fd >= 0) {
        close(fd);
        ImageSurface art(64, 64);
        PaintContext& pc = art.Context();
        pc.FillRectVerticalGradient(0, 0, 64, 64, Rgba{1, 0.7, 0, 1}, Rgba{0.8, 0.2, 0, 1});
        pc.SetColor(Rgba{1, 1, 1, 1});
        pc.SetLineWidth(4);
        pc.Arc(32, 32, 20, 0, 2 * M_PI);
        pc.Stroke();
        pc.SetFont(16, true);
        pc.DrawText(24, 20, "A");
        art.WritePng(path);
        picture_path_ = path;
    }
    CreateImage(this, kPicture, picture_path_);

    CreateProgressBar(this, kProgress);
    CreatePushButton(this, kPlayButton, "Play", kBevelButtonStyle, kPlayButton);
    CreatePushButton(this, kHelpButton, "", kPushButtonStyle, kHICommandAppHelp);
    Layout();
    CenterWindow();

    SetTimer(1, 1000);
    worker.Start(20);
}

void DemoWindow::Layout() {
    int w = 0;
    int h = 0;
    GetClientSize(&w, &h);
    const int t = window->ToolbarHeight();
    SetControlFrame(this, kScaleView, 20, t + 15, w - 40, 110);
    SetControlFrame(this, kMeterView, 20, t + 135, w - 40, 22);
    for (int i = 0; i < 4; ++i)
        SetControlFrame(this, kFirstLabel + i, 20, t + 175 + 35 * i, 130, 24);
    SetControlFrame(this, kInstrumentPopup, 160, t + 175, 200, 24);
    SetControlFrame(this, kFrequencyField, 160, t + 213, 200, 24);
    SetControlFrame(this, kStepArrows, 160, t + 245, 80, 24);
    SetControlFrame(this, kNameField, 160, t + 283, 200, 24);
    SetControlFrame(this, kOnTopBox, 400, t + 175, 200, 24);
    SetControlFrame(this, kWaveGroup, 400, t + 210, 200, 80);
    SetControlFrame(this, kSeparator, 20, t + 322, w - 40, 2);
    SetControlFrame(this, kTabs, 20, t + 335, 300, 90);
    SetControlFrame(this, kPicture, 340, t + 345, 64, 64);
    SetControlFrame(this, kProgress, 420, t + 352, 200, 12);
    SetControlFrame(this, kPlayButton, 420, t + 380, 90, 30);
    SetControlFrame(this, kHelpButton, w - 52, t + 380, 32, 32);
}

void DemoWindow::OnClose() {
    worker.Stop();
    worker.CancelPending();
    KillAllTimers();
    scale.Detach();
    meter.Detach();
}

bool DemoWindow::OnCancel() {
    QuitApplicationEventLoop();
    return true;
}

void DemoWindow::OnCommand(std::uint32_t id, void*) {
    char text[128];
    switch (id) {
        case 2000:
            std::snprintf(text, sizeof text, "Instrument: %s",
                          PopupGetText(this, kInstrumentPopup).c_str());
            window->SetStatusText(0, text);
            break;
        case 2003:
            std::snprintf(text, sizeof text, "Frequency: %s Hz",
                          GetEditText(this, kFrequencyField).c_str());
            window->SetStatusText(0, text);
            break;
        case kStepArrows:
            SetEditInt(this, kStepField, GetControlValue(this, kStepArrows));
            break;
        case kOnTopBox:
            window->SetKeepAbove(GetCheckBoxValue(this, kOnTopBox));
            break;
        case kPlayButton:
            window->SetInfoBarText("The demo has no sound; this is the information bar.");
            break;
        case 1000:
            window->SetStatusText(0, "Preferences chosen from the toolbar");
            break;
        default:
            break;
    }
}

void DemoWindow::UpdateControls() {
    // The step field follows its arrows only; the name field only takes letters.
    EnableControl(this, kStepField, true);
}

void DemoWindow::OnTimer(int id) {
    if (id != 1) return;
    ++seconds_;
    char text[64];
    std::snprintf(text, sizeof text, "Running for %d s", seconds_);
    window->SetStatusText(1, text);
    SetTimer(1, 1000);
}

}  // namespace tw::demo
