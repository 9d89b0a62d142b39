#include "base/main_thread_poster.h"

#include <atomic>

namespace tw {

namespace {

std::atomic<bool> g_quitting{false};
EventHandlerRef g_handler = 0;

class StandardTask : public LMainThreadTask {
  public:
    explicit StandardTask(LMainThreadPoster* poster) : poster_(poster) {}
    void Run() override { poster_->OnMainThread(); }

  private:
    LMainThreadPoster* poster_;
};

}  // namespace

struct MainThreadHandler {
    // Main thread. The task stops counting as pending before it runs: its work may delete
    // the poster (an owner that deletes itself), after which nothing may touch it.
    static OSStatus Handle(EventHandlerCall&, Event& e) {
        std::unique_ptr<LMainThreadTask> task(
            static_cast<LMainThreadTask*>(e.GetPointer(kEventParamTask)));
        if (auto* poster = static_cast<LMainThreadPoster*>(e.GetPointer(kEventParamPoster))) {
            poster->TaskDone();
        }
        if (task) task->Run();
        return kNoErr;
    }
};

LMainThreadPoster::LMainThreadPoster() = default;

LMainThreadPoster::~LMainThreadPoster() {
    CancelPending();
}

void LMainThreadPoster::InstallMainThreadHandler() {
    if (g_handler != 0) return;
    g_handler = ApplicationTarget().InstallHandler({{kEventClassMainThread, kEventMainThreadTask}},
                                                   &MainThreadHandler::Handle);
}

void LMainThreadPoster::RemoveMainThreadHandler() {
    if (g_handler == 0) return;
    ApplicationTarget().RemoveHandler(g_handler);
    g_handler = 0;
}

void LMainThreadPoster::SetApplicationQuitting(bool quitting) {
    g_quitting = quitting;
}

void LMainThreadPoster::Post(std::unique_ptr<LMainThreadTask> task) {
    if (g_quitting) return;
    // The check and the post happen under the lock that CancelPending takes to disable
    // posting, so that no post can slip into the queue after the cancellation swept it.
    std::lock_guard<std::mutex> lock(mutex_);
    if (disabled_ || !enabled_) return;
    ++pending_;
    Event e(kEventClassMainThread, kEventMainThreadTask);
    e.SetParam(kEventParamPoster, static_cast<void*>(this));
    e.SetParam(kEventParamTask, static_cast<void*>(task.release()));
    main_queue::Post(std::move(e), EventPriority::kHigh);
}

void LMainThreadPoster::PostToMainThread() {
    Post(std::make_unique<StandardTask>(this));
}

void LMainThreadPoster::CancelPending() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (!enabled_) return;
        disabled_ = true;
    }
    void* self = this;
    std::vector<Event> removed = main_queue::Remove([self](const Event& e) {
        return e.Class() == kEventClassMainThread && e.Kind() == kEventMainThreadTask &&
               e.GetPointer(kEventParamPoster) == self;
    });
    for (Event& e : removed) {
        delete static_cast<LMainThreadTask*>(e.GetPointer(kEventParamTask));
        e.SetParam(kEventParamTask, static_cast<void*>(nullptr));
        TaskDone();
    }
    std::lock_guard<std::mutex> lock(mutex_);
    enabled_ = false;
}

int LMainThreadPoster::PendingCount() {
    std::lock_guard<std::mutex> lock(mutex_);
    return pending_;
}

void LMainThreadPoster::TaskDone() {
    std::lock_guard<std::mutex> lock(mutex_);
    --pending_;
}

}  // namespace tw
