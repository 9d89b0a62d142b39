#include "platform/ui/paint.h"

#include <cairo.h>
#include <gdk-pixbuf/gdk-pixbuf.h>
#include <gdk/gdk.h>
#include <pango/pangocairo.h>

#include <gtk/gtk.h>

#include <algorithm>
#include <cmath>
#include <list>
#include <unordered_map>

namespace tw {

PaintContext::PaintContext(cairo_t* cairo) : cr_(cairo) {}

void PaintContext::Save() {
    cairo_save(cr_);
}
void PaintContext::Restore() {
    cairo_restore(cr_);
}
void PaintContext::Translate(double dx, double dy) {
    cairo_translate(cr_, dx, dy);
}
void PaintContext::SetAntialias(bool on) {
    cairo_set_antialias(cr_, on ? CAIRO_ANTIALIAS_DEFAULT : CAIRO_ANTIALIAS_NONE);
}

void PaintContext::SetColor(const Rgba& c) {
    cairo_set_source_rgba(cr_, c.r, c.g, c.b, c.a);
}
void PaintContext::SetLineWidth(double w) {
    cairo_set_line_width(cr_, w);
}
void PaintContext::SetDashed(bool dashed) {
    const double dash[] = {3.0, 3.0};
    cairo_set_dash(cr_, dash, dashed ? 2 : 0, 0);
}

void PaintContext::MoveTo(double x, double y) {
    cairo_move_to(cr_, x, y);
}
void PaintContext::LineTo(double x, double y) {
    cairo_line_to(cr_, x, y);
}
void PaintContext::ClosePath() {
    cairo_close_path(cr_);
}
void PaintContext::Rectangle(double x, double y, double w, double h) {
    cairo_rectangle(cr_, x, y, w, h);
}

void PaintContext::RoundedRectangle(double x, double y, double w, double h, double r) {
    cairo_t* c = cr_;
    r = std::min(r, std::min(w, h) / 2);
    cairo_new_sub_path(c);
    cairo_arc(c, x + w - r, y + r, r, -M_PI / 2, 0);
    cairo_arc(c, x + w - r, y + h - r, r, 0, M_PI / 2);
    cairo_arc(c, x + r, y + h - r, r, M_PI / 2, M_PI);
    cairo_arc(c, x + r, y + r, r, M_PI, 3 * M_PI / 2);
    cairo_close_path(c);
}

void PaintContext::Arc(double cx, double cy, double r, double from, double to) {
    cairo_arc(cr_, cx, cy, r, from, to);
}
void PaintContext::Stroke() {
    cairo_stroke(cr_);
}
void PaintContext::Fill() {
    cairo_fill(cr_);
}
void PaintContext::Clip() {
    cairo_clip(cr_);
}

void PaintContext::StrokeLine(double x1, double y1, double x2, double y2) {
    cairo_move_to(cr_, x1, y1);
    cairo_line_to(cr_, x2, y2);
    cairo_stroke(cr_);
}

void PaintContext::FillRect(double x, double y, double w, double h) {
    cairo_rectangle(cr_, x, y, w, h);
    cairo_fill(cr_);
}

void PaintContext::FillTriangle(Point a, Point b, Point c) {
    cairo_move_to(cr_, a.x, a.y);
    cairo_line_to(cr_, b.x, b.y);
    cairo_line_to(cr_, c.x, c.y);
    cairo_close_path(cr_);
    cairo_fill(cr_);
}

void PaintContext::FillRectVerticalGradient(double x, double y, double w, double h, const Rgba& top,
                                            const Rgba& bottom) {
    cairo_pattern_t* p = cairo_pattern_create_linear(0, y, 0, y + h);
    cairo_pattern_add_color_stop_rgba(p, 0, top.r, top.g, top.b, top.a);
    cairo_pattern_add_color_stop_rgba(p, 1, bottom.r, bottom.g, bottom.b, bottom.a);
    cairo_save(cr_);
    cairo_set_source(cr_, p);
    cairo_rectangle(cr_, x, y, w, h);
    cairo_fill(cr_);
    cairo_restore(cr_);
    cairo_pattern_destroy(p);
}

void PaintContext::SetFont(double points, bool bold) {
    font_size_ = points;
    font_bold_ = bold;
    font_in_pixels_ = false;
}

void PaintContext::SetFontPixels(double pixels, bool bold) {
    font_size_ = pixels;
    font_bold_ = bold;
    font_in_pixels_ = true;
}

namespace {

// Text kept by font and text for the calling thread, least recently used first out: the
// layout, and its glyphs drawn once into an alpha mask at the target's pixel scale. A
// new Pango context and layout per label, and drawing its glyphs anew, cost most of a
// label's time; here a label that was drawn before costs one masked fill in the current
// colour. One Pango context per thread is brought up to date with the target's font
// options and transform on each use, which relays only the layouts that it changes.
class TextLayoutCache {
  public:
    // Enough for every distinct label of a few views; the "%.2f Hz" labels change on
    // every tick and pass through without pushing the steady ones out for long.
    static constexpr std::size_t kCapacity = 256;
    // GTK lays out its text at 96 dots per inch unless the desktop says otherwise.
    static constexpr double kDotsPerInch = 96.0;
    // Room around the glyphs' ink in a mask, for antialiasing that strays past it.
    static constexpr int kMaskMargin = 1;

