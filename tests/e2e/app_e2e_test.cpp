// The whole program as a desktop application, under a private X server with openbox and a
// private session bus: start and orderly end, the close box, SIGTERM, a second launch, the
// run lock after a kill, and the crash box after a segmentation fault.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "common/session_bus.h"
#include "common/test_env.h"
#include "ui/gui_support.h"

namespace tw {
namespace {

const auto* const kDisplay =
    ::testing::AddGlobalTestEnvironment(new test::PrivateDisplay(/*with_window_manager=*/true));

const std::string kProgram = std::string(TW_BINARY_DIR) + "/tunewright";

pid_t Start(const std::vector<std::string>& args) {
    const pid_t pid = fork();
    if (pid == 0) {
        std::vector<char*> argv;
        argv.push_back(const_cast<char*>(kProgram.c_str()));
        for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        execv(kProgram.c_str(), argv.data());
        _exit(127);
    }
    return pid;
}

// The exit status (128 + signal when killed), or -1 at the time-out.
int WaitExit(pid_t pid, int timeout_ms) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
    while (std::chrono::steady_clock::now() < end) {
        int status = 0;
        if (waitpid(pid, &status, WNOHANG) == pid) {
            return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return -1;
}

// Visible windows of the program (its dialogs carry no process id, so they are found by
// the program's window class).
std::vector<std::string> Windows() {
    std::vector<std::string> ids;
    std::istringstream in(
        test::CommandOutput("xdotool search --onlyvisible --class tunewright 2>/dev/null"));
    for (std::string id; in >> id;) ids.push_back(id);
    return ids;
}

bool WaitFor(const std::function<bool()>& done, int timeout_ms) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
    while (std::chrono::steady_clock::now() < end) {
        if (done()) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return done();
}

std::string WindowName(const std::string& id) {
    std::string name = test::CommandOutput("xdotool getwindowname " + id + " 2>/dev/null");
    while (!name.empty() && name.back() == '\n') name.pop_back();
    return name;
}

// The main window: the visible window named "Tunewright".
bool MainWindowShown() {
    for (const auto& id : Windows()) {
        if (WindowName(id) == "Tunewright") return true;
    }
    return false;
}

// A message box: a visible window of the program without a title. Empty when none.
std::string AlertWindow() {
    for (const auto& id : Windows()) {
        if (WindowName(id).empty()) return id;
    }
    return {};
}

// A child process of `parent` (the crash box), 0 when none.
pid_t ChildOf(pid_t parent) {
    for (const auto& entry : std::filesystem::directory_iterator("/proc")) {
        std::ifstream stat(entry.path() / "stat");
        std::string line;
        if (!std::getline(stat, line)) continue;
        const auto close = line.rfind(')');
        if (close == std::string::npos) continue;
        std::istringstream rest(line.substr(close + 2));
        char state;
        int ppid = 0;
        rest >> state >> ppid;
        if (ppid == parent) return static_cast<pid_t>(std::stoi(entry.path().filename()));
    }
    return 0;
}

// A real key press (through the X server) in the window, after activating it.
void Key(const std::string& window, const std::string& key) {
    test::CommandOutput("xdotool windowactivate --sync " + window + " 2>/dev/null; xdotool key " +
                        key);
}

class AppEndToEndTest : public ::testing::Test {
  protected:
    void SetUp() override {
        user_ = "twe2e" + std::to_string(getpid());
        home_.env().Set("LOGNAME", user_.c_str());
        home_.env().Set("USER", user_.c_str());
        home_.env().Set("TUNEWRIGHT_AUDIO", "virtual");
        home_.env().Set("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent");
        lock_ = "/var/tmp/_tunewright_rl_" + user_;
    }
    void TearDown() override {
        for (pid_t p : started_) {
            kill(p, SIGKILL);
            waitpid(p, nullptr, 0);
        }
        std::filesystem::remove(lock_);
    }
    pid_t Launch(const std::vector<std::string>& args = {}) {
        const pid_t p = Start(args);
        started_.push_back(p);
        return p;
    }
    void Done(pid_t p) { std::erase(started_, p); }

    test::TempHome home_;
    std::string user_;
    std::string lock_;
    std::vector<pid_t> started_;
};

TEST_F(AppEndToEndTest, SigtermEndsWithZeroAndNoRunLock) {
    const pid_t p = Launch();
    ASSERT_TRUE(WaitFor([&] { return MainWindowShown(); }, 10000));
    EXPECT_TRUE(std::filesystem::exists(lock_));
    kill(p, SIGTERM);
    EXPECT_EQ(WaitExit(p, 10000), 0);
    Done(p);
    EXPECT_FALSE(std::filesystem::exists(lock_));
}

TEST_F(AppEndToEndTest, SigtermDuringThePreferencesDialogEndsWithZero) {
    const pid_t p = Launch();
    ASSERT_TRUE(WaitFor([&] { return MainWindowShown(); }, 10000));
    const size_t before = Windows().size();
    Key(Windows()[0], "ctrl+comma");  // Preferences...
    ASSERT_TRUE(WaitFor([&] { return Windows().size() > before; }, 10000));
    kill(p, SIGTERM);
    EXPECT_EQ(WaitExit(p, 10000), 0);
    Done(p);
    EXPECT_FALSE(std::filesystem::exists(lock_));
}

TEST_F(AppEndToEndTest, TheCloseBoxQuits) {
    const pid_t p = Launch();
    // The run lock comes just before the window is shown: the program is then up.
    ASSERT_TRUE(
        WaitFor([&] { return MainWindowShown() && std::filesystem::exists(lock_); }, 10000));
    std::string main;
    for (const auto& id : Windows()) {
        if (WindowName(id) == "Tunewright") main = id;
    }
    ASSERT_FALSE(main.empty());
    Key(main, "alt+F4");  // openbox's close
    int status = WaitExit(p, 5000);
    if (status == -1) {
        // Once in a long CI run the key was lost on its way through the window manager; a
        // player would press again. Said aloud, so that a pattern would be seen.
        std::printf("[ note     ] the close box needed a second press\n");
        Key(main, "alt+F4");
        status = WaitExit(p, 10000);
    }
    EXPECT_EQ(status, 0);
    Done(p);
    EXPECT_FALSE(std::filesystem::exists(lock_));
}

TEST_F(AppEndToEndTest, AKilledRunAsksOnceAtTheNextStartAndNotAfter) {
    pid_t p = Launch();
    ASSERT_TRUE(WaitFor([&] { return MainWindowShown(); }, 10000));
    kill(p, SIGKILL);
    WaitExit(p, 5000);
    Done(p);
    ASSERT_TRUE(std::filesystem::exists(lock_));

    // Second start: a question before the main window; "Something Else" (Escape).
    p = Launch();
    std::string box;
    ASSERT_TRUE(WaitFor([&] { return !(box = AlertWindow()).empty(); }, 10000));
    EXPECT_FALSE(MainWindowShown());
    Key(box, "Escape");
    ASSERT_TRUE(WaitFor([&] { return MainWindowShown(); }, 10000));
    kill(p, SIGTERM);
    EXPECT_EQ(WaitExit(p, 10000), 0);
    Done(p);

    // Third start: nothing to ask.
    p = Launch();
    ASSERT_TRUE(WaitFor([&] { return MainWindowShown(); }, 10000));
    EXPECT_EQ(AlertWindow(), "");
    kill(p, SIGTERM);
    EXPECT_EQ(WaitExit(p, 10000), 0);
    Done(p);
}

TEST_F(AppEndToEndTest, ASecondLaunchShowsTheFirstWindowAndEnds) {
    test::SessionBus bus;
    ASSERT_FALSE(bus.address().empty());
    home_.env().Set("DBUS_SESSION_BUS_ADDRESS", bus.address().c_str());
    // Hidden at start-up: only a second launch shows it.
    const std::string prefs = home_.home() + "/.config/com.orvanesoft.tunewright";
    std::filesystem::create_directories(prefs);
    test::WriteFileText(prefs + "/preferences.conf",
                        "[Preferences]\nSettings/MainWindowShownAtStartup=0\n");
    const pid_t first = Launch();
    // Registered on the bus before its window is built, and the run lock after: wait for it.
    ASSERT_TRUE(WaitFor([&] { return std::filesystem::exists(lock_); }, 20000));
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    EXPECT_FALSE(MainWindowShown());
    EXPECT_EQ(WaitExit(first, 10), -1);  // still running

    const pid_t second = Launch();
    EXPECT_EQ(WaitExit(second, 10000), 0);
    Done(second);
    EXPECT_TRUE(WaitFor([&] { return MainWindowShown(); }, 10000));
    kill(first, SIGTERM);
    EXPECT_EQ(WaitExit(first, 10000), 0);
    Done(first);
}

TEST_F(AppEndToEndTest, WithoutASessionBusTheProgramRunsAlone) {
    const pid_t p = Launch();
    ASSERT_TRUE(WaitFor([&] { return MainWindowShown(); }, 10000));
    kill(p, SIGTERM);
    EXPECT_EQ(WaitExit(p, 10000), 0);
    Done(p);
}

TEST_F(AppEndToEndTest, AnOlderSystemIsToldSoAndTheProgramEnds) {
    home_.env().Set("TUNEWRIGHT_SYSTEM_VERSION", "10.3");
    const pid_t p = Launch();
    std::string box;
    ASSERT_TRUE(WaitFor([&] { return !(box = AlertWindow()).empty(); }, 10000));
    EXPECT_FALSE(MainWindowShown());
    Key(box, "Return");
    EXPECT_EQ(WaitExit(p, 10000), 0);
    Done(p);
    EXPECT_FALSE(std::filesystem::exists(lock_));
}

TEST_F(AppEndToEndTest, ASegmentationFaultShowsTheCrashBoxOnceAndEnds666) {
    const pid_t p = Launch();
    ASSERT_TRUE(WaitFor([&] { return MainWindowShown(); }, 10000));
    kill(p, SIGSEGV);
    std::string box;
    ASSERT_TRUE(WaitFor([&] { return !(box = AlertWindow()).empty(); }, 10000));
    EXPECT_NE(ChildOf(p), 0);         // the box is a process of its own
    EXPECT_EQ(WaitExit(p, 200), -1);  // which the crashed one waits for
    Key(box, "Escape");               // "Don't Report"
    EXPECT_EQ(WaitExit(p, 10000), 666 & 0xff);
    Done(p);
}

}  // namespace
}  // namespace tw
