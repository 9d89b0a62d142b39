// Drawing for custom views: a paint context over Cairo with Pango text, images loaded
// from files at a given pixel scale, and image
// surfaces that tests and tools draw into and read back.
//
// Thread: main thread (an ImageSurface and its context may be used on any one thread;
// the text layouts are kept per thread).
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "platform/events/event_layer.h"

// Cairo's own opaque types, declared as cairo.h does, so that users of this header need
// not include Cairo.
extern "C" {
typedef struct _cairo cairo_t;
typedef struct _cairo_surface cairo_surface_t;
}

namespace tw {

struct Rgba {
    double r = 0;
    double g = 0;
    double b = 0;
    double a = 1;
};

class Image;

class PaintContext {
  public:
    // The context does not take ownership of `cairo`.
    explicit PaintContext(cairo_t* cairo);
    PaintContext(const PaintContext&) = delete;
    PaintContext& operator=(const PaintContext&) = delete;

    void Save();
    void Restore();
    void Translate(double dx, double dy);
    void SetAntialias(bool on);

    void SetColor(const Rgba& c);
    void SetLineWidth(double w);
    void SetDashed(bool dashed);

    void MoveTo(double x, double y);
    void LineTo(double x, double y);
    void ClosePath();
    void Rectangle(double x, double y, double w, double h);
    void RoundedRectangle(double x, double y, double w, double h, double radius);
    void Arc(double cx, double cy, double r, double from_rad, double to_rad);
    void Stroke();
    void Fill();
    void Clip();

    // Conveniences.
    void StrokeLine(double x1, double y1, double x2, double y2);
    void FillRect(double x, double y, double w, double h);
    void FillTriangle(Point a, Point b, Point c);
    // A vertical linear gradient from `top` at the rectangle's top edge to `bottom` at its
    // bottom edge.
    void FillRectVerticalGradient(double x, double y, double w, double h, const Rgba& top,
                                  const Rgba& bottom);

    // Text in the system's default font at `points` size (at 96 dots per inch, as GTK
    // lays out text); placed by the top-left corner of its line box, which lands on a
    // whole device pixel so that glyphs stay crisp. Layouts are kept between draws (see
    // TextLayoutCacheStats), so redrawing the same texts costs no new layout.
    void SetFont(double points, bool bold);
    // The same font at `pixels` user units, whatever the resolution: for views whose fixed
    // pixel geometry is laid out around their text.
    void SetFontPixels(double pixels, bool bold);
    void DrawText(double x, double y, const std::string& text);
    // Width and height of the text's line box in the current font.
    void MeasureText(const std::string& text, double* w, double* h);

    // The image scaled into (x, y, w, h); the rectangle's corners land on whole device
    // pixels, so an image drawn at its own size at the right scale stays sharp.
    void DrawImage(const Image& image, double x, double y, double w, double h);

    // Everything drawn between these two is composited with the given opacity.
    void BeginGroup();
    void EndGroup(double alpha);

    // Device pixels per user unit.
    double PixelScale() const;

    cairo_t* Cairo() const { return cr_; }

  private:
    // (x, y) moved to the nearest whole device pixel (halves go up-left).
    void SnapToDevice(double* x, double* y) const;

    cairo_t* cr_;
    double font_size_ = 10;
    bool font_bold_ = false;
    bool font_in_pixels_ = false;
};

// Counters of the text layouts kept for the calling thread.
struct TextLayoutCacheStats {
    std::uint64_t hits = 0;
    std::uint64_t misses = 0;
    std::size_t size = 0;
};
TextLayoutCacheStats GetTextLayoutCacheStats();
// Drops the calling thread's layouts (benchmarks measure the cold path with it).
void ClearTextLayoutCache();

// An image loaded once and drawn many times.
class Image {
  public:
    // From a PNG (or any format gdk-pixbuf reads); nullptr when it cannot be read.
    // `scale` is the number of image pixels per user unit: an image made for a scale
    // of 2 measures half its pixel size.
    static std::shared_ptr<Image> Load(const std::string& path, double scale = 1);
    ~Image();
    Image(const Image&) = delete;
    Image& operator=(const Image&) = delete;

    // Size in user units.
    int Width() const { return width_; }
    int Height() const { return height_; }
    double Scale() const { return scale_; }
    cairo_surface_t* Surface() const { return surface_; }
    const std::string& Path() const { return path_; }

  private:
    Image() = default;
    cairo_surface_t* surface_ = nullptr;
    int width_ = 0;
    int height_ = 0;
    double scale_ = 1;
    std::string path_;
};

// An ARGB image in memory with a paint context over it. With a `scale` of 2 it holds
// twice the pixels in each direction and draws as a HiDPI window does.
class ImageSurface {
  public:
    ImageSurface(int width, int height, double scale = 1);
    ~ImageSurface();
    ImageSurface(const ImageSurface&) = delete;
    ImageSurface& operator=(const ImageSurface&) = delete;

    PaintContext& Context() { return *context_; }
    // Size in user units.
    int Width() const { return width_; }
    int Height() const { return height_; }
    double Scale() const { return scale_; }
    // The device pixel as 0xAARRGGBB (premultiplied, as Cairo keeps it); (x, y) counts
    // device pixels. Flushes drawing first.
    std::uint32_t Pixel(int x, int y);
    bool WritePng(const std::string& path);

  private:
    int width_;
    int height_;
    double scale_;
    int pixel_width_;
    int pixel_height_;
    cairo_surface_t* surface_;
    cairo_t* cr_;
    std::unique_ptr<PaintContext> context_;
};

}  // namespace tw
