// The event layer of the user interface: events with a class, a kind and typed
// parameters; handlers installed on targets (application, window, view, control); send
// (synchronous) and post (queued, with priority, from any thread); removal of queued
// events by a predicate; receive-and-dispatch with a time-out; nested modal loops; and
// one-shot event-loop timers. It runs on the GLib main loop of the default main context,
// so GTK's own events interleave with ours; it does not need GTK itself.
//
// Thread: everything runs on the main thread except where a function says "any thread".
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <variant>
#include <vector>

namespace tw {

using OSStatus = std::int32_t;
inline constexpr OSStatus kNoErr = 0;
inline constexpr OSStatus kEventNotHandledErr = -9874;
inline constexpr OSStatus kEventLoopTimedOutErr = -9875;
inline constexpr OSStatus kUserCanceledErr = -128;

// Big-endian packing of a four-character code, as the codes are written ('quit').
constexpr std::uint32_t FourCC(const char (&s)[5]) {
    return (std::uint32_t(std::uint8_t(s[0])) << 24) | (std::uint32_t(std::uint8_t(s[1])) << 16) |
           (std::uint32_t(std::uint8_t(s[2])) << 8) | std::uint32_t(std::uint8_t(s[3]));
}

// Event classes.
inline constexpr std::uint32_t kEventClassCommand = FourCC("cmds");
inline constexpr std::uint32_t kEventClassWindow = FourCC("wind");
inline constexpr std::uint32_t kEventClassControl = FourCC("cntl");
inline constexpr std::uint32_t kEventClassApplication = FourCC("appl");
inline constexpr std::uint32_t kEventClassKeyboard = FourCC("keyb");
inline constexpr std::uint32_t kEventClassMouse = FourCC("mous");
inline constexpr std::uint32_t kEventClassMenu = FourCC("menu");
inline constexpr std::uint32_t kEventClassTextInput = FourCC("text");

// Command class.
inline constexpr std::uint32_t kEventCommandProcess = 1;
inline constexpr std::uint32_t kEventCommandUpdateStatus = 2;

// Window class.
inline constexpr std::uint32_t kEventWindowActivated = 5;
inline constexpr std::uint32_t kEventWindowDeactivated = 6;
inline constexpr std::uint32_t kEventWindowGetClickActivation = 7;
inline constexpr std::uint32_t kEventWindowGetClickModality = 8;
inline constexpr std::uint32_t kEventWindowShowing = 22;
inline constexpr std::uint32_t kEventWindowHiding = 23;
inline constexpr std::uint32_t kEventWindowShown = 24;
inline constexpr std::uint32_t kEventWindowHidden = 25;
inline constexpr std::uint32_t kEventWindowBoundsChanged = 27;
inline constexpr std::uint32_t kEventWindowCursorChange = 40;
inline constexpr std::uint32_t kEventWindowClose = 72;
inline constexpr std::uint32_t kEventWindowClosed = 73;
inline constexpr std::uint32_t kEventWindowCollapsing = 86;
inline constexpr std::uint32_t kEventWindowExpanding = 87;

// Control class.
inline constexpr std::uint32_t kEventControlHit = 1;
inline constexpr std::uint32_t kEventControlDraw = 4;
inline constexpr std::uint32_t kEventControlSetFocusPart = 7;
inline constexpr std::uint32_t kEventControlActivate = 9;
inline constexpr std::uint32_t kEventControlDeactivate = 10;
inline constexpr std::uint32_t kEventControlEnabledStateChanged = 19;
inline constexpr std::uint32_t kEventControlBoundsChanged = 154;
inline constexpr std::uint32_t kEventControlVisibilityChanged = 157;
inline constexpr std::uint32_t kEventControlDispose = 1001;
inline constexpr std::uint32_t kEventControlValueChanged = 151;
// A mouse press on a control while another control of its window has the keyboard focus.
inline constexpr std::uint32_t kEventControlClickWhileOtherFocused = FourCC("Ctlf");

// Application class.
inline constexpr std::uint32_t kEventAppActivated = 1;
inline constexpr std::uint32_t kEventAppDeactivated = 2;

// Keyboard class.
inline constexpr std::uint32_t kEventRawKeyDown = 1;
inline constexpr std::uint32_t kEventRawKeyRepeat = 2;
inline constexpr std::uint32_t kEventRawKeyUp = 3;

// Mouse class.
inline constexpr std::uint32_t kEventMouseDown = 1;
inline constexpr std::uint32_t kEventMouseUp = 2;
inline constexpr std::uint32_t kEventMouseMoved = 5;

// Menu class: an item of a popup's menu was highlighted (item 0 = none), the menu closed.
inline constexpr std::uint32_t kEventMenuOpening = 4;
inline constexpr std::uint32_t kEventMenuClosed = 5;
inline constexpr std::uint32_t kEventMenuTargetItem = 6;

// Text input class: the full text an edit field would hold if the input were taken.
inline constexpr std::uint32_t kEventTextInputFilterText = 2;
// An edit field's text changed (after a key press or text input was taken).
inline constexpr std::uint32_t kEventTextInputChanged = 3;

// Parameter names.
inline constexpr std::uint32_t kEventParamDirectObject = FourCC("----");
inline constexpr std::uint32_t kEventParamCommand = FourCC("hcmd");
inline constexpr std::uint32_t kEventParamPaintContext = FourCC("cctx");
inline constexpr std::uint32_t kEventParamMouseLocation = FourCC("mloc");
// The cursor a view wants where the mouse moved (an answer set on a mouse-moved event).
inline constexpr std::uint32_t kEventParamCursorKind = FourCC("curk");
inline constexpr std::int64_t kCursorArrow = 0;
inline constexpr std::int64_t kCursorPointingHand = 1;
inline constexpr std::uint32_t kEventParamKeyCode = FourCC("kcod");
inline constexpr std::uint32_t kEventParamKeyModifiers = FourCC("kmod");
inline constexpr std::uint32_t kEventParamKeyChar = FourCC("kchr");
inline constexpr std::uint32_t kEventParamText = FourCC("tstr");
inline constexpr std::uint32_t kEventParamMenuItemIndex = FourCC("item");
inline constexpr std::uint32_t kEventParamVisible = FourCC("cvis");
inline constexpr std::uint32_t kEventParamBounds = FourCC("bnds");
inline constexpr std::uint32_t kEventParamClickActivation = FourCC("clac");
inline constexpr std::uint32_t kEventParamModalClickResult = FourCC("wmcr");
inline constexpr std::uint32_t kEventParamModalWindow = FourCC("mwin");
inline constexpr std::uint32_t kEventParamWindowModality = FourCC("wmty");

// Modifier bits (Command, Shift, Caps Lock, Option, Control); GDK's Ctrl, Shift, Lock, Alt
// and Super map onto them.
inline constexpr std::uint32_t kCmdKey = 1u << 8;
inline constexpr std::uint32_t kShiftKey = 1u << 9;
inline constexpr std::uint32_t kAlphaLock = 1u << 10;
inline constexpr std::uint32_t kOptionKey = 1u << 11;
inline constexpr std::uint32_t kControlKey = 1u << 12;

struct Point {
    double x = 0;
    double y = 0;
};

struct Rect {
    double x = 0;
    double y = 0;
    double w = 0;
    double h = 0;
};

// A command as it travels in a command-process event.
inline constexpr std::uint32_t kHICommandFromMenu = 1;
inline constexpr std::uint32_t kHICommandFromControl = 2;
inline constexpr std::uint32_t kHICommandFromWindow = 4;
struct HICommand {
    std::uint32_t attributes = 0;
    std::uint32_t command_id = 0;
    std::uint32_t menu_item_index = 0;
};

using EventParamValue = std::variant<std::int64_t, void*, Point, Rect, HICommand, std::string>;

class EventTarget;

// One event: class, kind and named parameters. An event may name the target it is
// posted to; that target is remembered by id, so an event posted to a target that is
// gone by the time it is dispatched is dropped instead of reaching freed memory.
class Event {
  public:
    Event(std::uint32_t cls, std::uint32_t kind) : class_(cls), kind_(kind) {}

