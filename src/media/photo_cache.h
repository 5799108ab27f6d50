#pragma once
// Decoded photos kept ready for the next click: a byte-bounded cache, least recently used
// out first. Not thread safe by itself; its owner guards it.

#include <QSize>
#include <cstddef>
#include <cstdint>
#include <list>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <unordered_map>
#include <vector>

#include "media/jpeg_decoder.h"

namespace mw {

// What identifies the content of a file on disk without reading it: its size and its
// modification time.
struct FileStamp {
  std::uintmax_t size = 0;
  std::int64_t modified_ns = 0;
  friend bool operator==(const FileStamp&, const FileStamp&) = default;
};

// The stamp of the regular file at `path`; none when it cannot be read as one.
std::optional<FileStamp> StampOf(const std::string& path);

// One photo decoded ahead: the picture exactly as a decode at `decode_size` gives it, and
// the stamp its file had before the decode.
struct CachedPhoto {
  std::string path;
  QSize decode_size;
  FileStamp stamp;
  std::shared_ptr<const PixelBuffer> pixels;  // Format_RGB32 rows of width * 4 bytes
  JpegResult result;                          // decoded size, source size, scale, incomplete

  std::size_t Bytes() const {
    return static_cast<std::size_t>(result.width) * static_cast<std::size_t>(result.height) * 4;
  }
};

// Holds at most `byte_bound` bytes of pictures, one entry a path. The pinned path (the
// clip on screen) is never evicted; paths the owner still wants are evicted only by
// themselves being replaced.
class PhotoCache {
 public:
  explicit PhotoCache(std::size_t byte_bound) : byte_bound_(byte_bound) {}

  // The entry of `path` decoded at `size` whose stamp equals `stamp`, made the most
  // recently used; null when there is none. A stale entry of the path is dropped.
  const CachedPhoto* Find(const std::string& path, QSize size, const FileStamp& stamp);
  // Adds `photo` as the most recently used entry, replacing one of the same path. Makes
  // room by evicting the least recently used entries that are neither pinned nor in
  // `wanted`. False, and nothing changes, when that cannot make room.
  bool Insert(CachedPhoto&& photo, const std::set<std::string>& wanted);
  // Drops every entry decoded at another size than `size`, except the pinned one.
  void DropOtherSizes(QSize size);
  void Erase(const std::string& path);
  // The path that must stay (the clip on screen); empty for none.
  void Pin(std::string path) { pinned_ = std::move(path); }

  // The pixels of the entries removed since the last call, for the owner to free outside
  // its lock.
  std::vector<std::shared_ptr<const PixelBuffer>> TakeRemoved() { return std::move(removed_); }

  std::size_t Bytes() const { return bytes_; }
  std::size_t Count() const { return entries_.size(); }
  std::size_t ByteBound() const { return byte_bound_; }

 private:
  using Entries = std::list<CachedPhoto>;  // most recently used first
  bool MakeRoom(std::size_t bytes, const std::set<std::string>& wanted);
  void Remove(Entries::iterator entry);

  std::size_t byte_bound_;
  std::size_t bytes_ = 0;
  Entries entries_;
  std::unordered_map<std::string, Entries::iterator> by_path_;
  std::string pinned_;
  std::vector<std::shared_ptr<const PixelBuffer>> removed_;
};

}  // namespace mw
