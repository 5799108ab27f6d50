#include "packer/archive_output.h"

#include <unistd.h>

#include <cerrno>
#include <string>

#include "packer/packer_error.h"

namespace mw::packer {
namespace {

void WriteAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t written = write(fd, bytes.data(), bytes.size());
    if (written < 0 && errno == EINTR) continue;
    if (written < 0) throw PackerError(ErrnoText("cannot write the archive", errno));
    bytes.remove_prefix(static_cast<std::size_t>(written));
  }
}

void CheckZstd(std::size_t result, const std::string& what) {
  if (ZSTD_isError(result)) throw PackerError(what + ": " + ZSTD_getErrorName(result));
}

}  // namespace

ArchiveOutput::ArchiveOutput(int fd, const OutputCompression& compression) : fd_(fd) {
  if (!compression.zstd) return;
  zstd_ = ZSTD_createCCtx();
  if (!zstd_) throw PackerError("out of memory");
  CheckZstd(ZSTD_CCtx_setParameter(zstd_, ZSTD_c_compressionLevel, compression.level),
            "cannot set the compression level " + std::to_string(compression.level));
  CheckZstd(ZSTD_CCtx_setParameter(zstd_, ZSTD_c_checksumFlag, 1), "cannot set up zstd");
  if (compression.threads > 0) {
    CheckZstd(ZSTD_CCtx_setParameter(zstd_, ZSTD_c_nbWorkers, compression.threads),
              "cannot set the compression threads");
  }
  compressed_.resize(ZSTD_CStreamOutSize());
}

ArchiveOutput::~ArchiveOutput() {
  ZSTD_freeCCtx(zstd_);
}

void ArchiveOutput::Take(std::string_view bytes) {
  if (zstd_) {
    Compress(bytes, ZSTD_e_continue);
  } else {
    Emit(bytes.data(), bytes.size());
  }
}

std::uint64_t ArchiveOutput::Finish() {
  if (zstd_) Compress({}, ZSTD_e_end);
  writer_.Finish();
  return hash_.Value();
}

// Feeds bytes to zstd and emits whatever it gives back; with ZSTD_e_end until the frame
// is closed.
void ArchiveOutput::Compress(std::string_view bytes, ZSTD_EndDirective mode) {
  ZSTD_inBuffer in{bytes.data(), bytes.size(), 0};
  for (;;) {
    ZSTD_outBuffer out{compressed_.data(), compressed_.size(), 0};
    const std::size_t left = ZSTD_compressStream2(zstd_, &out, &in, mode);
    CheckZstd(left, "cannot compress the archive");
    Emit(compressed_.data(), out.pos);
    const bool done = mode == ZSTD_e_end ? left == 0 : in.pos == in.size;
    if (done) return;
  }
}

void ArchiveOutput::Emit(const char* data, std::size_t size) {
  if (size == 0) return;
  hash_.Add(data, size);
  const int fd = fd_;
  writer_.Write(data, size, [fd](std::string_view bytes) { WriteAll(fd, bytes); });
}

}  // namespace mw::packer
