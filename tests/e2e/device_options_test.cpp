// The device options of the command line on virtual devices: listing, live analysis, the tone,
// and the one-line failure when a device cannot be opened.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <string>
#include <vector>

#include "e2e/run_program.h"

namespace tw {
namespace {

const std::string kProgram = std::string(TW_BINARY_DIR) + "/tunewright";

// The program sees these virtual devices (children inherit the environment).
void UseDevices(const char* devices) {
    setenv("TUNEWRIGHT_AUDIO", "virtual", 1);
    setenv("TUNEWRIGHT_VIRTUAL_DEVICES", devices, 1);
    setenv("TUNEWRIGHT_VIRTUAL_SPEED", "1", 1);
}

TEST(DeviceOptionsTest, ListDevicesMarksTheDefaults) {
    UseDevices(
        "name=Speakers,out=2;name=Mic,in=1;name=Interface,in=2,default_in;"
        "name=Headphones,out=2,default_out");
    const auto result = test::RunProgram(kProgram, {"--list-devices"});
    EXPECT_EQ(result.exitStatus, 0);
    EXPECT_EQ(result.err, "");
    const std::vector<std::string> expected = {
        "input: Mic [Default]",
        "input: Interface [Channel 2, Channel 1] (default)",
        "output: Speakers",
        "output: Headphones (default)",
    };
    EXPECT_EQ(test::Lines(result.out), expected);
}

TEST(DeviceOptionsTest, ListenPrintsTheCsvOfTheLiveInput) {
    UseDevices("name=Mic,rate=48000,in=1,signal=harmonic:196");
    const auto result = test::RunProgram(kProgram, {"--listen", "--seconds", "2"});
    EXPECT_EQ(result.exitStatus, 0);
    const auto lines = test::Lines(result.out);
    ASSERT_GT(lines.size(), 10u);
    EXPECT_EQ(lines[0], "time_s,frequency_hz,note,cents");
    for (size_t i = 1; i < lines.size(); ++i)
        EXPECT_NE(lines[i].find(",G3,"), std::string::npos) << lines[i];
}

TEST(DeviceOptionsTest, DevicesThatCannotBeOpenedExitWithTwo) {
    struct Case {
        const char* devices;
        std::vector<std::string> args;
        const char* message;
    };
    const Case cases[] = {
        {"name=Mic,in=1,busy",
         {"--listen", "--seconds", "1"},
         "tunewright: cannot open the sound input device 'Mic': Device busy\n"},
        {"name=Mic,in=1",
         {"--listen", "--device", "Nothing"},
         "tunewright: no sound input device is named 'Nothing'\n"},
        {"name=Speakers,out=2",
         {"--listen"},
         "tunewright: cannot open the sound input device '[Default Sound In]'\n"},
        {"name=Speakers,out=2,busy",
         {"--tone", "440", "--seconds", "1"},
         "tunewright: cannot open the sound output device 'Default Playback Device': Device "
         "busy\n"},
        {"name=Speakers,out=2",
         {"--tone", "440", "--device", "Nothing"},
         "tunewright: no sound output device is named 'Nothing'\n"},
        {"name=Mic,in=1,vanish_after=300",
         {"--listen", "--seconds", "10"},
         "tunewright: the sound input device 'Mic' stopped delivering\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.devices);
        UseDevices(c.devices);
        const auto result = test::RunProgram(kProgram, c.args);
        EXPECT_EQ(result.exitStatus, 2);
        EXPECT_EQ(result.err, c.message);
    }
}

TEST(DeviceOptionsTest, BadArgumentsExitWithTwo) {
    UseDevices("name=Mic,in=1;name=Speakers,out=2");
    const std::vector<std::vector<std::string>> cases = {
        {"--tone"},          {"--tone", "0"},         {"--tone", "abc"},
        {"--tone", "440,"},  {"--tone", "30000"},     {"--listen", "--seconds", "-1"},
        {"--listen", "--x"}, {"--list-devices", "x"}, {"--tone", "440", "--device"},
    };
    for (const auto& args : cases) {
        SCOPED_TRACE(args.back());
        const auto result = test::RunProgram(kProgram, args);
        EXPECT_EQ(result.exitStatus, 2);
        EXPECT_EQ(test::Lines(result.err).size(), 1u) << result.err;
        EXPECT_EQ(result.out, "");
    }
}

TEST(DeviceOptionsTest, TonePlaysForTheAskedTime) {
    UseDevices("name=Speakers,out=2");
    const auto result = test::RunProgram(kProgram, {"--tone", "440,880", "--seconds", "0.3"});
    EXPECT_EQ(result.exitStatus, 0);
    EXPECT_EQ(result.err, "");
}

}  // namespace
}  // namespace tw
