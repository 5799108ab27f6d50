#include "packer/zstd_frames.h"

#include <zstd.h>

#include <cstdint>

#include "packer/span_source.h"

namespace mw::packer {
namespace {

// More frames than this are not worth a reader each: the part is read as one stream.
constexpr std::size_t kMaxFrames = 16;

// Whether the bytes begin a zstd frame that holds content (not a skippable frame).
bool BeginsDataFrame(const char* bytes, std::size_t size) {
  if (size < 4) return false;
  std::uint32_t magic = 0;
  for (int k = 3; k >= 0; --k) magic = magic << 8 | static_cast<unsigned char>(bytes[k]);
  return magic == ZSTD_MAGICNUMBER;
}

}  // namespace

std::vector<ArchiveSpan> ZstdFramesOf(const ArchiveSpan& span) {
  const ArchiveSpan whole{span.fd, span.offset, span.size, std::nullopt};
  const SpanSource source(whole, std::nullopt);  // maps the bytes, hashes none
  if (!source.mapped()) return {whole};
  std::vector<ArchiveSpan> frames;
  for (std::uint64_t at = 0; at < span.size;) {
    const char* frame = source.mapped() + at;
    const auto left = static_cast<std::size_t>(span.size - at);
    const std::size_t size = ZSTD_findFrameCompressedSize(frame, left);
    if (ZSTD_isError(size) || size == 0 || !BeginsDataFrame(frame, left) ||
        frames.size() == kMaxFrames) {
      return {whole};
    }
    frames.push_back({span.fd, span.offset + at, size, std::nullopt});
    at += size;
  }
  return frames;
}

}  // namespace mw::packer
