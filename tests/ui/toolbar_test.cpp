// The toolbar on a real GTK window: items from the table and the standard trailing ones,
// tooltips with shortcuts, commands, and the settings that keep the item set and the
// visibility.
#include "ui/toolbar.h"

#include <gtest/gtest.h>

#include <vector>

#include "common/test_env.h"
#include "gui_support.h"
#include "platform/ui/native_tool_items.h"
#include "store/settings.h"

namespace tw {
namespace {

const auto* const kDisplay =
    ::testing::AddGlobalTestEnvironment(new test::PrivateDisplay(/*with_window_manager=*/false));

constexpr std::uint32_t kPreferencesCommand = 1000;

const ToolbarItem kMainItems[] = {
    {kToolbarItemButton, kPreferencesCommand, kIconPreferences, "Preferences", "Preferences",
     "Adjust settings and options", 0},
};

class ToolbarWindow : public LWindow {
  public:
    void OnCommand(std::uint32_t id, void*) override { commands.push_back(id); }
    void OnHelp() override { ++help; }
    void UpdateControls() override { ++updates; }
    std::vector<std::uint32_t> commands;
    int help = 0;
    int updates = 0;
};

class ToolbarTest : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(test::NeedDisplay()); }

    void Open(ToolbarWindow* w) {
        ASSERT_TRUE(w->CreateWindow(500, 300, kDocumentWindowClass, kWindowCloseBoxAttribute, 0));
        w->InstallWindowHandler(false);
        w->modal = 0;
    }

    test::TempHome home_;
};

TEST_F(ToolbarTest, MainToolbarItemsTooltipsAndCommands) {
    ToolbarWindow w;
    Open(&w);
    LToolbar bar;
    bar.SetToolbarName("Main");
    EXPECT_EQ(bar.FullIdentifier(), "com.orvanesoft.tunewright.Main");
    ASSERT_TRUE(bar.CreateToolbar(&w, kMainItems, 1, {}));
    w.shown = 1;
    w.Show(true);
    RunEventLoopFor(300);

    const std::vector<ToolItemInfo> items = GetToolbarItems(w.window);
    ASSERT_EQ(items.size(), 3u);
    EXPECT_EQ(items[0].name, "com.orvanesoft.tunewright.Main.Preferences");
    EXPECT_EQ(items[0].label, "Preferences");
    EXPECT_EQ(items[0].tooltip, "Adjust settings and options");  // no shortcut, no suffix
    EXPECT_EQ(items[0].icon_name, "preferences-system");
    EXPECT_TRUE(items[0].has_icon);
    EXPECT_EQ(items[1].kind, ToolItemKind::kFlexibleSpace);
    EXPECT_TRUE(items[1].expands);
    EXPECT_EQ(items[2].label, "Help");
    EXPECT_EQ(items[2].tooltip, "Display the manual (Ctrl+/)");
    EXPECT_EQ(items[2].icon_name, "help-browser");
    EXPECT_EQ(items[2].command, kHICommandAppHelp);
    // The flexible space puts Help at the right end.
    int width = 0;
    w.GetClientSize(&width, nullptr);
    EXPECT_GE(items[2].x + items[2].width, width - 16);
    EXPECT_GT(items[2].x, items[0].x + items[0].width + 200);

    EXPECT_TRUE(PressToolbarItem(w.window, kPreferencesCommand));
    EXPECT_EQ(w.commands, std::vector<std::uint32_t>{kPreferencesCommand});
    EXPECT_TRUE(PressToolbarItem(w.window, kHICommandAppHelp));
    EXPECT_EQ(w.help, 1);
}

