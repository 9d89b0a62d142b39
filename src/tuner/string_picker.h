// StringPicker: the strings (target notes) of the chosen tuning as horizontal lines with
// their names, the first of the list lowest and thickest; a click on a string makes its
// note the target and tells the listener.
//
// Thread: main thread.
#pragma once

#include <cstdint>
#include <vector>

#include "tuner/resource_image.h"
#include "ui/custom_view.h"

namespace tw {

class StringPickerListener {
  public:
    virtual void OnStringPicked(int32_t note) = 0;

  protected:
    ~StringPickerListener() = default;
};

class StringPicker : public LCustomView {
  public:
    static constexpr int kBackgroundImage = 1111;

    // `notes` is a note list of the tuning tables, ended by a value that is 128 or more
    // as unsigned; it is not copied and must outlive its use here. Selects string 0.
    void SetStrings(const int32_t* notes);
    // Selects string `index` and tells the listener its note (the list's end marker, -1,
    // for an empty list or an index past the strings).
    void SelectString(int index);
    void SetListener(StringPickerListener* listener) { listener_ = listener; }

    void OnDraw(PaintContext& pc) override;
    // A press selects the first string within the tolerance of y; true when one was hit.
    bool OnMouseDown(const Point& where) override;
    // Whether the pointing-hand cursor belongs at pane height y (a string is near).
    bool WantsPointingHand(int y) const { return HitString(y) >= 0; }
    std::int64_t CursorAt(const Point& where) override {
        return WantsPointingHand(static_cast<int>(where.y)) ? kCursorPointingHand : kCursorArrow;
    }

    int StringCount() const { return count_; }
    int Selected() const { return selected_; }
    int Spacing() const { return spacing_; }
    int Tolerance() const { return tolerance_; }
    // The strings' y positions and pen widths as the last draw placed them.
    const std::vector<int>& Positions() const { return positions_; }
    const std::vector<int>& Widths() const { return widths_; }

  private:
    int HitString(int y) const;

    const int32_t* notes_ = nullptr;
    int count_ = 0;
    std::vector<int> positions_;
    std::vector<int> widths_;
    int selected_ = 0;
    // Recomputed on every draw from the pane's height; these are the values before the
    // first draw.
    int spacing_ = 50;
    int tolerance_ = 25;
    StringPickerListener* listener_ = nullptr;
    ResourceImage background_{kBackgroundImage};
};

}  // namespace tw
