#include "media/exif_orientation.h"

#include <cstring>

namespace mw {

bool SwapsSides(Orientation orientation) {
  return static_cast<int>(orientation) >= 5;
}

namespace {

// The TIFF structure inside an EXIF block, read in its own byte order. Every read is
// checked against the block's end; a read past it gives nothing.
class TiffReader {
 public:
  TiffReader(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}

  // Reads the byte order mark and the magic number; false when they are not TIFF's.
  bool ReadOrder() {
    if (size_ < 8) return false;
    if (data_[0] == 'I' && data_[1] == 'I') {
      big_endian_ = false;
    } else if (data_[0] == 'M' && data_[1] == 'M') {
      big_endian_ = true;
    } else {
      return false;
    }
    std::uint32_t magic = 0;
    return Read16(2, magic) && magic == 42;
  }

  // Whether `bytes` bytes from `at` lie inside the block.
  bool Holds(std::size_t at, std::size_t bytes) const { return at <= size_ && size_ - at >= bytes; }
  bool Read16(std::size_t at, std::uint32_t& value) const { return Read(at, 2, value); }
  bool Read32(std::size_t at, std::uint32_t& value) const { return Read(at, 4, value); }

 private:
  bool Read(std::size_t at, std::size_t bytes, std::uint32_t& value) const {
    if (!Holds(at, bytes)) return false;
    value = 0;
    for (std::size_t i = 0; i < bytes; ++i) {
      const std::uint32_t byte = data_[at + (big_endian_ ? i : bytes - 1 - i)];
      value = (value << 8) | byte;
    }
    return true;
  }

  const std::uint8_t* data_;
  std::size_t size_;
  bool big_endian_ = false;
};

constexpr char kExifHeader[] = {'E', 'x', 'i', 'f', '\0', '\0'};
constexpr std::uint32_t kOrientationTag = 0x0112;
constexpr std::uint32_t kShortType = 3;
constexpr std::size_t kEntryBytes = 12;

// The orientation in the first directory entry of the tag, if it is one SHORT of 1 to 8
// (as browsers read it, so that a page and the editor agree on every photo).
Orientation EntryOrientation(const TiffReader& tiff, std::size_t entry) {
  std::uint32_t type = 0, count = 0, value = 0;
  if (!tiff.Read16(entry + 2, type) || !tiff.Read32(entry + 4, count) ||
      !tiff.Read16(entry + 8, value))
    return Orientation::Upright;
  if (type != kShortType || count != 1 || value < 1 || value > 8) return Orientation::Upright;
  return static_cast<Orientation>(value);
}

}  // namespace

Orientation OrientationFromExif(const std::uint8_t* payload, std::size_t size) {
  if (!payload || size < sizeof kExifHeader ||
      std::memcmp(payload, kExifHeader, sizeof kExifHeader) != 0)
    return Orientation::Upright;
  TiffReader tiff(payload + sizeof kExifHeader, size - sizeof kExifHeader);
  std::uint32_t directory = 0, entries = 0;
  if (!tiff.ReadOrder() || !tiff.Read32(4, directory) || !tiff.Read16(directory, entries))
    return Orientation::Upright;
  // At most 65535 entries, and the loop ends at the first that does not fit the block.
  for (std::uint32_t i = 0; i < entries; ++i) {
    const std::size_t entry = std::size_t{directory} + 2 + i * kEntryBytes;
    std::uint32_t tag = 0;
    if (!tiff.Holds(entry, kEntryBytes) || !tiff.Read16(entry, tag)) break;
    if (tag == kOrientationTag) return EntryOrientation(tiff, entry);
  }
  return Orientation::Upright;
}

}  // namespace mw