    std::uint32_t Class() const { return class_; }
    std::uint32_t Kind() const { return kind_; }

    void SetParam(std::uint32_t name, EventParamValue value);
    bool HasParam(std::uint32_t name) const { return Find(name) != nullptr; }
    void RemoveParam(std::uint32_t name);

    template <class T>
    bool GetParam(std::uint32_t name, T* out) const {
        const EventParamValue* v = Find(name);
        if (v == nullptr) return false;
        if (const T* p = std::get_if<T>(v)) {
            *out = *p;
            return true;
        }
        return false;
    }
    // Integer parameters of any width.
    std::int64_t GetInt(std::uint32_t name, std::int64_t def = 0) const;
    void* GetPointer(std::uint32_t name) const;

    void SetPostTarget(EventTarget* target);
    // Any thread: by the id of a target read earlier on the main thread.
    void SetPostTargetId(std::uint64_t id) { post_target_ = id; }
    std::uint64_t PostTargetId() const { return post_target_; }

  private:
    const EventParamValue* Find(std::uint32_t name) const;

    std::uint32_t class_;
    std::uint32_t kind_;
    std::uint64_t post_target_ = 0;
    std::vector<std::pair<std::uint32_t, EventParamValue>> params_;
};

struct EventTypeSpec {
    std::uint32_t event_class;
    std::uint32_t event_kind;
};

// Passed to a handler so that it can run the handlers below it first.
class EventHandlerCall;
using EventHandlerProc = std::function<OSStatus(EventHandlerCall& next, Event& event)>;
using EventHandlerRef = std::uint64_t;

// Runs the rest of the chain (older handlers, then the parent target, then the standard
// handler) and returns its answer.
OSStatus CallNextEventHandler(EventHandlerCall& next, Event& event);

// A target of events. Handlers installed later run first; an answer of
// kEventNotHandledErr passes the event on to the next handler, then to the parent target
// (control -> content view -> window -> application), then to the target's standard
// handler. Destroying a target drops the events still queued for it.
class EventTarget {
  public:
    explicit EventTarget(EventTarget* parent = nullptr);
    ~EventTarget();
    EventTarget(const EventTarget&) = delete;
    EventTarget& operator=(const EventTarget&) = delete;

