// The command line's own answers: the version, the help text, the bare call, and what
// --list-devices says when a kind of device is missing (on virtual devices).
#include <gtest/gtest.h>
#include <stdlib.h>

#include <string>
#include <vector>

#include "common/test_env.h"
#include "e2e/run_program.h"

namespace tw {
namespace {

const std::string kProgram = std::string(TW_BINARY_DIR) + "/tunewright";
// A terminal's width: the help must read there without wrapping.
constexpr size_t kTerminalColumns = 80;

TEST(CommandLineTest, VersionNamesTheProgram) {
    const auto result = test::RunProgram(kProgram, {"--version"});
    EXPECT_EQ(result.exitStatus, 0);
    EXPECT_EQ(result.out, "Tunewright 2.15\n");
    EXPECT_EQ(result.err, "");
    EXPECT_EQ(test::RunProgram(kProgram, {"--version", "x"}).exitStatus, 2);
}

TEST(CommandLineTest, HelpGivesEveryModeAndOptionALineOfItsOwn) {
    const auto help = test::RunProgram(kProgram, {"--help"});
    EXPECT_EQ(help.exitStatus, 0);
    EXPECT_EQ(help.err, "");
    const auto lines = test::Lines(help.out);
    for (const char* option :
         {"(none)", "--demo", "--analyze FILE", "--listen", "--tone HZ", "--list-devices",
          "--version", "--help", "--device NAME", "--seconds N"}) {
        int found = 0;
        for (const auto& line : lines) {
            if (line.rfind(std::string("  ") + option, 0) == 0) ++found;
        }
        EXPECT_EQ(found, 1) << option;
    }
    for (const auto& line : lines) EXPECT_LE(line.size(), kTerminalColumns) << line;

    // The window needs a display: without one the bare call and --demo say so and fail.
    test::ScopedEnv env;
    env.Set("DISPLAY", nullptr);
    env.Set("WAYLAND_DISPLAY", nullptr);
    for (const std::vector<std::string>& args : {std::vector<std::string>{}, {"--demo"}}) {
        const auto bare = test::RunProgram(kProgram, args);
        EXPECT_EQ(bare.exitStatus, 2);
        EXPECT_EQ(bare.out, "");
        EXPECT_EQ(bare.err,
                  "tunewright: cannot open the display (the command-line modes need none: try "
                  "--help)\n");
    }
    EXPECT_EQ(test::RunProgram(kProgram, {"-h"}).out, help.out);
}

TEST(CommandLineTest, ListDevicesSaysWhichKindIsMissing) {
    struct Case {
        const char* devices;
        const char* out;
        const char* err;
    };
    const Case cases[] = {
        {"", "",
         "tunewright: no sound input device found\n"
         "tunewright: no sound output device found\n"},
        {"name=Speakers,out=2", "output: Speakers (default)\n",
         "tunewright: no sound input device found\n"},
        {"name=Mic,in=1", "input: Mic [Default] (default)\n",
         "tunewright: no sound output device found\n"},
        {"name=Mic,in=1;name=Speakers,out=2",
         "input: Mic [Default] (default)\noutput: Speakers (default)\n", ""},
    };
    setenv("TUNEWRIGHT_AUDIO", "virtual", 1);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.devices);
        setenv("TUNEWRIGHT_VIRTUAL_DEVICES", c.devices, 1);
        const auto result = test::RunProgram(kProgram, {"--list-devices"});
        // Absent devices are a finding, not a failure: the listing is complete.
        EXPECT_EQ(result.exitStatus, 0);
        EXPECT_EQ(result.out, c.out);
        EXPECT_EQ(result.err, c.err);
    }
}

}  // namespace
}  // namespace tw
