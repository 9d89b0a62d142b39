// The event layer on a plain GLib main loop: handler chains, posting with priorities,
// removal by predicate, dispatch with a time-out, nested loops.
#include "platform/events/event_layer.h"

#include <unistd.h>

#include <csignal>

#include "platform/events/termination.h"

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace tw {
namespace {

constexpr std::uint32_t kTest = FourCC("test");
constexpr std::uint32_t kParamN = FourCC("nnnn");

TEST(EventLayerTest, FourCCPacksBigEndian) {
    EXPECT_EQ(FourCC("quit"), 0x71756974u);
    EXPECT_EQ(FourCC("ok  "), 0x6F6B2020u);
    EXPECT_EQ(FourCC("0101"), 0x30313031u);
}

TEST(EventLayerTest, ParametersKeepTheirTypes) {
    Event e(kTest, 1);
    e.SetParam(kParamN, std::int64_t{42});
    e.SetParam(FourCC("rect"), Rect{1, 2, 3, 4});
    e.SetParam(FourCC("strg"), std::string("abc"));
    EXPECT_EQ(e.GetInt(kParamN), 42);
    Rect r;
    ASSERT_TRUE(e.GetParam(FourCC("rect"), &r));
    EXPECT_EQ(r.w, 3);
    std::string s;
    EXPECT_FALSE(e.GetParam(kParamN, &s));  // wrong type
    ASSERT_TRUE(e.GetParam(FourCC("strg"), &s));
    EXPECT_EQ(s, "abc");
    e.SetParam(kParamN, std::int64_t{7});
    EXPECT_EQ(e.GetInt(kParamN), 7);
    e.RemoveParam(kParamN);
    EXPECT_FALSE(e.HasParam(kParamN));
    EXPECT_EQ(e.GetInt(kParamN, -1), -1);
}

TEST(EventLayerTest, HandlersRunNewestFirstThenParentsThenStandard) {
    EventTarget parent;
    EventTarget child(&parent);
    std::vector<std::string> trace;
    auto pass = [&trace](const char* name) {
        return [&trace, name](EventHandlerCall&, Event&) {
            trace.push_back(name);
            return kEventNotHandledErr;
        };
    };
    parent.InstallHandler({{kTest, 1}}, pass("parent"));
    parent.SetStandardHandler(pass("parent-standard"));
    child.SetStandardHandler(pass("child-standard"));
    child.InstallHandler({{kTest, 1}}, pass("child-old"));
    child.InstallHandler({{kTest, 2}}, pass("other-kind"));
    child.InstallHandler({{kTest, 1}}, pass("child-new"));
    Event e(kTest, 1);
    EXPECT_EQ(SendEventToTarget(e, &child), kEventNotHandledErr);
    const std::vector<std::string> expected = {"child-new", "child-old", "child-standard", "parent",
                                               "parent-standard"};
    EXPECT_EQ(trace, expected);
}

TEST(EventLayerTest, AnAnswerStopsTheChainAndCallNextRunsTheRestFirst) {
    EventTarget t;
    std::vector<std::string> trace;
    t.InstallHandler({{kTest, 1}}, [&](EventHandlerCall&, Event&) {
        trace.push_back("old");
        return kNoErr;
    });
    t.InstallHandler({{kTest, 1}}, [&](EventHandlerCall& next, Event& e) {
        trace.push_back("new-before");
        OSStatus r = CallNextEventHandler(next, e);
        trace.push_back("new-after");
        return r;
    });
    t.InstallHandler({{kTest, 1}}, [&](EventHandlerCall&, Event&) {
        trace.push_back("newest");
        return kEventNotHandledErr;
    });
    Event e(kTest, 1);
    EXPECT_EQ(SendEventToTarget(e, &t), kNoErr);
    const std::vector<std::string> expected = {"newest", "new-before", "old", "new-after"};
    EXPECT_EQ(trace, expected);
}

TEST(EventLayerTest, RemovedAndExtendedHandlers) {
    EventTarget t;
    int calls = 0;
    EventHandlerRef ref = t.InstallHandler({{kTest, 1}}, [&](EventHandlerCall&, Event&) {
        ++calls;
        return kNoErr;
    });
    Event kind2(kTest, 2);
    EXPECT_EQ(SendEventToTarget(kind2, &t), kEventNotHandledErr);
    t.AddEventTypes(ref, {{kTest, 2}});
    EXPECT_EQ(SendEventToTarget(kind2, &t), kNoErr);
    t.RemoveHandler(ref);
    EXPECT_FALSE(t.HasHandler(ref));
    Event kind1(kTest, 1);
    EXPECT_EQ(SendEventToTarget(kind1, &t), kEventNotHandledErr);
    EXPECT_EQ(calls, 1);
}

TEST(EventLayerTest, PostedEventsRunByPriorityThenInOrder) {
    EventTarget t;
    std::vector<int> order;
    t.InstallHandler({{kTest, 1}}, [&](EventHandlerCall&, Event& e) {
        order.push_back(int(e.GetInt(kParamN)));
        return kNoErr;
    });
    struct Case {
        int n;
        EventPriority p;
    };
    const Case posts[] = {{1, EventPriority::kLow},  {2, EventPriority::kStandard},
                          {3, EventPriority::kHigh}, {4, EventPriority::kStandard},
                          {5, EventPriority::kHigh}, {6, EventPriority::kLow}};
    for (const Case& c : posts) {
        Event e(kTest, 1);
        e.SetParam(kParamN, std::int64_t{c.n});
        e.SetPostTarget(&t);
        main_queue::Post(std::move(e), c.p);
    }
    EXPECT_EQ(main_queue::Count(), 6u);
    while (ReceiveAndDispatchNextEvent(0) == kNoErr) {
    }
    const std::vector<int> expected = {3, 5, 2, 4, 1, 6};
    EXPECT_EQ(order, expected);
    EXPECT_EQ(main_queue::Count(), 0u);
}

TEST(EventLayerTest, RemoveTakesOnlyMatchingEvents) {
    EventTarget t;
    int handled = 0;
    t.InstallHandler({{kTest, 1}}, [&](EventHandlerCall&, Event&) {
        ++handled;
        return kNoErr;
    });
    for (int i = 0; i < 10; ++i) {
        Event e(kTest, 1);
        e.SetParam(kParamN, std::int64_t{i});
        e.SetPostTarget(&t);
        main_queue::Post(std::move(e));
    }
    auto removed = main_queue::Remove([](const Event& e) { return e.GetInt(kParamN) % 2 == 0; });
    ASSERT_EQ(removed.size(), 5u);
    EXPECT_EQ(removed[0].GetInt(kParamN), 0);
    EXPECT_EQ(removed[4].GetInt(kParamN), 8);
    EXPECT_EQ(main_queue::Count(), 5u);
    RunEventLoopFor(20);
    EXPECT_EQ(handled, 5);
}

TEST(EventLayerTest, EventsForADestroyedTargetAreDropped) {
    int handled = 0;
    auto t = std::make_unique<EventTarget>();
    const std::uint64_t id = t->Id();
    t->InstallHandler({{kTest, 1}}, [&](EventHandlerCall&, Event&) {
        ++handled;
        return kNoErr;
    });
    Event e(kTest, 1);
    e.SetPostTarget(t.get());
    main_queue::Post(e);
    t.reset();
    EXPECT_EQ(EventTarget::FromId(id), nullptr);
    EXPECT_EQ(main_queue::Count(), 0u);
    RunEventLoopFor(10);
    EXPECT_EQ(handled, 0);
}

TEST(EventLayerTest, UntargetedPostsGoToTheApplication) {
    int handled = 0;
    EventHandlerRef ref =
        ApplicationTarget().InstallHandler({{kTest, 9}}, [&](EventHandlerCall&, Event&) {
            ++handled;
            return kNoErr;
        });
    main_queue::Post(Event(kTest, 9));
    EXPECT_EQ(ReceiveAndDispatchNextEvent(100), kNoErr);
    EXPECT_EQ(handled, 1);
    ApplicationTarget().RemoveHandler(ref);
}

TEST(EventLayerTest, ReceiveTimesOutWhenNothingComes) {
    const auto t0 = std::chrono::steady_clock::now();
    EXPECT_EQ(ReceiveAndDispatchNextEvent(40), kEventLoopTimedOutErr);
    EXPECT_GE(std::chrono::steady_clock::now() - t0, std::chrono::milliseconds(39));
}

TEST(EventLayerTest, ReceiveWakesForAPostFromAnotherThread) {
    EventTarget t;
    bool got = false;
    t.InstallHandler({{kTest, 1}}, [&](EventHandlerCall&, Event&) {
        got = true;
        return kNoErr;
    });
    Event e(kTest, 1);
    e.SetPostTarget(&t);
    std::thread poster([e]() mutable {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        main_queue::Post(std::move(e));
    });
    const auto t0 = std::chrono::steady_clock::now();
    EXPECT_EQ(ReceiveAndDispatchNextEvent(3000), kNoErr);
    EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::milliseconds(2000));
    poster.join();
    EXPECT_TRUE(got);
}

TEST(EventLayerTest, NestedLoopsQuitInnermostFirst) {
    int a = 0;
    int b = 0;
    std::vector<std::string> trace;
    EventTarget t;
    t.InstallHandler({{kTest, 1}}, [&](EventHandlerCall&, Event&) {
        // A command that runs a modal loop of its own.
        trace.push_back("inner-start");
        EXPECT_EQ(EventLoopDepth(), 1);
        main_queue::Post(Event(kTest, 2));
        RunEventLoop(&b);
        trace.push_back("inner-end");
        QuitEventLoop(&a);
        return kNoErr;
    });
    EventHandlerRef ref =
        ApplicationTarget().InstallHandler({{kTest, 2}}, [&](EventHandlerCall&, Event&) {
            trace.push_back("quit-inner");
            EXPECT_EQ(EventLoopDepth(), 2);
            EXPECT_TRUE(IsEventLoopRunning(&b));
            QuitEventLoop(&b);
            return kNoErr;
        });
    Event e(kTest, 1);
    e.SetPostTarget(&t);
    main_queue::Post(e);
    QuitEventLoop(&a);  // not running yet: does nothing
    RunEventLoop(&a);
    EXPECT_EQ(EventLoopDepth(), 0);
    const std::vector<std::string> expected = {"inner-start", "quit-inner", "inner-end"};
    EXPECT_EQ(trace, expected);
    ApplicationTarget().RemoveHandler(ref);
}

TEST(EventLayerTest, TimerRearmsAndDisarms) {
    int fired = 0;
    auto timer = EventLoopTimer::Install(10, [&](EventLoopTimer*) { ++fired; });
    ASSERT_NE(timer, nullptr);
    RunEventLoopFor(60);
    EXPECT_EQ(fired, 1);  // one-shot
    timer->SetNextFireTime(10);
    timer->SetNextFireTime(-1);
    RunEventLoopFor(60);
    EXPECT_EQ(fired, 1);
    timer->SetNextFireTime(0);
    RunEventLoopFor(30);
    EXPECT_EQ(fired, 2);
}

// Timers fire by deadline whether the loop was idle or stalled past all of them.
TEST(EventLayerTest, OverdueTimersFireInTheOrderOfTheirDeadlines) {
    for (const int stallMs : {0, 150}) {
        SCOPED_TRACE(stallMs);
        std::vector<int> order;
        std::vector<std::unique_ptr<EventLoopTimer>> timers;
        for (const int ms : {60, 20, 40}) {
            timers.push_back(EventLoopTimer::Install(
                ms, [&order, ms](EventLoopTimer*) { order.push_back(ms); }));
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(stallMs));
        RunEventLoopFor(120);
        EXPECT_EQ(order, (std::vector<int>{20, 40, 60}));
    }
}

// A callback that arms other timers, or itself again at once, neither loses nor repeats a
// firing.
TEST(EventLayerTest, TimersArmedInsideACallbackFireOnTheirOwnSchedule) {
    std::vector<std::string> trace;
    std::unique_ptr<EventLoopTimer> late;
    std::unique_ptr<EventLoopTimer> again;
    int againRuns = 0;
    late = EventLoopTimer::Install(-1, [&](EventLoopTimer*) { trace.push_back("late"); });
    again = EventLoopTimer::Install(5, [&](EventLoopTimer* self) {
        trace.push_back("again");
        if (++againRuns < 3) self->SetNextFireTime(0);
        late->SetNextFireTime(30);
    });
    RunEventLoopFor(100);
    EXPECT_EQ(trace, (std::vector<std::string>{"again", "again", "again", "late"}));
}

TEST(EventLayerTest, ATimerMayDestroyItselfWhileFiring) {
    std::unique_ptr<EventLoopTimer> timer;
    int fired = 0;
    timer = EventLoopTimer::Install(5, [&](EventLoopTimer*) {
        ++fired;
        timer.reset();
    });
    RunEventLoopFor(50);
    EXPECT_EQ(fired, 1);
    EXPECT_EQ(timer, nullptr);
}

// A termination signal reaches the handler on the main thread, where it can end the loop.
TEST(EventLayerTest, TerminationSignalsArriveAsMainLoopEvents) {
    std::vector<int> seen;
    SetTerminationHandler([&](int signal) {
        seen.push_back(signal);
        EXPECT_TRUE(IsMainThread());
    });
    kill(getpid(), SIGTERM);
    EXPECT_TRUE(RunEventLoopUntil([&] { return !seen.empty(); }, 2000));
    raise(SIGINT);
    EXPECT_TRUE(RunEventLoopUntil([&] { return seen.size() == 2; }, 2000));
    EXPECT_EQ(seen, (std::vector<int>{SIGTERM, SIGINT}));
    SetTerminationHandler(nullptr);
}

}  // namespace
}  // namespace tw
