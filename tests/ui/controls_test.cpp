// Controls on real GTK windows: creation, finding by id, SetControlFrame, popups, edit
// fields and their filters, check boxes.
#include "ui/controls.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "gui_support.h"
#include "platform/ui/testing/ui_driver.h"

namespace tw {
namespace {

// A private X server: no other test's windows overlap ours, whatever runs beside us.
const auto* const kDisplay =
    ::testing::AddGlobalTestEnvironment(new test::PrivateDisplay(/*with_window_manager=*/false));

class ControlWindow : public LWindow {
  public:
    void OnCommand(std::uint32_t id, void*) override { commands.push_back(id); }
    void UpdateControls() override { ++updates; }
    std::vector<std::uint32_t> commands;
    int updates = 0;
};

class ControlsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(test::NeedDisplay());
        ASSERT_TRUE(w.CreateWindow(600, 400, kDocumentWindowClass, 0, 0));
        w.InstallWindowHandler(false);
    }
    ControlWindow w;
};

TEST_F(ControlsTest, CreationPlacesControlsOffScreenWithTheirIds) {
    struct Case {
        int id;
        ControlKind kind;
        int height;
        bool has_command;
    };
    const Case cases[] = {{10, ControlKind::kStaticText, 30, true},
                          {11, ControlKind::kPopup, 20, true},
                          {12, ControlKind::kUserPane, 30, true},
                          {-1, ControlKind::kSeparator, 30, false}};
    int expected_top = 100;
    for (const Case& c : cases) {
        NativeControl* control = CreateControl(&w, c.id, c.kind);
        ASSERT_NE(control, nullptr);
        expected_top += 510;
        EXPECT_EQ(w.nextAutoTop, expected_top);
        const Rect f = control->Frame();
        EXPECT_EQ(f.x, -300);
        EXPECT_EQ(f.y, expected_top);
        EXPECT_EQ(f.w, 500);
        EXPECT_EQ(f.h, c.height);
        EXPECT_EQ(control->Signature(), kControlSignature);
        EXPECT_EQ(control->Id(), c.id);
        EXPECT_EQ(control->CommandId(), c.has_command ? std::uint32_t(c.id) : 0u);
    }
}

TEST_F(ControlsTest, FindingByIdSkipsEmbeddedPanesAndMinusOne) {
    CreateStaticText(&w, 5, "five");
    CreateRadioGroup(&w, 6);
    NativeControl* radio = CreateRadioButton(&w, 6, 7, "seven");
    ASSERT_NE(radio, nullptr);
    // A pane that belongs to another window object: its controls are its own.
    NativeControl* pane = CreateControl(&w, 8, ControlKind::kRadioGroup);
    LWindow embedded;
    embedded.AttachEmbedded(&w, pane);
    NativeControl* inner = CreateStaticText(&embedded, 9, "nine");
    ASSERT_NE(inner, nullptr);
    CreateControl(&w, -1, ControlKind::kStaticText);

    struct Case {
        LWindow* window;
        int id;
        bool found;
    };
    const Case cases[] = {{&w, 5, true},        {&w, 7, true},   {&w, 8, true},    {&w, 9, false},
                          {&embedded, 9, true}, {&w, -1, false}, {&w, 4242, false}};
    for (const Case& c : cases) {
        NativeControl* found = FindControl(c.window, c.id);
        EXPECT_EQ(found != nullptr, c.found) << c.id;
        if (found) {
            EXPECT_EQ(found->Id(), c.id);
        }
    }
    // By-id operations on a missing id do nothing.
    EXPECT_EQ(GetControlText(&w, 4242), "");
    EXPECT_EQ(GetControlValue(&w, 4242), 0);
    EXPECT_FALSE(GetCheckBoxValue(&w, 4242));
    SetControlFrame(&w, -1, 1, 2, 3, 4);
    embedded.content = nullptr;  // the pane goes with the window
}

