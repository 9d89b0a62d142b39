#include "tuner/note_range_bar.h"

#include "tuner/notes.h"
#include "tuner/view_style.h"

namespace tw {

namespace {

constexpr double kMargin = 5.0;  // pixels left and right of the outermost ticks
constexpr int kIntervals = NoteRangeBar::kHighestNote - NoteRangeBar::kLowestNote;  // 115

}  // namespace

void NoteRangeBar::SetMeasuredFrequency(float hz) {
    measured_ = hz;
    Invalidate();
}

void NoteRangeBar::SetTargetNote(int32_t note) {
    target_ = NoteFrequency(note);
    Invalidate();
}

void NoteRangeBar::SetTargetFrequency(float hz) {
    target_ = hz;
    Invalidate();
}

void NoteRangeBar::OnDraw(PaintContext& pc) {
    const int w = width;
    const int h = height;
    pc.SetColor(ToRgba(colours::kBarBackground));
    pc.FillRect(-0.5, -0.5, w, h);  // the whole pane, under the half-pixel translation

    const double step = (w - 2 * kMargin) / kIntervals;
    const Pen tick{false, colours::kBarTick, 1};
    for (int i = 0; i <= kIntervals; ++i) {
        const int x = int(i * step + kMargin);
        PenLine(pc, tick, x, 0, x, h);
    }

    // A target of 0 Hz (an empty frequency field) has no note and draws no line.
    target_x_ = -1;
    if (IsDrawableFrequency(target_)) {
        const int32_t t = NearestNote(target_);
        const int x = int((t - kLowestNote) * step + kMargin);
        if (x >= 0) {
            PenLine(pc, Pen{false, colours::kBarTarget, 2}, x, 0, x, h);
            target_x_ = x;
        }
    }

    measured_x_ = -1;
    if (IsDrawableFrequency(measured_)) {
        const int32_t m = NearestNote(measured_);
        const float fa = NoteFrequency(m);
        const float fb = NoteFrequency(m + 1);
        const float frac = (measured_ - fa) / (fb - fa);
        const int x = int(frac * step + ((m - kLowestNote) * step + kMargin));
        if (x >= 0) {
            PenLine(pc, Pen{false, colours::kBarCurrent, 1}, x, 0, x, h);
            measured_x_ = x;
        }
    }
}

}  // namespace tw
