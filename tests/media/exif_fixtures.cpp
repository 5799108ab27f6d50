#include "exif_fixtures.h"

#include <algorithm>
#include <fstream>
#include <iterator>
#include <stdexcept>

namespace mw::test {

namespace {

// Appends numbers in the block's byte order.
class TiffWriter {
 public:
  explicit TiffWriter(bool big_endian) : big_endian_(big_endian) {}
  void Put(std::uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) {
      const int shift = 8 * (big_endian_ ? bytes - 1 - i : i);
      bytes_.push_back(static_cast<std::uint8_t>(value >> shift));
    }
  }
  void PutText(const std::string& text) { bytes_.insert(bytes_.end(), text.begin(), text.end()); }
  std::vector<std::uint8_t>& Bytes() { return bytes_; }

 private:
  bool big_endian_;
  std::vector<std::uint8_t> bytes_;
};

}  // namespace

std::vector<std::uint8_t> ExifPayload(const ExifEntry& entry) {
  TiffWriter tiff(entry.big_endian);
  tiff.PutText(entry.big_endian ? "MM" : "II");
  tiff.Put(42, 2);
  tiff.Put(8, 4);  // the first directory follows the header
  tiff.Put(2, 2);  // two entries
  // Make: ASCII, 6 bytes, held after the directory (8 + 2 + 2 * 12 + 4 = 38).
  tiff.Put(0x010f, 2);
  tiff.Put(2, 2);
  tiff.Put(6, 4);
  tiff.Put(38, 4);
  // Orientation: the value sits in the first bytes of the value field.
  tiff.Put(0x0112, 2);
  tiff.Put(entry.type, 2);
  tiff.Put(entry.count, 4);
  tiff.Put(static_cast<std::uint32_t>(entry.value), 2);
  tiff.Put(0, 2);
  tiff.Put(0, 4);  // no further directory
  tiff.PutText(std::string("Maker", 6));
  const std::vector<std::uint8_t>& body = tiff.Bytes();
  std::vector<std::uint8_t> payload(6 + body.size(), 0);
  const char header[] = "Exif";
  std::copy(header, header + 4, payload.begin());
  std::copy(body.begin(), body.end(), payload.begin() + 6);
  return payload;
}

std::vector<std::uint8_t> ExifPayload(int orientation) {
  ExifEntry entry;
  entry.value = orientation;
  return ExifPayload(entry);
}

void InsertApp1(const std::string& path, const std::vector<std::uint8_t>& payload) {
  std::vector<char> bytes;
  {
    std::ifstream in(path, std::ios::binary);
    bytes.assign(std::istreambuf_iterator<char>(in), {});
  }
  if (bytes.size() < 2 || static_cast<unsigned char>(bytes[0]) != 0xff ||
      static_cast<unsigned char>(bytes[1]) != 0xd8)
    throw std::runtime_error("not a JPEG file: " + path);
  const std::size_t length = payload.size() + 2;
  if (length > 0xffff) throw std::runtime_error("APP1 payload too long");
  std::vector<char> segment = {static_cast<char>(0xff), static_cast<char>(0xe1),
                               static_cast<char>(length >> 8), static_cast<char>(length & 0xff)};
  segment.insert(segment.end(), payload.begin(), payload.end());
  bytes.insert(bytes.begin() + 2, segment.begin(), segment.end());
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (!out) throw std::runtime_error("cannot write " + path);
}

}  // namespace mw::test
