// Crash identifiers from the thread registry and the run-phase marker, and fatal signals in
// child processes: the crash box runs once, as a separate program, and the process ends 666.
#include "app/crash_report.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "common/test_env.h"

namespace tw {
namespace {

constexpr std::int32_t kPref = 1886545254;  // 'pref'

bool EndsWith(const std::string& s, const std::string& tail) {
    return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

// Runs `body` in a child process; its exit status (or 128 + signal).
template <typename Body>
int InChild(Body body) {
    const pid_t child = fork();
    if (child == 0) {
        body();
        _exit(0);
    }
    int status = 0;
    waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

TEST(CrashReportTest, IdentifierSaysWhereTheMainThreadWas) {
    SetCrashReporter("/bin/true", "");
    InstallCrashHandlers();
    RegisterThread("MAIN");
    struct Case {
        std::int32_t phase;
        const char* tail;
    };
    const Case cases[] = {
        {kPhaseGlobalInit, "-MacIntel1006-UnknownModule-MAINGloIni1"},
        {kPhaseGuiInit, "-MacIntel1006-UnknownModule-MAINGuiIni2"},
        {kPref, "-MacIntel1006-UnknownModule-MAIN(Cmd1886545254)"},
        {kPhaseIdle, "-MacIntel1006-UnknownModule-MAINUkn0(LstCmd1886545254)"},
        {kPhaseGuiDestroy, "-MacIntel1006-UnknownModule-MAINGuiDes3"},
        {kPhaseGlobalDestroy, "-MacIntel1006-UnknownModule-MAINGloDes4"},
    };
    for (const Case& c : cases) {
        SetRunPhase(c.phase);
        EXPECT_EQ(MakeCrashId("11", "UnknownModule"), std::string("11") + c.tail);
    }
    EXPECT_EQ(GetLastCommand(), kPref);
    SetThreadLocation("Draw");
    EXPECT_EQ(MakeCrashId("6", "Mod"), "6-MacIntel1006-Mod-MAINDrawGloDes4");

    test::ScopedEnv env;
    env.Set("TUNEWRIGHT_SYSTEM_VERSION", "10.4");
    EXPECT_EQ(MakeCrashId("6", "Mod"), "6-MacIntel1004-Mod-MAINDrawGloDes4");
}

TEST(CrashReportTest, OtherThreadsShowTheirNamesButNoPhase) {
    SetCrashReporter("/bin/true", "");
    InstallCrashHandlers();
    SetRunPhase(kPref);
    std::string named, numbered, unknown, truncated;
    std::thread([&] {
        RegisterThread("Capt");
        named = MakeCrashId("1", "M");
    }).join();
    std::thread([&] {
        RegisterThread(nullptr);  // a number: shown as nothing
        numbered = MakeCrashId("1", "M");
    }).join();
    std::thread([&] { unknown = MakeCrashId("1", "M"); }).join();
    std::thread([&] {
        RegisterThread("Feeder");
        truncated = MakeCrashId("1", "M");
    }).join();
    EXPECT_EQ(named, "1-MacIntel1006-M-Capt");
    EXPECT_EQ(numbered, "1-MacIntel1006-M-");
    EXPECT_EQ(unknown, "1-MacIntel1006-M-Unknown");
    EXPECT_EQ(truncated, "1-MacIntel1006-M-Feed");
}

TEST(CrashReportTest, RegistryHoldsSixtyFourThreadsAndIdentifiersStayShort) {
    SetCrashReporter("/bin/true", "");
    InstallCrashHandlers();
    for (int i = 0; i < kMaxRegisteredThreads; ++i) {
        std::thread([] { RegisterThread("Work"); }).join();
    }
    std::string id;
    std::thread([&] {
        RegisterThread("Full");  // no free entry left
        id = MakeCrashId("1", "M");
    }).join();
    EXPECT_EQ(id, "1-MacIntel1006-M-Unknown");
    EXPECT_EQ(MakeCrashId("1", std::string(1000, 'x').c_str()).size(), kMaxCrashIdLength);
}

// The reporter is a script that records its arguments, as the crash box would be shown.
class FatalSignalTest : public ::testing::Test {
  protected:
    void SetUp() override {
        script_ = scratch_.root() + "/reporter.sh";
        log_ = scratch_.root() + "/reports.txt";
        std::ofstream(script_) << "sleep 0.3\necho \"$1 $2\" >> '" << log_ << "'\n";
    }
    std::vector<std::string> Reports() {
        std::vector<std::string> lines;
        std::ifstream in(log_);
        for (std::string line; std::getline(in, line);) lines.push_back(line);
        return lines;
    }
    test::TempHome scratch_;
    std::string script_;
    std::string log_;
};

TEST_F(FatalSignalTest, ASegmentationFaultReportsOnceAndEndsWith666) {
    const int status = InChild([&] {
        SetCrashReporter("/bin/sh", script_.c_str());
        InstallCrashHandlers();
        RegisterThread("MAIN");
        SetRunPhase(kPref);
        raise(SIGSEGV);
    });
    EXPECT_EQ(status, kCrashExitStatus & 0xff);  // the system keeps 8 bits of it
    const auto reports = Reports();
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_TRUE(EndsWith(reports[0], "-MacIntel1006-UnknownModule-MAIN(Cmd1886545254)"))
        << reports[0];
    EXPECT_EQ(reports[0].rfind(std::to_string(SIGSEGV) + " " + std::to_string(SIGSEGV) + "-", 0),
              0u);
}

TEST_F(FatalSignalTest, ASecondFaultWhileTheBoxIsUpShowsNoSecondBox) {
    const int status = InChild([&] {
        SetCrashReporter("/bin/sh", script_.c_str());
        InstallCrashHandlers();
        std::thread other([] {
            usleep(100 * 1000);
            raise(SIGBUS);
        });
        raise(SIGFPE);
        other.join();
    });
    EXPECT_EQ(status, kCrashExitStatus & 0xff);  // the system keeps 8 bits of it
    EXPECT_EQ(Reports().size(), 1u);
}

TEST_F(FatalSignalTest, SigquitReportsAndTheProgramGoesOn) {
    const int status = InChild([&] {
        SetCrashReporter("/bin/sh", script_.c_str());
        InstallCrashHandlers();
        raise(SIGQUIT);
        raise(SIGQUIT);  // once only
        _exit(7);
    });
    EXPECT_EQ(status, 7);
    EXPECT_EQ(Reports().size(), 1u);
}

}  // namespace
}  // namespace tw
