#include "gui_support.h"

#include <signal.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <thread>

#include "platform/ui/native.h"
#include "platform/ui/screen_capture.h"

namespace tw::test {

bool NeedDisplay() {
    if (InitNativeUi()) return true;
    const char* display = getenv("DISPLAY");
    ADD_FAILURE() << "cannot open the X display \"" << (display ? display : "")
                  << "\" (is Xvfb installed?)";
    return false;
}

Later::Later(int ms, std::function<void()> action) : action_(std::move(action)) {
    timer_ = EventLoopTimer::Install(ms, [this](EventLoopTimer*) {
        auto a = action_;
        if (a) a();
    });
}

Later::~Later() = default;

namespace {

int Spawn(const std::vector<std::string>& args, int keep_fd = -1) {
    const pid_t pid = fork();
    if (pid != 0) return pid;
    // The child goes when the test process goes, however it ends.
    prctl(PR_SET_PDEATHSIG, SIGTERM);
    std::vector<char*> argv;
    for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    for (int fd = 3; fd < 256; ++fd) {
        if (fd != keep_fd) close(fd);
    }
    execvp(argv[0], argv.data());
    _exit(127);
}

}  // namespace

namespace {

// A failing GUI test leaves a picture of every window shown when its first check failed.
// The test's name is kept at its start: gtest reports a failure while holding the lock that
// asking for the current test takes.
class PictureOnFailure : public ::testing::EmptyTestEventListener {
    void OnTestStart(const ::testing::TestInfo& info) override {
        name_ = std::string(info.test_suite_name()) + "." + info.name();
        taken_ = false;
    }
    void OnTestPartResult(const ::testing::TestPartResult& result) override {
        if (!result.failed() || taken_ || !NativeUiAvailable()) return;
        taken_ = true;
        int n = 0;
        for (NativeWindow* w : NativeWindow::All()) {
            if (!w->IsVisible()) continue;
            SaveWindowPng(*w, OutputPath(name_ + "-" + std::to_string(++n) + ".png"));
        }
    }
    std::string name_;
    bool taken_ = false;
};

}  // namespace

void PrivateDisplay::SetUp() {
    static bool listening = false;
    if (!listening) {
        listening = true;
        ::testing::UnitTest::GetInstance()->listeners().Append(new PictureOnFailure);
    }
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    server_pid_ = Spawn({"Xvfb", "-displayfd", std::to_string(fds[1]), "-screen", "0",
                         "1280x1024x24", "-nolisten", "tcp"},
                        fds[1]);
    close(fds[1]);
    std::string number;
    char c;
    while (read(fds[0], &c, 1) == 1 && c != '\n') number += c;
    close(fds[0]);
    ASSERT_FALSE(number.empty()) << "Xvfb did not start";
    const std::string display = ":" + number;
    setenv("DISPLAY", display.c_str(), 1);
    if (!with_wm_) return;
    char dir[] = "/tmp/tw-wm-XXXXXX";
    ASSERT_NE(mkdtemp(dir), nullptr);
    const std::string ready = std::string(dir) + "/ready";
    wm_pid_ = Spawn({"openbox", "--sm-disable", "--startup", "touch " + ready});
    struct stat st;
    for (int i = 0; i < 200 && stat(ready.c_str(), &st) != 0; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(25));
    }
    ASSERT_EQ(stat(ready.c_str(), &st), 0) << "openbox did not start";
    unlink(ready.c_str());
    rmdir(dir);
}

void PrivateDisplay::TearDown() {
    if (wm_pid_ > 0) {
        kill(wm_pid_, SIGTERM);
        waitpid(wm_pid_, nullptr, 0);
        wm_pid_ = -1;
    }
}

std::string OutputPath(const std::string& name) {
    mkdir(TW_TEST_OUTPUT_DIR, 0777);
    return std::string(TW_TEST_OUTPUT_DIR) + "/" + name;
}

}  // namespace tw::test