// A composite control that records where it was asked to lay itself out.
struct RecordingComposite : LCompositeControl {
    void LayoutIn(int x, int y, int w, int h) override {
        got = Rect{double(x), double(y), double(w), double(h)};
    }
    Rect got{-1, -1, -1, -1};
};

TEST_F(ControlsTest, SetControlFrameRules) {
    CreateStaticText(&w, 1, "label");
    CreateEditField(&w, 2, EditFieldOptions{});
    CreateLittleArrows(&w, 3, 10);
    CreateEditField(&w, 4, EditFieldOptions{});  // second control of the spin pair
    NativeControl* picker = CreateControl(&w, 5, ControlKind::kStaticText);
    picker->SetProperty(kPropertyFixedHeightRow, 1);
    NativeControl* framed = CreateUserPane(&w, 6);
    NativeControl* companion = CreateControl(&w, 7, ControlKind::kSeparator);
    framed->SetProperty(kPropertyCompanionFrame, reinterpret_cast<std::uintptr_t>(companion));
    RecordingComposite composite;
    NativeControl* holder = CreateUserPane(&w, 8);
    holder->SetProperty(kPropertyCompositeControl, reinterpret_cast<std::uintptr_t>(&composite));

    struct Case {
        const char* name;
        bool toolbar;
        int id;
        Rect frame;    // given to SetControlFrame
        int check_id;  // whose frame to check
        Rect expected;
    };
    const Case cases[] = {
        {"plain control", false, 1, {10, 70, 100, 24}, 1, {10, 70, 100, 24}},
        {"toolbar height is taken off", true, 1, {10, 70, 100, 24}, 1, {10, 14, 100, 24}},
        {"edit field gets height 18", false, 2, {20, 30, 150, 24}, 2, {20, 30, 150, 18}},
        {"little arrows place themselves", false, 3, {40, 50, 100, 24}, 3, {127, 48, 10, 28}},
        {"and their field", false, 3, {40, 50, 100, 24}, 4, {40, 53, 81, 18}},
        {"the field of a pair keeps its frame", false, 4, {0, 0, 300, 40}, 4, {40, 53, 81, 18}},
        {"fixed-height picker row", false, 5, {5, 6, 100, 50}, 5, {5, 6, 97, 24}},
        {"companion frame follows", false, 6, {30, 40, 120, 60}, 7, {0, 0, 120, 60}},
    };
    for (const Case& c : cases) {
        w.window->SetToolbarVisible(c.toolbar);
        SetControlFrame(&w, c.id, int(c.frame.x), int(c.frame.y), int(c.frame.w), int(c.frame.h));
        const Rect f = FindControl(&w, c.check_id)->Frame();
        EXPECT_EQ(f.x, c.expected.x) << c.name;
        EXPECT_EQ(f.y, c.expected.y) << c.name;
        EXPECT_EQ(f.w, c.expected.w) << c.name;
        EXPECT_EQ(f.h, c.expected.h) << c.name;
    }
    w.window->SetToolbarVisible(true);
    SetControlFrame(&w, 8, 1, 60, 3, 4);
    EXPECT_EQ(composite.got.x, 1);
    EXPECT_EQ(composite.got.y, 4);  // in content coordinates
    EXPECT_EQ(composite.got.w, 3);
}

const char* const kItems[] = {"Guitar", "Bass", "-", "Violin", "Viola", nullptr};

