// TunerDisplay: the interpolation of the shown frequency, and its pictures on image
// surfaces: where the note lines fall, the markers, their labels, the signs and
// "No Signal".
#include "tuner/tuner_display.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "tuner/notes.h"
#include "view_pixels.h"

namespace tw {
namespace {

using test::IsSignColour;
using test::KeepPicture;
using test::Near;
using test::PixelAt;
using test::Rgb;

constexpr int kW = 600;
constexpr int kH = 110;
const Rgb kWhite{255, 255, 255};
const Rgb kTargetGreen{0, 255, 0};
const Rgb kCurrentRed{255, 3, 14};
const Rgb kCurrentDim{160, 3, 14};
const Rgb kCurrentDimTop{80, 2, 5};

void FeedSteady(TunerDisplay& d, float hz) {
    for (int i = 0; i < 3; ++i) {
        d.FeedEstimate(hz);
        d.Tick();
    }
}

// Pixels of `colour` in a rectangle of the pane.
int Count(ImageSurface& s, int x0, int y0, int x1, int y1, bool (*match)(Rgb)) {
    int n = 0;
    for (int y = y0; y < y1; ++y) {
        for (int x = x0; x < x1; ++x) n += match(PixelAt(s, x, y)) ? 1 : 0;
    }
    return n;
}

bool IsTargetGreen(Rgb c) {
    return c.g > 200 && c.r < 40 && c.b < 40;
}
bool IsNoSignalRed(Rgb c) {
    return Near(c, kCurrentRed, 12);
}
bool IsWhite(Rgb c) {
    return Near(c, kWhite, 30);
}

TEST(TunerDisplayInterpolation, ShowsTheNewestEstimateAtMostOneTickLate) {
    TunerDisplay d;
    // From the initial state, feeding 440 on each tick shows 0, then 440.
    const std::vector<float> first = {0.0f, 440.0f, 440.0f};
    for (float expected : first) {
        d.FeedEstimate(440.0f);
        d.Tick();
        EXPECT_FLOAT_EQ(d.ShownFrequency(), expected);
    }
    for (int i = 0; i < 3; ++i) {
        d.FeedEstimate(430.0f);
        d.Tick();
    }
    ASSERT_FLOAT_EQ(d.ShownFrequency(), 430.0f);
    const float fed[] = {445.0f, 446.0f, 447.0f, 448.0f};
    const float shown[] = {445.0f, 446.0f, 446.0f, 448.0f};
    for (int i = 0; i < 4; ++i) {
        d.FeedEstimate(fed[i]);
        d.Tick();
        EXPECT_FLOAT_EQ(d.ShownFrequency(), shown[i]) << "after feeding " << fed[i];
    }
}

TEST(TunerDisplayInterpolation, NoSignalIsClearedByFeedingAndSetOnlyOnRequest) {
    TunerDisplay d;
    EXPECT_TRUE(d.NoSignal());
    d.FeedEstimate(220.0f);
    EXPECT_FALSE(d.NoSignal());
    d.Tick();
    d.ShowNoSignal();
    EXPECT_TRUE(d.NoSignal());
    d.Tick();
    d.Tick();
    EXPECT_TRUE(d.NoSignal()) << "ticks without estimates keep the state";
}

TEST(TunerDisplayPicture, BeforeTheFirstEstimate) {
    ImageSurface s(kW, kH);
    TunerDisplay d;
    d.DrawInto(s.Context(), kW, kH);
    SCOPED_TRACE(KeepPicture(s, "display-before-first-estimate"));
    // Both markers on the centre line; the measured one, drawn last, in the dim red.
    EXPECT_TRUE(Near(PixelAt(s, kW / 2, 55), kCurrentDim)) << "centre line";
    // The target's label at 65 and the measured one's at 90, both right of the line.
    EXPECT_TRUE(IsTargetGreen(PixelAt(s, kW / 2 + 2, 78)));
    EXPECT_TRUE(Near(PixelAt(s, kW / 2 + 2, 103), kCurrentDim, 20)) << "bottom of the label";
    EXPECT_TRUE(Near(PixelAt(s, kW / 2 + 2, 90), kCurrentDimTop, 20)) << "top of the label";
    EXPECT_FALSE(Near(PixelAt(s, kW / 2 + 2, 89), kCurrentDimTop, 20)) << "above the label";
    // No sign, "No Signal" in the lower left.
    for (int id : d.DrawnImages()) EXPECT_TRUE(id == 1301 || id == 1302) << id;
    EXPECT_EQ(Count(s, kW / 2 - 49, 42, kW / 2 - 2, 62, IsSignColour), 0);
    EXPECT_EQ(Count(s, kW / 2 + 3, 42, kW / 2 + 49, 62, IsSignColour), 0);
    EXPECT_GT(Count(s, 10, kH - 23, 110, kH, IsNoSignalRed), 40);
    EXPECT_GT(Count(s, kW / 2 + 6, 90, kW / 2 + 70, 104, IsWhite), 20) << "label text";
}

TEST(TunerDisplayPicture, NoteLinesFallOnTheScale) {
    struct Case {
        int width;
        std::vector<int> lines;
    };
    const Case cases[] = {{600, {-85, 108, 300, 493}}, {500, {58, 250, 443}}};
    for (const auto& c : cases) {
        ImageSurface s(c.width, kH);
        TunerDisplay d;
        d.SetTargetFrequency(1000.0f);  // off the scale: no target marker
        FeedSteady(d, 440.0f);
        d.DrawInto(s.Context(), c.width, kH);
        EXPECT_EQ(d.NoteLines(), c.lines) << c.width;
        for (int x : c.lines) {
            if (x < 0 || x == c.width / 2) continue;  // off the pane, or under the marker
            EXPECT_TRUE(Near(PixelAt(s, x, 60), kWhite)) << c.width << " at " << x;
            EXPECT_FALSE(Near(PixelAt(s, x + 1, 60), kWhite)) << c.width << " at " << x + 1;
        }
        EXPECT_TRUE(Near(PixelAt(s, c.width / 2, 60), kCurrentRed)) << "signal present";
    }
}

TEST(TunerDisplayPicture, SignsSayWhichWayToTune) {
    struct Case {
        const char* name;
        float target_ratio;  // target = 440 x this, shown 440
        bool no_signal;
        int image;  // 0: none
    };
    const Case cases[] = {
        {"equal", 1.0f, false, 0},
        {"0.09 % above", 1.0009f, false, 0},
        {"0.09 % below", 0.9991f, false, 0},
        {"0.2 % above", 1.002f, false, 1303},
        {"0.2 % below", 0.998f, false, 1304},
        {"0.2 % above, no signal", 1.002f, true, 1305},
        {"0.2 % below, no signal", 0.998f, true, 1306},
        {"a fifth below, outside the span", 0.667f, false, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ImageSurface s(kW, kH);
        TunerDisplay d;
        FeedSteady(d, 440.0f);
        d.SetTargetFrequency(440.0f * c.target_ratio);
        if (c.no_signal) d.ShowNoSignal();
        d.DrawInto(s.Context(), kW, kH);
        const auto& drawn = d.DrawnImages();
        for (int id : {1303, 1304, 1305, 1306}) {
            EXPECT_EQ(std::count(drawn.begin(), drawn.end(), id), id == c.image ? 1 : 0) << id;
        }
        // Beside the centre line, whose antialiased edges blend the two markers' colours.
        const int right = Count(s, kW / 2 + 3, 42, kW / 2 + 49, 62, IsSignColour);
        const int left = Count(s, kW / 2 - 49, 42, kW / 2 - 2, 62, IsSignColour);
        const bool raise = c.image == 1303 || c.image == 1305;
        const bool lower = c.image == 1304 || c.image == 1306;
        EXPECT_EQ(right > 30, raise) << right << " sign pixels right of the centre";
        EXPECT_EQ(left > 30, lower) << left << " sign pixels left of the centre";
        if (c.image != 0 && ::testing::Test::HasFailure()) KeepPicture(s, "display-sign-failure");
    }
}

TEST(TunerDisplayPicture, ATargetOutsideTheSpanDrawsNoMarker) {
    ImageSurface s(kW, kH);
    TunerDisplay d;
    d.SetTargetNote(40);  // E2, with A4 shown
    FeedSteady(d, 440.0f);
    d.DrawInto(s.Context(), kW, kH);
    SCOPED_TRACE(KeepPicture(s, "display-target-outside"));
    EXPECT_EQ(Count(s, 0, 0, kW, kH, IsTargetGreen), 0);
    EXPECT_EQ(Count(s, 0, 42, kW, 62, IsSignColour), 0);
}

// The column of the target's line: its only fully green column above the labels.
int TargetLineColumn(ImageSurface& s) {
    for (int x = 0; x < s.Width(); ++x) {
        if (Near(PixelAt(s, x, 55), kTargetGreen, 4)) return x;
    }
    return -1;
}

TEST(TunerDisplayPicture, LabelsFlipLeftNearTheRightEdge) {
    // Targets one pixel of the scale apart across the flip point at 71 pixels from the
    // edge, whose line lands wherever the scale puts it.
    int flipped = 0;
    int unflipped = 0;
    for (int px = kW / 2 - 80; px <= kW / 2 - 60; ++px) {
        ImageSurface s(kW, kH);
        TunerDisplay d;
        FeedSteady(d, 440.0f);
        d.SetTargetFrequency(float(440.0 * std::pow(1.0003, double(px))));
        d.DrawInto(s.Context(), kW, kH);
        const int x = TargetLineColumn(s);
        ASSERT_GT(x, kW / 2) << px;
        const bool expect_left = x + 71 > kW;
        const bool green_left = IsTargetGreen(PixelAt(s, x - 40, 78));
        const bool green_right = x + 40 < kW && IsTargetGreen(PixelAt(s, x + 40, 78));
        EXPECT_EQ(green_left, expect_left) << "line at " << x;
        EXPECT_EQ(green_right, !expect_left) << "line at " << x;
        if (green_left != expect_left) KeepPicture(s, "display-flip-" + std::to_string(x));
        (expect_left ? flipped : unflipped) += 1;
    }
    EXPECT_GT(flipped, 0);
    EXPECT_GT(unflipped, 0);
}

TEST(TunerDisplayPicture, DrawsSharplyAtScaleTwo) {
    ImageSurface s(kW, kH, 2);
    TunerDisplay d;
    d.SetTargetFrequency(1000.0f);
    FeedSteady(d, 440.0f);
    d.DrawInto(s.Context(), kW, kH);
    SCOPED_TRACE(KeepPicture(s, "display-scale-2"));
    // The G#4 line at x = 108 covers device columns 216 and 217 fully, nothing beside.
    EXPECT_TRUE(Near(PixelAt(s, 216, 120), kWhite));
    EXPECT_TRUE(Near(PixelAt(s, 217, 120), kWhite));
    EXPECT_FALSE(Near(PixelAt(s, 218, 120), kWhite, 60));
    EXPECT_FALSE(Near(PixelAt(s, 215, 120), kWhite, 60));
}

TEST(TunerDisplayPicture, KeptTextLayoutsDrawAsFreshOnesAtEitherScale) {
    // A scale-1 draw fills the kept layouts; a scale-2 draw with them must match one
    // drawn with layouts made afresh.
    auto draw = [](ImageSurface& s) {
        TunerDisplay d;
        FeedSteady(d, 441.5f);
        d.DrawInto(s.Context(), kW, kH);
    };
    ImageSurface warm(kW, kH, 1);
    draw(warm);
    ImageSurface kept(kW, kH, 2);
    const auto before = GetTextLayoutCacheStats();
    draw(kept);
    EXPECT_GT(GetTextLayoutCacheStats().hits, before.hits);
    ClearTextLayoutCache();
    ImageSurface fresh(kW, kH, 2);
    draw(fresh);
    int differing = 0;
    for (int y = 0; y < kH * 2; ++y) {
        for (int x = 0; x < kW * 2; ++x) differing += kept.Pixel(x, y) != fresh.Pixel(x, y);
    }
    if (differing != 0) {
        KeepPicture(kept, "display-kept-layouts");
        KeepPicture(fresh, "display-fresh-layouts");
    }
    EXPECT_EQ(differing, 0);
}

}  // namespace
}  // namespace tw
