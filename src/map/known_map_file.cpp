#include "map/known_map_file.h"

#include "map/safe_file.h"

namespace mw {

namespace {

// FNV-1a over the file's bytes: enough to tell another program's change from none.
std::uint64_t HashOf(const std::string& bytes) {
  std::uint64_t hash = 14695981039346656037ull;
  for (const char c : bytes) {
    hash ^= static_cast<unsigned char>(c);
    hash *= 1099511628211ull;
  }
  return hash;
}

}  // namespace

KnownMapFile::Fingerprint KnownMapFile::Of(const std::string& path) {
  Fingerprint print;
  std::string bytes;
  // What is no regular file that can be read (a folder, a device) is left to the write,
  // which refuses it with its own reason.
  if (!CanOpenForReading(path) || !ReadWholeFile(path, bytes)) return print;
  print.present = true;
  print.size = bytes.size();
  print.hash = HashOf(bytes);
  return print;
}

void KnownMapFile::Know(const std::string& path) {
  path_ = path;
  known_ = Of(path);
}

void KnownMapFile::Forget() {
  path_.clear();
  known_ = {};
}

UnknownContent KnownMapFile::Over(const std::string& path) const {
  const Fingerprint now = Of(path);
  if (!now.present) return UnknownContent::None;
  if (path != path_) return UnknownContent::NeverOpened;
  return now == known_ ? UnknownContent::None : UnknownContent::ChangedSince;
}

}  // namespace mw