    EventHandlerRef InstallHandler(std::vector<EventTypeSpec> types, EventHandlerProc proc);
    // Adds event types to an installed handler.
    void AddEventTypes(EventHandlerRef ref, const std::vector<EventTypeSpec>& types);
    void RemoveHandler(EventHandlerRef ref);
    bool HasHandler(EventHandlerRef ref) const;

    // The handler of last resort, run after the parents (the platform's own behaviour).
    void SetStandardHandler(EventHandlerProc proc) { standard_ = std::move(proc); }

    void SetParent(EventTarget* parent) { parent_ = parent; }
    EventTarget* Parent() const { return parent_; }
    std::uint64_t Id() const { return id_; }

    // The target with this id while it exists; nullptr afterwards. Main thread.
    static EventTarget* FromId(std::uint64_t id);

  private:
    friend OSStatus SendEventToTarget(Event& event, EventTarget* target);
    friend class EventHandlerCall;
    struct Handler;

    std::uint64_t id_;
    EventTarget* parent_;
    std::vector<std::shared_ptr<Handler>> handlers_;
    EventHandlerProc standard_;
};

// The application target: the root of every chain, and where untargeted posts go.
EventTarget& ApplicationTarget();

// Sends the event to the target and returns after its handlers have run.
OSStatus SendEventToTarget(Event& event, EventTarget* target);

enum class EventPriority { kLow = 0, kStandard = 1, kHigh = 2 };

// The main event queue. Events are dispatched from the GLib main loop of the default
// main context, highest priority first, in the order posted within a priority.
namespace main_queue {

// Any thread. The event goes to its post target (or the application target) later on
// the main thread.
void Post(Event event, EventPriority priority = EventPriority::kStandard);

// Any thread. Number of events waiting.
std::size_t Count();

// Any thread. Removes every queued event for which `match` is true and returns them, in
// queue order. `match` runs under the queue's lock: it must not post.
std::vector<Event> Remove(const std::function<bool(const Event&)>& match);

}  // namespace main_queue

// Main thread. Dispatches the next queued event of ours, running the main loop (GTK
// included) while waiting up to timeout_ms (0: do not wait; -1: no limit). Returns
// kNoErr when one was dispatched, kEventLoopTimedOutErr otherwise.
OSStatus ReceiveAndDispatchNextEvent(int timeout_ms);

// Main thread. Runs the main loop for the given time, dispatching everything.
void RunEventLoopFor(int ms);

// Main thread. Runs the main loop until `done` returns true or timeout_ms pass; returns
// the last answer of `done`.
bool RunEventLoopUntil(const std::function<bool()>& done, int timeout_ms);

// Main thread. Runs a (nested) loop until QuitEventLoop(key) for the same key. Loops
// nest like a stack; quitting a loop that is not running does nothing.
void RunEventLoop(const void* key);
void QuitEventLoop(const void* key);
bool IsEventLoopRunning(const void* key);
// Number of loops currently running (0 outside any).
int EventLoopDepth();

// The application event loop, keyed by the application target.
void RunApplicationEventLoop();
void QuitApplicationEventLoop();

// True on the thread that loaded the program (the main thread).
bool IsMainThread();

// A one-shot timer on the main loop. Created unarmed or armed; the callback runs on the
// main thread. SetNextFireTime may be called from any thread and moves the next firing
// to ms from now (negative: disarm).
class EventLoopTimer {
  public:
    using Callback = std::function<void(EventLoopTimer*)>;

    // Returns nullptr when the main loop cannot take another source.
    static std::unique_ptr<EventLoopTimer> Install(int delay_ms, Callback callback);
    ~EventLoopTimer();
    EventLoopTimer(const EventLoopTimer&) = delete;
    EventLoopTimer& operator=(const EventLoopTimer&) = delete;

    void SetNextFireTime(int ms);

    // The timers' shared main-loop source (event_layer.cpp).
    struct Queue;
    static Queue& TheQueue();

  private:
    EventLoopTimer() = default;
    void Fire();

    Callback callback_;
    std::int64_t deadline_us_ = -1;  // monotonic time; -1 disarmed; under the queue's mutex
    std::uint64_t arming_ = 0;       // when it was last armed; under the queue's mutex
};

}  // namespace tw
