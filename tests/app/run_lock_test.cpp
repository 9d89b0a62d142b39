// The run lock: a clean start creates it privately, a left-over one asks once, and nothing
// another user or another copy of the program puts in its place causes, suppresses or
// redirects anything.
#include "app/run_lock.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "common/test_env.h"
#include "store/folders.h"

namespace tw {
namespace {

namespace fs = std::filesystem;

constexpr std::int64_t kStart = 1'700'000'000'123'456;  // microseconds since the epoch

class RunLockTest : public ::testing::Test {
  protected:
    void SetUp() override {
        // A user name of its own, so that the file in /var/tmp is this test's alone.
        user_ = "twtest" + std::to_string(getpid());
        home_.env().Set("LOGNAME", user_.c_str());
        home_.env().Set("USER", user_.c_str());
        path_ = RunLockPath();
        ASSERT_EQ(path_, "/var/tmp/_tunewright_rl_" + user_);
        prompts_.ask = [this](const std::string& title, const std::string& text,
                              const std::string& first, const std::string&) {
            asked_.push_back(title + "|" + first);
            (void)text;
            return answer_;
        };
        prompts_.openUrl = [this](const std::string& url) { opened_.push_back(url); };
        prompts_.wait = [](int) {};
    }
    void TearDown() override {
        RemoveRunLock();
        std::error_code ec;
        fs::remove_all(path_, ec);
    }
    void Write(const std::string& bytes) { test::WriteFileText(path_, bytes); }
    static std::string Record(std::int64_t us) {
        const auto s = static_cast<std::uint32_t>(us / 1000000);
        const auto ms = static_cast<std::uint32_t>((us / 1000000) * 1000 + (us % 1000000) / 1000);
        std::string r;
        for (std::uint32_t v : {s, ms}) {
            for (int i = 0; i < 4; ++i) r.push_back(static_cast<char>((v >> (8 * i)) & 0xff));
        }
        return r;
    }

    test::TempHome home_;
    std::string user_;
    std::string path_;
    RunLockPrompts prompts_;
    bool answer_ = true;
    std::vector<std::string> asked_;
    std::vector<std::string> opened_;
};

TEST_F(RunLockTest, ACleanStartHoldsAPrivateLockThatGoesAtTheEnd) {
    CreateRunLock(prompts_, kStart);
    std::string held;
    ASSERT_TRUE(HoldsRunLock(&held));
    EXPECT_EQ(held, path_);
    struct stat st {};
    ASSERT_EQ(lstat(path_.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    EXPECT_EQ(test::ReadFileText(path_), Record(kStart));
    // Held: another open cannot take a lock.
    const int fd = open(path_.c_str(), O_RDONLY);
    EXPECT_NE(flock(fd, LOCK_SH | LOCK_NB), 0);
    close(fd);
    RemoveRunLock();
    EXPECT_FALSE(fs::exists(path_));
    EXPECT_TRUE(asked_.empty());
}

TEST_F(RunLockTest, ALeftOverLockAsksOnceAndTheThirdStartAsksNothing) {
    Write(Record(kStart));
    CreateRunLock(prompts_, kStart + 3'600'000'000);  // an hour later
    EXPECT_EQ(asked_, (std::vector<std::string>{"Abnormal Termination Detected|It Crashed",
                                                "Abnormal Termination Detected|Report Bug"}));
    ASSERT_EQ(opened_.size(), 1u);
    EXPECT_NE(opened_[0].find("?software=Tunewright&version=2.15&xi=AbTermOrHang-Mac1006"),
              std::string::npos)
        << opened_[0];
    EXPECT_FALSE(HoldsRunLock());
    EXPECT_FALSE(fs::exists(path_));

    asked_.clear();
    CreateRunLock(prompts_, kStart + 7'200'000'000);
    EXPECT_TRUE(asked_.empty());
    EXPECT_TRUE(HoldsRunLock());
}

TEST_F(RunLockTest, SomethingElseAsksNoMore) {
    answer_ = false;
    Write(Record(kStart));
    CreateRunLock(prompts_, kStart + 5'000'000);
    EXPECT_EQ(asked_.size(), 1u);
    EXPECT_TRUE(opened_.empty());
}

TEST_F(RunLockTest, UnusableRecordsAreRemovedWithoutAQuestion) {
    std::string disagreeing = Record(kStart);
    disagreeing[5] = static_cast<char>(disagreeing[5] + 20);  // ms clock 5 s off
    for (const std::string& contents : {std::string(), std::string("12345"), disagreeing}) {
        SCOPED_TRACE(contents.size());
        asked_.clear();
        Write(contents);
        CreateRunLock(prompts_, kStart + 1'000'000);
        EXPECT_TRUE(asked_.empty());
        EXPECT_FALSE(fs::exists(path_));
        EXPECT_FALSE(HoldsRunLock());
    }
}

TEST_F(RunLockTest, ALockHeldByARunningCopyIsLeftAlone) {
    Write(Record(kStart));
    const int fd = open(path_.c_str(), O_RDWR);
    ASSERT_EQ(flock(fd, LOCK_EX), 0);
    CreateRunLock(prompts_, kStart + 1'000'000);
    EXPECT_TRUE(asked_.empty());
    EXPECT_FALSE(HoldsRunLock());
    EXPECT_TRUE(fs::exists(path_));
    close(fd);
}

// What sits at the path is not ours: it is neither read, nor removed, nor written through;
// the run lock moves to the user's own data folder.
TEST_F(RunLockTest, ForeignThingsAtThePathAreNeverFollowed) {
    const std::string target = home_.root() + "/victim";
    struct Case {
        const char* name;
        void (*make)(const std::string& path, const std::string& target);
    };
    const Case cases[] = {
        {"link",
         [](const std::string& p, const std::string& t) {
             test::WriteFileText(t, "keep");
             fs::create_symlink(t, p);
         }},
        {"folder", [](const std::string& p, const std::string&) { fs::create_directory(p); }},
        {"pipe", [](const std::string& p, const std::string&) { mkfifo(p.c_str(), 0600); }},
        {"other user's file",
         [](const std::string& p, const std::string&) {
             test::WriteFileText(p, std::string(8, '\0'));
             if (chown(p.c_str(), 65534, 65534) != 0) fs::remove(p);
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        c.make(path_, target);
        if (!fs::exists(fs::symlink_status(path_))) continue;  // not root: cannot give it away
        asked_.clear();
        CreateRunLock(prompts_, kStart);
        std::string held;
        ASSERT_TRUE(HoldsRunLock(&held));
        EXPECT_EQ(held, JoinPath(GetProgramDataFolder(), "run-lock"));
        EXPECT_TRUE(fs::exists(fs::symlink_status(path_)));
        if (fs::exists(target)) {
            EXPECT_EQ(test::ReadFileText(target), "keep");
        }
        RemoveRunLock();
        EXPECT_TRUE(asked_.empty());
        std::error_code ec;
        fs::remove_all(path_, ec);
    }
}

}  // namespace
}  // namespace tw
