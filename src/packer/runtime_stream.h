#pragma once
// Unpacking one tar stream of a runtime part (one of its zstd frames, or the whole part) into
// a folder, while another stream of the same part may be unpacking beside it.

#include <atomic>
#include <cstdint>
#include <optional>
#include <string>

#include "packer/runtime_parts.h"
#include "packer/safe_extract.h"

namespace mw::packer {

// Written last into an unpacked part: one "size hash name" line per file.
inline constexpr const char* kRuntimeFileList = ".complete";

// Throws the PackerError that refuses the package's runtime, saying why.
[[noreturn]] void RefuseRuntime(const std::string& why);

// What the streams of one part share while they unpack side by side: the limits, which hold
// for the part as a whole, and the word to stop once one of them has failed.
class RuntimeBudget {
 public:
  // Counts one more entry; refuses the part once it holds too many.
  void TakeEntry();
  // Counts the size of one more file; refuses the part once its files are too large.
  void TakeBytes(std::uint64_t size);
  // Asks every stream to stop at its next entry: another has failed.
  void Stop() { stopped_ = true; }
  bool Stopped() const { return stopped_; }

 private:
  std::atomic<std::uint64_t> entries_{0};
  std::atomic<std::uint64_t> bytes_{0};
  std::atomic<bool> stopped_{false};
};

// Unpacks the zstd tar stream in span into dir (which exists): regular files and folders only,
// plain relative names, each entry's folder named before it in the same stream, no file named
// twice (a folder named again, here or in another stream, is the same folder). When hash holds
// a value, the span's bytes are added to it in order. Returns the stream's lines of the list of
// files; stops early, with what it has, once budget is stopped. Throws PackerError naming the
// first broken rule, RuntimeWriteError when dir cannot take the files.
std::string UnpackRuntimeStream(const ArchiveSpan& span, std::optional<ContentHash>& hash,
                                const std::string& dir, RuntimeBudget& budget);

// Writes the list of files, sizes and hashes that the checks of an unpacked folder read,
// over an earlier list (two parts unpacked into one folder share it).
void WriteRuntimeFileList(const std::string& dir, const std::string& list);

}  // namespace mw::packer
