// Settings written by several processes at once, and by a process killed mid-write.
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "common/test_env.h"
#include "platform/core/preferences.h"
#include "store/folders.h"
#include "store/kill_value.h"
#include "store/settings.h"
#include "store/xml.h"

namespace tw {
namespace {

constexpr char kApp[] = "com.orvanesoft.tunewright";

struct Child {
    pid_t pid = -1;
    int out = -1;  // its stdout
};

Child Spawn(const std::vector<std::string>& args) {
    int fds[2];
    if (pipe(fds) != 0) return {};
    pid_t pid = fork();
    if (pid == 0) {
        dup2(fds[1], 1);
        close(fds[0]);
        close(fds[1]);
        std::vector<char*> argv;
        std::string exe = TW_SETTINGS_WRITER;
        argv.push_back(exe.data());
        std::vector<std::string> copy = args;
        for (std::string& a : copy) argv.push_back(a.data());
        argv.push_back(nullptr);
        execv(exe.c_str(), argv.data());
        _exit(127);
    }
    close(fds[1]);
    return {pid, fds[0]};
}

int WaitExit(Child c) {
    int status = 0;
    waitpid(c.pid, &status, 0);
    close(c.out);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

bool WaitReady(const Child& c) {
    char buf[6] = {};
    std::size_t got = 0;
    while (got < 6) {
        ssize_t r = read(c.out, buf + got, 6 - got);
        if (r <= 0) return false;
        got += static_cast<std::size_t>(r);
    }
    return std::string(buf, 6) == "ready\n";
}

class SettingsProcessTest : public ::testing::Test {
  protected:
    test::TempHome home_;
};

TEST_F(SettingsProcessTest, TwoWritersAtOnceLoseNoKey) {
    const int count = 500;
    Child a = Spawn({"keys", "a", std::to_string(count)});
    Child b = Spawn({"keys", "b", std::to_string(count)});
    ASSERT_GT(a.pid, 0);
    ASSERT_GT(b.pid, 0);
    EXPECT_EQ(WaitExit(a), 0);
    EXPECT_EQ(WaitExit(b), 0);
    int missing = 0;
    for (const char* prefix : {"a", "b"}) {
        for (int i = 0; i < count; ++i) {
            if (GetSettingInt("Load", (prefix + std::to_string(i)).c_str(), -1) != i) ++missing;
        }
    }
    EXPECT_EQ(missing, 0);
}

// Each round starts a writer that rewrites one value as fast as it can, kills it at a
// random moment, and checks that the store still loads with one whole value and that the other
// settings are all still there.
void KillWritersAtRandom(const char* mode, bool shared) {
    std::mt19937 gen(4242);
    std::uniform_int_distribution<int> delay_us(0, 30000);
    for (int i = 0; i < 20; ++i) {
        std::string key = "Keep" + std::to_string(i);
        if (shared) {
            SetSharedSettingInt("Other", key.c_str(), i);
        } else {
            SetSettingInt("Other", key.c_str(), i);
        }
    }
    for (int round = 0; round < 25; ++round) {
        SCOPED_TRACE(round);
        Child c = Spawn({mode});
        ASSERT_TRUE(WaitReady(c));
        std::this_thread::sleep_for(std::chrono::microseconds(delay_us(gen)));
        kill(c.pid, SIGKILL);
        WaitExit(c);

        std::string value;
        if (shared) {
            XmlNode doc;
            char error[kXmlErrorSize];
            LoadFile(&doc, GetSharedSettingsPath().c_str(), error);
            ASSERT_STREQ(error, "");
            value = GetSharedSetting("Kill", "Value", "");
        } else {
            value = GetSetting("Kill", "Value", "");
        }
        int n = test::KillValueNumber(value);
        ASSERT_GE(n, 1) << "torn value: " << value;
        for (int i = 0; i < 20; ++i) {
            std::string key = "Keep" + std::to_string(i);
            int v = shared ? GetSharedSettingInt("Other", key.c_str(), -1)
                           : GetSettingInt("Other", key.c_str(), -1);
            ASSERT_EQ(v, i);
        }
    }
    // Writers killed inside a save leave their temporary files; the next save removes them.
    if (shared) {
        SetSharedSettingInt("Other", "Final", 1);
    } else {
        SetSettingInt("Other", "Final", 1);
    }
    const std::string file = shared ? GetSharedSettingsPath() : PreferencesFilePath(kApp);
    const std::filesystem::path folder = std::filesystem::path(file).parent_path();
    std::vector<std::string> left;
    for (const auto& e : std::filesystem::directory_iterator(folder)) {
        const std::string name = e.path().filename().string();
        if (name != "SharedSettings.xml" && name != "preferences.conf" &&
            name != "preferences.conf.lock") {
            left.push_back(name);
        }
    }
    EXPECT_EQ(left.size(), 0u) << "first left behind: " << (left.empty() ? "" : left[0]);
}

TEST_F(SettingsProcessTest, KilledPreferencesWriterLeavesOldOrNewValue) {
    KillWritersAtRandom("loop-pref", false);
}

TEST_F(SettingsProcessTest, KilledSharedFileWriterLeavesOldOrNewValue) {
    KillWritersAtRandom("loop-shared", true);
}

}  // namespace
}  // namespace tw
