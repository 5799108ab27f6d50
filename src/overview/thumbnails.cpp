#include "overview/thumbnails.h"

#include <sys/stat.h>

#include <cmath>

#include "media/clip_kind.h"

namespace mw {

const QImage& Thumbnails::Of(const std::string& path, double scale) {
  struct stat info {};
  const bool exists = ::stat(path.c_str(), &info) == 0;
  Entry& entry = entries_[path];
  if (!exists) {
    entry = Entry{};
  } else if (entry.modified != info.st_mtime || entry.size != info.st_size ||
             entry.scale != scale) {
    entry.modified = info.st_mtime;
    entry.size = info.st_size;
    entry.scale = scale;
    entry.image = Decode(path, scale);
  }
  return entry.image;
}

QImage Thumbnails::Decode(const std::string& path, double scale) {
  if (ClipKindOfPath(path) != ClipKind::PhotoClip) return {};
  // The box at device pixels: the photo is decoded at the smallest scale that covers it.
  const QSize box(int(std::ceil(box_.width() * scale)), int(std::ceil(box_.height() * scale)));
  const JpegResult decoded = DecodeJpeg(path, box.width(), box.height(), JpegLimits{}, buffer_);
  if (!decoded.ok) return {};
  const QImage view(buffer_.Data(), decoded.width, decoded.height, decoded.width * 4,
                    QImage::Format_RGB32);
  QImage fitted = view.scaled(box, Qt::KeepAspectRatio, Qt::SmoothTransformation);
  // A photo that fits already comes back as a view of the reused buffer.
  if (fitted.constBits() == buffer_.Data()) fitted = view.copy();
  fitted.setDevicePixelRatio(scale);
  return fitted;
}

}  // namespace mw
