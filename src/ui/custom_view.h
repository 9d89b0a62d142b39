// LCustomView: a drawing object hosted in a user-pane control. The owner overrides
// OnDraw, which gets a paint context whose origin is the pane's top left; Invalidate
// (from any thread) asks for a redraw, which happens later on the main thread.
#pragma once

#include <atomic>
#include <cstdint>

#include "platform/events/event_layer.h"
#include "platform/ui/paint.h"

namespace tw {

class LWindow;
class NativeControl;

inline constexpr std::uint32_t kEventCustomViewInvalidate = FourCC("PaiU");
inline constexpr std::uint32_t kEventCustomViewDrawNow = FourCC("PaiI");
inline constexpr std::uint32_t kEventCustomViewScroll = FourCC("PaiS");
inline constexpr std::uint32_t kEventParamViewRect = FourCC("PaiR");
inline constexpr std::uint32_t kEventParamViewDelta = FourCC("Pdxy");

class LCustomView {
  public:
    LCustomView();
    // Detaches from the pane.
    virtual ~LCustomView();
    LCustomView(const LCustomView&) = delete;
    LCustomView& operator=(const LCustomView&) = delete;

    // Main thread. Finds pane `pane_id` of `window`, stores the view on it, installs the
    // view's handler and reads the pane's size. False when there is no such user pane.
    bool Attach(LWindow* window, int pane_id);
    // Main thread. Removes the handler and the pane's reference to this view.
    void Detach();

    // Any thread: post a redraw request for the pane (all of it, or `r`).
    void Invalidate();
    void Invalidate(const Rect& r);
    // Any thread: post a scroll of `r` by (dx, dy).
    void Scroll(const Rect& r, int dx, int dy);

    // ---- virtual operations, in their order
    // The coordinate set-up of a paint context before drawing: half a pixel, so that
    // one-pixel lines at whole coordinates cover whole pixels.
    virtual void SetupTransform(PaintContext& context);
    // The base drawing primitive of the view: fill (x, y, w, h) with a colour.
    virtual void FillRect(PaintContext& context, const Rect& r, const Rgba& color);
    virtual double PixelScale(PaintContext& context);
    virtual void Paint(PaintContext& context);
    virtual void OnSize() {}
    virtual void OnVisibilityChanged(bool visible) { (void)visible; }
    virtual void OnDraw(PaintContext& context) { (void)context; }
    // The cursor the view wants at a point of the pane (kCursorArrow, kCursorPointingHand).
    virtual std::int64_t CursorAt(const Point& where) {
        (void)where;
        return kCursorArrow;
    }
    // A press of a mouse button in the pane (pane coordinates); true when used.
    virtual bool OnMouseDown(const Point& where) {
        (void)where;
        return false;
    }

    // Main thread. The whole draw sequence of the pane, into any context of the given
    // size (an image surface, for example); `active` says whether the pane counts as
    // active and enabled for dim-when-inactive.
    void DrawInto(PaintContext& context, int w, int h, bool active = true);

    // ---- fields
    int width = 0;
    int height = 0;
    NativeControl* pane = nullptr;
    LWindow* window = nullptr;
    bool dimWhenInactive = false;
    double cornerRadius = 0;
    bool fillSuperview = false;

  private:
    OSStatus HandleEvent(Event& e);
    void RefreshSize();
    void PostToPane(Event e);

    EventHandlerRef handler_ = 0;
    std::atomic<std::uint64_t> pane_target_{0};  // read by posting threads
};

}  // namespace tw
