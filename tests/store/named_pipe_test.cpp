// A named pipe where the store expects a file (put there by mistake or by someone else)
// must fail at once: opening one for reading would wait for a writer that never comes.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <functional>
#include <future>
#include <string>

#include <gtest/gtest.h>

#include "common/test_env.h"
#include "platform/core/preferences.h"
#include "store/folders.h"
#include "store/settings.h"

namespace tw {
namespace {

constexpr char kApp[] = "com.orvanesoft.tunewright";
// Far longer than any of these operations takes on a loaded machine.
constexpr auto kPatience = std::chrono::seconds(5);

// Runs `action` on a thread. Answers false if it is still running after kPatience; then a
// writer opens the pipe until the blocked reader sees an end of file and comes back.
bool FinishesPromptly(const std::string& pipe, const std::function<void()>& action) {
    std::future<void> done = std::async(std::launch::async, action);
    if (done.wait_for(kPatience) == std::future_status::ready) return true;
    while (done.wait_for(std::chrono::milliseconds(20)) != std::future_status::ready) {
        int fd = open(pipe.c_str(), O_WRONLY | O_NONBLOCK);
        if (fd >= 0) close(fd);
    }
    return false;
}

class NamedPipeTest : public ::testing::Test {
  protected:
    test::TempHome home_;
};

TEST_F(NamedPipeTest, SharedSettingsFile) {
    const std::string pipe = GetSharedSettingsPath();
    ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
    EXPECT_TRUE(FinishesPromptly(pipe, [] {
        EXPECT_EQ(GetSharedSetting("S", "K", "default"), "default");
        SetSharedSetting("S", "K", "v");  // not written: the pipe is not replaced
        EXPECT_EQ(GetSharedSetting("S", "K", "default"), "default");
    }));
}

TEST_F(NamedPipeTest, PreferencesFile) {
    const std::string pipe = PreferencesFilePath(kApp);
    ASSERT_TRUE(MakeFolderPath(pipe.substr(0, pipe.rfind('/'))));
    ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
    EXPECT_TRUE(FinishesPromptly(pipe, [] {
        EXPECT_EQ(GetSetting("S", "K", "default"), "default");
        SetSetting("S", "K", "v");  // the pipe is moved aside, as a damaged file would be
        EXPECT_EQ(GetSetting("S", "K", "default"), "v");
    }));
    struct stat st;
    ASSERT_EQ(lstat((pipe + ".damaged").c_str(), &st), 0);
    EXPECT_TRUE(S_ISFIFO(st.st_mode));
}

TEST_F(NamedPipeTest, CopyTreeSource) {
    const std::string from = home_.root() + "/from", to = home_.root() + "/to";
    ASSERT_TRUE(MakeFolderPath(from));
    test::WriteFileText(from + "/file.txt", "text");
    ASSERT_EQ(mkfifo((from + "/pipe").c_str(), 0600), 0);
    EXPECT_TRUE(FinishesPromptly(from + "/pipe", [&] {
        EXPECT_FALSE(CopyTree(from, to));  // not everything could be copied
    }));
    EXPECT_EQ(test::ReadFileText(to + "/file.txt"), "text");
    EXPECT_FALSE(PathExists(to + "/pipe"));
}

}  // namespace
}  // namespace tw