    struct Entry;

    ~TextLayoutCache() {
        Clear();
        if (context_ != nullptr) g_object_unref(context_);
        for (auto* o : {surface_options_, cr_options_, seen_surface_options_, seen_cr_options_}) {
            if (o != nullptr) cairo_font_options_destroy(o);
        }
    }

    // The entry of `text` for drawing on `cr`, valid until the next call. `size` in
    // points, or in pixels when `pixels` is set.
    Entry& Get(cairo_t* cr, const std::string& text, double size, bool bold, bool pixels) {
        if (context_ == nullptr) {
            context_ = pango_font_map_create_context(pango_cairo_font_map_get_default());
            pango_cairo_context_set_resolution(context_, kDotsPerInch);
            family_ = DefaultFamily();
        }
        Follow(cr);
        Key key{text, size, bold, pixels};
        auto found = index_.find(key);
        if (found != index_.end()) {
            ++stats_.hits;
            order_.splice(order_.begin(), order_, found->second);
            return *found->second;
        }
        ++stats_.misses;
        PangoLayout* layout = pango_layout_new(context_);
        PangoFontDescription* font = pango_font_description_new();
        pango_font_description_set_family(font, family_.c_str());
        const gint pango_size = static_cast<gint>(std::lround(size * PANGO_SCALE));
        if (pixels) {
            pango_font_description_set_absolute_size(font, pango_size);
        } else {
            pango_font_description_set_size(font, pango_size);
        }
        pango_font_description_set_weight(font, bold ? PANGO_WEIGHT_BOLD : PANGO_WEIGHT_NORMAL);
        pango_layout_set_font_description(layout, font);
        pango_font_description_free(font);
        pango_layout_set_text(layout, text.c_str(), -1);
        order_.push_front(Entry{key, layout});
        index_.emplace(key, order_.begin());
        if (order_.size() > kCapacity) {
            index_.erase(order_.back().key);
            order_.back().Release();
            order_.pop_back();
        }
        return order_.front();
    }

