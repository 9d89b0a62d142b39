// Message boxes on real GTK dialogs, with openbox on a private X server: sheets need their
// window in front.
#include "ui/message_box.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "gui_support.h"
#include "platform/ui/keys.h"
#include "ui/window.h"

namespace tw {
namespace {

const auto* const kDisplay =
    ::testing::AddGlobalTestEnvironment(new test::PrivateDisplay(/*with_window_manager=*/true));

class MessageBoxTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(test::NeedDisplay());
        SetMessageBoxMenuHook(nullptr);
    }
    void TearDown() override { SetMessageBoxMenuHook(nullptr); }

    // A document window in front, ready to carry sheets.
    void OpenParent() {
        ASSERT_TRUE(
            parent_.CreateWindow(420, 300, kDocumentWindowClass, kWindowCloseBoxAttribute, 0));
        parent_.InstallWindowHandler(false);
        parent_.modal = 0;
        parent_.shown = 1;
        parent_.Show(true);
        ASSERT_TRUE(RunEventLoopUntil([&] { return parent_.IsFront(); }, 5000));
    }

    // Runs `action` once the newest box is on screen and laid out.
    static void WhenShown(int depth, std::function<void(const NativeAlertInfo&)> action,
                          std::vector<std::unique_ptr<test::Later>>* keep) {
        auto poll = std::make_shared<std::function<void()>>();
        *poll = [depth, action, keep, poll] {
            NativeAlertInfo info;
            if (OpenAlertCount() == depth && GetTopAlertInfo(&info) && info.width > 1) {
                action(info);
            } else {
                keep->push_back(std::make_unique<test::Later>(20, *poll));
            }
        };
        keep->push_back(std::make_unique<test::Later>(20, *poll));
    }

    LWindow parent_;
    std::vector<std::unique_ptr<test::Later>> later_;
};

TEST_F(MessageBoxTest, CarriageReturnsGoAndLineFeedsStay) {
    OpenParent();
    NativeAlertInfo seen;
    WhenShown(
        1,
        [&](const NativeAlertInfo& info) {
            seen = info;
            ClickTopAlertButton("OK");
        },
        &later_);
    ShowNote(parent_.window, "first line\r\nsecond line\r\nthird line", "Lines");
    EXPECT_EQ(seen.text, "first line\nsecond line\nthird line");
    EXPECT_EQ(seen.text_lines, 3);
    EXPECT_EQ(seen.caption, "Lines");
    EXPECT_EQ(seen.icon_name, "dialog-information");
    EXPECT_EQ(RemoveCarriageReturns("a\r\rb\n\r"), "ab\n");
}

TEST_F(MessageBoxTest, EscapeInASheetAnswersTwoEvenWithoutCancel) {
    OpenParent();
    NativeAlertInfo seen;
    WhenShown(
        1,
        [&](const NativeAlertInfo& info) {
            seen = info;
            PressKeyInTopAlert(kVirtualKeyEscape);
        },
        &later_);
    LMessageBox box;
    box.parent = parent_.window;
    box.alertType = kAlertStop;
    box.text = "Something went wrong.";
    box.SetCaption("Sheet");
    EXPECT_EQ(box.Run(), 2);
    EXPECT_EQ(box.result, 2);
    EXPECT_TRUE(seen.sheet);
    EXPECT_TRUE(seen.modal);
    EXPECT_EQ(seen.transient_for, parent_.window);
    EXPECT_EQ(seen.buttons, std::vector<std::string>{"OK"});
    EXPECT_EQ(seen.icon_name, "dialog-error");
}

TEST_F(MessageBoxTest, ASheetGoesWithItsWindow) {
    OpenParent();
    WhenShown(
        1, [&](const NativeAlertInfo&) { parent_.Close(); }, &later_);
    LMessageBox box;
    box.parent = parent_.window;
    box.text = "The window closes under this sheet.";
    EXPECT_EQ(box.Run(), 2);
    EXPECT_EQ(OpenAlertCount(), 0);
    EXPECT_EQ(ShownMessageBoxCount(), 0);
}

TEST_F(MessageBoxTest, AnswersOfAQuestion) {
    OpenParent();
    struct Case {
        const char* name;
        std::function<void()> answer;
        bool expected;
    } cases[] = {
        {"default button", [] { ClickTopAlertButton("Replace"); }, true},
        {"cancel button", [] { ClickTopAlertButton("Keep"); }, false},
        {"Return", [] { PressKeyInTopAlert(kVirtualKeyReturn); }, true},
        {"Escape", [] { PressKeyInTopAlert(kVirtualKeyEscape); }, false},
        {"close box", [] { CloseTopAlert(); }, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        NativeAlertInfo seen;
        WhenShown(
            1,
            [&](const NativeAlertInfo& info) {
                seen = info;
                c.answer();
            },
            &later_);
        EXPECT_EQ(AskQuestion(parent_.window, "Replace the file?", "Question", "Replace", "Keep"),
                  c.expected);
        EXPECT_EQ(seen.buttons, (std::vector<std::string>{"Keep", "Replace"}));
    }
}

TEST_F(MessageBoxTest, CautionAlertsDefaultToTheHarmlessButton) {
    OpenParent();
    struct Case {
        const char* cancel;
        const char* other;
        int expected;  // the button Return chooses
    } cases[] = {{"Cancel", "", 2}, {"", "Later", 3}, {"", "", 1}, {"Cancel", "Later", 2}};
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.cancel) + "/" + c.other);
        WhenShown(
            1, [](const NativeAlertInfo&) { PressKeyInTopAlert(kVirtualKeyReturn); }, &later_);
        LMessageBox box;
        box.parent = parent_.window;
        box.alertType = kAlertCaution;
        box.text = "Delete?";
        box.SetCancelTitle(c.cancel);
        box.SetOtherTitle(c.other);
        EXPECT_EQ(box.Run(), c.expected);
    }
}

