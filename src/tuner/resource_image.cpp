#include "tuner/resource_image.h"

#include "platform/core/folder_lookup.h"

namespace tw {

namespace {

// The artwork exists at these two scales; any other scale draws the nearer one scaled.
constexpr double kLowScale = 1;
constexpr double kHighScale = 2;

std::string ImageFile(int id, bool high) {
    return "images/" + std::to_string(id) + (high ? "@2x.png" : ".png");
}

}  // namespace

bool LookUpResourceImage(int id, double scale, std::string* path) {
    const bool high = scale > kLowScale;
    return LookUpResourceFile(ImageFile(id, high), path) ||
           LookUpResourceFile(ImageFile(id, !high), path);
}

const Image* ResourceImage::For(double scale) {
    const double wanted = scale > kLowScale ? kHighScale : kLowScale;
    if (wanted == loaded_scale_) return image_.get();
    loaded_scale_ = wanted;
    image_.reset();
    std::string path;
    if (!LookUpResourceImage(id_, wanted, &path)) return nullptr;
    const bool high = path.ends_with("@2x.png");
    image_ = Image::Load(path, high ? kHighScale : kLowScale);
    return image_.get();
}

}  // namespace tw
