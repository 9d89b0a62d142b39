// Images of the program's resources, addressed by number and drawn at the pixel scale of
// the window: the artwork is built at scales 1 and 2 ("images/<id>.png" and
// "images/<id>@2x.png" in the resource folders).
//
// Thread: main thread (or the one thread that draws into an image surface).
#pragma once

#include <memory>
#include <string>

#include "ui/custom_view.h"

namespace tw {

// The file of image `id` made for drawing at `scale`: the 2x file above a scale of 1,
// else the 1x file; the other one when that is missing. False when neither exists.
bool LookUpResourceImage(int id, double scale, std::string* path);

// One image by number, loaded on first use and again only when it is drawn at the
// other scale (the window moved to a screen of another scale factor).
class ResourceImage {
  public:
    explicit ResourceImage(int id) : id_(id) {}
    // The image for a context of pixel scale `scale`; nullptr when it cannot be loaded,
    // and the view then draws without it.
    const Image* For(double scale);
    int Id() const { return id_; }

  private:
    int id_;
    double loaded_scale_ = 0;
    std::shared_ptr<Image> image_;
};

}  // namespace tw
