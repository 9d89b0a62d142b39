// The demonstration window photographed on a real display: the PNG is left in the test
// output folder for a person to look at, and its pixels are checked for what a person
// would see: the dark scale with its markers, and an animation that moves.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>

#include "demo_window.h"
#include "gui_support.h"
#include "platform/ui/native.h"
#include "platform/ui/paint.h"
#include "platform/ui/screen_capture.h"
#include "ui/controls.h"

namespace tw {
namespace {

// A private X server: no other test's windows overlap ours, whatever runs beside us.
const auto* const kDisplay =
    ::testing::AddGlobalTestEnvironment(new test::PrivateDisplay(/*with_window_manager=*/false));

// The capture read back as pixels.
std::unique_ptr<ImageSurface> Load(const std::string& path) {
    auto image = Image::Load(path);
    if (!image) return nullptr;
    auto surface = std::make_unique<ImageSurface>(image->Width(), image->Height());
    surface->Context().DrawImage(*image, 0, 0, image->Width(), image->Height());
    return surface;
}

int CountPixels(ImageSurface& s, const Rect& area, bool (*match)(std::uint32_t)) {
    int n = 0;
    for (int y = int(area.y); y < int(area.y + area.h); ++y) {
        for (int x = int(area.x); x < int(area.x + area.w); ++x) n += match(s.Pixel(x, y)) ? 1 : 0;
    }
    return n;
}

bool IsDarkBlue(std::uint32_t p) {
    const int r = (p >> 16) & 0xFF, g = (p >> 8) & 0xFF, b = p & 0xFF;
    return b > r + 8 && b > g + 8 && b < 90;
}
bool IsMarkerRed(std::uint32_t p) {
    const int r = (p >> 16) & 0xFF, g = (p >> 8) & 0xFF, b = p & 0xFF;
    return r > 200 && g < 60 && b < 60;
}
bool IsTargetGreen(std::uint32_t p) {
    const int r = (p >> 16) & 0xFF, g = (p >> 8) & 0xFF, b = p & 0xFF;
    return g > 200 && r < 60 && b < 60;
}

TEST(DemoCapture, TheDemoWindowLooksRightAndMoves) {
    ASSERT_TRUE(test::NeedDisplay());
    LMainThreadPoster::InstallMainThreadHandler();
    LTimerSet::EnableTimers(true);
    demo::DemoWindow window;
    ASSERT_TRUE(window.Open());
    window.Show(true);
    ASSERT_TRUE(RunEventLoopUntil([&] { return window.scale.frames > 3; }, 5000));
    RunEventLoopFor(300);

    const std::string first = test::OutputPath("ui_demo.png");
    ASSERT_TRUE(SaveWindowPng(*window.window, first));
    const int frames_at_first = window.scale.frames;
    RunEventLoopFor(400);
    const std::string second = test::OutputPath("ui_demo_later.png");
    ASSERT_TRUE(SaveWindowPng(*window.window, second));
    EXPECT_GT(window.scale.frames, frames_at_first);  // redrawn on the worker's requests

    auto a = Load(first);
    auto b = Load(second);
    ASSERT_TRUE(a && b);
    int ww = 0;
    int wh = 0;
    window.GetSize(&ww, &wh);
    EXPECT_EQ(a->Width(), ww);
    EXPECT_EQ(a->Height(), wh);

    // The scale pane, in window pixels: below the toolbar, inset by 20.
    const Rect scale{20, double(kToolbarHeight + 15), double(ww - 40), 110};
    const double area = scale.w * scale.h;
    EXPECT_GT(CountPixels(*a, scale, IsDarkBlue), area * 0.5) << "the scale's background";
    EXPECT_GT(CountPixels(*a, scale, IsMarkerRed), 100) << "the measured marker and label";
    EXPECT_GT(CountPixels(*a, scale, IsTargetGreen), 100) << "the target marker and label";

    int changed = 0;
    for (int y = int(scale.y); y < int(scale.y + scale.h); ++y) {
        for (int x = int(scale.x); x < int(scale.x + scale.w); ++x) {
            changed += a->Pixel(x, y) != b->Pixel(x, y) ? 1 : 0;
        }
    }
    EXPECT_GT(changed, 200) << "the scale moves between the two captures";

    // The rest of the window shows its controls over the theme's light background.
    const Rect controls{20, double(kToolbarHeight + 175), 340, 130};
    auto is_light = [](std::uint32_t p) { return ((p >> 8) & 0xFF) > 200; };
    EXPECT_GT(CountPixels(*a, controls, is_light), int(controls.w * controls.h * 0.5));
    window.Close();
    LMainThreadPoster::RemoveMainThreadHandler();
}

}  // namespace
}  // namespace tw
