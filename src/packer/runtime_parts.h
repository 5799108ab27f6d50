#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace mw::packer {

// The player's runtime travels in a package as one or two compressed parts (the photo part,
// and the movie part when a map has a movie), laid between the self-extractor and the
// archive and found through an index that ends where the archive begins:
//   per part: 8 bytes offset, 8 bytes size, 8 bytes content hash (little endian)
//   8 bytes  number of parts
//   8 bytes  magic "MWRUN\x01\r\n"
// A package without this index carries no runtime.
struct RuntimePart {
  std::uint64_t offset = 0;
  std::uint64_t size = 0;
  std::uint64_t hash = 0;
};

// The file names of the parts in the program folder.
inline constexpr const char* kPhotoRuntimeName = "player-runtime.tar.zst";
inline constexpr const char* kMovieRuntimeName = "player-runtime-movie.tar.zst";

// A 64-bit hash of a byte stream, fed piece by piece: names a part's cache folder. Four
// lanes take turns at the eight-byte words, so that hashing keeps up with copying.
class ContentHash {
 public:
  void Add(const void* data, std::size_t size);
  std::uint64_t Value() const;

 private:
  static constexpr std::size_t kBlock = 32;  // one word for each lane

  void TakeBlock(const unsigned char* block);

  std::uint64_t lanes_[4] = {0x9e3779b97f4a7c15ULL, 0xbf58476d1ce4e5b9ULL, 0x94d049bb133111ebULL,
                             0x2545f4914f6cdd1dULL};
  unsigned char pending_[kBlock] = {};  // the bytes since the last whole block
  std::size_t pending_size_ = 0;
  std::uint64_t length_ = 0;
};

// The index of parts as bytes, ready to append just before the archive.
std::string EncodeRuntimeIndex(const std::vector<RuntimePart>& parts);

// Reads the index that ends at archive_offset in the open package fd; empty when the
// package has none. Throws PackerError when an index is there but its parts do not lie
// inside the head of the package.
std::vector<RuntimePart> ReadRuntimeIndex(int fd, std::uint64_t archive_offset);

// The part's hash as 16 hexadecimal digits: the name of its cache folder.
std::string HashName(std::uint64_t hash);

// Whether a package of these files needs the movie part: some file other than the launched
// program and its data file is not a photo (.jpg or .jpeg).
bool NeedsMovieRuntime(const std::vector<std::string>& file_names, const std::string& program);

}  // namespace mw::packer
