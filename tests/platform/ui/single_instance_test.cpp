// One running copy: every second launch reaches the running copy, however soon it ends.
// Each case runs on a private session bus.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>

#include "common/event_wait.h"
#include "platform/ui/single_instance.h"

namespace tw {
namespace {

const std::string kRemote = TW_SINGLE_INSTANCE_REMOTE;

std::string Output(const std::string& command) {
    std::string out;
    if (FILE* p = popen(command.c_str(), "r")) {
        char buf[256];
        while (std::fgets(buf, sizeof buf, p)) out += buf;
        pclose(p);
    }
    return out;
}

// Exit status of a remote launch, or -1 when it does not end within the time given; the main
// loop runs meanwhile, so that requests reach this process's handler.
int RunRemote(const std::string& id, int timeoutMs) {
    const pid_t pid = fork();
    if (pid == 0) {
        execl(kRemote.c_str(), kRemote.c_str(), id.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    int status = -1;
    const bool ended = test::WaitFor(
        [&] {
            int s = 0;
            if (waitpid(pid, &s, WNOHANG) != pid) return false;
            status = WIFEXITED(s) ? WEXITSTATUS(s) : 128;
            return true;
        },
        timeoutMs);
    if (!ended) {
        kill(pid, SIGKILL);
        waitpid(pid, nullptr, 0);
    }
    return status;
}

TEST(SingleInstanceTest, EverySecondLaunchReachesTheRunningCopy) {
    std::istringstream in(Output("dbus-daemon --session --fork --print-address=1 --print-pid=1"));
    std::string address;
    int daemon = -1;
    in >> address >> daemon;
    ASSERT_FALSE(address.empty()) << "dbus-daemon did not start";
    setenv("DBUS_SESSION_BUS_ADDRESS", address.c_str(), 1);

    const std::string id = "com.orvanesoft.tunewright.test" + std::to_string(getpid());
    int reopened = 0;
    ASSERT_EQ(RegisterSingleInstance(id, [&] { ++reopened; }), InstanceRole::kPrimary);
    constexpr int kLaunches = 20;
    for (int i = 0; i < kLaunches; ++i) EXPECT_EQ(RunRemote(id, 10000), 0) << "launch " << i;
    // Requests already sent arrive within moments; lost ones never do.
    test::WaitFor([&] { return reopened == kLaunches; }, 5000);
    EXPECT_EQ(reopened, kLaunches);

    UnregisterSingleInstance();
    kill(daemon, SIGTERM);
}

}  // namespace
}  // namespace tw
