// Start-up before any window: the argument copy, the system-version check and the
// new-version bookkeeping.
#include "app/startup.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/test_env.h"
#include "store/folders.h"
#include "store/settings.h"

namespace tw {
namespace {

TEST(StartupTest, OnlyAFirstProcessSerialNumberArgumentIsDropped) {
    struct Case {
        std::vector<const char*> argv;
        std::vector<std::string> kept;
    };
    const Case cases[] = {
        {{"/usr/bin/tunewright", "-psn_0_12345"}, {"/usr/bin/tunewright"}},
        {{"tw", "--demo", "-psn_0_1"}, {"tw", "--demo", "-psn_0_1"}},
        {{"tw", "-ps", "x"}, {"tw", "-ps", "x"}},
        {{"tw", "-psnX", "-psn"}, {"tw", "-psn"}},
        {{"tw"}, {"tw"}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(CopyArguments(static_cast<int>(c.argv.size()), c.argv.data()), c.kept);
    }
}

TEST(StartupTest, SystemVersionsCompareAsNumbers) {
    struct Case {
        int major, minor;
        bool supported;
    };
    for (const Case c : {Case{10, 3, false}, Case{10, 4, true}, Case{10, 6, true},
                         Case{10, 10, true}, Case{9, 9, false}, Case{11, 0, true}}) {
        EXPECT_EQ(SystemVersionSupported({c.major, c.minor}), c.supported)
            << c.major << "." << c.minor;
    }
    EXPECT_EQ(SystemVersionMessage(), "Tunewright requires OS X version 10.4 or later.");
    test::ScopedEnv env;
    env.Set("TUNEWRIGHT_SYSTEM_VERSION", "10.3");
    EXPECT_FALSE(SystemVersionSupported(process::GetSystemVersion()));
    env.Set("TUNEWRIGHT_SYSTEM_VERSION", nullptr);
    EXPECT_TRUE(SystemVersionSupported(process::GetSystemVersion()));
}

TEST(StartupTest, NewVersionBookkeeping) {
    test::TempHome home;
    constexpr std::int64_t kNow = 4'102'444'800;  // 2100: past the 32-bit seconds
    EXPECT_TRUE(NeedsNewVersionSetup(0));

    SetSetting("Settings", "Thanks", "1");
    const std::string install = home.root() + "/install";
    MakeFolderPath(install + "/Tunings");
    test::WriteFileText(install + "/Tunings/extra.txt", "E A D G");
    RunNewVersionSetup(kNow, install);
    EXPECT_EQ(GetSetting("Settings", "InstallDate", ""), "4102444800");
    EXPECT_EQ(GetSetting("Settings", "CurrentVersion", ""), "2.15");
    EXPECT_EQ(GetSetting("Settings", "PreviousVersion", "none"), "none");
    EXPECT_EQ(GetSetting("Settings", "Thanks", "gone"), "gone");
    EXPECT_EQ(test::ReadFileText(JoinPath(GetSharedFolder(), "Tunings/extra.txt")), "E A D G");

    EXPECT_FALSE(NeedsNewVersionSetup(kNow - 10));
    EXPECT_TRUE(NeedsNewVersionSetup(kNow + 10));  // the program was replaced since

    SetSetting("Settings", "CurrentVersion", "2.14");
    EXPECT_TRUE(NeedsNewVersionSetup(kNow - 10));
    RunNewVersionSetup(kNow, "");
    EXPECT_EQ(GetSetting("Settings", "PreviousVersion", ""), "2.14");
    EXPECT_EQ(GetSetting("Settings", "CurrentVersion", ""), "2.15");
}

}  // namespace
}  // namespace tw
