// Event-loop timers on a plain GLib main loop (no display needed).
#include "base/timer_set.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>
#include <vector>

#include "platform/events/event_layer.h"

namespace tw {
namespace {

using Clock = std::chrono::steady_clock;

double MsSince(Clock::time_point t) {
    return std::chrono::duration<double, std::milli>(Clock::now() - t).count();
}

struct Firing {
    int id;
    double at_ms;
};

class RecordingTimers : public LTimerSet {
  public:
    explicit RecordingTimers(Clock::time_point t0) : t0_(t0) {}
    void OnTimer(int id) override {
        firings.push_back({id, MsSince(t0_)});
        if (rearm_id == id && rearms_left > 0) {
            --rearms_left;
            SetTimer(id, rearm_ms);
        }
    }
    std::vector<Firing> firings;
    int rearm_id = -1;
    int rearms_left = 0;
    int rearm_ms = 0;

  private:
    Clock::time_point t0_;
};

class TimerSetTest : public ::testing::Test {
  protected:
    void SetUp() override { LTimerSet::EnableTimers(true); }
    void TearDown() override { LTimerSet::EnableTimers(true); }
};

TEST_F(TimerSetTest, RearmingBeforeItFiresFiresOnceAtTheLaterTime) {
    const auto t0 = Clock::now();
    RecordingTimers timers(t0);
    EXPECT_EQ(timers.SetTimer(7, 100), 1);
    RunEventLoopFor(60);
    const double second_call = MsSince(t0);
    EXPECT_EQ(timers.SetTimer(7, 100), 1);
    RunEventLoopFor(400);
    ASSERT_EQ(timers.firings.size(), 1u);
    EXPECT_EQ(timers.firings[0].id, 7);
    EXPECT_GE(timers.firings[0].at_ms, second_call + 99);
    EXPECT_LT(timers.firings[0].at_ms, second_call + 300);
}

TEST_F(TimerSetTest, RefusedAndAcceptedIds) {
    struct Case {
        int id;
        int expected_result;
        size_t expected_firings;
    };
    const Case cases[] = {{-1, 0, 0}, {-100, 0, 0}, {0, 1, 1}, {5, 1, 1}};
    for (const Case& c : cases) {
        RecordingTimers timers(Clock::now());
        EXPECT_EQ(timers.SetTimer(c.id, 10), c.expected_result) << c.id;
        RunEventLoopFor(80);
        EXPECT_EQ(timers.firings.size(), c.expected_firings) << c.id;
    }
}

TEST_F(TimerSetTest, IdsFireIndependentlyInDelayOrder) {
    RecordingTimers timers(Clock::now());
    // Far apart, so that a busy machine cannot make two of them due at once.
    timers.SetTimer(3, 300);
    timers.SetTimer(2, 10);
    timers.SetTimer(5, 150);
    RunEventLoopFor(500);
    ASSERT_EQ(timers.firings.size(), 3u);
    EXPECT_EQ(timers.firings[0].id, 2);
    EXPECT_EQ(timers.firings[1].id, 5);
    EXPECT_EQ(timers.firings[2].id, 3);
}

TEST_F(TimerSetTest, RearmingFromOnTimerMakesAPeriodicTimer) {
    RecordingTimers timers(Clock::now());
    timers.rearm_id = 3;
    timers.rearms_left = 4;
    timers.rearm_ms = 20;
    timers.SetTimer(3, 20);
    RunEventLoopFor(400);
    ASSERT_EQ(timers.firings.size(), 5u);
    for (size_t i = 1; i < timers.firings.size(); ++i) {
        EXPECT_GE(timers.firings[i].at_ms - timers.firings[i - 1].at_ms, 19.0);
    }
}

TEST_F(TimerSetTest, KillAllTimersStopsEverything) {
    RecordingTimers timers(Clock::now());
    timers.SetTimer(1, 30);
    timers.SetTimer(2, 30);
    timers.KillAllTimers();
    RunEventLoopFor(120);
    EXPECT_TRUE(timers.firings.empty());
    // Ids can be armed again afterwards.
    timers.SetTimer(1, 10);
    RunEventLoopFor(80);
    EXPECT_EQ(timers.firings.size(), 1u);
}

TEST_F(TimerSetTest, TimersSetBeforeEnablingFireOnlyAfterAndFirstPendingIdWins) {
    LTimerSet::EnableTimers(false);
    const auto t0 = Clock::now();
    RecordingTimers a(t0);
    RecordingTimers b(t0);
    EXPECT_EQ(a.SetTimer(4, 10), 1);
    EXPECT_EQ(b.SetTimer(4, 10), 1);  // same id, other owner: dropped
    EXPECT_EQ(b.SetTimer(6, 10), 1);
    EXPECT_EQ(a.SetTimer(4, 10), 1);  // same id again: dropped
    RunEventLoopFor(150);
    EXPECT_TRUE(a.firings.empty());
    EXPECT_TRUE(b.firings.empty());
    const double enabled_at = MsSince(t0);
    LTimerSet::EnableTimers(true);
    RunEventLoopFor(150);
    ASSERT_EQ(a.firings.size(), 1u);
    EXPECT_EQ(a.firings[0].id, 4);
    EXPECT_GE(a.firings[0].at_ms, enabled_at + 9);
    ASSERT_EQ(b.firings.size(), 1u);
    EXPECT_EQ(b.firings[0].id, 6);
}

TEST_F(TimerSetTest, APendingRequestOfADestroyedOwnerIsForgotten) {
    LTimerSet::EnableTimers(false);
    {
        RecordingTimers gone(Clock::now());
        gone.SetTimer(9, 5);
    }
    RecordingTimers alive(Clock::now());
    alive.SetTimer(9, 5);  // the destroyed owner's request no longer blocks the id
    LTimerSet::EnableTimers(true);
    RunEventLoopFor(80);
    ASSERT_EQ(alive.firings.size(), 1u);
    EXPECT_EQ(alive.firings[0].id, 9);
}

TEST_F(TimerSetTest, SetTimerFromAWorkerThreadFiresOnTheMainThread) {
    struct ThreadCheck : LTimerSet {
        void OnTimer(int) override {
            on_main = IsMainThread();
            ++count;
        }
        bool on_main = false;
        int count = 0;
    } timers;
    timers.SetTimer(1, 1000);  // installed here; the worker re-arms it sooner
    std::thread worker([&] { timers.SetTimer(1, 20); });
    worker.join();
    RunEventLoopFor(200);
    EXPECT_EQ(timers.count, 1);
    EXPECT_TRUE(timers.on_main);
}

}  // namespace
}  // namespace tw
