// The desktop's sound settings: the first installed of pavucontrol and GNOME's panel, found on
// PATH; nothing at all when neither is installed.
#include "platform/core/sound_settings.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "common/test_env.h"

namespace tw {
namespace {

TEST(SoundSettingsTest, TheFirstInstalledMixerIsChosen) {
    test::TempHome home;
    const std::string bin = home.root() + "/bin";
    std::filesystem::create_directories(bin);
    const std::string marker = home.root() + "/started";
    auto install = [&](const std::string& name) {
        const std::string path = bin + "/" + name;
        test::WriteFileText(path, "#!/bin/sh\necho \"" + name + " $*\" > '" + marker + "'\n");
        std::filesystem::permissions(path, std::filesystem::perms::owner_all);
    };
    home.env().Set("PATH", bin.c_str());
    EXPECT_TRUE(SoundSettingsCommand().empty());
    EXPECT_FALSE(OpenSoundSettings());

    install("gnome-control-center");
    EXPECT_EQ(SoundSettingsCommand(),
              (std::vector<std::string>{bin + "/gnome-control-center", "sound"}));
    install("pavucontrol");
    EXPECT_EQ(SoundSettingsCommand(), (std::vector<std::string>{bin + "/pavucontrol"}));
    ASSERT_TRUE(OpenSoundSettings());
    for (int i = 0; i < 200 && !std::filesystem::exists(marker); ++i) usleep(10000);
    EXPECT_EQ(test::ReadFileText(marker), "pavucontrol \n");
}

}  // namespace
}  // namespace tw
