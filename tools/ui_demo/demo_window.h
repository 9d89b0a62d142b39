// The toolkit demonstration window: one control of each kind, an animated custom view
// redrawn from a worker thread, a timer and a main-thread poster, so that a person can
// see the toolkit work (and a test can photograph it).
#pragma once

#include <atomic>
#include <memory>
#include <string>

#include "base/main_thread_poster.h"
#include "base/thread.h"
#include "base/timer_set.h"
#include "ui/custom_view.h"
#include "ui/window.h"

namespace tw::demo {

// Control ids of the demo window.
enum DemoControl : int {
    kScaleView = 100,
    kMeterView = 101,
    kInstrumentPopup = 102,
    kFrequencyField = 103,
    kStepArrows = 104,
    kStepField = 105,
    kNameField = 106,
    kOnTopBox = 107,
    kWaveGroup = 108,
    kSineRadio = 109,
    kSquareRadio = 110,
    kTriangleRadio = 111,
    kSeparator = 112,
    kTabs = 113,
    kPicture = 114,
    kProgress = 115,
    kPlayButton = 116,
    kHelpButton = 118,
    kFirstLabel = 120,
    kStartupBox = 130,
    kPageNote = 131,
};

// A sliding pitch scale with a moving marker, in the style of the tuner display.
class ScaleView : public LCustomView {
  public:
    void OnDraw(PaintContext& pc) override;
    // Any thread: the frequency the marker shows.
    std::atomic<float> frequency{440.0f};
    std::atomic<int> frames{0};
};

// A bar of semitone ticks with the marker's position.
class MeterView : public LCustomView {
  public:
    void OnDraw(PaintContext& pc) override;
    std::atomic<float> frequency{440.0f};
};

class DemoWindow;

// Moves the marker: a worker thread that updates the frequency and asks the views to
// redraw (from its own thread), and posts progress to the main thread.
class DemoWorker : public LThread, public LMainThreadPoster {
  public:
    explicit DemoWorker(DemoWindow* owner) : LThread("DemoWorker"), owner_(owner) {}
    ~DemoWorker() override;
    void Run() override;
    void OnMainThread() override;
    std::atomic<int> progress{0};

  private:
    DemoWindow* owner_;
};

class DemoWindow : public LWindow, public LTimerSet {
  public:
    DemoWindow();
    ~DemoWindow() override;

    // Creates the window from its interface description and builds it; false when the
    // description or the display is missing.
    bool Open();

    void OnInit() override;
    void OnClose() override;
    bool OnCancel() override;
    void OnCommand(std::uint32_t id, void* data) override;
    void UpdateControls() override;
    void OnTimer(int id) override;

    ScaleView scale;
    MeterView meter;
    LWindow generalPage;  // an embedded pane: the controls of the first tab
    DemoWorker worker{this};

  private:
    void Layout();
    std::string picture_path_;
    int seconds_ = 0;
};

}  // namespace tw::demo
