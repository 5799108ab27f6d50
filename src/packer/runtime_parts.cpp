#include "packer/runtime_parts.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

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

bool EndsWithNoCase(const std::string& name, const char* ending) {
  const std::size_t n = std::strlen(ending);
  if (name.size() < n) return false;
  return std::equal(name.end() - static_cast<std::ptrdiff_t>(n), name.end(), ending,
                    [](char a, char b) { return (a >= 'A' && a <= 'Z' ? a - 'A' + 'a' : a) == b; });
}

}  // namespace

void ContentHash::Add(const void* data, std::size_t size) {
  const auto* bytes = static_cast<const unsigned char*>(data);
  std::size_t i = 0;
  auto take = [this](std::uint64_t word) {
    // Eight bytes at a time, mixed in order, so reordered content hashes differently.
    state_ = Mix(state_ ^ word) + 0x9e3779b97f4a7c15ULL;
  };
  for (; i < size && (length_ & 7) != 0; ++i, ++length_) {
    tail_ = (tail_ << 8) | bytes[i];
    if ((length_ & 7) == 7) {
      take(tail_);
      tail_ = 0;
    }
  }
  for (; i + 8 <= size; i += 8, length_ += 8) {
    std::uint64_t word = 0;
    for (int k = 0; k < 8; ++k) word = (word << 8) | bytes[i + static_cast<std::size_t>(k)];
    take(word);
  }
  for (; i < size; ++i, ++length_) tail_ = (tail_ << 8) | bytes[i];
}

std::uint64_t ContentHash::Value() const {
  return Mix(state_ ^ tail_ ^ Mix(length_));
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
  const std::string data_file =
      EndsWithNoCase(program, ".exe") ? program.substr(0, program.size() - 4) : program;
  return std::any_of(file_names.begin(), file_names.end(), [&](const std::string& name) {
    return name != program && name != data_file && !EndsWithNoCase(name, ".jpg") &&
           !EndsWithNoCase(name, ".jpeg");
  });
}

}  // namespace mw::packer
