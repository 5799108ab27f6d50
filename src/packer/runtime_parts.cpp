#include "packer/runtime_parts.h"

#include <unistd.h>

#include <algorithm>
#include <bit>
#include <cerrno>
#include <cstring>

#include "map/package_data_file.h"
#include "packer/package_trailer.h"
#include "packer/packer_error.h"

namespace mw::packer {
namespace {

constexpr char kIndexMagic[8] = {'M', 'W', 'R', 'U', 'N', '\x01', '\r', '\n'};
constexpr std::size_t kPartRecord = 24;
constexpr std::size_t kIndexFooter = 16;
constexpr std::uint64_t kMaxParts = 4;

void PutWord(std::string& out, std::uint64_t value) {
  unsigned char bytes[8];
  PutU64(bytes, value);
  out.append(reinterpret_cast<const char*>(bytes), sizeof bytes);
}

std::uint64_t Mix(std::uint64_t x) {
  x ^= x >> 33;
  x *= 0xff51afd7ed558ccdULL;
  x ^= x >> 33;
  x *= 0xc4ceb9fe1a85ec53ULL;
  x ^= x >> 33;
  return x;
}

// The eight bytes as one number, the first byte highest, whatever the machine's order.
std::uint64_t BigEndianWord(const unsigned char* bytes) {
  std::uint64_t word = 0;
  std::memcpy(&word, bytes, sizeof word);
  if constexpr (std::endian::native == std::endian::little) word = __builtin_bswap64(word);
  return word;
}

// One lane taking its next word.
std::uint64_t Step(std::uint64_t lane, const unsigned char* word) {
  return Mix(lane ^ BigEndianWord(word)) + 0x9e3779b97f4a7c15ULL;
}

bool EndsWithNoCase(const std::string& name, const char* ending) {
  const std::size_t n = std::strlen(ending);
  if (name.size() < n) return false;
  return std::equal(name.end() - static_cast<std::ptrdiff_t>(n), name.end(), ending,
                    [](char a, char b) { return (a >= 'A' && a <= 'Z' ? a - 'A' + 'a' : a) == b; });
}

}  // namespace

void ContentHash::TakeBlock(const unsigned char* block) {
  for (std::size_t lane = 0; lane < 4; ++lane) lanes_[lane] = Step(lanes_[lane], block + 8 * lane);
}

void ContentHash::Add(const void* data, std::size_t size) {
  const auto* bytes = static_cast<const unsigned char*>(data);
  length_ += size;
  if (pending_size_ > 0) {
    const std::size_t taken = std::min(size, kBlock - pending_size_);
    std::memcpy(pending_ + pending_size_, bytes, taken);
    pending_size_ += taken;
    bytes += taken;
    size -= taken;
    if (pending_size_ < kBlock) return;
    TakeBlock(pending_);
    pending_size_ = 0;
  }
  // The lanes stay in registers through the long run of whole blocks.
  std::uint64_t a = lanes_[0], b = lanes_[1], c = lanes_[2], d = lanes_[3];
  for (; size >= kBlock; bytes += kBlock, size -= kBlock) {
    a = Step(a, bytes);
    b = Step(b, bytes + 8);
    c = Step(c, bytes + 16);
    d = Step(d, bytes + 24);
  }
  lanes_[0] = a;
  lanes_[1] = b;
  lanes_[2] = c;
  lanes_[3] = d;
  std::memcpy(pending_, bytes, size);
  pending_size_ = size;
}

// The lanes in their order, then the last bytes (zero-filled to whole words), then the length.
std::uint64_t ContentHash::Value() const {
  std::uint64_t value = 0;
  for (const std::uint64_t lane : lanes_) value = Mix(value ^ lane);
  unsigned char last[kBlock] = {};
  std::memcpy(last, pending_, pending_size_);
  for (std::size_t word = 0; word * 8 < pending_size_; ++word) {
    value = Mix(value ^ BigEndianWord(last + 8 * word));
  }
  return Mix(value ^ Mix(length_));
}

std::string EncodeRuntimeIndex(const std::vector<RuntimePart>& parts) {
  std::string out;
  for (const RuntimePart& part : parts) {
    PutWord(out, part.offset);
    PutWord(out, part.size);
    PutWord(out, part.hash);
  }
  PutWord(out, parts.size());
  out.append(kIndexMagic, sizeof kIndexMagic);
  return out;
}

std::vector<RuntimePart> ReadRuntimeIndex(int fd, std::uint64_t archive_offset) {
  if (archive_offset < kIndexFooter) return {};
  unsigned char footer[kIndexFooter];
  ReadExactly(fd, footer, sizeof footer, archive_offset - kIndexFooter);
  if (std::memcmp(footer + 8, kIndexMagic, sizeof kIndexMagic) != 0) return {};
  const std::uint64_t count = GetU64(footer);
  if (count == 0 || count > kMaxParts || archive_offset - kIndexFooter < count * kPartRecord) {
    throw PackerError("the package is refused: its runtime index is damaged");
  }
  const std::uint64_t index_start = archive_offset - kIndexFooter - count * kPartRecord;
  std::vector<unsigned char> records(count * kPartRecord);
  ReadExactly(fd, records.data(), records.size(), index_start);
  std::vector<RuntimePart> parts;
  for (std::uint64_t i = 0; i < count; ++i) {
    const unsigned char* record = records.data() + i * kPartRecord;
    const RuntimePart part{GetU64(record), GetU64(record + 8), GetU64(record + 16)};
    if (part.offset == 0 || part.size == 0 || part.offset > index_start ||
        part.size > index_start - part.offset) {
      throw PackerError("the package is refused: a runtime part lies outside the package");
    }
    parts.push_back(part);
  }
  return parts;
}

std::string HashName(std::uint64_t hash) {
  static const char digits[] = "0123456789abcdef";
  std::string name(16, '0');
  for (int i = 15; i >= 0; --i, hash >>= 4) name[static_cast<std::size_t>(i)] = digits[hash & 15];
  return name;
}

bool NeedsMovieRuntime(const std::vector<std::string>& file_names, const std::string& program) {
  const std::string data_file = DataFileOfProgram(program);
  return std::any_of(file_names.begin(), file_names.end(), [&](const std::string& name) {
    return name != program && name != data_file && !EndsWithNoCase(name, ".jpg") &&
           !EndsWithNoCase(name, ".jpeg");
  });
}

}  // namespace mw::packer
