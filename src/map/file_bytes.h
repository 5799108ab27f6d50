#pragma once
// The bytes of a file read whole, in a buffer that is not cleared before it is
// filled: that saves a pass over a large file.

#include <cstddef>
#include <memory>
#include <string_view>
#include <utility>

namespace mw {

class FileBytes {
 public:
  FileBytes() = default;
  explicit FileBytes(std::string_view bytes);
  FileBytes(FileBytes&& other) noexcept { *this = std::move(other); }
  FileBytes& operator=(FileBytes&& other) noexcept {
    data_ = std::move(other.data_);
    size_ = std::exchange(other.size_, 0);
    capacity_ = std::exchange(other.capacity_, 0);
    return *this;
  }

  std::string_view View() const { return {data_.get(), size_}; }
  std::size_t Size() const { return size_; }
  // Makes room for `capacity` bytes in all, keeping those held.
  void Reserve(std::size_t capacity);
  // Where the next bytes go, and how many fit there.
  char* End() { return data_.get() + size_; }
  std::size_t Room() const { return capacity_ - size_; }
  // Takes `count` bytes written at End() into the content.
  void Commit(std::size_t count) { size_ += count; }
  void Clear() { size_ = 0; }

 private:
  std::unique_ptr<char[]> data_;
  std::size_t size_ = 0;
  std::size_t capacity_ = 0;
};

}  // namespace mw
