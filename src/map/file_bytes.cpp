#include "map/file_bytes.h"

#include <cstring>

namespace mw {

FileBytes::FileBytes(std::string_view bytes) {
  Reserve(bytes.size());
  if (!bytes.empty()) std::memcpy(data_.get(), bytes.data(), bytes.size());
  size_ = bytes.size();
}

void FileBytes::Reserve(std::size_t capacity) {
  if (capacity <= capacity_) return;
  std::unique_ptr<char[]> grown(new char[capacity]);
  if (size_ > 0) std::memcpy(grown.get(), data_.get(), size_);
  data_ = std::move(grown);
  capacity_ = capacity;
}

}  // namespace mw
