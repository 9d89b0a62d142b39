#include "platform/ui/paint.h"

#include <cairo.h>
#include <gdk-pixbuf/gdk-pixbuf.h>
#include <gdk/gdk.h>
#include <pango/pangocairo.h>

#include <cmath>

namespace tw {

namespace {
cairo_t* C(void* p) {
    return static_cast<cairo_t*>(p);
}
}  // namespace

PaintContext::PaintContext(void* cairo) : cr_(cairo) {}

void PaintContext::Save() {
    cairo_save(C(cr_));
}
void PaintContext::Restore() {
    cairo_restore(C(cr_));
}
void PaintContext::Translate(double dx, double dy) {
    cairo_translate(C(cr_), dx, dy);
}
void PaintContext::SetAntialias(bool on) {
    cairo_set_antialias(C(cr_), on ? CAIRO_ANTIALIAS_DEFAULT : CAIRO_ANTIALIAS_NONE);
}

void PaintContext::SetColor(const Rgba& c) {
    cairo_set_source_rgba(C(cr_), c.r, c.g, c.b, c.a);
}
void PaintContext::SetLineWidth(double w) {
    cairo_set_line_width(C(cr_), w);
}
void PaintContext::SetDashed(bool dashed) {
    const double dash[] = {3.0, 3.0};
    cairo_set_dash(C(cr_), dash, dashed ? 2 : 0, 0);
}

void PaintContext::MoveTo(double x, double y) {
    cairo_move_to(C(cr_), x, y);
}
void PaintContext::LineTo(double x, double y) {
    cairo_line_to(C(cr_), x, y);
}
void PaintContext::ClosePath() {
    cairo_close_path(C(cr_));
}
void PaintContext::Rectangle(double x, double y, double w, double h) {
    cairo_rectangle(C(cr_), x, y, w, h);
}

void PaintContext::RoundedRectangle(double x, double y, double w, double h, double r) {
    cairo_t* c = C(cr_);
    r = std::min(r, std::min(w, h) / 2);
    cairo_new_sub_path(c);
    cairo_arc(c, x + w - r, y + r, r, -M_PI / 2, 0);
    cairo_arc(c, x + w - r, y + h - r, r, 0, M_PI / 2);
    cairo_arc(c, x + r, y + h - r, r, M_PI / 2, M_PI);
    cairo_arc(c, x + r, y + r, r, M_PI, 3 * M_PI / 2);
    cairo_close_path(c);
}

void PaintContext::Arc(double cx, double cy, double r, double from, double to) {
    cairo_arc(C(cr_), cx, cy, r, from, to);
}
void PaintContext::Stroke() {
    cairo_stroke(C(cr_));
}
void PaintContext::Fill() {
    cairo_fill(C(cr_));
}
void PaintContext::Clip() {
    cairo_clip(C(cr_));
}

void PaintContext::StrokeLine(double x1, double y1, double x2, double y2) {
    cairo_move_to(C(cr_), x1, y1);
    cairo_line_to(C(cr_), x2, y2);
    cairo_stroke(C(cr_));
}

void PaintContext::FillRect(double x, double y, double w, double h) {
    cairo_rectangle(C(cr_), x, y, w, h);
    cairo_fill(C(cr_));
}

void PaintContext::FillTriangle(Point a, Point b, Point c) {
    cairo_move_to(C(cr_), a.x, a.y);
    cairo_line_to(C(cr_), b.x, b.y);
    cairo_line_to(C(cr_), c.x, c.y);
    cairo_close_path(C(cr_));
    cairo_fill(C(cr_));
}

void PaintContext::FillRectVerticalGradient(double x, double y, double w, double h, const Rgba& top,
                                            const Rgba& bottom) {
    cairo_pattern_t* p = cairo_pattern_create_linear(0, y, 0, y + h);
    cairo_pattern_add_color_stop_rgba(p, 0, top.r, top.g, top.b, top.a);
    cairo_pattern_add_color_stop_rgba(p, 1, bottom.r, bottom.g, bottom.b, bottom.a);
    cairo_save(C(cr_));
    cairo_set_source(C(cr_), p);
    cairo_rectangle(C(cr_), x, y, w, h);
    cairo_fill(C(cr_));
    cairo_restore(C(cr_));
    cairo_pattern_destroy(p);
}

void PaintContext::SetFont(double points, bool bold) {
    font_points_ = points;
    font_bold_ = bold;
}

namespace {

PangoLayout* MakeLayout(cairo_t* cr, const std::string& text, double points, bool bold) {
    PangoLayout* layout = pango_cairo_create_layout(cr);
    PangoFontDescription* font = pango_font_description_from_string("Sans");
    pango_font_description_set_size(font, static_cast<gint>(points * PANGO_SCALE));
    pango_font_description_set_weight(font, bold ? PANGO_WEIGHT_BOLD : PANGO_WEIGHT_NORMAL);
    pango_layout_set_font_description(layout, font);
    pango_font_description_free(font);
    pango_layout_set_text(layout, text.c_str(), -1);
    return layout;
}

}  // namespace

void PaintContext::DrawText(double x, double y, const std::string& text) {
    PangoLayout* layout = MakeLayout(C(cr_), text, font_points_, font_bold_);
    cairo_move_to(C(cr_), x, y);
    pango_cairo_show_layout(C(cr_), layout);
    g_object_unref(layout);
}

void PaintContext::MeasureText(const std::string& text, double* w, double* h) {
    PangoLayout* layout = MakeLayout(C(cr_), text, font_points_, font_bold_);
    int pw = 0;
    int ph = 0;
    pango_layout_get_pixel_size(layout, &pw, &ph);
    g_object_unref(layout);
    if (w) *w = pw;
    if (h) *h = ph;
}

void PaintContext::DrawImage(const Image& image, double x, double y, double w, double h) {
    if (image.Surface() == nullptr || image.Width() <= 0 || image.Height() <= 0) return;
    cairo_t* c = C(cr_);
    cairo_save(c);
    cairo_translate(c, x, y);
    cairo_scale(c, w / image.Width(), h / image.Height());
    cairo_set_source_surface(c, static_cast<cairo_surface_t*>(image.Surface()), 0, 0);
    cairo_rectangle(c, 0, 0, image.Width(), image.Height());
    cairo_fill(c);
    cairo_restore(c);
}

void PaintContext::BeginGroup() {
    cairo_push_group(C(cr_));
}

void PaintContext::EndGroup(double alpha) {
    cairo_pop_group_to_source(C(cr_));
    cairo_paint_with_alpha(C(cr_), alpha);
}

double PaintContext::PixelScale() const {
    double x = 1;
    double y = 0;
    cairo_user_to_device_distance(C(cr_), &x, &y);
    double sx = 1;
    double sy = 1;
    cairo_surface_get_device_scale(cairo_get_target(C(cr_)), &sx, &sy);
    return std::hypot(x, y) * sx;
}

// ---------------------------------------------------------------------------------------

std::shared_ptr<Image> Image::Load(const std::string& path) {
    GError* error = nullptr;
    GdkPixbuf* pixbuf = gdk_pixbuf_new_from_file(path.c_str(), &error);
    if (pixbuf == nullptr) {
        if (error) g_error_free(error);
        return nullptr;
    }
    std::shared_ptr<Image> image(new Image());
    image->width_ = gdk_pixbuf_get_width(pixbuf);
    image->height_ = gdk_pixbuf_get_height(pixbuf);
    image->path_ = path;
    cairo_surface_t* s =
        cairo_image_surface_create(CAIRO_FORMAT_ARGB32, image->width_, image->height_);
    cairo_t* cr = cairo_create(s);
    gdk_cairo_set_source_pixbuf(cr, pixbuf, 0, 0);
    cairo_paint(cr);
    cairo_destroy(cr);
    g_object_unref(pixbuf);
    image->surface_ = s;
    return image;
}

Image::~Image() {
    if (surface_) cairo_surface_destroy(static_cast<cairo_surface_t*>(surface_));
}

ImageSurface::ImageSurface(int width, int height)
    : width_(width),
      height_(height),
      surface_(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height)),
      cr_(cairo_create(static_cast<cairo_surface_t*>(surface_))),
      context_(std::make_unique<PaintContext>(cr_)) {}

ImageSurface::~ImageSurface() {
    context_.reset();
    cairo_destroy(C(cr_));
    cairo_surface_destroy(static_cast<cairo_surface_t*>(surface_));
}

std::uint32_t ImageSurface::Pixel(int x, int y) {
    auto* s = static_cast<cairo_surface_t*>(surface_);
    cairo_surface_flush(s);
    if (x < 0 || y < 0 || x >= width_ || y >= height_) return 0;
    const unsigned char* data = cairo_image_surface_get_data(s);
    const int stride = cairo_image_surface_get_stride(s);
    return *reinterpret_cast<const std::uint32_t*>(data + y * stride + x * 4);
}

bool ImageSurface::WritePng(const std::string& path) {
    auto* s = static_cast<cairo_surface_t*>(surface_);
    cairo_surface_flush(s);
    return cairo_surface_write_to_png(s, path.c_str()) == CAIRO_STATUS_SUCCESS;
}

}  // namespace tw
