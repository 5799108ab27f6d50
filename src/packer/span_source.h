#pragma once

#include <archive.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>

#include "packer/runtime_parts.h"
#include "packer/safe_extract.h"

namespace mw::packer {

// The bytes of an archive span for libarchive, and no byte outside it. A span that lies
// inside a regular file is mapped into memory, which spares copying every byte once more;
// else it is read piece by piece. A mapped file must not shrink while it is read (that would
// end the program): a package is the running program's own file, which the system lets no
// one write while the program runs. Every byte handed to libarchive is hashed on its way,
// so that the span's content hash is known once it has been read, without a second pass.
class SpanSource {
 public:
  explicit SpanSource(const ArchiveSpan& span);
  // Hashing carries on from carried, the hash of the bytes that lie before the span, so that
  // spans read one after another hash as one; with no hash carried the bytes are not hashed.
  SpanSource(const ArchiveSpan& span, std::optional<ContentHash> carried);
  ~SpanSource();
  SpanSource(const SpanSource&) = delete;
  SpanSource& operator=(const SpanSource&) = delete;

  // libarchive's read callback; client is a SpanSource.
  static la_ssize_t Read(archive* a, void* client, const void** out);

  // The span's first byte when it is mapped (it stays until this source is dropped); else null.
  const char* mapped() const { return mapped_span_; }

  // Whether the bytes lie in the mapped span, where they stay until this source is dropped.
  bool Holds(const void* data, std::size_t size) const;

  // The content hash of the whole span: the bytes handed out so far, and the rest (which
  // libarchive left unread past the archive's end) read now. Throws PackerError when the
  // rest cannot be read. 0 when this source does not hash.
  std::uint64_t FinishHash();
  // As FinishHash, but the hash as it stands, to be carried on into the next span. Empty
  // when this source does not hash.
  std::optional<ContentHash> FinishHashing();

 private:
  void Map();
  la_ssize_t ReadPiece(archive* a, const void** out);

  ArchiveSpan span_;
  std::uint64_t position_ = 0;
  void* map_ = nullptr;  // the pages that hold the span, when it is mapped
  std::size_t map_size_ = 0;
  const char* mapped_span_ = nullptr;  // the span's first byte inside map_
  std::unique_ptr<char[]> buffer_;     // for reading piece by piece
  std::optional<ContentHash> hash_;    // of the bytes handed out so far
};

}  // namespace mw::packer
