#pragma once
// JPEG photo decoding with libjpeg-turbo: bounded, scaled, into a reused buffer. No Qt.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "media/exif_orientation.h"

namespace mw {

// Limits that keep a hostile or huge photo from exhausting memory.
struct JpegLimits {
  // Largest width x height of the photo as stored in the file.
  std::uint64_t max_pixels = 100'000'000;
  // Most memory the decoder may take for its own work (progressive photos keep every
  // coefficient of the photo); does not count the output buffer.
  long max_decoder_memory = 768L * 1024 * 1024;
};

// A growable block of pixel memory that is reused from one decode to the next.
class PixelBuffer {
 public:
  // Makes room for `bytes`; keeps the old block when it is big enough. Throws
  // std::bad_alloc when memory runs out.
  std::uint8_t* Reserve(std::size_t bytes);
  std::uint8_t* Data() const { return data_.get(); }
  std::size_t Capacity() const { return capacity_; }

 private:
  std::unique_ptr<std::uint8_t[]> data_;
  std::size_t capacity_ = 0;
};

// What a decode gave. Pixels are 32-bit B, G, R, X in memory order (QImage::Format_RGB32 on
// a little-endian machine), rows of width * 4 bytes, the picture upright as its orientation
// tag asks. Every size is the upright picture's.
struct JpegResult {
  bool ok = false;
  std::string error;  // why it failed, for diagnostics
  int width = 0;      // decoded size
  int height = 0;
  int source_width = 0;  // full size of the photo
  int source_height = 0;
  Orientation orientation = Orientation::Upright;  // as the file's EXIF block records it
  int scale_denominator = 1;                       // 1, 2, 4 or 8
  bool incomplete = false;  // the data ended early or was damaged; the rest is filler
};

// Decodes the JPEG file at `path` into `out`, upright, at the smallest of the scales 1/8,
// 1/4, 1/2 that still gives at least `cover_width` x `cover_height` pixels (full size when
// none does). A damaged orientation tag is taken as upright. Refuses photos over the limits before
// any large allocation. A damaged header, an unreadable file or a refused photo give ok == false
// and never end the program; data that ends early gives what decoded, with `incomplete` set.
JpegResult DecodeJpeg(const std::string& path, int cover_width, int cover_height,
                      const JpegLimits& limits, PixelBuffer& out);

// What reading a photo's header gave: its upright size, or why it does not read.
struct JpegHeader {
  bool ok = false;
  std::string error;  // why it failed, in a few words
  int width = 0;      // as shown upright
  int height = 0;
  Orientation orientation = Orientation::Upright;
};

// Reads only the header of the JPEG file at `path` (no picture data is decoded) and checks
// the stored size against `limits` as DecodeJpeg does: a photo it refuses does not read.
JpegHeader ReadJpegHeader(const std::string& path, const JpegLimits& limits = {});

}  // namespace mw
