// The GTK layer as a user meets it: the information bar readable in light and dark
// themes, keyboard focus in creation order with a visible ring, and popup menus that open
// on their current item. Pictures of the windows are left in the test output folder.
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <map>
#include <memory>
#include <string>

#include "platform/ui/keys.h"
#include "platform/ui/native.h"
#include "platform/ui/paint.h"
#include "platform/ui/screen_capture.h"
#include "platform/ui/testing/ui_driver.h"
#include "ui/gui_support.h"

namespace tw {
namespace {

const auto* const kDisplay =
    ::testing::AddGlobalTestEnvironment(new test::PrivateDisplay(/*with_window_manager=*/false));

// A window shown and drawn, disposed at the end of the test.
struct ShownWindow {
    ShownWindow(int w, int h) : window(NativeWindow::Create(w, h, kDocumentWindowClass, 0)) {}
    ~ShownWindow() {
        if (NativeWindow::IsValid(window)) window->Dispose();
    }
    bool Show() {
        window->Show();
        window->BringToFront();  // the active window, where focus is drawn
        const bool mapped = RunEventLoopUntil([&] { return window->IsActive(); }, 2000);
        RunEventLoopFor(300);  // drawn
        return mapped;
    }
    NativeWindow* window;
};

std::unique_ptr<ImageSurface> Capture(NativeWindow* window, const std::string& name) {
    const std::string path = test::OutputPath(name);
    if (!SaveWindowPng(*window, path)) return nullptr;
    auto image = Image::Load(path);
    if (!image) return nullptr;
    auto surface = std::make_unique<ImageSurface>(image->Width(), image->Height());
    surface->Context().DrawImage(*image, 0, 0, image->Width(), image->Height());
    return surface;
}

// Relative luminance of an sRGB pixel (0xAARRGGBB), as contrast ratios are defined on it.
double Luminance(std::uint32_t p) {
    auto channel = [](int v) {
        const double c = v / 255.0;
        return c <= 0.03928 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * channel((p >> 16) & 0xFF) + 0.7152 * channel((p >> 8) & 0xFF) +
           0.0722 * channel(p & 0xFF);
}

// The contrast between the most common colour of the area (the background) and the
// colour farthest from it in luminance (the text).
double TextContrast(ImageSurface& s, const Rect& area, double* background_luminance) {
    std::map<std::uint32_t, int> counts;
    for (int y = int(area.y); y < int(area.y + area.h); ++y) {
        for (int x = int(area.x); x < int(area.x + area.w); ++x)
            ++counts[s.Pixel(x, y) | 0xFF000000u];
    }
    std::uint32_t background = 0;
    int most = 0;
    for (const auto& [colour, n] : counts) {
        if (n > most) {
            most = n;
            background = colour;
        }
    }
    const double lb = Luminance(background);
    double lt = lb;
    for (const auto& [colour, n] : counts) {
        if (std::abs(Luminance(colour) - lb) > std::abs(lt - lb)) lt = Luminance(colour);
    }
    *background_luminance = lb;
    return (std::max(lb, lt) + 0.05) / (std::min(lb, lt) + 0.05);
}

TEST(NativeUi, TheInformationBarIsReadableInLightAndDarkThemes) {
    ASSERT_TRUE(test::NeedDisplay());
    struct Case {
        const char* name;
        bool dark;
    };
    for (const Case& c : {Case{"light", false}, Case{"dark", true}}) {
        ui_driver::UseTheme("Adwaita", c.dark);
        ShownWindow w(420, 100);
        w.window->SetInfoBarText("The demo has no sound; this is the information bar.");
        ASSERT_TRUE(w.Show());
        auto shot = Capture(w.window, std::string("infobar-") + c.name + ".png");
        ASSERT_NE(shot, nullptr);
        double background = 0;
        const double contrast =
            TextContrast(*shot, Rect{0, 2, 420, double(kInfoBarHeight) - 4}, &background);
        // 4.5:1 is the usual floor for body text.
        EXPECT_GE(contrast, 4.5) << c.name << " theme; see infobar-" << c.name << ".png";
        if (c.dark) {
            EXPECT_LT(background, 0.3) << "a dark theme's bar is dark";
        }
        // Drawn in the theme's information-bar colours, it stands apart from the window.
        double window_background = 0;
        TextContrast(*shot, Rect{0, double(kInfoBarHeight) + 10, 420, 40}, &window_background);
        EXPECT_NE(background, window_background) << c.name;
    }
    ui_driver::UseTheme("Adwaita", false);
}

NativeControl* Place(NativeWindow* w, ControlKind kind, double x, double y, double width,
                     double height, const char* text = nullptr) {
    NativeControl* c = NativeControl::Create(w->Content(), kind, Rect{x, y, width, height});
    if (c != nullptr && text != nullptr) c->SetText(text);
    return c;
}

// The program draws with Cairo alone: a shown window must not pull in an OpenGL driver,
// which with Mesa's software renderer costs some 50 MB of memory.
TEST(NativeUi, AShownWindowLoadsNoOpenGlDriver) {
    ASSERT_TRUE(test::NeedDisplay());
    ShownWindow w(200, 100);
    ASSERT_TRUE(w.Show());
    std::ifstream maps("/proc/self/maps");
    std::string line;
    while (std::getline(maps, line)) {
        EXPECT_EQ(line.find("libLLVM"), std::string::npos) << line;
        EXPECT_EQ(line.find("_dri.so"), std::string::npos) << line;
    }
}

// Tab moves through the controls in the order they were created, down the first column
// and then the second, not across the rows by screen position.
TEST(NativeUi, TabMovesFocusInCreationOrder) {
    ASSERT_TRUE(test::NeedDisplay());
    ShownWindow w(420, 120);
    NativeControl* order[] = {
        Place(w.window, ControlKind::kEditText, 10, 10, 150, 24),
        Place(w.window, ControlKind::kEditText, 10, 60, 150, 24),
        Place(w.window, ControlKind::kPushButton, 220, 10, 150, 24, "Right top"),
        Place(w.window, ControlKind::kCheckBox, 220, 60, 150, 24, "Right bottom"),
    };
    ASSERT_TRUE(w.Show());
    order[0]->Focus();
    for (int i = 1; i < 4; ++i) {
        ui_driver::PressKey(w.window, kVirtualKeyTab, 0, '\t');
        EXPECT_TRUE(order[i]->HasFocus()) << "after " << i << " Tab presses";
    }
}

// Every focusable kind shows that it has the keyboard: its pixels change when the focus
// (made visible by the keyboard) comes to it.
TEST(NativeUi, EveryFocusableControlShowsAFocusRing) {
    ASSERT_TRUE(test::NeedDisplay());
    ShownWindow w(420, 200);
    NativeControl* parking = Place(w.window, ControlKind::kPushButton, 10, 160, 100, 28, "Park");
    struct Case {
        const char* name;
        NativeControl* control;
    };
    const Case cases[] = {
        {"push button", Place(w.window, ControlKind::kPushButton, 10, 10, 120, 28, "Play")},
        {"check box", Place(w.window, ControlKind::kCheckBox, 10, 50, 160, 24, "Always on top")},
        {"popup", Place(w.window, ControlKind::kPopup, 200, 10, 150, 28)},
        {"edit field", Place(w.window, ControlKind::kEditText, 200, 50, 150, 24)},
        {"radio button", nullptr},
    };
    NativeControl* group = Place(w.window, ControlKind::kRadioGroup, 10, 90, 200, 30);
    NativeControl* radio =
        NativeControl::Create(group, ControlKind::kRadioButton, Rect{0, 0, 150, 24});
    radio->SetText("Sine");
    ASSERT_TRUE(w.Show());
    ui_driver::PressKey(w.window, kVirtualKeyTab, 0, '\t');  // the keyboard is in use
    for (const Case& c : cases) {
        NativeControl* control = c.control != nullptr ? c.control : radio;
        parking->Focus();
        RunEventLoopFor(150);
        auto before = Capture(w.window, std::string("focus-off-") + c.name + ".png");
        control->Focus();
        RunEventLoopFor(150);
        auto after = Capture(w.window, std::string("focus-on-") + c.name + ".png");
        ASSERT_TRUE(before && after);
        // A ring may sit just outside the control's bounds.
        const Rect b = ui_driver::BoundsInWindow(control);
        const Rect r{b.x - 3, b.y - 3, b.w + 6, b.h + 6};
        int changed = 0;
        for (int y = int(r.y); y < int(r.y + r.h); ++y) {
            for (int x = int(r.x); x < int(r.x + r.w); ++x) {
                changed += before->Pixel(x, y) != after->Pixel(x, y) ? 1 : 0;
            }
        }
        EXPECT_GE(changed, 20) << c.name << ": see focus-on-" << c.name << ".png";
    }
}

// A popup's menu opens with its current item marked and highlighted, and closing it
// without a pick leaves the current item as it was.
TEST(NativeUi, APopupMenuOpensOnItsCurrentItem) {
    ASSERT_TRUE(test::NeedDisplay());
    ShownWindow w(300, 100);
    NativeControl* popup = Place(w.window, ControlKind::kPopup, 10, 10, 200, 28);
    for (const char* item : {"Guitar", "-", "Violin", "Cello"}) popup->PopupAppendItem(item);
    ASSERT_TRUE(w.Show());
    for (int current : {1, 3, 4}) {
        popup->SetValue(current);
        ASSERT_TRUE(ui_driver::OpenPopupMenu(popup));
        RunEventLoopFor(50);
        EXPECT_EQ(ui_driver::PopupMarkedItem(popup), current);
        EXPECT_EQ(ui_driver::PopupHighlightedItem(popup), current);
        ASSERT_TRUE(ui_driver::DismissPopupMenu(popup));
        RunEventLoopFor(50);
        EXPECT_EQ(popup->Value(), current);
    }
}

}  // namespace
}  // namespace tw
