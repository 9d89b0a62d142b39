#include "store/settings.h"

#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <filesystem>
#include <string>

#include <gtest/gtest.h>

#include "common/test_env.h"
#include "platform/core/preferences.h"
#include "store/folders.h"
#include "store/xml.h"

namespace tw {
namespace {

constexpr char kApp[] = "com.orvanesoft.tunewright";

class SettingsTest : public ::testing::Test {
  protected:
    test::TempHome home_;
};

TEST_F(SettingsTest, StringsRoundTripAndDefaults) {
    char buf[kSettingBufferSize];
    EXPECT_FALSE(GetSetting("Settings", "Missing", "dflt", buf));
    EXPECT_STREQ(buf, "dflt");
    SetSetting("Settings", "Name", "Gitarre \xC3\xA9 = [x] #1 \\n");
    EXPECT_TRUE(GetSetting("Settings", "Name", "dflt", buf));
    EXPECT_STREQ(buf, "Gitarre \xC3\xA9 = [x] #1 \\n");
    SetSetting("Settings", "Multi", " lead\nline\ttab ");
    EXPECT_EQ(GetSetting("Settings", "Multi"), " lead\nline\ttab ");
    SetSetting("Settings", "Empty", "");
    EXPECT_TRUE(GetSetting("Settings", "Empty", "dflt", buf));
    EXPECT_STREQ(buf, "");
    DeleteSetting("Settings", "Name");
    EXPECT_FALSE(GetSetting("Settings", "Name", "gone", buf));
    EXPECT_STREQ(buf, "gone");
    DeleteSetting("Settings", "NeverThere");  // harmless

    // Stored in the per-user key file, one key per setting as section/key.
    std::string file = test::ReadFileText(home_.home() + "/.config/" + kApp + "/preferences.conf");
    EXPECT_NE(file.find("[Preferences]"), std::string::npos);
    EXPECT_NE(file.find("Settings/Multi="), std::string::npos);
}

// The key file drops blanks at the start of a value, form feed and vertical tab among
// them; every value must still come back byte for byte.
TEST_F(SettingsTest, LeadingControlCharactersComeBack) {
    const char* values[] = {"\fX",   "\vX",    "\f",  "\f\f \v", " \fX",
                            "\t\fX", "\n\r X", "X\f", "\\f",     "\\s"};
    for (const char* v : values) {
        SetSetting("Settings", "Odd", v);
        EXPECT_EQ(GetSetting("Settings", "Odd", "dflt"), v);
    }
}

TEST_F(SettingsTest, SectionEndingInSlashAddsNoSecondSlash) {
    EXPECT_EQ(JoinSettingKey("Player/", "Device"), "Player/Device");
    EXPECT_EQ(JoinSettingKey("Player", "Device"), "Player/Device");
    EXPECT_EQ(JoinSettingKey("", "Key"), "/Key");
    EXPECT_EQ(JoinSettingKey(std::string(600, 's').c_str(), "k").size(), 519u);
    SetSetting("Player/", "Device", "Speakers");
    EXPECT_EQ(GetSetting("Player", "Device"), "Speakers");
}

TEST_F(SettingsTest, LongValuesAreCutAtACharacterBoundary) {
    struct Case {
        std::string stored;
        std::string read;
    };
    const std::string e = "\xC3\xA9";         // 2 bytes
    const std::string euro = "\xE2\x82\xAC";  // 3 bytes
    const Case cases[] = {
        {std::string(300, 'a'), std::string(259, 'a')},
        {std::string(258, 'a') + e, std::string(258, 'a')},            // would need 260
        {std::string(257, 'a') + e + "b", std::string(257, 'a') + e},  // fits whole
        {std::string(257, 'a') + euro, std::string(257, 'a')},
        {std::string(256, 'a') + euro + "z", std::string(256, 'a') + euro},
    };
    for (const Case& c : cases) {
        SetSetting("Settings", "Long", c.stored.c_str());
        char buf[kSettingBufferSize];
        ASSERT_TRUE(GetSetting("Settings", "Long", "", buf));
        EXPECT_EQ(std::string(buf), c.read);
    }
    char buf[kSettingBufferSize];
    GetSetting("Settings", "Nope", std::string(400, 'd').c_str(), buf);
    EXPECT_EQ(std::string(buf).size(), 259u);
}

TEST_F(SettingsTest, IntegersFromLeadingDigits) {
    struct Case {
        const char* stored;  // null: missing
        int def;
        int read;
    };
    const Case cases[] = {
        {nullptr, 7, 7},
        {"", 7, 7},
        {"12abc", 7, 12},
        {"abc", 7, 0},
        {"-42", 7, -42},
        {"+5", 7, 5},
        {" 9", 7, 9},
        {"0", 7, 0},
        {"2147483647", 0, INT_MAX},
        {"-2147483648", 0, INT_MIN},
        {"99999999999999999999", 0, INT_MAX},
        {"-99999999999999999999", 0, INT_MIN},
        {"3.9", 0, 3},
        {"0x10", 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.stored ? c.stored : "(missing)");
        DeleteSetting("Settings", "Int");
        if (c.stored) SetSetting("Settings", "Int", c.stored);
        EXPECT_EQ(GetSettingInt("Settings", "Int", c.def), c.read);
    }
    for (int v : {0, -1, 123456, INT_MIN, INT_MAX}) {
        SetSettingInt("MainWindow", "X", v);
        EXPECT_EQ(GetSetting("MainWindow", "X"), std::to_string(v));
        EXPECT_EQ(GetSettingInt("MainWindow", "X", 99), v);
    }
}

TEST_F(SettingsTest, BooleansFromTheFirstCharacter) {
    struct Case {
        const char* stored;
        bool def;
        bool read;
    };
    const Case cases[] = {
        {nullptr, true, true},  {nullptr, false, false}, {"", true, true},      {"", false, false},
        {"0", true, false},     {"1", false, true},      {"no", false, true},   {"00", true, false},
        {"false", false, true}, {" 0", false, true},     {"0yes", true, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.stored ? c.stored : "(missing)");
        DeleteSetting("Settings", "Bool");
        if (c.stored) SetSetting("Settings", "Bool", c.stored);
        EXPECT_EQ(GetSettingBool("Settings", "Bool", c.def), c.read);
    }
    SetSettingBool("Settings", "AlwaysOnTop", true);
    EXPECT_EQ(GetSetting("Settings", "AlwaysOnTop"), "1");
    SetSettingBool("Settings", "AlwaysOnTop", false);
    EXPECT_EQ(GetSetting("Settings", "AlwaysOnTop"), "0");
}

TEST_F(SettingsTest, IntInRange) {
    struct Case {
        const char* stored;
        int def, low, high, read;
    };
    const Case cases[] = {
        {"5", 0, 10, 20, 10},      {"25", 0, 10, 20, 20},     {"15", 0, 10, 20, 15},
        {"10", 0, 10, 20, 10},     {"20", 0, 10, 20, 20},     {"7", 0, 10, 5, 10},
        {nullptr, 12, 10, 20, 12}, {nullptr, 30, 10, 20, 20},
    };
    for (const Case& c : cases) {
        DeleteSetting("Settings", "Range");
        if (c.stored) SetSetting("Settings", "Range", c.stored);
        EXPECT_EQ(GetSettingIntInRange("Settings", "Range", c.def, c.low, c.high), c.read);
    }
}

TEST_F(SettingsTest, SharedFileLayoutAndReadModifyWrite) {
    const std::string path = GetSharedSettingsPath();
    EXPECT_EQ(path,
              home_.home() + "/.local/share/Orvane Software/Tunewright/Shared/SharedSettings.xml");
    EXPECT_EQ(GetSharedSetting("Distributor", "URL", "www.example.com"), "www.example.com");

    SetSharedSetting("Distributor", "URL", "shop.example/?a=1&b=\"2\"");
    EXPECT_EQ(test::ReadFileText(path),
              "<Distributor>\n\t<URL "
              "value=\"shop.example/?a=1&amp;b=&quot;2&quot;\"/>\n</Distributor>\n");
    EXPECT_EQ(GetSharedSetting("Distributor", "URL", "x"), "shop.example/?a=1&b=\"2\"");

    SetSharedSettingInt("Distributor", "Runs", 3);
    SetSharedSettingInt("Counters", "Starts", -2);
    EXPECT_EQ(test::ReadFileText(path),
              "<Distributor>\n\t<URL value=\"shop.example/?a=1&amp;b=&quot;2&quot;\"/>\n"
              "\t<Runs value=\"3\"/>\n</Distributor>\n<Counters>\n\t<Starts "
              "value=\"-2\"/>\n</Counters>\n");
    EXPECT_EQ(GetSharedSettingInt("Distributor", "Runs", 9), 3);
    EXPECT_EQ(GetSharedSettingInt("Counters", "Starts", 9), -2);
    EXPECT_EQ(GetSharedSettingInt("Counters", "Missing", 9), 9);
    EXPECT_EQ(GetSharedSetting("distributor", "URL", "case"), "case");

    SetSharedSetting("Distributor", "URL", "second");
    EXPECT_EQ(GetSharedSetting("Distributor", "URL", "x"), "second");
}

// A shared file that is a link (to a folder synchronised elsewhere, say) stays a link; its
// target gets the value and keeps its permission bits.
TEST_F(SettingsTest, SharedFileThatIsALinkStaysALink) {
    const std::string path = GetSharedSettingsPath();
    const std::string target = home_.root() + "/elsewhere.xml";
    test::WriteFileText(target, "<Keep value=\"1\"/>\n");
    ASSERT_EQ(chmod(target.c_str(), 0600), 0);
    ASSERT_EQ(symlink(target.c_str(), path.c_str()), 0);
    SetSharedSetting("S", "K", "new");
    EXPECT_TRUE(std::filesystem::is_symlink(path));
    EXPECT_EQ(test::ReadFileText(target), "<Keep value=\"1\"/>\n<S>\n\t<K value=\"new\"/>\n</S>\n");
    EXPECT_EQ(std::filesystem::status(target).permissions(), std::filesystem::perms(0600));
    EXPECT_EQ(GetSharedSetting("S", "K", ""), "new");
}

TEST_F(SettingsTest, SharedFileKeepsWhatItDoesNotKnowAndMendsDamage) {
    const std::string path = GetSharedSettingsPath();
    test::WriteFileText(
        path,
        "<?xml version=\"1.0\"?>\r\n<!-- theirs -->\n<Other a=\"1\"><x>t</x></Other>\n"
        "<Distributor><URL/></Distributor>");
    EXPECT_EQ(GetSharedSetting("Distributor", "URL", "no value attribute"), "no value attribute");
    SetSharedSetting("Distributor", "URL", "u");
    EXPECT_EQ(test::ReadFileText(path),
              "<?xml version=\"1.0\"?>\n<!-- theirs -->\n<Other a=\"1\">\n\t<x>t</x>\n</Other>\n"
              "<Distributor>\n\t<URL value=\"u\"/>\n</Distributor>\n");

    // A damaged file is rewritten with what could be read of it.
    test::WriteFileText(path, "<Distributor><URL value=\"old\"/><Broken");
    EXPECT_EQ(GetSharedSetting("Distributor", "URL", "d"), "old");
    SetSharedSetting("Distributor", "New", "n");
    EXPECT_EQ(test::ReadFileText(path),
              "<Distributor>\n\t<URL value=\"old\"/>\n\t<Broken/>\n\t<New "
              "value=\"n\"/>\n</Distributor>\n");

    // Values are cut at byte 259.
    SetSharedSetting("Distributor", "Long", std::string(300, 'v').c_str());
    EXPECT_EQ(GetSharedSetting("Distributor", "Long", ""), std::string(259, 'v'));
}

TEST_F(SettingsTest, SharedFileInsideASandboxContainerWhenPresent) {
    const std::string container = home_.home() +
                                  "/Library/Containers/com.orvanesoft.tunewright/Data/Library/"
                                  "Application Support/Tunewright/Shared";
    ASSERT_TRUE(MakeFolderPath(container));
    SetSharedSetting("Distributor", "URL", "boxed");
    EXPECT_EQ(test::ReadFileText(container + "/SharedSettings.xml"),
              "<Distributor>\n\t<URL value=\"boxed\"/>\n</Distributor>\n");
    EXPECT_EQ(GetSharedSetting("Distributor", "URL", ""), "boxed");
}

TEST_F(SettingsTest, UnwritableStoreReadsDefaults) {
    // The config folder is a file: nothing can be stored, every read gives the default.
    test::WriteFileText(home_.root() + "/notadir", "x");
    home_.env().Set("XDG_CONFIG_HOME", (home_.root() + "/notadir").c_str());
    SetSettingInt("Settings", "A", 5);
    EXPECT_EQ(GetSettingInt("Settings", "A", 1), 1);
}

}  // namespace
}  // namespace tw
