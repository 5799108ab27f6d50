// Feeds arbitrary bytes to the JPEG decoder as a photo file, at the smallest scale and,
// for photos of modest size, at full size: it never crashes, and what it decodes has
// the size it reports.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "media/jpeg_decoder.h"
#include "memory_file.h"

namespace {

void CheckResult(const mw::JpegResult& result, const mw::PixelBuffer& buffer) {
  if (!result.ok) return;
  const int d = result.scale_denominator;
  if (d != 1 && d != 2 && d != 4 && d != 8) std::abort();
  if (result.width <= 0 || result.height <= 0) std::abort();
  if (result.width != (result.source_width + d - 1) / d ||
      result.height != (result.source_height + d - 1) / d)
    std::abort();
  if (buffer.Capacity() < static_cast<std::size_t>(result.width) * result.height * 4) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const mw::fuzz::MemoryFile file(data, size);
  mw::JpegLimits limits;
  limits.max_pixels = 64'000'000;
  limits.max_decoder_memory = 512L << 20;
  mw::PixelBuffer buffer;
  const mw::JpegResult small = mw::DecodeJpeg(file.Path(), 1, 1, limits, buffer);
  CheckResult(small, buffer);
  if (small.ok && std::int64_t{small.source_width} * small.source_height <= 4'000'000) {
    const mw::JpegResult full = mw::DecodeJpeg(file.Path(), 1 << 16, 1 << 16, limits, buffer);
    CheckResult(full, buffer);
  }
  return 0;
}