TEST_F(ToolbarTest, DescriptionsGetTheShortcutOfTheirCommand) {
    const ShortcutEntry table[] = {
        {{43, kCmdKey, ','}, kPreferencesCommand},
        {{40, kCmdKey | kShiftKey, 'K'}, 2000},
        {{}, 3000},  // an empty stroke adds nothing
    };
    struct Case {
        const char* description;
        std::uint32_t command;
        const char* expected;
    } cases[] = {
        {"Adjust settings and options", kPreferencesCommand,
         "Adjust settings and options (Ctrl+,)"},
        {"Tune", 2000, "Tune (Shift+Ctrl+K)"},
        {"No shortcut", 4000, "No shortcut"},
        {"Empty stroke", 3000, "Empty stroke"},
        {"", kPreferencesCommand, ""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(DescriptionWithShortcut(c.description, c.command, table), c.expected);
    }
    ToolbarWindow w;
    Open(&w);
    LToolbar bar;
    ASSERT_TRUE(bar.CreateToolbar(&w, kMainItems, 1, table));
    EXPECT_EQ(GetToolbarItems(w.window)[0].tooltip, "Adjust settings and options (Ctrl+,)");
    EXPECT_EQ(bar.Rows()[0].description, "Adjust settings and options (Ctrl+,)");
}

TEST_F(ToolbarTest, AChangedItemTableResetsTheSavedSetOnce) {
    const ToolbarItem more[] = {
        kMainItems[0],
        {kToolbarItemButton, 1001, 400, "Tuner", "Tuner", "Show the tuner", 0},
        {kToolbarItemNotDefault, 1002, 401, "Extra", "Extra", "Not in the default set", 0},
    };
    struct Step {
        const ToolbarItem* items;
        int count;
        bool reset;
        const char* saved;
    } steps[] = {
        {kMainItems, 1, true, "Preferences Help"},  // nothing saved yet
        {kMainItems, 1, false, "Preferences Help"},
        {more, 3, true, "Preferences Tuner Help"},  // the table changed
        {more, 3, false, "Preferences Tuner Help"},
    };
    for (const Step& s : steps) {
        SCOPED_TRACE(s.saved);
        ToolbarWindow w;
        Open(&w);
        LToolbar bar;
        bar.SetToolbarName("Main");
        ASSERT_TRUE(bar.CreateToolbar(&w, s.items, s.count, {}));
        EXPECT_EQ(bar.WasReset(), s.reset);
        EXPECT_EQ(GetSetting("ToolBar", "Main", "?"), s.saved);
        // Rows of kind 2 are not placed.
        for (const ToolItemInfo& item : GetToolbarItems(w.window)) {
            EXPECT_NE(item.command, 1002u);
        }
    }
}

TEST_F(ToolbarTest, TheSavedStateDecidesVisibilityAndLayoutHeight) {
    struct Case {
        const char* saved;  // nullptr: nothing saved
        bool visible;
    } cases[] = {{nullptr, true}, {"0", false}, {"1", true}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.saved ? c.saved : "(none)");
        if (c.saved) {
            SetSetting("ToolBarState", "Main", c.saved);
        } else {
            DeleteSetting("ToolBarState", "Main");
        }
        ToolbarWindow w;
        Open(&w);
        LToolbar bar;
        bar.SetToolbarName("Main");
        ASSERT_TRUE(bar.CreateToolbar(&w, kMainItems, 1, {}));
        EXPECT_EQ(bar.IsVisible(), c.visible);
        EXPECT_EQ(bar.Height(), c.visible ? 56 : 0);
        int y = -1;
        w.GetLayoutArea(nullptr, &y, nullptr, nullptr);
        EXPECT_EQ(y, c.visible ? 56 : 0);
    }
}

TEST_F(ToolbarTest, TheUserHidesAndShowsTheToolbarAndTheChoiceIsKept) {
    ToolbarWindow w;
    Open(&w);
    LToolbar bar;
    bar.SetToolbarName("Main");
    ASSERT_TRUE(bar.CreateToolbar(&w, kMainItems, 1, {}));
    w.shown = 1;
    w.Show(true);
    RunEventLoopFor(100);
    ASSERT_TRUE(bar.IsVisible());
    const int updates = w.updates;
    // The toolbar's context menu hides it.
    EXPECT_TRUE(PickToolbarContextMenuItem(w.window));
    EXPECT_FALSE(bar.IsVisible());
    EXPECT_FALSE(GetSettingBool("ToolBarState", "Main", true));
    EXPECT_GT(w.updates, updates);
    // The toggle command (a menu item) shows it again.
    EXPECT_TRUE(bar.HandleCommand(kCommandToggleToolbar));
    EXPECT_TRUE(bar.IsVisible());
    EXPECT_TRUE(GetSettingBool("ToolBarState", "Main", false));
    EXPECT_FALSE(bar.HandleCommand(kPreferencesCommand));
    bar.SaveToolbarState(false);
    EXPECT_FALSE(GetSettingBool("ToolBarState", "Main", true));
}

TEST_F(ToolbarTest, RowKinds) {
    const ToolbarItem rows[] = {
        {kToolbarItemButton, 1, 0, nullptr, "", "", 0},  // fixed space
        {kToolbarItemSeparator, 0, 0, nullptr, "", "", 0},
        {kToolbarItemSelectable, 2001, 500, "One", "One", "First page", 0},
        {kToolbarItemSelectable, 2002, 501, "Two", "Two", "Second page", 0},
        {kToolbarItemDropDown, 2003, 502, "Menu", "Menu", "Open", 2004},
        {kToolbarItemSystemIcon, 2005, FourCC("help"), "Sys", "Sys", "System icon", 0},
    };
    ToolbarWindow w;
    Open(&w);
    LToolbar bar;
    ASSERT_TRUE(bar.CreateToolbar(&w, rows, 6, {}));
    const std::vector<ToolItemInfo> items = GetToolbarItems(w.window);
    const ToolItemKind expected[] = {ToolItemKind::kSpace,         ToolItemKind::kSeparator,
                                     ToolItemKind::kToggle,        ToolItemKind::kToggle,
                                     ToolItemKind::kDropDown,      ToolItemKind::kButton,
                                     ToolItemKind::kFlexibleSpace, ToolItemKind::kButton};
    ASSERT_EQ(items.size(), std::size(expected));
    for (std::size_t i = 0; i < items.size(); ++i) EXPECT_EQ(items[i].kind, expected[i]) << i;
    EXPECT_EQ(items[5].icon_name, "help-browser");
    EXPECT_EQ(bar.DefaultIdentifierText(), "One Two Menu Sys Help");
    // The drop-down part sends its own command, the button the item's.
    EXPECT_TRUE(ClickToolbarDropDown(w.window, 2003));
    EXPECT_TRUE(PressToolbarItem(w.window, 2003));
    // Selecting the second page sends its command; the first one, deselected, stays quiet.
    EXPECT_TRUE(PressToolbarItem(w.window, 2002));
    EXPECT_EQ(w.commands, (std::vector<std::uint32_t>{2004, 2003, 2002}));
}

}  // namespace
}  // namespace tw