    // Brings the Pango context up to date with the target's font options and transform,
    // only when they changed: an update marks the context changed even when nothing
    // differs, and every layout would then be shaped anew.
    void Follow(cairo_t* cr) {
        if (surface_options_ == nullptr) {
            surface_options_ = cairo_font_options_create();
            cr_options_ = cairo_font_options_create();
            seen_surface_options_ = cairo_font_options_create();
            seen_cr_options_ = cairo_font_options_create();
        }
        cairo_surface_get_font_options(cairo_get_target(cr), surface_options_);
        cairo_get_font_options(cr, cr_options_);
        cairo_matrix_t m;
        cairo_get_matrix(cr, &m);
        // Translation does not change glyph shapes; Pango ignores it too.
        const bool same = followed_ && m.xx == seen_matrix_.xx && m.yx == seen_matrix_.yx &&
                          m.xy == seen_matrix_.xy && m.yy == seen_matrix_.yy &&
                          cairo_font_options_equal(surface_options_, seen_surface_options_) &&
                          cairo_font_options_equal(cr_options_, seen_cr_options_);
        if (same) return;
        pango_cairo_update_context(cr, context_);
        followed_ = true;
        seen_matrix_ = m;
        cairo_font_options_destroy(seen_surface_options_);
        seen_surface_options_ = cairo_font_options_copy(surface_options_);
        cairo_font_options_destroy(seen_cr_options_);
        seen_cr_options_ = cairo_font_options_copy(cr_options_);
    }

    // The entry's glyphs as an alpha mask for a target of `scale` device pixels per unit
    // (a whole number); nullptr when none can be made. `offset_x`, `offset_y` place the
    // mask's top left relative to the layout's, in whole units.
    cairo_surface_t* Mask(Entry& e, double scale, int* offset_x, int* offset_y) {
        const guint serial = pango_context_get_serial(context_);
        if (e.mask == nullptr || e.mask_scale != scale || e.mask_serial != serial) {
            if (e.mask != nullptr) cairo_surface_destroy(e.mask);
            e.mask = nullptr;
            PangoRectangle ink;
            pango_layout_get_pixel_extents(e.layout, &ink, nullptr);
            if (ink.width <= 0 || ink.height <= 0) return nullptr;
            e.mask_x = ink.x - kMaskMargin;
            e.mask_y = ink.y - kMaskMargin;
            const int w = int((ink.width + 2 * kMaskMargin) * scale);
            const int h = int((ink.height + 2 * kMaskMargin) * scale);
            cairo_surface_t* mask = cairo_image_surface_create(CAIRO_FORMAT_A8, w, h);
            cairo_surface_set_device_scale(mask, scale, scale);
            cairo_t* mc = cairo_create(mask);
            cairo_move_to(mc, -e.mask_x, -e.mask_y);
            pango_cairo_show_layout(mc, e.layout);
            cairo_destroy(mc);
            if (cairo_surface_status(mask) != CAIRO_STATUS_SUCCESS) {
                cairo_surface_destroy(mask);
                return nullptr;
            }
            e.mask = mask;
            e.mask_scale = scale;
            e.mask_serial = serial;
        }
        *offset_x = e.mask_x;
        *offset_y = e.mask_y;
        return e.mask;
    }

    void Clear() {
        for (auto& e : order_) e.Release();
        order_.clear();
        index_.clear();
    }

    TextLayoutCacheStats Stats() const {
        TextLayoutCacheStats s = stats_;
        s.size = order_.size();
        return s;
    }

    struct Key {
        std::string text;
        double size;
        bool bold;
        bool pixels;
        bool operator==(const Key&) const = default;
    };
    struct Entry {
        Key key;
        PangoLayout* layout;
        cairo_surface_t* mask = nullptr;
        double mask_scale = 0;
        guint mask_serial = 0;
        int mask_x = 0;
        int mask_y = 0;
        void Release() {
            if (mask != nullptr) cairo_surface_destroy(mask);
            g_object_unref(layout);
        }
    };

  private:
    struct KeyHash {
        std::size_t operator()(const Key& k) const {
            return std::hash<std::string>()(k.text) ^ (std::hash<double>()(k.size) * 31) ^
                   (k.bold ? 0x9e3779b9u : 0u) ^ (k.pixels ? 0x7f4a7c15u : 0u);
        }
    };

