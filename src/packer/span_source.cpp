#include "packer/span_source.h"

#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "packer/packer_error.h"

namespace mw::packer {
namespace {

// Small enough to stay in the processor's cache between reading and unpacking.
constexpr std::size_t kPieceSize = 128 * 1024;
// A mapped span is handed out in pieces of this size: each is hashed just before libarchive
// reads it, while it is in the processor's cache.
constexpr std::uint64_t kMappedPiece = 1 << 20;

}  // namespace

SpanSource::SpanSource(const ArchiveSpan& span) : SpanSource(span, ContentHash{}) {}

SpanSource::SpanSource(const ArchiveSpan& span, std::optional<ContentHash> carried)
    : span_(span), hash_(carried) {
  Map();
  if (!map_) buffer_ = std::make_unique<char[]>(kPieceSize);
}

SpanSource::~SpanSource() {
  if (map_) munmap(map_, map_size_);
}

// Maps the pages that hold the span when they all lie inside the file.
void SpanSource::Map() {
  struct stat info {};
  if (span_.size == 0 || fstat(span_.fd, &info) != 0 || !S_ISREG(info.st_mode)) return;
  const auto file_size = static_cast<std::uint64_t>(info.st_size);
  if (span_.offset > file_size || span_.size > file_size - span_.offset) return;
  const auto page = static_cast<std::uint64_t>(sysconf(_SC_PAGESIZE));
  const std::uint64_t start = span_.offset - span_.offset % page;
  const std::uint64_t length = span_.offset + span_.size - start;
  if (length > SIZE_MAX) return;
  void* map = mmap(nullptr, static_cast<std::size_t>(length), PROT_READ, MAP_PRIVATE, span_.fd,
                   static_cast<off_t>(start));
  if (map == MAP_FAILED) return;
  madvise(map, static_cast<std::size_t>(length), MADV_SEQUENTIAL);
  map_ = map;
  map_size_ = static_cast<std::size_t>(length);
  mapped_span_ = static_cast<const char*>(map) + (span_.offset - start);
}

la_ssize_t SpanSource::Read(archive* a, void* client, const void** out) {
  auto* source = static_cast<SpanSource*>(client);
  if (!source->map_) return source->ReadPiece(a, out);
  // libarchive takes the bytes straight from the mapping.
  const std::uint64_t left = source->span_.size - source->position_;
  const std::uint64_t piece = left < kMappedPiece ? left : kMappedPiece;
  *out = source->mapped_span_ + source->position_;
  if (source->hash_) source->hash_->Add(*out, static_cast<std::size_t>(piece));
  source->position_ += piece;
  return static_cast<la_ssize_t>(piece);
}

bool SpanSource::Holds(const void* data, std::size_t size) const {
  if (!map_ || size > span_.size) return false;
  const auto at = reinterpret_cast<std::uintptr_t>(data);
  const auto first = reinterpret_cast<std::uintptr_t>(mapped_span_);
  return at >= first && at - first <= span_.size - size;
}

std::uint64_t SpanSource::FinishHash() {
  const std::optional<ContentHash> hash = FinishHashing();
  return hash ? hash->Value() : 0;
}

std::optional<ContentHash> SpanSource::FinishHashing() {
  if (!hash_) return std::nullopt;
  if (map_) {
    hash_->Add(mapped_span_ + position_, static_cast<std::size_t>(span_.size - position_));
    position_ = span_.size;
    return hash_;
  }
  if (!buffer_) buffer_ = std::make_unique<char[]>(kPieceSize);
  const void* piece = nullptr;
  for (la_ssize_t got; (got = ReadPiece(nullptr, &piece)) != 0;) {
    if (got < 0) throw PackerError("the package is refused: its file cannot be read to its end");
  }
  return hash_;
}

la_ssize_t SpanSource::ReadPiece(archive* a, const void** out) {
  const std::uint64_t left = span_.size - position_;
  const std::size_t want = left < kPieceSize ? static_cast<std::size_t>(left) : kPieceSize;
  if (want == 0) return 0;
  ssize_t got;
  do {
    got = pread(span_.fd, buffer_.get(), want, static_cast<off_t>(span_.offset + position_));
  } while (got < 0 && errno == EINTR);
  if (got < 0) {
    if (a) archive_set_error(a, errno, "cannot read the package");
    return -1;
  }
  if (got == 0) {
    if (a) archive_set_error(a, EIO, "the package file is cut short");
    return -1;
  }
  if (hash_) hash_->Add(buffer_.get(), static_cast<std::size_t>(got));
  position_ += static_cast<std::uint64_t>(got);
  *out = buffer_.get();
  return got;
}

}  // namespace mw::packer
