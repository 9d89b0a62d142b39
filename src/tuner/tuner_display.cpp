#include "tuner/tuner_display.h"

#include <cmath>
#include <cstdio>

#include "tuner/notes.h"
#include "tuner/view_style.h"

namespace tw {

namespace {

// One pixel of the scale as a frequency ratio: 1.0003 as a single-precision number.
constexpr double kPixelRatio = 1.0003000497817993;
// Redraws only for shown frequencies inside this range; outside it the picture stays.
constexpr float kHighestShown = 20000.0f;
// In tune within 0.1 % of the target (about 1.73 cents): no sign.
constexpr float kInTuneFraction = 0.001f;
// Never more note lines than this per draw, whatever the pane's width: a semitone is
// 192 pixels wide, so this covers panes of thousands of pixels.
constexpr int kMostNotesPerDraw = 64;

// Geometry of the scale, in pixels.
constexpr int kPlateLeft = 5;  // plate at (x + 5, 5), 43 x 39
constexpr int kPlateTop = 5;
constexpr int kPlateWidth = 43;
constexpr int kPlateHeight = 39;
constexpr int kSignTop = 42;
constexpr int kRaiseSignLeft = 1;    // w/2 + 1
constexpr int kLowerSignLeft = -49;  // w/2 - 49
constexpr int kTargetLabelTop = 65;
constexpr int kCurrentLabelTop = 90;
constexpr int kLabelWidth = 70;
constexpr int kLabelHeight = 14;
constexpr int kLabelFlipMargin = 71;  // labels flip left within this of the right edge

const TextStyle kOctaveStyle{13, false, colours::kWhite};
const TextStyle kLetterStyle{26, false, colours::kWhite};
const TextStyle kSharpStyle{16, false, colours::kWhite};
const TextStyle kLabelStyle{14, false, colours::kWhite};
const TextStyle kNoSignalStyle{18, true, colours::kCurrentPrimary};

double PixelLog() {
    static const double l = std::log(kPixelRatio);
    return l;
}

// The pixel coordinate of a frequency on the unshifted scale.
int ScalePixel(float hz) {
    return int(std::log(double(hz)) / PixelLog());
}

}  // namespace

void TunerDisplay::SetTargetNote(int32_t note) {
    target_ = NoteFrequency(note);
    Invalidate();
}

void TunerDisplay::SetTargetFrequency(float hz) {
    target_ = hz;
    Invalidate();
}

void TunerDisplay::ShowNoSignal() {
    no_signal_ = true;
    Invalidate();
}

void TunerDisplay::FeedEstimate(float hz) {
    no_signal_ = false;
    step_ = 0.0f;
    if (last_feed_tick_ < tick_count_) {
        step_ = (hz - previous_) / float(tick_count_ - last_feed_tick_);
    }
    last_feed_tick_ = tick_count_;
    shown_ = previous_;
    previous_ = newest_;
    newest_ = hz;
}

void TunerDisplay::Tick() {
    ++tick_count_;
    // Outside the span of the two newest estimates: restart from the older one.
    if ((shown_ - newest_) * (shown_ - previous_) > 0.0f) {
        no_signal_ = false;
        step_ = 0.0f;
        if (last_feed_tick_ < tick_count_) {
            step_ = (newest_ - previous_) / float(tick_count_ - last_feed_tick_);
        }
        shown_ = previous_;
        previous_ = newest_;
        last_feed_tick_ = tick_count_;
    }
    shown_ += step_;
    if (shown_ > 0.0f && shown_ < kHighestShown) {
        picture_ = shown_;
        Invalidate();
    }
}

void TunerDisplay::DrawImage(PaintContext& pc, ResourceImage& image, double x, double y, double w,
                             double h) {
    const Image* img = image.For(pc.PixelScale());
    drawn_images_.push_back(image.Id());
    if (img == nullptr) return;
    pc.DrawImage(*img, x, y, w < 0 ? img->Width() : w, h < 0 ? img->Height() : h);
}

void TunerDisplay::OnDraw(PaintContext& pc) {
    drawn_images_.clear();
    note_lines_.clear();
    const int w = width;
    const int h = height;
    DrawImage(pc, background_, 0, 0, w, h);

    const float shown = picture_;
    const float c = float(std::log(double(shown)) / PixelLog());
    const float left = float(w) * -0.5f + c;
    const float right = c + float(w) * 0.5f;
    const float f_left = float(std::pow(kPixelRatio, double(left)));
    const float f_right = float(std::pow(kPixelRatio, double(right)));
    const int left_pixel = int(left);

    const Pen note_pen{false, colours::kWhite, 1};
    int32_t n = NearestNote(f_left);
    for (int drawn = 0; drawn < kMostNotesPerDraw && NoteFrequency(n) < f_right; ++drawn, ++n) {
        const int x = ScalePixel(NoteFrequency(n)) - left_pixel;
        PenLine(pc, note_pen, x, 0, x, h);
        note_lines_.push_back(x);
        DrawImage(pc, plate_, x + kPlateLeft, kPlateTop, kPlateWidth, kPlateHeight);
        const char* octave = OctaveText(n);
        if (*octave != '\0') DrawShadowedText(pc, kOctaveStyle, x + 8, 6, octave);
        DrawShadowedText(pc, kLetterStyle, x + 16, 12, NoteLetter(n));
        if (IsSharpNote(n)) DrawShadowedText(pc, kSharpStyle, x + 35, 10, "#");
    }

    const bool target_visible = f_left < target_ && target_ < f_right;
    if (target_visible) {
        DrawMarker(pc, target_, ScalePixel(target_) - left_pixel, kTargetLabelTop, true);
    }
    DrawMarker(pc, shown, w / 2, kCurrentLabelTop, false);

    if (target_visible && std::fabs(target_ - shown) > target_ * kInTuneFraction) {
        if (target_ >= shown) {
            DrawImage(pc, no_signal_ ? raise_dim_ : raise_, w / 2 + kRaiseSignLeft, kSignTop);
        } else {
            DrawImage(pc, no_signal_ ? lower_dim_ : lower_, w / 2 + kLowerSignLeft, kSignTop);
        }
    }
    if (no_signal_) DrawShadowedText(pc, kNoSignalStyle, 10, h - 23, "No Signal");
}

void TunerDisplay::DrawMarker(PaintContext& pc, float hz, int x, int label_top, bool target) {
    Colour16 primary = colours::kTargetPrimary;
    Colour16 secondary = colours::kTargetSecondary;
    if (!target) {
        primary = no_signal_ ? colours::kCurrentPrimaryNoSignal : colours::kCurrentPrimary;
        secondary = no_signal_ ? colours::kCurrentSecondaryNoSignal : colours::kCurrentSecondary;
    }
    PenLine(pc, Pen{false, primary, 2}, x, 0, x, height);
    const int bx = x + kLabelFlipMargin <= width ? x + 1 : x - kLabelFlipMargin;
    // Half a pixel up and left of the lines' grid, so that the box covers whole pixels.
    pc.FillRectVerticalGradient(bx - 0.5, label_top - 0.5, kLabelWidth, kLabelHeight,
                                ToRgba(secondary), ToRgba(primary));
    char text[48];
    std::snprintf(text, sizeof text, "%.2f Hz", double(hz));
    DrawShadowedText(pc, kLabelStyle, bx + 5, label_top, text);
}

}  // namespace tw