TEST_F(ControlsTest, PopupSelectionByIndexAndText) {
    CreatePopup(&w, 20);
    PopupAppendItems(&w, 20, kItems);
    EXPECT_EQ(PopupGetCount(&w, 20), 4);
    struct Case {
        int index;
        int expected_item;  // menu item number (separators count)
        int expected_index;
        const char* text;
    };
    const Case cases[] = {
        {0, 1, 0, "Guitar"},  {1, 2, 1, "Bass"},    {2, 4, 2, "Violin"},  // separator skipped
        {3, 5, 3, "Viola"},   {4, 1, 0, "Guitar"},                        // past the end: item 1
        {99, 1, 0, "Guitar"}, {-1, 1, 0, "Guitar"},
    };
    for (const Case& c : cases) {
        PopupSelectIndex(&w, 20, c.index);
        EXPECT_EQ(GetControlValue(&w, 20), c.expected_item) << c.index;
        EXPECT_EQ(PopupGetIndex(&w, 20), c.expected_index) << c.index;
        EXPECT_EQ(PopupGetText(&w, 20), c.text) << c.index;
    }
    EXPECT_TRUE(PopupSelectText(&w, 20, "Viola"));
    EXPECT_EQ(PopupGetIndex(&w, 20), 3);
    EXPECT_FALSE(PopupSelectText(&w, 20, "Cello"));
    EXPECT_EQ(PopupGetIndex(&w, 20), 3);
    EXPECT_EQ(PopupGetItemText(&w, 20, 2), "Violin");
    PopupRemoveAll(&w, 20);
    EXPECT_EQ(PopupGetCount(&w, 20), 0);
    EXPECT_EQ(PopupGetIndex(&w, 20), -1);
    EXPECT_TRUE(w.commands.empty());  // the program's own selections issue nothing
}

TEST_F(ControlsTest, PickingFromThePopupMenuIssuesItsCommandEveryTime) {
    CreatePopup(&w, 21);
    PopupAppendItems(&w, 21, kItems);
    SetControlFrame(&w, 21, 10, 10, 200, 24);
    w.BindControlCommand(21, kBindOnPopupPick, 2000);
    w.Show(true);
    RunEventLoopFor(100);
    NativeControl* popup = FindControl(&w, 21);

    struct Case {
        int item;  // 0: the menu closes without a pick
        int expected_index;
        size_t expected_commands;
    };
    const Case cases[] = {{2, 1, 1}, {2, 1, 2}, {4, 2, 3}, {0, 2, 3}};
    for (const Case& c : cases) {
        const int updates_before = w.updates;
        if (c.item != 0) {
            ASSERT_TRUE(ui_driver::PickPopupItem(popup, c.item));
        } else {
            ASSERT_TRUE(ui_driver::DismissPopupMenu(popup));
        }
        RunEventLoopFor(60);
        EXPECT_FALSE(IsMenuTracking());
        EXPECT_EQ(PopupGetIndex(&w, 21), c.expected_index) << c.item;
        ASSERT_EQ(w.commands.size(), c.expected_commands) << c.item;
        if (c.item != 0) {
            EXPECT_EQ(w.commands.back(), 2000u);
            EXPECT_GT(w.updates, updates_before);
        }
    }
}

TEST_F(ControlsTest, EditFilterAcceptsTable) {
    struct Case {
        EditFilter filter;
        const char* text;
        bool accepted;
    };
    const Case cases[] = {
        {EditFilter::kDecimal, "", true},
        {EditFilter::kDecimal, "440", true},
        {EditFilter::kDecimal, "-1.5", true},
        {EditFilter::kDecimal, "+.", true},
        {EditFilter::kDecimal, "+", true},
        {EditFilter::kDecimal, "1.2.3", false},
        {EditFilter::kDecimal, "+-1", false},
        {EditFilter::kDecimal, "1-", false},
        {EditFilter::kDecimal, "1e3", false},
        {EditFilter::kDecimal, " 1", false},
        {EditFilter::kLowerCase, "abc", true},
        {EditFilter::kLowerCase, "aBc", false},
        {EditFilter::kUpperCase, "ABC", true},
        {EditFilter::kUpperCase, "AB1", false},
        {EditFilter::kNone, "anything 1.2.3", true},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(EditFilterAccepts(c.filter, c.text), c.accepted) << c.text;
    }
}

