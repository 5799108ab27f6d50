#include "media/photo_image.h"

#include <utility>

namespace mw {

bool PhotoImage::Load(const std::string& path, QSize area, qreal ratio) {
  return Decode(path, area, ratio);
}

namespace {

// Keeps the cached pixels alive for as long as a QImage copy uses them.
void ReleasePixels(void* holder) {
  delete static_cast<std::shared_ptr<const PixelBuffer>*>(holder);
}

}  // namespace

void PhotoImage::Adopt(const CachedPhoto& photo, qreal ratio) {
  const JpegResult& result = photo.result;
  auto* holder = new std::shared_ptr<const PixelBuffer>(photo.pixels);
  // A writable view only so that giving it its ratio copies nothing; nothing writes to it.
  image_ = QImage(static_cast<uchar*>(photo.pixels->Data()), result.width, result.height,
                  result.width * 4, QImage::Format_RGB32, ReleasePixels, holder);
  image_.setDevicePixelRatio(ratio);
  path_ = photo.path;
  source_size_ = QSize(result.source_width, result.source_height);
  scale_denominator_ = result.scale_denominator;
  incomplete_ = result.incomplete;
  stand_in_ = false;
  last_error_.clear();
}

void PhotoImage::AdoptStandIn(const CachedPhoto& stand_in, const std::string& path,
                              qreal ratio) {
  Adopt(stand_in, ratio);
  path_ = path;
  stand_in_ = true;
}

bool PhotoImage::Complete(QSize area, qreal ratio) {
  return stand_in_ && Decode(path_, area, ratio);
}

bool PhotoImage::Cover(QSize area, qreal ratio) {
  if (IsEmpty() || stand_in_ || scale_denominator_ == 1) return false;
  if (image_.width() >= area.width() && image_.height() >= area.height()) return false;
  return Decode(path_, area, ratio);
}

bool PhotoImage::Decode(const std::string& path, QSize area, qreal ratio) {
  const JpegResult result = DecodeJpeg(path, area.width(), area.height(), limits_, spare_);
  if (!result.ok) {
    last_error_ = result.error;
    return false;
  }
  std::swap(shown_, spare_);
  // A writable view, set up before anyone shares it: giving it its ratio copies nothing.
  image_ = QImage(static_cast<uchar*>(shown_.Data()), result.width, result.height,
                  result.width * 4, QImage::Format_RGB32);
  image_.setDevicePixelRatio(ratio);
  path_ = path;
  source_size_ = QSize(result.source_width, result.source_height);
  scale_denominator_ = result.scale_denominator;
  incomplete_ = result.incomplete;
  stand_in_ = false;
  last_error_.clear();
  return true;
}

}  // namespace mw
