#include "media/photo_cache.h"

#include <sys/stat.h>

namespace mw {

std::optional<FileStamp> StampOf(const std::string& path) {
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) return std::nullopt;
  FileStamp stamp;
  stamp.size = static_cast<std::uintmax_t>(info.st_size);
  stamp.modified_ns =
      static_cast<std::int64_t>(info.st_mtim.tv_sec) * 1'000'000'000 + info.st_mtim.tv_nsec;
  return stamp;
}

const CachedPhoto* PhotoCache::Find(const std::string& path, QSize size, const FileStamp& stamp) {
  auto found = by_path_.find(path);
  if (found == by_path_.end()) return nullptr;
  Entries::iterator entry = found->second;
  if (entry->stamp != stamp) {
    Remove(entry);
    return nullptr;
  }
  if (entry->decode_size != size) return nullptr;
  entries_.splice(entries_.begin(), entries_, entry);
  return &*entry;
}

bool PhotoCache::Insert(CachedPhoto&& photo, const std::set<std::string>& wanted) {
  const std::size_t bytes = photo.Bytes();
  auto old = by_path_.find(photo.path);
  const std::size_t freed = old == by_path_.end() ? 0 : old->second->Bytes();
  if (bytes > byte_bound_) return false;
  // The entry being replaced counts as free room, but is only dropped once room is sure.
  std::set<std::string> keep = wanted;
  keep.insert(photo.path);
  if (bytes_ - freed + bytes > byte_bound_ && !MakeRoom(bytes - freed, keep)) return false;
  if (old != by_path_.end()) Remove(old->second);
  bytes_ += bytes;
  entries_.push_front(std::move(photo));
  by_path_[entries_.front().path] = entries_.begin();
  return true;
}

// Evicts from the least recently used end until `bytes` more fit. Looks first whether
// enough could go, so that a refused insert evicts nothing.
bool PhotoCache::MakeRoom(std::size_t bytes, const std::set<std::string>& keep) {
  auto evictable = [&](const CachedPhoto& entry) {
    return entry.path != pinned_ && !keep.contains(entry.path);
  };
  std::size_t could_free = 0;
  for (const CachedPhoto& entry : entries_)
    if (evictable(entry)) could_free += entry.Bytes();
  if (bytes_ - could_free + bytes > byte_bound_) return false;
  for (auto entry = entries_.end(); bytes_ + bytes > byte_bound_;) {
    --entry;
    if (!evictable(*entry)) continue;
    auto victim = entry++;
    Remove(victim);
  }
  return true;
}

void PhotoCache::DropOtherSizes(QSize size) {
  for (auto entry = entries_.begin(); entry != entries_.end();) {
    auto next = std::next(entry);
    if (entry->decode_size != size && entry->path != pinned_) Remove(entry);
    entry = next;
  }
}

void PhotoCache::Erase(const std::string& path) {
  auto found = by_path_.find(path);
  if (found != by_path_.end()) Remove(found->second);
}

void PhotoCache::Remove(Entries::iterator entry) {
  bytes_ -= entry->Bytes();
  removed_.push_back(std::move(entry->pixels));
  by_path_.erase(entry->path);
  entries_.erase(entry);
}

}  // namespace mw
