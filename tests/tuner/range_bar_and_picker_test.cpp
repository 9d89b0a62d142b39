// NoteRangeBar and StringPicker on image surfaces: the bar's ticks and lines, the
// picker's strings, widths, selection and hit testing.
#include <gtest/gtest.h>

#include <vector>

#include "tuner/note_range_bar.h"
#include "tuner/notes.h"
#include "tuner/string_picker.h"
#include "view_pixels.h"

namespace tw {
namespace {

using test::KeepPicture;
using test::Near;
using test::PixelAt;
using test::Rgb;

constexpr int kBarW = 568;
constexpr int kBarH = 22;
const Rgb kBarTick{0x23, 0x2A, 0x60};
const Rgb kBarTarget{0, 255, 0};
const Rgb kBarCurrent{255, 0, 0};
const Rgb kSelected{0xFF, 0xB4, 0x00};

int CountColumns(ImageSurface& s, int y, Rgb colour) {
    int n = 0;
    for (int x = 0; x < s.Width(); ++x) n += Near(PixelAt(s, x, y), colour, 2) ? 1 : 0;
    return n;
}

TEST(NoteRangeBar, TicksAndTargetLine) {
    struct Case {
        int32_t target_note;
        int target_x;  // -1: no line
    };
    const Case cases[] = {
        {12, 5}, {-1, -1}, {127, kBarW - 5}, {69, int(57 * (kBarW - 10.0) / 115 + 5.0)}};
    for (const auto& c : cases) {
        ImageSurface s(kBarW, kBarH);
        NoteRangeBar bar;
        bar.SetTargetNote(c.target_note);
        bar.SetMeasuredFrequency(0.0f);  // no measured line
        bar.DrawInto(s.Context(), kBarW, kBarH);
        SCOPED_TRACE(KeepPicture(s, "range-bar-target-" + std::to_string(c.target_note)));
        EXPECT_EQ(bar.TargetLineX(), c.target_x);
        EXPECT_EQ(CountColumns(s, 10, kBarTarget), c.target_x < 0 ? 0 : 1);
        if (c.target_x >= 0) {
            EXPECT_TRUE(Near(PixelAt(s, c.target_x, 10), kBarTarget, 2));
        }
        // 116 semitone ticks, less the one under the target's line.
        EXPECT_EQ(CountColumns(s, 10, kBarTick), c.target_x < 0 ? 116 : 115);
    }
}

TEST(NoteRangeBar, MeasuredLineMovesBetweenTheTicks) {
    const double step = (kBarW - 10.0) / 115;
    const int a4_tick = int(57 * step + 5.0);
    const int a_sharp4_tick = int(58 * step + 5.0);
    struct Case {
        float hz;
        int min_x;
        int max_x;
    };
    const Case cases[] = {
        {440.0f, a4_tick, a4_tick},
        {440.0f * 0.98f, a4_tick - 3, a4_tick - 1},  // below A4, still nearest it: left of its tick
        {450.0f, a4_tick + 1, a_sharp4_tick - 1},    // nearest A4, on its way up
        {455.0f, a4_tick + 1, a_sharp4_tick - 1},    // nearest A#4, below it
        {NoteFrequency(70), a_sharp4_tick, a_sharp4_tick},
    };
    int previous = -1;
    for (const auto& c : cases) {
        ImageSurface s(kBarW, kBarH);
        NoteRangeBar bar;
        bar.SetTargetNote(-1);
        bar.SetMeasuredFrequency(c.hz);
        bar.DrawInto(s.Context(), kBarW, kBarH);
        const int x = bar.MeasuredLineX();
        EXPECT_GE(x, c.min_x) << c.hz;
        EXPECT_LE(x, c.max_x) << c.hz;
        EXPECT_TRUE(Near(PixelAt(s, x, 10), kBarCurrent, 2)) << c.hz;
        if (c.hz > 440.0f) {
            EXPECT_GT(x, previous) << "rises with the pitch: " << c.hz;
        }
        previous = x;
    }
}

class Picks : public StringPickerListener {
  public:
    void OnStringPicked(int32_t note) override { notes.push_back(note); }
    std::vector<int32_t> notes;
};

constexpr int kPickerW = 670;
constexpr int kPickerH = 123;
constexpr int kGuitar = 9;

TEST(StringPicker, SixStringsInAPane123High) {
    ImageSurface s(kPickerW, kPickerH);
    StringPicker picker;
    Picks picks;
    picker.SetListener(&picks);
    picker.SetStrings(TuningNotesOf(kGuitar, 0));
    picker.SelectString(2);
    picker.DrawInto(s.Context(), kPickerW, kPickerH);
    SCOPED_TRACE(KeepPicture(s, "picker-six-strings"));
    EXPECT_EQ(picks.notes, (std::vector<int32_t>{40, 50}));
    EXPECT_EQ(picker.Spacing(), 17);
    EXPECT_EQ(picker.Tolerance(), 8);
    EXPECT_EQ(picker.Widths(), (std::vector<int>{3, 3, 2, 2, 1, 1}));
    const auto& pos = picker.Positions();
    ASSERT_EQ(pos.size(), 6u);
    for (int i = 1; i < 6; ++i)
        EXPECT_EQ(pos[i - 1] - pos[i], 17) << "string 0 lowest, evenly spaced";
    // The selected string and its triangles in the selected colour, the others white.
    EXPECT_TRUE(Near(PixelAt(s, kPickerW / 2, pos[2]), kSelected, 4));
    EXPECT_TRUE(Near(PixelAt(s, 31, pos[2]), kSelected, 60)) << "left triangle";
    EXPECT_TRUE(Near(PixelAt(s, kPickerW - 15, pos[2]), kSelected, 60)) << "right triangle";
    EXPECT_TRUE(Near(PixelAt(s, kPickerW / 2, pos[5]), Rgb{255, 255, 255}, 4));
    // A string ends on its last pixel, half a pixel short of w - 16: it stops at w - 17.
    EXPECT_TRUE(Near(PixelAt(s, kPickerW - 17, pos[5]), Rgb{255, 255, 255}, 4));
    EXPECT_FALSE(Near(PixelAt(s, kPickerW - 16, pos[5]), Rgb{255, 255, 255}, 160));

    struct Press {
        int y;
        int selected;  // -1: nothing
    };
    const Press presses[] = {{pos[3] + 7, 3}, {pos[3] - 7, 3}, {pos[3] + 8, -1}, {pos[0], 0}};
    for (const auto& p : presses) {
        picks.notes.clear();
        picker.SelectString(5);
        picks.notes.clear();
        const bool hit = picker.OnMouseDown(Point{100, double(p.y)});
        EXPECT_EQ(hit, p.selected >= 0) << p.y;
        EXPECT_EQ(picker.Selected(), p.selected >= 0 ? p.selected : 5) << p.y;
        EXPECT_EQ(picks.notes.size(), p.selected >= 0 ? 1u : 0u) << p.y;
        EXPECT_EQ(picker.WantsPointingHand(p.y), p.selected >= 0) << p.y;
    }
}

TEST(StringPicker, WidthsFollowTheNumberOfStrings) {
    struct Case {
        int instrument;
        int tuning;
        std::vector<int> widths;
    };
    const Case cases[] = {{13, 0, {2, 2, 1, 1}}, {3, 0, {3, 2, 2, 1, 1}}};
    for (const auto& c : cases) {
        ImageSurface s(kPickerW, kPickerH);
        StringPicker picker;
        picker.SetStrings(TuningNotesOf(c.instrument, c.tuning));
        picker.DrawInto(s.Context(), kPickerW, kPickerH);
        EXPECT_EQ(picker.Widths(), c.widths) << c.instrument;
        EXPECT_EQ(picker.Spacing(), kPickerH / int(c.widths.size() + 1));
    }
}

TEST(StringPicker, EmptyListDrawsOnlyItsBackground) {
    ImageSurface empty(kPickerW, kPickerH);
    StringPicker picker;
    Picks picks;
    picker.SetListener(&picks);
    picker.SetStrings(TuningNotesOf(0, 0));
    EXPECT_EQ(picks.notes, std::vector<int32_t>{kNoteListEnd}) << "the terminator is reported";
    picker.DrawInto(empty.Context(), kPickerW, kPickerH);

    ImageSurface background(kPickerW, kPickerH);
    ResourceImage image(StringPicker::kBackgroundImage);
    const Image* bg = image.For(1);
    ASSERT_NE(bg, nullptr) << "the artwork is built before the tests";
    background.Context().Translate(0.5, 0.5);  // as the view's own transform
    background.Context().DrawImage(*bg, 0, 0, kPickerW, kPickerH);
    int differing = 0;
    for (int y = 0; y < kPickerH; ++y) {
        for (int x = 0; x < kPickerW; ++x) differing += empty.Pixel(x, y) != background.Pixel(x, y);
    }
    if (differing) KeepPicture(empty, "picker-empty");
    EXPECT_EQ(differing, 0);

    picks.notes.clear();
    for (int y : {0, kPickerH / 2, kPickerH - 1})
        EXPECT_FALSE(picker.OnMouseDown(Point{100, double(y)}));
    EXPECT_TRUE(picks.notes.empty());
}

TEST(ResourceImages, LoadAtTheDrawingsScale) {
    struct Case {
        double scale;
        double image_scale;
    };
    for (const auto& c : {Case{1, 1}, Case{2, 2}, Case{1.5, 2}}) {
        ResourceImage plate(1302);
        const Image* image = plate.For(c.scale);
        ASSERT_NE(image, nullptr);
        EXPECT_EQ(image->Scale(), c.image_scale) << c.scale;
        EXPECT_EQ(image->Width(), 43) << "user units at any scale";
        EXPECT_EQ(image->Height(), 39);
    }
    EXPECT_EQ(ResourceImage(999999).For(1), nullptr);
}

}  // namespace
}  // namespace tw
