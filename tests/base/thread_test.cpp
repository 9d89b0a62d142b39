// LThread: start hand-shake, stop and join, restart, the wait routines.
#include "base/thread.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

namespace tw {
namespace {

// Counts its runs and waits for the stop signal.
class CountingThread : public LThread {
  public:
    CountingThread() : LThread("CountingThread") {}
    ~CountingThread() override { Stop(); }
    void Run() override {
        ++runs;
        seen_tid = ThreadId();
        while (Wait(wake, -1) == 0) {
            wake.Drain();
            ++wakes;
        }
    }
    std::atomic<int> runs{0};
    std::atomic<int> wakes{0};
    std::atomic<pid_t> seen_tid{-2};
    LPipe wake;
};

TEST(ThreadTest, StartedTwiceRunsOnceStopsJoinsAndStartsAgain) {
    CountingThread t;
    EXPECT_FALSE(t.IsRunning());
    EXPECT_EQ(t.Stop(), 0);  // no thread yet
    t.Start(20);
    // Start returns once the body runs.
    EXPECT_TRUE(t.IsRunning());
    EXPECT_GT(t.ThreadId(), 0);
    t.Start(20);
    t.Start(20);
    EXPECT_EQ(t.Stop(), 0);
    EXPECT_EQ(t.runs, 1);
    EXPECT_FALSE(t.IsRunning());
    EXPECT_EQ(t.ThreadId(), -1);
    EXPECT_EQ(t.Stop(), 0);  // already joined

    t.Start(20);
    EXPECT_TRUE(t.IsRunning());
    EXPECT_EQ(t.Stop(), 0);
    EXPECT_EQ(t.runs, 2);
}

TEST(ThreadTest, WakePipeReachesTheBody) {
    CountingThread t;
    t.Start(20);
    for (int i = 0; i < 3; ++i) {
        const int before = t.wakes;
        t.wake.Signal();
        for (int k = 0; k < 200 && t.wakes == before; ++k) LThread::Sleep(5);
        EXPECT_EQ(t.wakes, before + 1);
    }
    t.Stop();
}

// A body that returns by itself; the next Start joins it and runs again.
class OneShotThread : public LThread {
  public:
    OneShotThread() : LThread("OneShotThread") {}
    ~OneShotThread() override { Stop(); }
    void Run() override { ++runs; }
    std::atomic<int> runs{0};
};

TEST(ThreadTest, AFinishedThreadIsJoinedByTheNextStart) {
    OneShotThread t;
    for (int i = 1; i <= 3; ++i) {
        t.Start(20);
        for (int k = 0; k < 400 && t.IsRunning(); ++k) LThread::Sleep(5);
        EXPECT_FALSE(t.IsRunning());
        EXPECT_EQ(t.runs, i);
    }
    EXPECT_EQ(t.Stop(), 0);
}

// Wait outcomes seen from a body: the pipe, the stop pipe, a time-out.
class WaitProbe : public LThread {
  public:
    WaitProbe() : LThread("WaitProbe") {}
    ~WaitProbe() override { Stop(); }
    void Run() override {}
    LPipe pipe;
};

TEST(ThreadTest, WaitReportsWhichSignalCame) {
    struct Case {
        const char* name;
        bool signal_pipe;
        bool request_stop;
        int expected;
    };
    const Case cases[] = {
        {"pipe", true, false, 0},
        {"stop", false, true, 1},
        {"stop wins over pipe", true, true, 1},
        {"time-out", false, false, 2},
    };
    for (const Case& c : cases) {
        WaitProbe p;
        if (c.signal_pipe) p.pipe.Signal();
        if (c.request_stop) {
            // The stop pipe of an object with no thread: Stop only writes when a thread
            // exists, so start a body that returns at once and ask while it is joined.
            p.Start(20);
            p.Stop();
        }
        const auto t0 = std::chrono::steady_clock::now();
        EXPECT_EQ(p.Wait(p.pipe, 30), c.expected) << c.name;
        EXPECT_EQ(p.IsStopRequested(), c.request_stop) << c.name;
        if (c.expected == 2) {
            EXPECT_GE(std::chrono::steady_clock::now() - t0, std::chrono::milliseconds(29));
        }
    }
}

TEST(ThreadTest, PipeSignalDrainAndWait) {
    LPipe p;
    ASSERT_TRUE(p.IsValid());
    EXPECT_FALSE(p.IsSignalled());
    for (int i = 0; i < 100; ++i) p.Signal();
    EXPECT_TRUE(p.IsSignalled());
    EXPECT_TRUE(p.Wait(-1));
    p.Drain();
    EXPECT_FALSE(p.IsSignalled());
    EXPECT_FALSE(p.Wait(10));
}

TEST(ThreadTest, ConcurrentStartsCreateOneThread) {
    CountingThread t;
    std::thread a([&] { t.Start(20); });
    std::thread b([&] { t.Start(20); });
    a.join();
    b.join();
    EXPECT_TRUE(t.IsRunning());
    t.Stop();
    EXPECT_EQ(t.runs, 1);
}

TEST(ThreadTest, PriorityIsRecorded) {
    struct Case {
        int requested;
    };
    for (Case c : {Case{20}, Case{91}, Case{40}}) {
        CountingThread t;
        t.Start(c.requested);
        EXPECT_EQ(t.Priority(), c.requested);
        t.SetPriority(20);
        EXPECT_EQ(t.Priority(), 20);
        t.Stop();
    }
}

// Changes its own priority until it is asked to stop.
class SelfPrioritising : public LThread {
  public:
    SelfPrioritising() : LThread("SelfPrioritising") {}
    ~SelfPrioritising() override { Stop(); }
    void Run() override {
        for (int i = 0; !IsStopRequested(); ++i) {
            SetPriority(i % 2 ? 91 : 20);
            ++changes;
        }
        // Once more after the request, while Stop holds its lock and waits to join.
        SetPriority(20);
    }
    std::atomic<int> changes{0};
};

TEST(ThreadTest, AThreadSettingItsOwnPriorityCanBeStopped) {
    for (int round = 0; round < 20; ++round) {
        SelfPrioritising t;
        t.Start(20);
        while (t.changes < 10) std::this_thread::yield();
        const auto start = std::chrono::steady_clock::now();
        EXPECT_EQ(t.Stop(), 0);
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
    }
}

TEST(ThreadTest, SleepWaitsAtLeastTheTime) {
    const auto t0 = std::chrono::steady_clock::now();
    LThread::Sleep(25);
    EXPECT_GE(std::chrono::steady_clock::now() - t0, std::chrono::milliseconds(25));
}

}  // namespace
}  // namespace tw

namespace tw {
namespace {

// Wait over descriptors the body prepared, with the stop pipe added.
class SetWaiter : public LThread {
  public:
    SetWaiter() : LThread("SetWaiter") {}
    ~SetWaiter() override { Stop(); }
    void Run() override {}
    LPipe a;
    LPipe b;
};

TEST(ThreadTest, WaitOverAPreparedDescriptorSet) {
    SetWaiter w;
    std::vector<pollfd> fds = {{w.a.ReadFd(), POLLIN, 0}, {w.b.ReadFd(), POLLIN, 0}};
    EXPECT_EQ(w.Wait(fds, 20), 2);
    w.b.Signal();
    EXPECT_EQ(w.Wait(fds, 20), 0);
    EXPECT_EQ(fds.size(), 2u);  // the stop pipe is taken out again
    EXPECT_TRUE(fds[1].revents & POLLIN);
    EXPECT_FALSE(fds[0].revents & POLLIN);
    w.Start(20);
    w.Stop();  // leaves a stop request behind
    EXPECT_EQ(w.Wait(fds, 20), 1);
}

}  // namespace
}  // namespace tw