TEST_F(ControlsTest, TypingIntoFilteredFields) {
    struct Case {
        const char* name;
        EditFieldOptions options;
        const char* typed;
        const char* result;
    };
    EditFieldOptions decimal;
    decimal.decimal_only = 1;
    EditFieldOptions lower;
    lower.lower_case_only = 1;
    EditFieldOptions decimal_and_lower;  // only the first filter in order applies
    decimal_and_lower.decimal_only = 1;
    decimal_and_lower.lower_case_only = 1;
    const Case cases[] = {
        {"decimal refuses a second point", decimal, "1.2.3", "1.23"},
        {"decimal refuses a sign after a sign", decimal, "+-1", "+1"},
        {"decimal takes a number", decimal, "-442.9", "-442.9"},
        {"decimal drops letters", decimal, "4a4b0", "440"},
        {"lower case only", lower, "abCd", "abd"},
        {"decimal wins over lower case", decimal_and_lower, "a1b", "1"},
        {"no filter", EditFieldOptions{}, "x.y.z", "x.y.z"},
    };
    int id = 30;
    for (const Case& c : cases) {
        NativeControl* field = CreateEditField(&w, id, c.options);
        ui_driver::TypeText(field, c.typed);
        EXPECT_EQ(GetEditText(&w, id), c.result) << c.name;
        ++id;
    }
}

TEST_F(ControlsTest, EditCommandPerInputAndTheLengthLimit) {
    EditFieldOptions options;
    CreateEditField(&w, 40, options);
    w.BindControlCommand(40, kBindOnEditInput, 2003);
    w.BindCommand(kBindOnEditTooLong, 777);
    SetEditLengthLimit(&w, 40, 4);
    ui_driver::TypeText(FindControl(&w, 40), "abcdef");
    EXPECT_EQ(GetEditText(&w, 40), "abcd");
    const auto edits = std::count(w.commands.begin(), w.commands.end(), 2003u);
    const auto refusals = std::count(w.commands.begin(), w.commands.end(), 777u);
    EXPECT_EQ(edits, 4);
    EXPECT_EQ(refusals, 2);
    // Text set by the program issues nothing and is not limited.
    w.commands.clear();
    SetEditInt(&w, 40, -12345);
    EXPECT_EQ(GetEditText(&w, 40), "-12345");
    EXPECT_TRUE(w.commands.empty());
    // Selected text typed over is replaced, so it does not count as growth.
    SetEditText(&w, 40, "abcd");
    EditSelectAll(&w, 40);
    ui_driver::TypeText(FindControl(&w, 40), "z");
    EXPECT_EQ(GetEditText(&w, 40), "z");
}

TEST_F(ControlsTest, CheckBoxValues) {
    CreateCheckBox(&w, 50, "Always on top");
    struct Case {
        int value;
        bool checked;
    };
    for (Case c : {Case{1, true}, Case{0, false}, Case{2, false}}) {
        SetCheckBoxValue(&w, 50, c.value);
        EXPECT_EQ(GetCheckBoxValue(&w, 50), c.checked) << c.value;
    }
    EXPECT_TRUE(w.commands.empty());
    SetCheckBoxValue(&w, 50, 0);
    ui_driver::Click(FindControl(&w, 50));  // a user's click toggles and issues the command
    EXPECT_TRUE(GetCheckBoxValue(&w, 50));
    EXPECT_EQ(w.commands, (std::vector<std::uint32_t>{50}));
}

TEST_F(ControlsTest, ButtonsIssueTheirCommands) {
    CreatePushButton(&w, 60, "Play", kBevelButtonStyle, 1116);
    CreatePushButton(&w, 61, "Push", kPushButtonStyle, 0);
    CreatePushButton(&w, 62, "?", kPushButtonStyle, kHICommandAppHelp);
    EXPECT_EQ(FindControl(&w, 60)->Kind(), ControlKind::kBevelButton);
    EXPECT_EQ(FindControl(&w, 62)->Kind(), ControlKind::kHelpButton);
    ui_driver::Click(FindControl(&w, 60));
    ui_driver::Click(FindControl(&w, 61));
    EXPECT_EQ(w.commands, (std::vector<std::uint32_t>{1116, 61}));
}