    // The family of the desktop's interface font when GTK knows a screen, else the
    // fontconfig alias for the default sans-serif face.
    static std::string DefaultFamily() {
        std::string family = "Sans";
        GtkSettings* settings = gdk_screen_get_default() ? gtk_settings_get_default() : nullptr;
        if (settings == nullptr) return family;
        gchar* name = nullptr;
        g_object_get(settings, "gtk-font-name", &name, nullptr);
        if (name != nullptr) {
            PangoFontDescription* d = pango_font_description_from_string(name);
            const char* f = pango_font_description_get_family(d);
            if (f != nullptr && *f != '\0') family = f;
            pango_font_description_free(d);
            g_free(name);
        }
        return family;
    }

    PangoContext* context_ = nullptr;
    std::string family_;
    bool followed_ = false;
    cairo_matrix_t seen_matrix_{};
    cairo_font_options_t* surface_options_ = nullptr;
    cairo_font_options_t* cr_options_ = nullptr;
    cairo_font_options_t* seen_surface_options_ = nullptr;
    cairo_font_options_t* seen_cr_options_ = nullptr;
    std::list<Entry> order_;
    std::unordered_map<Key, std::list<Entry>::iterator, KeyHash> index_;
    TextLayoutCacheStats stats_;
};

TextLayoutCache& Layouts() {
    thread_local TextLayoutCache cache;
    return cache;
}

// The nearest whole device coordinate; a half goes to the lower one, so that a view's
// half-pixel translation puts user (x, y) on the top left of device pixel (x, y).
double SnapDevice(double d) {
    return std::ceil(d - 0.5);
}

}  // namespace

TextLayoutCacheStats GetTextLayoutCacheStats() {
    return Layouts().Stats();
}

void ClearTextLayoutCache() {
    Layouts().Clear();
}

void PaintContext::SnapToDevice(double* x, double* y) const {
    cairo_user_to_device(cr_, x, y);
    *x = SnapDevice(*x);
    *y = SnapDevice(*y);
    cairo_device_to_user(cr_, x, y);
}

void PaintContext::DrawText(double x, double y, const std::string& text) {
    TextLayoutCache& cache = Layouts();
    TextLayoutCache::Entry& entry = cache.Get(cr_, text, font_size_, font_bold_, font_in_pixels_);
    SnapToDevice(&x, &y);
    // The kept mask serves a target whose user units are whole device pixels apart and
    // not rotated or stretched (every view's case); any other transform draws the glyphs.
    cairo_matrix_t m;
    cairo_get_matrix(cr_, &m);
    double sx = 1;
    double sy = 1;
    cairo_surface_get_device_scale(cairo_get_target(cr_), &sx, &sy);
    const bool whole = m.xx == 1 && m.yy == 1 && m.xy == 0 && m.yx == 0 && sx == sy && sx >= 1 &&
                       sx == std::floor(sx);
    int ox = 0;
    int oy = 0;
    cairo_surface_t* mask = whole ? cache.Mask(entry, sx, &ox, &oy) : nullptr;
    if (mask != nullptr) {
        cairo_mask_surface(cr_, mask, x + ox, y + oy);
        return;
    }
    cairo_move_to(cr_, x, y);
    pango_cairo_show_layout(cr_, entry.layout);
}

void PaintContext::MeasureText(const std::string& text, double* w, double* h) {
    PangoLayout* layout = Layouts().Get(cr_, text, font_size_, font_bold_, font_in_pixels_).layout;
    int pw = 0;
    int ph = 0;
    pango_layout_get_pixel_size(layout, &pw, &ph);
    if (w) *w = pw;
    if (h) *h = ph;
}

void PaintContext::DrawImage(const Image& image, double x, double y, double w, double h) {
    if (image.Surface() == nullptr || image.Width() <= 0 || image.Height() <= 0) return;
    double x2 = x + w;
    double y2 = y + h;
    SnapToDevice(&x, &y);
    SnapToDevice(&x2, &y2);
    cairo_save(cr_);
    cairo_translate(cr_, x, y);
    cairo_scale(cr_, (x2 - x) / image.Width(), (y2 - y) / image.Height());
    cairo_set_source_surface(cr_, image.Surface(), 0, 0);
    // Stretched backgrounds must not fade into transparency at their edges.
    cairo_pattern_set_extend(cairo_get_source(cr_), CAIRO_EXTEND_PAD);
    cairo_rectangle(cr_, 0, 0, image.Width(), image.Height());
    cairo_fill(cr_);
    cairo_restore(cr_);
}

void PaintContext::BeginGroup() {
    cairo_push_group(cr_);
}

void PaintContext::EndGroup(double alpha) {
    cairo_pop_group_to_source(cr_);
    cairo_paint_with_alpha(cr_, alpha);
}

double PaintContext::PixelScale() const {
    double x = 1;
    double y = 0;
    cairo_user_to_device_distance(cr_, &x, &y);
    double sx = 1;
    double sy = 1;
    cairo_surface_get_device_scale(cairo_get_target(cr_), &sx, &sy);
    return std::hypot(x, y) * sx;
}

// ---------------------------------------------------------------------------------------

std::shared_ptr<Image> Image::Load(const std::string& path, double scale) {
    if (!(scale > 0)) scale = 1;
    GError* error = nullptr;
    GdkPixbuf* pixbuf = gdk_pixbuf_new_from_file(path.c_str(), &error);
    if (pixbuf == nullptr) {
        if (error) g_error_free(error);
        return nullptr;
    }
    const int pw = gdk_pixbuf_get_width(pixbuf);
    const int ph = gdk_pixbuf_get_height(pixbuf);
    std::shared_ptr<Image> image(new Image());
    image->width_ = std::max(1, int(std::lround(pw / scale)));
    image->height_ = std::max(1, int(std::lround(ph / scale)));
    image->scale_ = scale;
    image->path_ = path;
    cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, pw, ph);
    cairo_t* cr = cairo_create(s);
    gdk_cairo_set_source_pixbuf(cr, pixbuf, 0, 0);
    cairo_paint(cr);
    cairo_destroy(cr);
    g_object_unref(pixbuf);
    cairo_surface_set_device_scale(s, double(pw) / image->width_, double(ph) / image->height_);
    image->surface_ = s;
    return image;
}

