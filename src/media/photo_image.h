#pragma once
// The one photo object of a clip area: the decoded picture of the last photo shown.

#include <QImage>
#include <QSize>
#include <string>

#include "media/jpeg_decoder.h"
#include "media/photo_cache.h"

namespace mw {

// Holds the last photo that decoded, at a size that covers the clip area. A photo that
// fails to load leaves the previous one untouched. Decoding reuses two buffers: the one on
// show and the one being filled.
class PhotoImage {
 public:
  explicit PhotoImage(JpegLimits limits = {}) : limits_(limits) {}

  // Decodes the photo at `path` at the smallest halving scale that covers `area` (in the
  // pixels of the screen it is shown on, whose device pixel ratio is `ratio`). True on
  // success; on failure the previous photo stays and LastError() says why.
  bool Load(const std::string& path, QSize area, qreal ratio = 1.0);
  // Takes a photo decoded ahead (for a screen of device pixel ratio `ratio`) as the photo on
  // show, without decoding. The picture shares the cached pixels, which live as long as any
  // copy of it.
  void Adopt(const CachedPhoto& photo, qreal ratio = 1.0);
  // Shows the picture `stand_in` (decoded ahead, for a screen of device pixel ratio
  // `ratio`) in place of the photo at `path` until Complete puts the photo itself there: a
  // small copy made ahead decodes in a few milliseconds where a camera photo takes a tenth
  // of a second.
  void AdoptStandIn(const CachedPhoto& stand_in, const std::string& path, qreal ratio = 1.0);
  // Decodes the photo in place of its stand-in, to cover `area`. True when the picture was
  // replaced; false without a stand-in or when the photo does not decode.
  bool Complete(QSize area, qreal ratio = 1.0);
  // Decodes the same photo again at a larger scale when `area` has outgrown the decoded
  // size. True when the picture was replaced. A stand-in, stretched as any picture is,
  // waits for Complete.
  bool Cover(QSize area, qreal ratio = 1.0);
  // True while a stand-in is shown in place of the photo.
  bool ShowsStandIn() const { return stand_in_; }

  bool IsEmpty() const { return image_.isNull(); }
  // The picture, Format_RGB32, carrying the device pixel ratio it was decoded for. It views
  // the object's own buffer: valid until the next successful Load or Cover, which the
  // owner takes as the moment to fetch it again.
  const QImage& Image() const { return image_; }
  const std::string& Path() const { return path_; }
  QSize SourceSize() const { return source_size_; }
  int ScaleDenominator() const { return scale_denominator_; }
  // The photo's data ended early or was damaged; the rest of the picture is filler.
  bool Incomplete() const { return incomplete_; }
  const std::string& LastError() const { return last_error_; }

 private:
  bool Decode(const std::string& path, QSize area, qreal ratio);

  JpegLimits limits_;
  PixelBuffer shown_;
  PixelBuffer spare_;
  QImage image_;
  std::string path_;
  QSize source_size_;
  int scale_denominator_ = 1;
  bool incomplete_ = false;
  bool stand_in_ = false;
  std::string last_error_;
};

}  // namespace mw
