// Drawing for custom views: a paint context over Cairo with Pango text, images loaded
// from files, and image surfaces that tests and tools draw into and read back.
//
// Thread: main thread (an ImageSurface and its context may be used on any one thread).
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/events/event_layer.h"

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
    // `cairo` is a cairo_t*; the context does not take ownership.
    explicit PaintContext(void* cairo);
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

    // Text in the default font at `points` size; placed by the top-left corner of its
    // line box.
    void SetFont(double points, bool bold);
    void DrawText(double x, double y, const std::string& text);
    // Width and height of the text's line box in the current font.
    void MeasureText(const std::string& text, double* w, double* h);

    void DrawImage(const Image& image, double x, double y, double w, double h);

    // Everything drawn between these two is composited with the given opacity.
    void BeginGroup();
    void EndGroup(double alpha);

    // Device pixels per user unit.
    double PixelScale() const;

    void* Cairo() const { return cr_; }

  private:
    void* cr_;
    double font_points_ = 10;
    bool font_bold_ = false;
};

// An image loaded once and drawn many times.
class Image {
  public:
    // From a PNG (or any format gdk-pixbuf reads); nullptr when it cannot be read.
    static std::shared_ptr<Image> Load(const std::string& path);
    ~Image();
    Image(const Image&) = delete;
    Image& operator=(const Image&) = delete;

    int Width() const { return width_; }
    int Height() const { return height_; }
    void* Surface() const { return surface_; }  // cairo_surface_t*
    const std::string& Path() const { return path_; }

  private:
    Image() = default;
    void* surface_ = nullptr;
    int width_ = 0;
    int height_ = 0;
    std::string path_;
};

// An ARGB image in memory with a paint context over it.
class ImageSurface {
  public:
    ImageSurface(int width, int height);
    ~ImageSurface();
    ImageSurface(const ImageSurface&) = delete;
    ImageSurface& operator=(const ImageSurface&) = delete;

    PaintContext& Context() { return *context_; }
    int Width() const { return width_; }
    int Height() const { return height_; }
    // The pixel as 0xAARRGGBB (premultiplied, as Cairo keeps it). Flushes drawing first.
    std::uint32_t Pixel(int x, int y);
    bool WritePng(const std::string& path);

  private:
    int width_;
    int height_;
    void* surface_;
    void* cr_;
    std::unique_ptr<PaintContext> context_;
};

}  // namespace tw