TEST_F(ControlsTest, RadioGroupValueFollowsTheSelectedButton) {
    CreateRadioGroup(&w, 70);
    CreateRadioButton(&w, 70, 71, "One");
    CreateRadioButton(&w, 70, 72, "Two");
    CreateRadioButton(&w, 70, 73, "Three");
    EXPECT_EQ(GetControlValue(&w, 70), 1);
    ui_driver::Click(FindControl(&w, 73));
    EXPECT_EQ(GetControlValue(&w, 70), 3);
    EXPECT_EQ(w.commands, (std::vector<std::uint32_t>{73}));
    SetControlValue(&w, 70, 2);
    EXPECT_EQ(GetControlValue(&w, 72), 1);
    EXPECT_EQ(w.commands.size(), 1u);
}

TEST_F(ControlsTest, EnableShowAndText) {
    CreateStaticText(&w, 80, "Instruments:");
    EXPECT_EQ(GetControlText(&w, 80), "Instruments:");
    SetControlText(&w, 80, "Tunings:");
    EXPECT_EQ(GetControlText(&w, 80), "Tunings:");
    EnableControl(&w, 80, false);
    EXPECT_FALSE(FindControl(&w, 80)->IsEnabled());
    ShowControl(&w, 80, false);
    EXPECT_FALSE(FindControl(&w, 80)->IsVisible());
    CreateProgressBar(&w, 81);
    SetControlValue(&w, 81, 40);
    EXPECT_EQ(GetControlValue(&w, 81), 40);
}

}  // namespace
}  // namespace tw

namespace tw {
namespace {

TEST_F(ControlsTest, ClickWhileAnotherControlHasTheFocusIssuesItsBinding) {
    CreateEditField(&w, 90, EditFieldOptions{});
    CreatePushButton(&w, 91, "Apply", kPushButtonStyle, 0);
    SetControlFrame(&w, 90, 10, 10, 100, 24);
    SetControlFrame(&w, 91, 10, 50, 100, 24);
    w.BindControlCommand(91, kBindOnClickWhileOtherFocused, 900);
    w.BindControlCommand(90, kBindOnClickWhileOtherFocused, 901);
    w.Show(true);
    RunEventLoopFor(100);
    FindControl(&w, 90)->Focus();
    ASSERT_TRUE(FindControl(&w, 90)->HasFocus());
    ui_driver::PressMouse(FindControl(&w, 91));
    EXPECT_EQ(std::count(w.commands.begin(), w.commands.end(), 900u), 1);
    FindControl(&w, 90)->Focus();
    ui_driver::PressMouse(FindControl(&w, 90));  // it has the focus itself: nothing
    EXPECT_EQ(std::count(w.commands.begin(), w.commands.end(), 901u), 0);
}

}  // namespace
}  // namespace tw

namespace tw {
namespace {

TEST_F(ControlsTest, TabPagesHostEmbeddedPanes) {
    const char* const labels[] = {"General", "Advanced", nullptr};
    NativeControl* tabs = CreateTabs(&w, 95, labels);
    ASSERT_NE(tabs, nullptr);
    EXPECT_EQ(GetControlValue(&w, 95), 1);
    NativeControl* page = tabs->TabsPage(2);
    ASSERT_NE(page, nullptr);
    EXPECT_EQ(tabs->TabsPage(3), nullptr);

    LWindow pane;
    pane.AttachEmbedded(&w, page);
    EXPECT_STREQ(pane.caption, "LEmbeddedWindow");
    CreateCheckBox(&pane, 96, "Start with the window shown");
    SetControlFrame(&pane, 96, 10, 10, 200, 24);
    EXPECT_EQ(FindControl(&w, 96), nullptr);  // the pane's own control
    ASSERT_NE(FindControl(&pane, 96), nullptr);
    EXPECT_EQ(FindControl(&pane, 96)->Frame().y, 10);  // no toolbar offset in a pane
    w.window->SetToolbarVisible(true);
    SetControlFrame(&pane, 96, 10, 10, 200, 24);
    EXPECT_EQ(FindControl(&pane, 96)->Frame().y, 10);

    SetControlValue(&w, 95, 2);
    EXPECT_EQ(GetControlValue(&w, 95), 2);
    EXPECT_TRUE(w.commands.empty());
    pane.content = nullptr;  // the page goes with the window
}

}  // namespace
}  // namespace tw

