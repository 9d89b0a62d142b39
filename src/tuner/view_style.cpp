#include "tuner/view_style.h"

namespace tw {

void PenLine(PaintContext& pc, const Pen& pen, double x1, double y1, double x2, double y2) {
    // Half a pixel short, so that a line ends on its last pixel instead of covering half
    // of the next one.
    if (x2 != x1) x2 += x2 > x1 ? -0.5 : 0.5;
    if (y2 != y1) y2 += y2 > y1 ? -0.5 : 0.5;
    pc.SetColor(ToRgba(pen.colour));
    pc.SetLineWidth(pen.width);
    pc.SetDashed(pen.dashed);
    pc.StrokeLine(x1, y1, x2, y2);
}

void DrawStyledText(PaintContext& pc, const TextStyle& style, double x, double y,
                    const std::string& text) {
    // One point is one pixel here: the views' fixed geometry (a 70 x 14 label box, a
    // 39-pixel plate under a 20-point letter) is laid out for text of that size, which
    // GTK's 96 dots per inch would overflow by a third.
    pc.SetFontPixels(PointsOfSize(style.size), style.bold);
    pc.SetColor(ToRgba(style.colour));
    pc.DrawText(x, y, text);
}

void DrawShadowedText(PaintContext& pc, const TextStyle& style, double x, double y,
                      const std::string& text) {
    TextStyle shadow = style;
    shadow.colour = colours::kShadow;
    DrawStyledText(pc, shadow, x + 1, y + 1, text);
    DrawStyledText(pc, style, x, y, text);
}

}  // namespace tw
