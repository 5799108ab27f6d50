#pragma once

#include <archive.h>

#include <cstddef>
#include <cstdint>
#include <memory>

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
  ~SpanSource();
  SpanSource(const SpanSource&) = delete;
  SpanSource& operator=(const SpanSource&) = delete;

  // libarchive's read callback; client is a SpanSource.
  static la_ssize_t Read(archive* a, void* client, const void** out);

  // Whether the bytes lie in the mapped span, where they stay until this source is dropped.
  bool Holds(const void* data, std::size_t size) const;

  // The content hash of the whole span: the bytes handed out so far, and the rest (which
  // libarchive left unread past the archive's end) read now. Throws PackerError when the
  // rest cannot be read.
  std::uint64_t FinishHash();

 private:
  void Map();
  la_ssize_t ReadPiece(archive* a, const void** out);

  ArchiveSpan span_;
  std::uint64_t position_ = 0;
  void* map_ = nullptr;  // the pages that hold the span, when it is mapped
  std::size_t map_size_ = 0;
  const char* mapped_span_ = nullptr;  // the span's first byte inside map_
  std::unique_ptr<char[]> buffer_;     // for reading piece by piece
  ContentHash hash_;                   // of the bytes handed out so far
};

}  // namespace mw::packer
