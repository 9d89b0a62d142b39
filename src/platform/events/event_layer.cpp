#include "platform/events/event_layer.h"

#include <glib.h>

#include <algorithm>
#include <atomic>
#include <deque>
#include <mutex>
#include <thread>
#include <unordered_map>

namespace tw {

namespace {

// Captured while the program loads, which happens on the main thread.
const std::thread::id g_main_thread = std::this_thread::get_id();

std::atomic<std::uint64_t> g_next_target_id{1};

// Live targets by id. Targets come and go on the main thread, but posted events carry
// only ids, so a late post never reaches a freed target.
// These live until the process ends: targets with static storage (the application's)
// still use them while statics are destroyed.
std::mutex& RegistryMutex() {
    static auto* m = new std::mutex;
    return *m;
}
std::unordered_map<std::uint64_t, EventTarget*>& Registry() {
    static auto* r = new std::unordered_map<std::uint64_t, EventTarget*>;
    return *r;
}

}  // namespace

bool IsMainThread() {
    return std::this_thread::get_id() == g_main_thread;
}

// ---------------------------------------------------------------------------------------
// Event

void Event::SetParam(std::uint32_t name, EventParamValue value) {
    for (auto& p : params_) {
        if (p.first == name) {
            p.second = std::move(value);
            return;
        }
    }
    params_.emplace_back(name, std::move(value));
}

void Event::RemoveParam(std::uint32_t name) {
    params_.erase(std::remove_if(params_.begin(), params_.end(),
                                 [name](const auto& p) { return p.first == name; }),
                  params_.end());
}

const EventParamValue* Event::Find(std::uint32_t name) const {
    for (const auto& p : params_) {
        if (p.first == name) return &p.second;
    }
    return nullptr;
}

std::int64_t Event::GetInt(std::uint32_t name, std::int64_t def) const {
    std::int64_t v = def;
    GetParam(name, &v);
    return v;
}

void* Event::GetPointer(std::uint32_t name) const {
    void* p = nullptr;
    GetParam(name, &p);
    return p;
}

void Event::SetPostTarget(EventTarget* target) {
    post_target_ = target ? target->Id() : 0;
}

// ---------------------------------------------------------------------------------------
// Targets and handlers

struct EventTarget::Handler {
    EventHandlerRef ref;
    std::vector<EventTypeSpec> types;
    EventHandlerProc proc;
    bool removed = false;

    bool Takes(const Event& e) const {
        for (const auto& t : types) {
            if (t.event_class == e.Class() && t.event_kind == e.Kind()) return true;
        }
        return false;
    }
};

class EventHandlerCall {
  public:
    struct Link {
        std::shared_ptr<EventTarget::Handler> handler;  // null for a standard handler
        EventHandlerProc standard;
    };
    std::vector<Link> chain;
    std::size_t next = 0;

