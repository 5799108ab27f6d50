#pragma once
// Small pictures of the photo clips for the overview's nodes.

#include <QImage>
#include <QSize>
#include <ctime>
#include <string>
#include <unordered_map>

#include "media/jpeg_decoder.h"

namespace mw {

// Thumbnails of photos, decoded at the smallest scale that covers the box and fitted into
// it; each photo is decoded again only when its file or the scale has changed.
class Thumbnails {
 public:
  explicit Thumbnails(QSize box) : box_(box) {}
  // The thumbnail of the photo clip `path` at `scale` device pixels a box pixel (its
  // device pixel ratio), so it fills the box sharply on a dense screen; a null image for a
  // movie or a file that does not decode.
  const QImage& Of(const std::string& path, double scale = 1.0);
  QSize Box() const { return box_; }

 private:
  struct Entry {
    std::time_t modified = 0;
    long long size = -1;
    double scale = 1.0;
    QImage image;
  };
  QImage Decode(const std::string& path, double scale);

  QSize box_;
  PixelBuffer buffer_;
  std::unordered_map<std::string, Entry> entries_;
};

}  // namespace mw
