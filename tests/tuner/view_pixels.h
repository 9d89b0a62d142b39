// Pixel helpers for the tuner's view tests: colours of an image surface's pixels, and a
// PNG of a failing picture left in the build folder.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "platform/ui/paint.h"

namespace tw::test {

struct Rgb {
    int r = 0;
    int g = 0;
    int b = 0;
};

// The surface's pixels are opaque wherever the views draw (their backgrounds cover the
// pane), so premultiplied values are the colours themselves.
inline Rgb PixelAt(ImageSurface& s, int x, int y) {
    const std::uint32_t p = s.Pixel(x, y);
    return Rgb{int((p >> 16) & 0xFF), int((p >> 8) & 0xFF), int(p & 0xFF)};
}

inline bool Near(Rgb a, Rgb b, int tolerance = 8) {
    return std::abs(a.r - b.r) <= tolerance && std::abs(a.g - b.g) <= tolerance &&
           std::abs(a.b - b.b) <= tolerance;
}

// Amber of the raise and lower signs (bright or dim): red well above blue, green between.
inline bool IsSignColour(Rgb c) {
    return c.r > 70 && c.r > c.b + 40 && c.g > c.b + 10 && c.g < c.r;
}

inline std::string KeepPicture(ImageSurface& s, const std::string& name) {
    const std::filesystem::path dir = std::filesystem::path(TW_TEST_OUTPUT_DIR) / "tuner";
    std::error_code ec;
    std::filesystem::create_directories(dir, ec);
    const std::string path = (dir / (name + ".png")).string();
    s.WritePng(path);
    return path;
}

}  // namespace tw::test
