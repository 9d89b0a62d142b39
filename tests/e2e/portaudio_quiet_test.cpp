// The command line through PortAudio when the sound server is not there or goes away: the
// program may say what failed in its own words ("tunewright: ..."), but none of the sound
// libraries' own diagnostics may reach stderr. A failing case prints the stderr it saw.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "e2e/pulse_server.h"
#include "e2e/run_program.h"

namespace tw {
namespace {

namespace fs = std::filesystem;

const std::string kProgram = std::string(TW_BINARY_DIR) + "/tunewright";
// Long enough for the stream to run before the server goes and to notice after.
constexpr const char* kRunSeconds = "3";
constexpr auto kServerLifetime = std::chrono::milliseconds(1200);

#ifndef TW_HAVE_PORTAUDIO
#define SKIP_WITHOUT_PORTAUDIO() GTEST_SKIP() << "built without PortAudio"
#else
#define SKIP_WITHOUT_PORTAUDIO() (void)0
#endif

// Every line of stderr is the program's own.
void ExpectOnlyOwnMessages(const std::string& err) {
    for (const auto& line : test::Lines(err)) {
        EXPECT_EQ(line.rfind("tunewright: ", 0), 0u) << "stderr was:\n" << err;
    }
}

// A Unix socket file that nobody listens on: what a crashed sound server leaves behind.
std::string DeadSocket(const fs::path& folder) {
    const std::string path = (folder / "native").string();
    const int fd = socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
    EXPECT_EQ(bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    close(fd);
    return path;
}

TEST(PortAudioQuietTest, ADeadServerLeavesOnlyOurMessages) {
    SKIP_WITHOUT_PORTAUDIO();
    char pattern[] = "/tmp/tw-dead-pulse-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    const fs::path folder = pattern;
    setenv("TUNEWRIGHT_AUDIO", "portaudio", 1);
    setenv("PULSE_SERVER", ("unix:" + DeadSocket(folder)).c_str(), 1);
    setenv("XDG_RUNTIME_DIR", folder.c_str(), 1);
    setenv("HOME", folder.c_str(), 1);
    struct Case {
        std::vector<std::string> args;
        int status;
        const char* err;  // exactly this: our own words pass the filter whole
    };
    const Case cases[] = {
        {{"--list-devices"},
         0,
         "tunewright: no sound input device found\ntunewright: no sound output device found\n"},
        {{"--listen", "--seconds", "0.5"},
         2,
         "tunewright: cannot open the sound input device '[Default Sound In]'\n"},
        {{"--tone", "440", "--seconds", "0.5"},
         2,
         "tunewright: cannot open the sound output device 'Default Playback Device'\n"},
    };
    // A machine with sound cards of its own still lists them through ALSA; the exact
    // messages hold where the server was the only way to sound, as on a build machine.
    const bool noCards = test::RunProgram(kProgram, {"--list-devices"}).out.empty();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args[0]);
        const auto result = test::RunProgram(kProgram, c.args);
        ExpectOnlyOwnMessages(result.err);
        if (noCards) {
            EXPECT_EQ(result.exitStatus, c.status);
            EXPECT_EQ(result.err, c.err);
        }
    }
    unsetenv("PULSE_SERVER");
    fs::remove_all(folder);
}

TEST(PortAudioQuietTest, AServerLostUnderAnOpenStreamLeavesOnlyOurMessages) {
    SKIP_WITHOUT_PORTAUDIO();
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"--listen", "--seconds", kRunSeconds},
          std::vector<std::string>{"--tone", "440", "--seconds", kRunSeconds}}) {
        SCOPED_TRACE(args[0]);
        test::PrivatePulseServer server;
        std::string error;
        ASSERT_TRUE(server.Start(&error)) << error;
        // The null sink's monitor always delivers, unlike the FIFO source with no writer.
        ASSERT_EQ(test::RunQuietly({"pactl", "set-default-source", "speaker.monitor"}), 0);
        std::thread stopper([&server] {
            std::this_thread::sleep_for(kServerLifetime);
            server.Stop();
        });
        const auto result = test::RunProgram(kProgram, args);
        stopper.join();
        EXPECT_NE(result.exitStatus, -1);
        ExpectOnlyOwnMessages(result.err);
    }
}

}  // namespace
}  // namespace tw
