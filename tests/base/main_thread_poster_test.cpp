// LMainThreadPoster on a plain GLib main loop: tasks from worker threads run on the main
// thread in the order posted; cancelled tasks are deleted without running.
#include "base/main_thread_poster.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

namespace tw {
namespace {

class Counter : public LMainThreadPoster {
  public:
    ~Counter() override { CancelPending(); }
    void OnMainThread() override {
        ++runs;
        all_on_main = all_on_main && IsMainThread();
    }
    int runs = 0;
    bool all_on_main = true;
};

// Records its order and its deletion.
class OrderTask : public LMainThreadTask {
  public:
    OrderTask(int n, std::vector<int>* order, std::atomic<int>* deleted)
        : n_(n), order_(order), deleted_(deleted) {}
    ~OrderTask() override { ++*deleted_; }
    void Run() override { order_->push_back(n_); }

  private:
    int n_;
    std::vector<int>* order_;
    std::atomic<int>* deleted_;
};

class PosterTest : public ::testing::Test {
  protected:
    void SetUp() override {
        LMainThreadPoster::InstallMainThreadHandler();
        LMainThreadPoster::SetApplicationQuitting(false);
    }
    void TearDown() override { LMainThreadPoster::RemoveMainThreadHandler(); }
};

// An owner that deletes itself, and so its poster, inside its own main-thread work: the
// handler must not touch the poster after the work ran (AddressSanitizer reports it).
class SelfDeleting : public LMainThreadPoster {
  public:
    explicit SelfDeleting(int* runs) : runs_(runs) {}
    ~SelfDeleting() override { CancelPending(); }
    void OnMainThread() override {
        ++*runs_;
        delete this;
    }

  private:
    int* runs_;
};

class DeletePosterTask : public LMainThreadTask {
  public:
    DeletePosterTask(LMainThreadPoster* poster, int* runs) : poster_(poster), runs_(runs) {}
    void Run() override {
        ++*runs_;
        delete poster_;
    }

  private:
    LMainThreadPoster* poster_;
    int* runs_;
};

TEST_F(PosterTest, AnOwnerMayDeleteItselfInsideItsMainThreadWork) {
    int runs = 0;
    auto* owner = new SelfDeleting(&runs);
    owner->PostToMainThread();
    owner->PostToMainThread();  // cancelled by the deletion inside the first
    RunEventLoopFor(50);
    EXPECT_EQ(runs, 1);

    int taskRuns = 0;
    auto* other = new Counter;
    std::thread worker([&] { other->Post(std::make_unique<DeletePosterTask>(other, &taskRuns)); });
    worker.join();
    RunEventLoopFor(50);
    EXPECT_EQ(taskRuns, 1);
}

TEST_F(PosterTest, TasksFromWorkersRunOnTheMainThreadInPostedOrder) {
    Counter poster;
    std::vector<int> order;
    std::atomic<int> deleted{0};
    constexpr int kPerThread = 200;
    std::thread worker([&] {
        for (int i = 0; i < kPerThread; ++i) {
            poster.Post(std::make_unique<OrderTask>(i, &order, &deleted));
            poster.PostToMainThread();
        }
    });
    worker.join();
    EXPECT_TRUE(RunEventLoopUntil([&] { return poster.PendingCount() == 0; }, 5000));
    EXPECT_EQ(poster.runs, kPerThread);
    EXPECT_TRUE(poster.all_on_main);
    EXPECT_EQ(deleted, kPerThread);
    ASSERT_EQ(order.size(), size_t(kPerThread));
    for (int i = 0; i < kPerThread; ++i) EXPECT_EQ(order[i], i);
}

TEST_F(PosterTest, ManyWorkersPostingAtOnceLoseNothing) {
    Counter poster;
    std::vector<std::thread> workers;
    for (int w = 0; w < 4; ++w) {
        workers.emplace_back([&] {
            for (int i = 0; i < 100; ++i) poster.PostToMainThread();
        });
    }
    // The main thread dispatches while the workers post.
    RunEventLoopUntil([&] { return poster.runs >= 400; }, 5000);
    for (auto& t : workers) t.join();
    RunEventLoopUntil([&] { return poster.PendingCount() == 0; }, 5000);
    EXPECT_EQ(poster.runs, 400);
    EXPECT_EQ(poster.PendingCount(), 0);
}

TEST_F(PosterTest, CancelledTaskIsDeletedWithoutRunning) {
    std::vector<int> order;
    std::atomic<int> deleted{0};
    Counter poster;
    std::thread worker([&] {
        poster.Post(std::make_unique<OrderTask>(1, &order, &deleted));
        poster.PostToMainThread();
    });
    worker.join();
    EXPECT_EQ(poster.PendingCount(), 2);
    poster.CancelPending();
    EXPECT_EQ(deleted, 1);
    EXPECT_EQ(poster.PendingCount(), 0);
    RunEventLoopFor(50);
    EXPECT_TRUE(order.empty());
    EXPECT_EQ(poster.runs, 0);

    // Afterwards posting does nothing; the task given is deleted at once.
    poster.Post(std::make_unique<OrderTask>(2, &order, &deleted));
    EXPECT_EQ(deleted, 2);
    EXPECT_EQ(poster.PendingCount(), 0);
    RunEventLoopFor(30);
    EXPECT_TRUE(order.empty());
}

TEST_F(PosterTest, CancelTouchesOnlyItsOwnTasks) {
    Counter a;
    Counter b;
    a.PostToMainThread();
    b.PostToMainThread();
    a.CancelPending();
    RunEventLoopUntil([&] { return b.runs == 1; }, 2000);
    EXPECT_EQ(a.runs, 0);
    EXPECT_EQ(b.runs, 1);
}

TEST_F(PosterTest, CancelWhileAWorkerKeepsPostingLeavesNothingBehind) {
    std::atomic<bool> stop{false};
    std::atomic<int> deleted{0};
    std::vector<int> order;
    {
        Counter poster;
        std::thread worker([&] {
            while (!stop) poster.Post(std::make_unique<OrderTask>(0, &order, &deleted));
        });
        RunEventLoopFor(20);
        poster.CancelPending();
        stop = true;
        worker.join();
        EXPECT_EQ(poster.PendingCount(), 0);
    }
    const size_t ran = order.size();
    RunEventLoopFor(30);  // nothing may reach the destroyed poster
    EXPECT_EQ(order.size(), ran);
    EXPECT_EQ(main_queue::Count(), 0u);
}

TEST_F(PosterTest, PostsAreIgnoredWhileTheApplicationQuits) {
    Counter poster;
    LMainThreadPoster::SetApplicationQuitting(true);
    poster.PostToMainThread();
    EXPECT_EQ(poster.PendingCount(), 0);
    LMainThreadPoster::SetApplicationQuitting(false);
    RunEventLoopFor(20);
    EXPECT_EQ(poster.runs, 0);
}

}  // namespace
}  // namespace tw
