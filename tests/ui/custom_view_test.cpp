// LCustomView: drawing into image surfaces (pixels checked), and hosted in a real user
// pane: redraws asked for from a worker thread happen on the main thread.
#include "ui/custom_view.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "gui_support.h"
#include "platform/ui/testing/ui_driver.h"
#include "ui/controls.h"
#include "ui/window.h"

namespace tw {
namespace {

// A private X server: no other test's windows overlap ours, whatever runs beside us.
const auto* const kDisplay =
    ::testing::AddGlobalTestEnvironment(new test::PrivateDisplay(/*with_window_manager=*/false));

constexpr Rgba kRed{1, 0, 0, 1};
constexpr Rgba kBlue{0, 0, 1, 1};

std::uint32_t Alpha(std::uint32_t argb) {
    return argb >> 24;
}
std::uint32_t RedOf(std::uint32_t argb) {
    return (argb >> 16) & 0xFF;
}
std::uint32_t BlueOf(std::uint32_t argb) {
    return argb & 0xFF;
}

// Draws a red 1-pixel vertical line at x = 10 and a blue block at (20, 5, 10, 8).
class MarkView : public LCustomView {
  public:
    void OnDraw(PaintContext& pc) override {
        ++draws;
        on_main = IsMainThread();
        pc.SetColor(kRed);
        pc.SetLineWidth(1);
        pc.StrokeLine(10, 0, 10, height);
        FillRect(pc, Rect{20, 5, 10, 8}, kBlue);
        seen_w = width;
        seen_h = height;
    }
    void OnSize() override { ++sizes; }
    std::atomic<int> draws{0};
    std::atomic<bool> on_main{false};
    int sizes = 0;
    int seen_w = 0;
    int seen_h = 0;
};

TEST(CustomViewDrawing, PixelsLandWhereTheyShould) {
    ImageSurface surface(40, 20);
    MarkView view;
    view.DrawInto(surface.Context(), 40, 20);
    EXPECT_EQ(view.seen_w, 40);
    EXPECT_EQ(view.seen_h, 20);
    struct Case {
        int x;
        int y;
        const char* what;
        std::uint32_t red;
        std::uint32_t blue;
        std::uint32_t alpha;
    };
    // Half a pixel of offset puts a one-pixel line at x = 10 exactly on pixel column 10;
    // a filled block covers its pixels 21..29 fully and half of its first and last ones.
    const Case cases[] = {
        {10, 1, "line near the top", 255, 0, 255},
        {10, 19, "line bottom", 255, 0, 255},
        {9, 10, "left of the line", 0, 0, 0},
        {11, 10, "right of the line", 0, 0, 0},
        {25, 9, "inside the block", 0, 255, 255},
        {21, 6, "block's first full pixel", 0, 255, 255},
        {29, 12, "block's last full pixel", 0, 255, 255},
        {31, 9, "right of the block", 0, 0, 0},
        {25, 3, "above the block", 0, 0, 0},
        {25, 14, "below the block", 0, 0, 0},
    };
    for (const Case& c : cases) {
        const std::uint32_t p = surface.Pixel(c.x, c.y);
        EXPECT_EQ(RedOf(p), c.red) << c.what;
        EXPECT_EQ(BlueOf(p), c.blue) << c.what;
        EXPECT_EQ(Alpha(p), c.alpha) << c.what;
    }
    const std::uint32_t edge = surface.Pixel(20, 9);  // half covered
    EXPECT_GT(Alpha(edge), 100u);
    EXPECT_LT(Alpha(edge), 160u);
    if (::testing::Test::HasFailure()) surface.WritePng(test::OutputPath("custom_view_marks.png"));
}

// Fills its whole pane.
class FillView : public LCustomView {
  public:
    void OnDraw(PaintContext& pc) override {
        FillRect(pc, Rect{-1, -1, double(width) + 2, double(height) + 2}, kRed);
    }
};

TEST(CustomViewDrawing, CornerRadiusAndDimming) {
    struct Case {
        const char* name;
        double radius;
        bool dim;
        bool active;
        std::uint32_t corner_alpha;
        std::uint32_t centre_alpha;
    };
    const Case cases[] = {
        {"square, active", 0, false, true, 255, 255},
        {"rounded: corners clipped", 8, false, true, 0, 255},
        {"dim when inactive, inactive", 0, true, false, 128, 128},
        {"dim when inactive, active", 0, true, true, 255, 255},
        {"not dimmed when not asked", 0, false, false, 255, 255},
    };
    for (const Case& c : cases) {
        ImageSurface surface(30, 30);
        FillView view;
        view.cornerRadius = c.radius;
        view.dimWhenInactive = c.dim;
        view.DrawInto(surface.Context(), 30, 30, c.active);
        EXPECT_NEAR(double(Alpha(surface.Pixel(0, 0))), double(c.corner_alpha), 2) << c.name;
        EXPECT_NEAR(double(Alpha(surface.Pixel(15, 15))), double(c.centre_alpha), 2) << c.name;
    }
}

TEST(CustomViewDrawing, TextIsDrawnAndMeasured) {
    ImageSurface surface(120, 30);
    PaintContext& pc = surface.Context();
    pc.SetFont(12, false);
    double w = 0;
    double h = 0;
    pc.MeasureText("440.00 Hz", &w, &h);
    EXPECT_GT(w, 40);
    EXPECT_GT(h, 8);
    pc.SetColor(kRed);
    pc.DrawText(2, 2, "440.00 Hz");
    int inked = 0;
    for (int y = 0; y < 30; ++y) {
        for (int x = 0; x < 120; ++x) inked += Alpha(surface.Pixel(x, y)) > 0 ? 1 : 0;
    }
    EXPECT_GT(inked, 30);
    // Nothing is drawn below the measured line box.
    for (int x = 0; x < 120; ++x) EXPECT_EQ(Alpha(surface.Pixel(x, int(h) + 4)), 0u);
}

class HostWindow : public LWindow {};

class CustomViewHosted : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(test::NeedDisplay());
        ASSERT_TRUE(host.CreateWindow(300, 200, kDocumentWindowClass, 0, 0));
        ASSERT_NE(CreateUserPane(&host, 1103), nullptr);
        SetControlFrame(&host, 1103, 10, 10, 200, 100);
    }
    HostWindow host;
};

