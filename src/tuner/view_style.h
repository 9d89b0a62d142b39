// The drawing conventions shared by the tuner's views: colours of 16-bit components of
// which only the high byte counts, pens whose lines stop half a pixel short of their end
// point, and text styles whose size converts to points as size x 0.75, rounded half
// away from zero, with the one-pixel shadow of the tuning display.
//
// Thread: main thread (drawing).
#pragma once

#include <cmath>
#include <cstdint>
#include <string>

#include "ui/custom_view.h"

namespace tw {

struct Colour16 {
    std::uint16_t r = 0;
    std::uint16_t g = 0;
    std::uint16_t b = 0;
};

// Drawing uses the high byte of each component only.
constexpr Rgba ToRgba(Colour16 c) {
    return Rgba{(c.r >> 8) / 255.0, (c.g >> 8) / 255.0, (c.b >> 8) / 255.0, 1.0};
}

namespace colours {
inline constexpr Colour16 kWhite{0xFF00, 0xFF00, 0xFF00};
inline constexpr Colour16 kShadow{0x0000, 0x0000, 0x0000};
inline constexpr Colour16 kTargetPrimary{0x0000, 0xFF00, 0x0000};
inline constexpr Colour16 kTargetSecondary{0x0000, 0xA500, 0x0000};
inline constexpr Colour16 kCurrentPrimary{0xFF00, 0x0300, 0x0E00};
inline constexpr Colour16 kCurrentSecondary{0xA500, 0x0200, 0x0500};
inline constexpr Colour16 kCurrentPrimaryNoSignal{0xA000, 0x0300, 0x0E00};
inline constexpr Colour16 kCurrentSecondaryNoSignal{0x5000, 0x0200, 0x0500};
inline constexpr Colour16 kBarBackground{0x1600, 0x1600, 0x3800};
inline constexpr Colour16 kBarTick{0x2300, 0x2A00, 0x6000};
inline constexpr Colour16 kBarTarget{0x0000, 0xFF00, 0x0000};
inline constexpr Colour16 kBarCurrent{0xFF00, 0x0000, 0x0000};
inline constexpr Colour16 kSelectedString{0xFF00, 0xB400, 0x0000};
}  // namespace colours

struct Pen {
    bool dashed = false;
    Colour16 colour;
    int width = 1;
};

// Strokes from (x1, y1) to an end point pulled back by half a pixel towards the start
// along each axis in which the two points differ.
void PenLine(PaintContext& pc, const Pen& pen, double x1, double y1, double x2, double y2);

struct TextStyle {
    int size = 12;  // the toolkit's size units
    bool bold = false;
    Colour16 colour;
};

// 13 -> 10, 14 -> 11, 16 -> 12, 18 -> 14, 26 -> 20.
inline int PointsOfSize(int size) {
    return int(std::lround(size * 0.75));
}

// The text's top-left corner at (x, y), in its style.
void DrawStyledText(PaintContext& pc, const TextStyle& style, double x, double y,
                    const std::string& text);
// The same over its shadow: first in the shadow colour at (x + 1, y + 1).
void DrawShadowedText(PaintContext& pc, const TextStyle& style, double x, double y,
                      const std::string& text);

// Frequencies that the note conversions can take: positive and finite.
inline bool IsDrawableFrequency(float hz) {
    return std::isfinite(hz) && hz > 0;
}

}  // namespace tw
