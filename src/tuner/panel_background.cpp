#include "tuner/panel_background.h"

#include "tuner/view_style.h"

namespace tw {

namespace {

// Top and bottom of the gradient: the range bar's background, and darker below.
constexpr Colour16 kTop{0x2000, 0x2000, 0x4A00};
constexpr Colour16 kBottom{0x0800, 0x0800, 0x1A00};

}  // namespace

void PanelBackground::OnDraw(PaintContext& pc) {
    pc.FillRectVerticalGradient(-1, -1, width + 2, height + 2, ToRgba(kTop), ToRgba(kBottom));
}

}  // namespace tw