    OSStatus Run(Event& e) {
        while (next < chain.size()) {
            Link& link = chain[next++];
            OSStatus r = kEventNotHandledErr;
            if (link.handler) {
                if (link.handler->removed) continue;
                // Keep the routine alive even if the handler removes itself.
                EventHandlerProc proc = link.handler->proc;
                r = proc(*this, e);
            } else {
                r = link.standard(*this, e);
            }
            if (r != kEventNotHandledErr) {
                next = chain.size();
                return r;
            }
        }
        return kEventNotHandledErr;
    }
};

OSStatus CallNextEventHandler(EventHandlerCall& next, Event& event) {
    return next.Run(event);
}

EventTarget::EventTarget(EventTarget* parent) : id_(g_next_target_id++), parent_(parent) {
    std::lock_guard<std::mutex> lock(RegistryMutex());
    Registry()[id_] = this;
}

EventTarget::~EventTarget() {
    {
        std::lock_guard<std::mutex> lock(RegistryMutex());
        Registry().erase(id_);
    }
    for (auto& h : handlers_) h->removed = true;
    const std::uint64_t id = id_;
    main_queue::Remove([id](const Event& e) { return e.PostTargetId() == id; });
}

EventTarget* EventTarget::FromId(std::uint64_t id) {
    std::lock_guard<std::mutex> lock(RegistryMutex());
    auto it = Registry().find(id);
    return it == Registry().end() ? nullptr : it->second;
}

EventHandlerRef EventTarget::InstallHandler(std::vector<EventTypeSpec> types,
                                            EventHandlerProc proc) {
    static std::atomic<EventHandlerRef> next_ref{1};
    auto h = std::make_shared<Handler>();
    h->ref = next_ref++;
    h->types = std::move(types);
    h->proc = std::move(proc);
    handlers_.push_back(h);
    return h->ref;
}

void EventTarget::AddEventTypes(EventHandlerRef ref, const std::vector<EventTypeSpec>& types) {
    for (auto& h : handlers_) {
        if (h->ref == ref) h->types.insert(h->types.end(), types.begin(), types.end());
    }
}

void EventTarget::RemoveHandler(EventHandlerRef ref) {
    for (auto it = handlers_.begin(); it != handlers_.end(); ++it) {
        if ((*it)->ref == ref) {
            (*it)->removed = true;
            handlers_.erase(it);
            return;
        }
    }
}

bool EventTarget::HasHandler(EventHandlerRef ref) const {
    return std::any_of(handlers_.begin(), handlers_.end(),
                       [ref](const auto& h) { return h->ref == ref; });
}

EventTarget& ApplicationTarget() {
    static auto* app = new EventTarget;
    return *app;
}

OSStatus SendEventToTarget(Event& event, EventTarget* target) {
    if (target == nullptr) return kEventNotHandledErr;
    EventHandlerCall call;
    for (EventTarget* t = target; t != nullptr; t = t->parent_) {
        for (auto it = t->handlers_.rbegin(); it != t->handlers_.rend(); ++it) {
            if ((*it)->Takes(event)) call.chain.push_back({*it, nullptr});
        }
        if (t->standard_) call.chain.push_back({nullptr, t->standard_});
    }
    return call.Run(event);
}

// ---------------------------------------------------------------------------------------
// The main queue

namespace {

struct Queue {
    std::mutex mutex;
    std::deque<Event> levels[3];  // index = priority
    std::size_t count = 0;
};

Queue& TheQueue() {
    static auto* q = new Queue;  // lives until the process ends, like the targets
    return *q;
}

std::atomic<std::uint64_t> g_dispatched{0};

bool PopNext(Event* out) {
    Queue& q = TheQueue();
    std::lock_guard<std::mutex> lock(q.mutex);
    for (int p = 2; p >= 0; --p) {
        if (!q.levels[p].empty()) {
            *out = std::move(q.levels[p].front());
            q.levels[p].pop_front();
            --q.count;
            return true;
        }
    }
    return false;
}

void DispatchOneQueued() {
    Event e(0, 0);
    if (!PopNext(&e)) return;
    ++g_dispatched;
    EventTarget* target = &ApplicationTarget();
    if (e.PostTargetId() != 0) {
        target = EventTarget::FromId(e.PostTargetId());
        if (target == nullptr) return;  // its target is gone
    }
    SendEventToTarget(e, target);
}

gboolean QueuePrepare(GSource*, gint* timeout) {
    *timeout = -1;
    return main_queue::Count() > 0;
}

gboolean QueueCheck(GSource*) {
    return main_queue::Count() > 0;
}

gboolean QueueDispatch(GSource*, GSourceFunc, gpointer) {
    DispatchOneQueued();
    return G_SOURCE_CONTINUE;
}

GSourceFuncs g_queue_funcs = {QueuePrepare, QueueCheck, QueueDispatch, nullptr, nullptr, nullptr};

void EnsureQueueSource() {
    static std::once_flag once;
    std::call_once(once, [] {
        GSource* s = g_source_new(&g_queue_funcs, sizeof(GSource));
        g_source_set_name(s, "tw-event-queue");
        // Commands may run nested modal loops, which must go on dispatching our events.
        g_source_set_can_recurse(s, TRUE);
        g_source_attach(s, nullptr);
        g_source_unref(s);
    });
}

}  // namespace

namespace main_queue {

void Post(Event event, EventPriority priority) {
    EnsureQueueSource();
    Queue& q = TheQueue();
    {
        std::lock_guard<std::mutex> lock(q.mutex);
        q.levels[static_cast<int>(priority)].push_back(std::move(event));
        ++q.count;
    }
    g_main_context_wakeup(nullptr);
}

std::size_t Count() {
    Queue& q = TheQueue();
    std::lock_guard<std::mutex> lock(q.mutex);
    return q.count;
}

std::vector<Event> Remove(const std::function<bool(const Event&)>& match) {
    std::vector<Event> removed;
    Queue& q = TheQueue();
    std::lock_guard<std::mutex> lock(q.mutex);
    for (auto& level : q.levels) {
        for (auto it = level.begin(); it != level.end();) {
            if (match(*it)) {
                removed.push_back(std::move(*it));
                it = level.erase(it);
                --q.count;
            } else {
                ++it;
            }
        }
    }
    return removed;
}

}  // namespace main_queue

// ---------------------------------------------------------------------------------------
// Loops

namespace {

gboolean SetFlag(gpointer data) {
    *static_cast<bool*>(data) = true;
    return G_SOURCE_REMOVE;
}

struct LoopFrame {
    const void* key;
    bool quit = false;
};

std::vector<LoopFrame*>& Frames() {
    static std::vector<LoopFrame*> frames;
    return frames;
}

}  // namespace

OSStatus ReceiveAndDispatchNextEvent(int timeout_ms) {
    EnsureQueueSource();
    if (main_queue::Count() > 0) {
        DispatchOneQueued();
        return kNoErr;
    }
    if (timeout_ms == 0) {
        // Let GTK and timers run once without blocking.
        const std::uint64_t before = g_dispatched;
        g_main_context_iteration(nullptr, FALSE);
        return g_dispatched != before ? kNoErr : kEventLoopTimedOutErr;
    }
    const std::uint64_t before = g_dispatched;
    bool timed_out = false;
    guint timer = 0;
    if (timeout_ms > 0) timer = g_timeout_add(static_cast<guint>(timeout_ms), SetFlag, &timed_out);
    while (g_dispatched == before && !timed_out) {
        if (main_queue::Count() > 0) {
            DispatchOneQueued();
            break;
        }
        g_main_context_iteration(nullptr, TRUE);
    }
    if (!timed_out && timer != 0) g_source_remove(timer);
    return g_dispatched != before ? kNoErr : kEventLoopTimedOutErr;
}

void RunEventLoopFor(int ms) {
    EnsureQueueSource();
    bool done = false;
    g_timeout_add(static_cast<guint>(std::max(ms, 0)), SetFlag, &done);
    while (!done) g_main_context_iteration(nullptr, TRUE);
}

bool RunEventLoopUntil(const std::function<bool()>& done, int timeout_ms) {
    EnsureQueueSource();
    bool timed_out = false;
    guint timer = g_timeout_add(static_cast<guint>(std::max(timeout_ms, 0)), SetFlag, &timed_out);
    bool ok = done();
    while (!ok && !timed_out) {
        // Wake at least every 10 ms so that conditions set by other threads are seen.
        bool tick = false;
        guint t = g_timeout_add(10, SetFlag, &tick);
        g_main_context_iteration(nullptr, TRUE);
        if (!tick) g_source_remove(t);
        ok = done();
    }
    if (!timed_out) g_source_remove(timer);
    return ok;
}

void RunEventLoop(const void* key) {
    EnsureQueueSource();
    LoopFrame frame{key};
    Frames().push_back(&frame);
    while (!frame.quit) g_main_context_iteration(nullptr, TRUE);
    Frames().erase(std::find(Frames().begin(), Frames().end(), &frame));
}

void QuitEventLoop(const void* key) {
    auto& frames = Frames();
    for (auto it = frames.rbegin(); it != frames.rend(); ++it) {
        if ((*it)->key == key && !(*it)->quit) {
            (*it)->quit = true;
            g_main_context_wakeup(nullptr);
            return;
        }
    }
}

bool IsEventLoopRunning(const void* key) {
    for (LoopFrame* f : Frames()) {
        if (f->key == key && !f->quit) return true;
    }
    return false;
}

int EventLoopDepth() {
    return static_cast<int>(Frames().size());
}

void RunApplicationEventLoop() {
    RunEventLoop(&ApplicationTarget());
}
void QuitApplicationEventLoop() {
    QuitEventLoop(&ApplicationTarget());
}

// ---------------------------------------------------------------------------------------
// Timers
//
// All timers share one main-loop source that keeps their deadlines, so that timers which are
// overdue together (after the loop was busy) fire in the order of their deadlines, as they
// would have fired on time; separate sources would fire in the order they were created.

struct EventLoopTimer::Queue {
    std::mutex mutex;
    std::vector<EventLoopTimer*> timers;  // installed, armed or not; under mutex
    std::uint64_t armings = 0;            // counts SetNextFireTime calls; under mutex
    GSource* source = nullptr;

