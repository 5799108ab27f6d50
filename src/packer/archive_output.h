#pragma once
// Where the archiver's bytes go: compressed with zstd when asked (each frame with its
// checksum, so that damage is found when it is unpacked), hashed as they leave, and
// written to a file on a thread of their own, so that reading and compressing the next
// bytes overlap with writing the last ones.

#include <zstd.h>

#include <cstdint>
#include <string_view>
#include <vector>

#include "packer/background_writer.h"
#include "packer/runtime_parts.h"

namespace mw::packer {

// How the archive's bytes are compressed on their way out.
struct OutputCompression {
  bool zstd = false;
  int level = 1;
  int threads = 0;  // 0: compress on the caller's thread
};

class ArchiveOutput {
 public:
  // Throws PackerError when zstd cannot be set up as asked.
  ArchiveOutput(int fd, const OutputCompression& compression);
  ~ArchiveOutput();
  ArchiveOutput(const ArchiveOutput&) = delete;
  ArchiveOutput& operator=(const ArchiveOutput&) = delete;

  // Takes the next bytes of the archive. Throws PackerError (a failed write included).
  void Take(std::string_view bytes);
  // Ends the compressed stream, waits for every write and returns the content hash of all
  // the bytes written to the file. Throws PackerError.
  std::uint64_t Finish();

 private:
  void Compress(std::string_view bytes, ZSTD_EndDirective mode);
  void Emit(const char* data, std::size_t size);

  int fd_;
  ZSTD_CCtx* zstd_ = nullptr;
  std::vector<char> compressed_;  // one output buffer of zstd
  ContentHash hash_;
  BackgroundWriter writer_;  // last: stopped before the members above go
};

}  // namespace mw::packer
