#include "tuner/string_picker.h"

#include <cstdlib>

#include "tuner/notes.h"
#include "tuner/view_style.h"

namespace tw {

namespace {

constexpr std::uint32_t kFirstInvalidNote = 128;  // a list ends at its first value >= this
const TextStyle kNameStyle{16, false, colours::kWhite};
constexpr int kNameLeft = 8;
constexpr int kLineLeft = 32;
constexpr int kLineRightMargin = 16;
constexpr int kTriangleHalfHeight = 3;

}  // namespace

void StringPicker::SetStrings(const int32_t* notes) {
    notes_ = notes;
    count_ = 0;
    while (notes != nullptr && static_cast<std::uint32_t>(notes[count_]) < kFirstInvalidNote) {
        ++count_;
    }
    positions_.resize(count_);
    widths_.assign(count_, 0);
    // Provisional places until the next draw measures the pane anew.
    const int h = height;
    for (int i = 0; i < count_; ++i) {
        positions_[i] = h - (h - (count_ - 1) * spacing_) / 2 - i * spacing_;
    }
    SelectString(0);
}

void StringPicker::SelectString(int index) {
    selected_ = index;
    if (listener_ != nullptr) {
        const bool valid = index >= 0 && index < count_;
        listener_->OnStringPicked(valid ? notes_[index] : kNoteListEnd);
    }
    Invalidate();
}

void StringPicker::OnDraw(PaintContext& pc) {
    const int w = width;
    const int h = height;
    if (const Image* bg = background_.For(pc.PixelScale())) pc.DrawImage(*bg, 0, 0, w, h);

    spacing_ = h / (count_ + 1);
    tolerance_ = spacing_ / 2;
    for (int i = 0; i < count_; ++i) {
        const bool selected = i == selected_;
        const Colour16 colour = selected ? colours::kSelectedString : colours::kWhite;
        // The first strings of a list are the thickest.
        const int pen_width = (count_ - i + 1) / 2;
        widths_[i] = pen_width;
        int y = h - spacing_ - i * spacing_;
        TextStyle name = kNameStyle;
        name.colour = colour;
        const char* text = PitchClassName(notes_[i]);
        DrawStyledText(pc, name, kNameLeft, y, text);
        double text_h = 0;
        pc.MeasureText(text, nullptr, &text_h);
        y += int(text_h) / 2;
        PenLine(pc, Pen{false, colour, pen_width}, kLineLeft, y, w - kLineRightMargin, y);
        positions_[i] = y;
        if (selected) {
            const int t = kTriangleHalfHeight;
            pc.SetColor(ToRgba(colour));
            pc.FillTriangle(Point{29, double(y - t)}, Point{29, double(y + t)},
                            Point{35, double(y)});
            pc.FillTriangle(Point{double(w - 13), double(y - t)},
                            Point{double(w - 13), double(y + t)}, Point{double(w - 19), double(y)});
        }
    }
}

int StringPicker::HitString(int y) const {
    for (int i = 0; i < count_; ++i) {
        if (std::abs(y - positions_[i]) < tolerance_) return i;
    }
    return -1;
}

bool StringPicker::OnMouseDown(const Point& where) {
    const int i = HitString(int(where.y));
    if (i < 0) return false;
    SelectString(i);
    return true;
}

}  // namespace tw