    // With mutex held: wake the loop at the earliest deadline, or never.
    void UpdateReadyTime() {
        std::int64_t earliest = -1;
        for (const EventLoopTimer* t : timers) {
            if (t->deadline_us_ >= 0 && (earliest < 0 || t->deadline_us_ < earliest)) {
                earliest = t->deadline_us_;
            }
        }
        g_source_set_ready_time(source, earliest);
    }

    // Main thread: fires every timer that was due when the dispatch began, earliest deadline
    // first (ties in arming order). Each is disarmed before its callback, which may arm it
    // again, destroy timers or run a nested loop that dispatches this source again.
    void FireDue() {
        const std::int64_t now = g_get_monotonic_time();
        std::uint64_t armedBefore = 0;
        {
            std::lock_guard<std::mutex> lock(mutex);
            armedBefore = armings;
        }
        for (;;) {
            EventLoopTimer* next = nullptr;
            {
                std::lock_guard<std::mutex> lock(mutex);
                for (EventLoopTimer* t : timers) {
                    if (t->deadline_us_ < 0 || t->deadline_us_ > now || t->arming_ > armedBefore) {
                        continue;
                    }
                    if (!next || t->deadline_us_ < next->deadline_us_ ||
                        (t->deadline_us_ == next->deadline_us_ && t->arming_ < next->arming_)) {
                        next = t;
                    }
                }
                if (next) next->deadline_us_ = -1;  // one-shot until armed again
                UpdateReadyTime();
            }
            if (!next) return;
            next->Fire();
        }
    }
};

namespace {

gboolean TimerDispatch(GSource*, GSourceFunc, gpointer) {
    EventLoopTimer::TheQueue().FireDue();
    return G_SOURCE_CONTINUE;
}

GSourceFuncs g_timer_funcs = {nullptr, nullptr, TimerDispatch, nullptr, nullptr, nullptr};

}  // namespace

EventLoopTimer::Queue& EventLoopTimer::TheQueue() {
    static auto* queue = [] {
        auto* q = new Queue;  // lives until the process ends, like the event queue
        q->source = g_source_new(&g_timer_funcs, sizeof(GSource));
        g_source_set_name(q->source, "tw-event-loop-timers");
        g_source_set_can_recurse(q->source, TRUE);
        g_source_set_ready_time(q->source, -1);
        if (g_source_attach(q->source, nullptr) == 0) {
            g_source_unref(q->source);
            q->source = nullptr;
        }
        return q;
    }();
    return *queue;
}

std::unique_ptr<EventLoopTimer> EventLoopTimer::Install(int delay_ms, Callback callback) {
    Queue& queue = TheQueue();
    if (queue.source == nullptr) return nullptr;
    std::unique_ptr<EventLoopTimer> t(new EventLoopTimer());
    t->callback_ = std::move(callback);
    {
        std::lock_guard<std::mutex> lock(queue.mutex);
        queue.timers.push_back(t.get());
    }
    t->SetNextFireTime(delay_ms);
    return t;
}

EventLoopTimer::~EventLoopTimer() {
    Queue& queue = TheQueue();
    std::lock_guard<std::mutex> lock(queue.mutex);
    queue.timers.erase(std::remove(queue.timers.begin(), queue.timers.end(), this),
                       queue.timers.end());
    if (queue.source != nullptr) queue.UpdateReadyTime();
}

void EventLoopTimer::SetNextFireTime(int ms) {
    Queue& queue = TheQueue();
    if (queue.source == nullptr) return;
    std::lock_guard<std::mutex> lock(queue.mutex);
    deadline_us_ = ms < 0 ? -1 : g_get_monotonic_time() + std::int64_t(ms) * 1000;
    arming_ = ++queue.armings;
    queue.UpdateReadyTime();
}

void EventLoopTimer::Fire() {
    // A copy, because the callback may destroy this timer.
    Callback cb = callback_;
    if (cb) cb(this);
}

}  // namespace tw
