// The background of the tuner's panel: the window's client area behind the views and the
// white-labelled rows of pop-ups, in the dark blue of the tuning display, so that the
// panel reads the same under light and dark desktop themes.
//
// Thread: main thread.
#pragma once

#include "ui/custom_view.h"

namespace tw {

class PanelBackground : public LCustomView {
  public:
    void OnDraw(PaintContext& pc) override;
};

}  // namespace tw
