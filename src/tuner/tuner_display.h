// TunerDisplay: the horizontally scrolling pitch scale. The shown frequency sits at the
// centre; one pixel is a frequency ratio of 1.0003 (about 0.52 cent, a semitone about
// 192.5 pixels), so note lines with their plates slide past as the pitch moves. A red
// marker shows the measured frequency, a green one the target, a sign beside the centre
// whether to tune up or down, and "No Signal" shows while no estimate is coming.
//
// The owner feeds it: FeedEstimate then Tick on every tick with a fresh estimate, and
// ShowNoSignal when estimates stop. The shown frequency is interpolated between the two
// newest estimates in single precision, so that it lags the newest by at most one tick.
//
// Thread: main thread (Invalidate only posts a redraw).
#pragma once

#include <cstdint>
#include <vector>

#include "tuner/resource_image.h"
#include "ui/custom_view.h"

namespace tw {

class TunerDisplay : public LCustomView {
  public:
    // Image numbers of the display's artwork.
    static constexpr int kBackgroundImage = 1301;
    static constexpr int kPlateImage = 1302;
    static constexpr int kRaiseImage = 1303;
    static constexpr int kLowerImage = 1304;
    static constexpr int kRaiseDimImage = 1305;
    static constexpr int kLowerDimImage = 1306;

    TunerDisplay() = default;

    void SetTargetNote(int32_t note);
    void SetTargetFrequency(float hz);
    void ShowNoSignal();
    // Never redraws.
    void FeedEstimate(float hz);
    // Advances the interpolation; redraws when the shown frequency lies in (0, 20000) Hz.
    void Tick();

    void OnDraw(PaintContext& pc) override;

    float ShownFrequency() const { return shown_; }
    float TargetFrequency() const { return target_; }
    bool NoSignal() const { return no_signal_; }
    // What the last OnDraw drew: the images by number in drawing order, and the x of
    // each note line, off-pane ones included.
    const std::vector<int>& DrawnImages() const { return drawn_images_; }
    const std::vector<int>& NoteLines() const { return note_lines_; }

  private:
    void DrawMarker(PaintContext& pc, float hz, int x, int label_top, bool target);
    void DrawImage(PaintContext& pc, ResourceImage& image, double x, double y, double w = -1,
                   double h = -1);

    float shown_ = 440.0f;
    float target_ = 440.0f;
    bool no_signal_ = true;
    float previous_ = 0.0f;
    float newest_ = 0.0f;
    float step_ = 0.0f;
    int tick_count_ = 0;
    int last_feed_tick_ = 0;
    // The frequency of the picture on screen: a shown frequency outside (0, 20000) Hz
    // keeps the last picture, also when the pane is exposed and drawn anew.
    float picture_ = 440.0f;

    ResourceImage background_{kBackgroundImage};
    ResourceImage plate_{kPlateImage};
    ResourceImage raise_{kRaiseImage};
    ResourceImage lower_{kLowerImage};
    ResourceImage raise_dim_{kRaiseDimImage};
    ResourceImage lower_dim_{kLowerDimImage};
    std::vector<int> drawn_images_;
    std::vector<int> note_lines_;
};

}  // namespace tw
