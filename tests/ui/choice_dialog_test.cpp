// The choice dialog on real GTK windows with openbox: its answers, its check box and the
// widths and heights of its layout.
#include "ui/choice_dialog.h"
#include "platform/ui/testing/ui_driver.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <vector>

#include "gui_support.h"
#include "platform/ui/keys.h"
#include "ui/controls.h"

namespace tw {
namespace {

const auto* const kDisplay =
    ::testing::AddGlobalTestEnvironment(new test::PrivateDisplay(/*with_window_manager=*/true));

Rect FrameOf(LWindow* w, int id) {
    NativeControl* c = FindControl(w, id);
    return c != nullptr ? c->Frame() : Rect{-1, -1, -1, -1};
}

class ChoiceDialogTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(test::NeedDisplay());
        dialog_.SetCaption("Update available");
        dialog_.text = "A newer version of Tunewright is available.";
        dialog_.choices = {{3, "Download", "Fetch the new version now."},
                           {7, "Remind me later", "Ask again next week."},
                           {0, "never shown", ""},
                           {9, "after the end", ""}};
    }

    // Runs `action` once the dialog is on screen.
    void WhenShown(std::function<void()> action) {
        auto poll = std::make_shared<std::function<void()>>();
        *poll = [this, action, poll] {
            if (dialog_.shown && dialog_.IsVisible() && dialog_.window->IsActive()) {
                action();
            } else {
                later_.push_back(std::make_unique<test::Later>(20, *poll));
            }
        };
        later_.push_back(std::make_unique<test::Later>(20, *poll));
    }

    LChoiceDialog dialog_;
    std::vector<std::unique_ptr<test::Later>> later_;
};

TEST_F(ChoiceDialogTest, AChoiceEndsTheDialogWithItsValue) {
    dialog_.showCheckBox = true;
    dialog_.checkBoxInitial = true;
    WhenShown([&] {
        ui_driver::Click(FindControl(&dialog_, kChoiceCheckBox));  // unticked
        ui_driver::Click(FindControl(&dialog_, kChoiceFirstButton + 1));
    });
    EXPECT_EQ(dialog_.AskChoice(), 7);
    EXPECT_FALSE(dialog_.ShowAgain());
    EXPECT_FALSE(dialog_.IsValid());
}

