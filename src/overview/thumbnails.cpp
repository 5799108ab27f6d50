#include "overview/thumbnails.h"

#include <sys/stat.h>

#include "media/clip_kind.h"

namespace mw {

const QImage& Thumbnails::Of(const std::string& path) {
  struct stat info {};
  const bool exists = ::stat(path.c_str(), &info) == 0;
  Entry& entry = entries_[path];
  if (!exists) {
    entry = Entry{};
  } else if (entry.modified != info.st_mtime || entry.size != info.st_size) {
    entry.modified = info.st_mtime;
    entry.size = info.st_size;
    entry.image = Decode(path);
  }
  return entry.image;
}

QImage Thumbnails::Decode(const std::string& path) {
  if (ClipKindOfPath(path) != ClipKind::PhotoClip) return {};
  // Covering a single pixel asks for the smallest scale, 1/8.
  const JpegResult decoded = DecodeJpeg(path, 1, 1, JpegLimits{}, buffer_);
  if (!decoded.ok) return {};
  const QImage view(buffer_.Data(), decoded.width, decoded.height, decoded.width * 4,
                    QImage::Format_RGB32);
  QImage fitted = view.scaled(box_, Qt::KeepAspectRatio, Qt::SmoothTransformation);
  // A photo that fits already comes back as a view of the reused buffer.
  if (fitted.constBits() == buffer_.Data()) fitted = view.copy();
  return fitted;
}

}  // namespace mw