namespace tw {
namespace {

// A refused input leaves the field exactly as it was, selection included, whether it
// was typed over a selection or pasted over one; an accepted one replaces the selection.
TEST_F(ControlsTest, ARefusedInputLeavesTheFieldAndItsSelectionAsTheyWere) {
    EditFieldOptions decimal;
    decimal.decimal_only = 1;
    CreateEditField(&w, 60, decimal);
    CreateEditField(&w, 61, EditFieldOptions{});  // the clipboard's source
    SetControlFrame(&w, 60, 10, 10, 120, 24);
    SetControlFrame(&w, 61, 10, 40, 120, 24);
    w.BindControlCommand(60, kBindOnEditInput, 2003);
    NativeControl* field = FindControl(&w, 60);
    struct Case {
        const char* name;
        int select_from, select_to;  // -1: Ctrl+A
        const char* typed;           // nullptr: paste `pasted`
        const char* pasted;
        const char* text;
        int sel_from, sel_to;  // the selection after (equal: none)
        int edits;
    };
    const Case cases[] = {
        {"Ctrl+A, a letter", -1, 0, "a", nullptr, "440", 0, 3, 0},
        {"part selected, a letter", 1, 2, "x", nullptr, "440", 1, 2, 0},
        {"a sign inside the number", 1, 2, "+", nullptr, "440", 1, 2, 0},
        {"refused paste over all", 0, 3, nullptr, "abc", "440", 0, 3, 0},
        {"accepted digit over all", -1, 0, "5", nullptr, "5", 1, 1, 1},
        {"accepted paste over a part", 1, 3, nullptr, "2.5", "42.5", 4, 4, 1},
    };
    for (const Case& c : cases) {
        SetEditText(&w, 60, "440");
        SetEditText(&w, 61, c.pasted ? c.pasted : "");
        w.Show(true);
        RunEventLoopFor(50);
        if (!c.typed) {
            // Onto the clipboard first: selecting in the other field would clear ours.
            EditSelectAll(&w, 61);
            EditCopy(&w, 61);
            RunEventLoopFor(50);
        }
        field->Focus();
        if (c.select_from < 0) {
            ui_driver::PressKey(w.window, -1, kCmdKey, 'a');  // Ctrl+A
        } else {
            field->SelectRange(c.select_from, c.select_to);
        }
        w.commands.clear();
        if (c.typed) {
            ui_driver::TypeText(field, c.typed);
        } else {
            EditPaste(&w, 60);
        }
        RunEventLoopFor(100);  // the clipboard answers through the main loop
        EXPECT_EQ(GetEditText(&w, 60), c.text) << c.name;
        int from = 0;
        int to = 0;
        field->GetSelection(&from, &to);
        if (c.sel_from == c.sel_to) {
            EXPECT_EQ(from, to) << c.name;
        } else {
            EXPECT_EQ(from, c.sel_from) << c.name;
            EXPECT_EQ(to, c.sel_to) << c.name;
        }
        EXPECT_EQ(std::count(w.commands.begin(), w.commands.end(), 2003u), c.edits) << c.name;
    }
}

}  // namespace
}  // namespace tw