TEST_F(ChoiceDialogTest, CancelReturnsMinusOneAndStillReportsTheCheckBox) {
    struct Case {
        const char* name;
        std::function<void(LChoiceDialog&)> cancel;
    } cases[] = {
        {"Cancel button",
         [](LChoiceDialog& d) { ui_driver::Click(FindControl(&d, kChoiceCancel)); }},
        {"Escape",
         [](LChoiceDialog& d) { ui_driver::PressKey(d.window, kVirtualKeyEscape, 0, 0); }},
        {"close box", [](LChoiceDialog& d) { ui_driver::ClickCloseBox(d.window); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        dialog_.hasCancel = true;
        dialog_.showCheckBox = true;
        dialog_.checkBoxInitial = false;
        WhenShown([&] {
            ui_driver::Click(FindControl(&dialog_, kChoiceCheckBox));  // ticked
            c.cancel(dialog_);
        });
        EXPECT_EQ(dialog_.AskChoice(), -1);
        EXPECT_TRUE(dialog_.ShowAgain());
    }
}

TEST_F(ChoiceDialogTest, WithoutCancelTheCloseBoxAndEscapeDoNothing) {
    bool still_open = false;
    WhenShown([&] {
        ui_driver::ClickCloseBox(dialog_.window);
        ui_driver::PressKey(dialog_.window, kVirtualKeyEscape, 0, 0);
        later_.push_back(std::make_unique<test::Later>(200, [&] {
            still_open = dialog_.IsVisible();
            EXPECT_EQ(FindControl(&dialog_, kChoiceCancel), nullptr);
            ui_driver::Click(FindControl(&dialog_, kChoiceFirstButton));
        }));
    });
    EXPECT_EQ(dialog_.AskChoice(), 3);
    EXPECT_TRUE(still_open);
}

TEST_F(ChoiceDialogTest, ReturnPicksThePreselectedChoice) {
    dialog_.preselected = 7;
    WhenShown([&] { ui_driver::PressKey(dialog_.window, kVirtualKeyReturn, 0, 0); });
    EXPECT_EQ(dialog_.AskChoice(), 7);
}

TEST_F(ChoiceDialogTest, AListThatStartsWithZeroStillEnds) {
    dialog_.choices = {{0, "nothing", ""}, {5, "hidden", ""}};
    EXPECT_EQ(dialog_.ChoiceCount(), 0);
    struct Case {
        const char* name;
        std::function<void(LChoiceDialog&)> end;
    } cases[] = {
        {"OK", [](LChoiceDialog& d) { ui_driver::Click(FindControl(&d, kChoiceOK)); }},
        {"Escape",
         [](LChoiceDialog& d) { ui_driver::PressKey(d.window, kVirtualKeyEscape, 0, 0); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        bool had_choice_button = true;
        WhenShown([&] {
            had_choice_button = FindControl(&dialog_, kChoiceFirstButton) != nullptr;
            c.end(dialog_);
        });
        EXPECT_EQ(dialog_.AskChoice(), -1);
        EXPECT_FALSE(had_choice_button);
    }
}

TEST_F(ChoiceDialogTest, LayoutWidthsAndHeights) {
    struct Case {
        const char* name;
        std::string description;
        std::string message;
        bool check_box;
    } cases[] = {
        {"short texts", "Fetch the new version now.", "", false},
        {"a secondary message and the check box", "Fetch it.", "It is free.", true},
        {"a description that wraps",
         "This description is long enough that it cannot fit on one line of the dialog, so "
         "the button grows to hold all of its lines instead of cutting them off.",
         "", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        dialog_.choices[0].description = c.description;
        dialog_.message = c.message;
        dialog_.showCheckBox = c.check_box;
        std::vector<Rect> frames;
        int content_w = 0, content_h = 0;
        bool check_visible = false;
        WhenShown([&] {
            for (int id : {kChoiceMainText, kChoiceMessage, kChoiceFirstButton,
                           kChoiceFirstButton + 1, kChoiceSeparator, kChoiceCheckBox}) {
                frames.push_back(FrameOf(&dialog_, id));
            }
            dialog_.window->GetContentSize(&content_w, &content_h);
            check_visible = FindControl(&dialog_, kChoiceCheckBox)->IsVisible();
            ui_driver::Click(FindControl(&dialog_, kChoiceFirstButton));
        });
        ASSERT_EQ(dialog_.AskChoice(), 3);
        const Rect text = frames[0], message = frames[1], b0 = frames[2], b1 = frames[3],
                   sep = frames[4], check = frames[5];
        const double w = text.w;
        EXPECT_GE(w, 400);
        EXPECT_LE(w, 600);
        EXPECT_EQ(text.x, 16);
        EXPECT_EQ(text.y, 16);
        double y = text.h + 26;
        if (!c.message.empty()) {
            EXPECT_EQ(message.y, y);
            EXPECT_EQ(message.w, w);
            y += message.h + 10;
        } else {
            EXPECT_EQ(message.w, -1);  // not created
        }
        for (const Rect& b : {b0, b1}) {
            EXPECT_EQ(b.x, 16);
            EXPECT_EQ(b.y, y);
            EXPECT_EQ(b.w, w);
            EXPECT_GE(b.h, 30);  // a title and a description line
            y += b.h + 10;
        }
        if (c.description.size() > 100) {
            EXPECT_GT(b0.h, b1.h);  // wrapped, not cut
        }
        EXPECT_EQ(sep.y, y);
        EXPECT_EQ(sep.w, w);
        EXPECT_EQ(sep.h, 1);
        EXPECT_EQ(check.y, y + 11);
        EXPECT_EQ(check_visible, c.check_box);
        EXPECT_EQ(content_w, int(w) + 32);
        EXPECT_EQ(content_h, int(y) + 11 + (check.h < 20 ? 36 : int(check.h) + 16));
    }
}

}  // namespace
}  // namespace tw
