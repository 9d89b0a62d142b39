#include "ui/custom_view.h"

#include "platform/ui/native.h"
#include "ui/controls.h"
#include "ui/window.h"

namespace tw {

LCustomView::LCustomView() = default;

LCustomView::~LCustomView() {
    Detach();
}

bool LCustomView::Attach(LWindow* owner, int pane_id) {
    Detach();
    window = owner;
    NativeControl* c = FindControl(owner, pane_id);
    if (c == nullptr || c->Kind() != ControlKind::kUserPane) return false;
    pane = c;
    pane->SetProperty(kPropertyCustomView, reinterpret_cast<std::uintptr_t>(this));
    handler_ = pane->Target().InstallHandler(
        {{kEventClassControl, kEventControlDraw},
         {kEventClassControl, kEventControlSetFocusPart},
         {kEventClassControl, kEventControlDispose},
         {kEventClassControl, kEventControlBoundsChanged},
         {kEventClassControl, kEventControlVisibilityChanged},
         {kEventClassControl, kEventControlActivate},
         {kEventClassControl, kEventControlDeactivate},
         {kEventClassControl, kEventControlEnabledStateChanged},
         {kEventClassCommand, kEventCustomViewInvalidate},
         {kEventClassCommand, kEventCustomViewDrawNow},
         {kEventClassCommand, kEventCustomViewScroll},
         {kEventClassMouse, kEventMouseDown},
         {kEventClassMouse, kEventMouseMoved}},
        [this](EventHandlerCall&, Event& e) { return HandleEvent(e); });
    pane_target_ = pane->Target().Id();
    RefreshSize();
    return true;
}

void LCustomView::Detach() {
    pane_target_ = 0;
    if (pane != nullptr && NativeControl::IsValid(pane)) {
        if (handler_ != 0) pane->Target().RemoveHandler(handler_);
        if (pane->GetProperty(kPropertyCustomView) == reinterpret_cast<std::uintptr_t>(this)) {
            pane->RemoveProperty(kPropertyCustomView);
        }
    }
    handler_ = 0;
    pane = nullptr;
}

void LCustomView::PostToPane(Event e) {
    const std::uint64_t target = pane_target_;
    if (target == 0) return;
    e.SetPostTargetId(target);
    main_queue::Post(std::move(e), EventPriority::kStandard);
}

void LCustomView::Invalidate() {
    PostToPane(Event(kEventClassCommand, kEventCustomViewInvalidate));
}

void LCustomView::Invalidate(const Rect& r) {
    Event e(kEventClassCommand, kEventCustomViewInvalidate);
    e.SetParam(kEventParamViewRect, r);
    PostToPane(std::move(e));
}

void LCustomView::Scroll(const Rect& r, int dx, int dy) {
    Event e(kEventClassCommand, kEventCustomViewScroll);
    e.SetParam(kEventParamViewRect, r);
    e.SetParam(kEventParamViewDelta, Point{double(dx), double(dy)});
    PostToPane(std::move(e));
}

void LCustomView::SetupTransform(PaintContext& context) {
    context.Translate(0.5, 0.5);
}

void LCustomView::FillRect(PaintContext& context, const Rect& r, const Rgba& color) {
    context.SetColor(color);
    context.FillRect(r.x, r.y, r.w, r.h);
}

double LCustomView::PixelScale(PaintContext& context) {
    return context.PixelScale();
}

void LCustomView::Paint(PaintContext& context) {
    OnDraw(context);
}

void LCustomView::RefreshSize() {
    if (pane == nullptr) return;
    NativeControl* source = pane;
    if (fillSuperview && pane->Parent() != nullptr) source = pane->Parent();
    source->GetSize(&width, &height);
}

void LCustomView::DrawInto(PaintContext& context, int w, int h, bool active) {
    width = w;
    height = h;
    context.Save();
    SetupTransform(context);
    const bool dim = dimWhenInactive && !active;
    if (dim) context.BeginGroup();
    context.SetAntialias(false);
    if (cornerRadius > 0) {
        context.RoundedRectangle(1, 1, w - 2, h - 2, cornerRadius);
        context.Clip();
    }
    context.SetAntialias(true);
    Paint(context);
    if (dim) context.EndGroup(0.5);
    context.Restore();
}

OSStatus LCustomView::HandleEvent(Event& e) {
    if (pane == nullptr) return kEventNotHandledErr;
    if (e.Class() == kEventClassCommand) {
        Rect r;
        const bool has_rect = e.GetParam(kEventParamViewRect, &r);
        if (e.Kind() == kEventCustomViewScroll || !has_rect) {
            // GTK repaints rather than copies: a scrolled area is drawn anew.
            if (has_rect) {
                pane->InvalidateRect(r);
            } else {
                pane->Invalidate();
            }
        } else {
            pane->InvalidateRect(r);
        }
        return kNoErr;
    }
    if (e.Class() == kEventClassMouse) {
        Point p;
        if (!e.GetParam(kEventParamMouseLocation, &p)) return kEventNotHandledErr;
        if (e.Kind() == kEventMouseMoved) {
            e.SetParam(kEventParamCursorKind, CursorAt(p));
            return kNoErr;
        }
        return OnMouseDown(p) ? kNoErr : kEventNotHandledErr;
    }
    switch (e.Kind()) {
        case kEventControlDraw: {
            auto* context = static_cast<PaintContext*>(e.GetPointer(kEventParamPaintContext));
            if (context == nullptr) return kEventNotHandledErr;
            NativeWindow* w = pane->Window();
            if (w == nullptr || !w->IsVisible() || w->IsCollapsed()) return kNoErr;
            RefreshSize();
            DrawInto(*context, width, height, pane->IsActive());
            return kNoErr;
        }
        case kEventControlBoundsChanged: {
            Rect b;
            if (fillSuperview || !e.GetParam(kEventParamBounds, &b)) {
                RefreshSize();
            } else {
                width = int(b.w);
                height = int(b.h);
            }
            OnSize();
            return kNoErr;
        }
        case kEventControlVisibilityChanged:
            OnVisibilityChanged(e.GetInt(kEventParamVisible) != 0);
            return kNoErr;
        case kEventControlActivate:
        case kEventControlDeactivate:
        case kEventControlEnabledStateChanged:
            Invalidate();
            return kEventNotHandledErr;
        case kEventControlSetFocusPart:
            pane->Invalidate();
            return kEventNotHandledErr;
        case kEventControlDispose:
            Detach();
            return kEventNotHandledErr;
        default:
            return kEventNotHandledErr;
    }
}

}  // namespace tw