TEST_F(MessageBoxTest, ASecondBoxFromATimerWorksAndTheMenusComeBackAfterTheLast) {
    OpenParent();
    std::vector<bool> hook_calls;
    SetMessageBoxMenuHook([&](bool enabled) { hook_calls.push_back(enabled); });
    int count_inside_second = -1;
    std::vector<bool> calls_inside_second;
    int count_after_second = -1;
    std::vector<bool> calls_after_second;
    int second_result = 0;
    // The first box is shown; a timer then opens a second one over it.
    WhenShown(
        1,
        [&](const NativeAlertInfo&) {
            WhenShown(
                2,
                [&](const NativeAlertInfo&) {
                    count_inside_second = ShownMessageBoxCount();
                    calls_inside_second = hook_calls;
                    ClickTopAlertButton("Second OK");
                },
                &later_);
            LMessageBox second;
            second.text = "Second";
            second.SetDefaultTitle("Second OK");
            second_result = second.Run();
            count_after_second = ShownMessageBoxCount();
            calls_after_second = hook_calls;
            ClickTopAlertButton("First OK");
        },
        &later_);
    LMessageBox first;
    first.parent = parent_.window;
    first.text = "First";
    first.SetDefaultTitle("First OK");
    EXPECT_EQ(first.Run(), 1);
    EXPECT_EQ(second_result, 1);
    EXPECT_EQ(count_inside_second, 2);
    EXPECT_EQ(calls_inside_second, std::vector<bool>{false});
    EXPECT_EQ(count_after_second, 1);
    EXPECT_EQ(calls_after_second, std::vector<bool>{false});
    EXPECT_EQ(ShownMessageBoxCount(), 0);
    EXPECT_EQ(hook_calls, (std::vector<bool>{false, true}));
}

TEST_F(MessageBoxTest, WithoutAWindowInFrontTheBoxIsAnAlert) {
    NativeAlertInfo seen;
    WhenShown(
        1,
        [&](const NativeAlertInfo& info) {
            seen = info;
            PressKeyInTopAlert(kVirtualKeyEscape);
        },
        &later_);
    LMessageBox box;
    box.text = "No window";
    // Escape leaves an alert without a cancel button through its only button.
    EXPECT_EQ(box.Run(), 1);
    EXPECT_FALSE(seen.sheet);
    EXPECT_EQ(seen.transient_for, nullptr);
}

TEST_F(MessageBoxTest, EmptyAndHugeTexts) {
    OpenParent();
    NativeAlertInfo empty;
    WhenShown(
        1,
        [&](const NativeAlertInfo& info) {
            empty = info;
            ClickTopAlertButton("OK");
        },
        &later_);
    ShowMessage(parent_.window, "");
    EXPECT_EQ(empty.text, "");
    EXPECT_EQ(empty.caption, "Tunewright");
    EXPECT_EQ(empty.buttons, std::vector<std::string>{"OK"});

    // 100 KB: words, and one word far longer than a line.
    std::string huge;
    while (huge.size() < 100 * 1024) huge += "The quick brown fox jumps over the lazy dog. ";
    huge += std::string(2000, 'x');
    NativeAlertInfo big;
    WhenShown(
        1,
        [&](const NativeAlertInfo& info) {
            big = info;
            ClickTopAlertButton("OK");
        },
        &later_);
    ShowMessage(parent_.window, huge, "Huge");
    Rect screen;
    ASSERT_TRUE(GetMainScreenBounds(&screen));
    EXPECT_LE(big.width, screen.w);
    EXPECT_LE(big.height, screen.h);
    EXPECT_GT(big.width, 200);
    EXPECT_TRUE(big.text_scrolls);
    EXPECT_GT(big.text_lines, 1000);
}

TEST(MessageBoxText, CaptionsAreCutAtCharacterBoundaries) {
    struct Case {
        std::string in;
        std::size_t expected_size;
    } cases[] = {
        {"short", 5},
        {std::string(259, 'a'), 259},
        {std::string(300, 'a'), 259},
        // Two-byte characters: 129 fit in 258 bytes, the 130th would need 260.
        {[] {
             std::string s;
             for (int i = 0; i < 200; ++i) s += "\xC3\xA9";
             return s;
         }(),
         258},
        // A three-byte character straddling the limit at 258..260 is left out whole.
        {std::string(257, 'a') + "\xE2\x82\xAC", 257},
        {"", 0},
    };
    for (const Case& c : cases) {
        LMessageBox box;
        box.SetCaption(c.in);
        EXPECT_EQ(std::strlen(box.caption), c.expected_size);
        EXPECT_EQ(std::string(box.caption), c.in.substr(0, c.expected_size));
    }
}

}  // namespace
}  // namespace tw
