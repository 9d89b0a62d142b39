// NoteRangeBar: a thin bar over the notes C0 to G9, one tick per semitone, with a green
// line at the target's nearest note and a red line at the measured frequency, which
// moves smoothly between the ticks.
//
// Thread: main thread (Invalidate only posts a redraw).
#pragma once

#include <cstdint>

#include "ui/custom_view.h"

namespace tw {

class NoteRangeBar : public LCustomView {
  public:
    static constexpr int kLowestNote = 12;    // C0
    static constexpr int kHighestNote = 127;  // G9

    void SetMeasuredFrequency(float hz);
    void SetTargetNote(int32_t note);
    void SetTargetFrequency(float hz);

    void OnDraw(PaintContext& pc) override;

    // Where the last OnDraw put the lines; -1 when it drew none.
    int TargetLineX() const { return target_x_; }
    int MeasuredLineX() const { return measured_x_; }

  private:
    float measured_ = 440.0f;
    float target_ = 440.0f;
    int target_x_ = -1;
    int measured_x_ = -1;
};

}  // namespace tw