// A view names the cursor it wants where the pointer is; the pane shows it.
class HotTopView : public LCustomView {
  public:
    std::int64_t CursorAt(const Point& where) override {
        return where.y < 20 ? kCursorPointingHand : kCursorArrow;
    }
};

TEST_F(CustomViewHosted, TheViewChoosesTheCursorUnderThePointer) {
    HotTopView view;
    ASSERT_TRUE(view.Attach(&host, 1103));
    host.Show(true);
    NativeControl* pane = FindControl(&host, 1103);
    ASSERT_TRUE(RunEventLoopUntil([&] { return host.IsVisible(); }, 2000));
    RunEventLoopFor(100);
    ui_driver::MovePointer(pane, 50, 10);
    EXPECT_EQ(ui_driver::CursorName(pane), "pointer");
    ui_driver::MovePointer(pane, 50, 60);
    EXPECT_EQ(ui_driver::CursorName(pane), "");
}

TEST_F(CustomViewHosted, AttachFindsOnlyUserPanes) {
    MarkView view;
    CreateStaticText(&host, 5, "text");
    EXPECT_FALSE(view.Attach(&host, 5));
    EXPECT_FALSE(view.Attach(&host, 999));
    EXPECT_TRUE(view.Attach(&host, 1103));
    EXPECT_EQ(FindControl(&host, 1103)->GetProperty(kPropertyCustomView),
              reinterpret_cast<std::uintptr_t>(&view));
    EXPECT_EQ(view.width, 200);
    EXPECT_EQ(view.height, 100);
    view.Detach();
    EXPECT_EQ(FindControl(&host, 1103)->GetProperty(kPropertyCustomView), 0u);
}

TEST_F(CustomViewHosted, InvalidateFromAWorkerRedrawsOnTheMainThread) {
    MarkView view;
    ASSERT_TRUE(view.Attach(&host, 1103));
    host.Show(true);
    ASSERT_TRUE(RunEventLoopUntil([&] { return view.draws > 0; }, 3000));
    RunEventLoopFor(50);
    const int before = view.draws;
    view.on_main = false;
    std::thread worker([&] { view.Invalidate(); });
    worker.join();
    EXPECT_EQ(view.draws, before);  // nothing drawn on the worker
    EXPECT_TRUE(RunEventLoopUntil([&] { return view.draws > before; }, 3000));
    EXPECT_TRUE(view.on_main);

    // A part of the pane, and a scroll, redraw as well.
    const int after_full = view.draws;
    view.Invalidate(Rect{0, 0, 20, 20});
    EXPECT_TRUE(RunEventLoopUntil([&] { return view.draws > after_full; }, 3000));
    const int after_rect = view.draws;
    view.Scroll(Rect{0, 0, 50, 50}, 5, 0);
    EXPECT_TRUE(RunEventLoopUntil([&] { return view.draws > after_rect; }, 3000));
}

TEST_F(CustomViewHosted, ResizingThePaneReportsTheNewSize) {
    MarkView view;
    ASSERT_TRUE(view.Attach(&host, 1103));
    host.Show(true);
    RunEventLoopUntil([&] { return view.draws > 0; }, 3000);
    const int sizes = view.sizes;
    SetControlFrame(&host, 1103, 10, 10, 150, 60);
    EXPECT_TRUE(RunEventLoopUntil([&] { return view.width == 150 && view.height == 60; }, 3000));
    EXPECT_GT(view.sizes, sizes);
}

TEST_F(CustomViewHosted, NothingIsDrawnWhileTheWindowIsHidden) {
    MarkView view;
    ASSERT_TRUE(view.Attach(&host, 1103));
    view.Invalidate();
    RunEventLoopFor(80);
    EXPECT_EQ(view.draws, 0);
}

TEST_F(CustomViewHosted, AViewOutlivingItsPaneIsDetached) {
    MarkView view;
    ASSERT_TRUE(view.Attach(&host, 1103));
    host.Close();
    EXPECT_EQ(view.pane, nullptr);
    view.Invalidate();  // goes nowhere
    RunEventLoopFor(20);
    EXPECT_EQ(main_queue::Count(), 0u);
}

}  // namespace
}  // namespace tw
