// One running copy: every second launch reaches the running copy, however soon it ends.
// Each case runs on a private session bus.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>

#include "common/event_wait.h"
#include "common/session_bus.h"
#include "common/test_env.h"
#include "platform/ui/single_instance.h"

namespace tw {
namespace {

const std::string kRemote = TW_SINGLE_INSTANCE_REMOTE;

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
    test::SessionBus bus;
    ASSERT_FALSE(bus.address().empty()) << "dbus-daemon did not start";
    test::ScopedEnv env;
    env.Set("DBUS_SESSION_BUS_ADDRESS", bus.address().c_str());

    const std::string id = "com.orvanesoft.tunewright.test" + std::to_string(getpid());
    int reopened = 0;
    ASSERT_EQ(RegisterSingleInstance(id, [&] { ++reopened; }), InstanceRole::kPrimary);
    constexpr int kLaunches = 20;
    for (int i = 0; i < kLaunches; ++i) EXPECT_EQ(RunRemote(id, 10000), 0) << "launch " << i;
    // Requests already sent arrive within moments; lost ones never do.
    test::WaitFor([&] { return reopened == kLaunches; }, 5000);
    EXPECT_EQ(reopened, kLaunches);

    UnregisterSingleInstance();
}

}  // namespace
}  // namespace tw