Image::~Image() {
    if (surface_) cairo_surface_destroy(surface_);
}

ImageSurface::ImageSurface(int width, int height, double scale)
    : width_(width),
      height_(height),
      scale_(scale > 0 ? scale : 1),
      pixel_width_(int(std::lround(width * scale_))),
      pixel_height_(int(std::lround(height * scale_))),
      surface_(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, pixel_width_, pixel_height_)),
      cr_(nullptr) {
    cairo_surface_set_device_scale(surface_, scale_, scale_);
    cr_ = cairo_create(surface_);
    context_ = std::make_unique<PaintContext>(cr_);
}

ImageSurface::~ImageSurface() {
    context_.reset();
    cairo_destroy(cr_);
    cairo_surface_destroy(surface_);
}

std::uint32_t ImageSurface::Pixel(int x, int y) {
    cairo_surface_flush(surface_);
    if (x < 0 || y < 0 || x >= pixel_width_ || y >= pixel_height_) return 0;
    const unsigned char* data = cairo_image_surface_get_data(surface_);
    const int stride = cairo_image_surface_get_stride(surface_);
    return *reinterpret_cast<const std::uint32_t*>(data + y * stride + x * 4);
}

bool ImageSurface::WritePng(const std::string& path) {
    cairo_surface_flush(surface_);
    return cairo_surface_write_to_png(surface_, path.c_str()) == CAIRO_STATUS_SUCCESS;
}

}  // namespace tw
