#pragma once
// Writing the export's files: a new file written through a buffer with every write
// checked, clip files copied inside the kernel, clip files written as base64.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace mw {

// How a file is cut into base64 blocks and what stands around each block.
struct Base64Blocks {
  std::uint64_t pieceBytes = 0;  // bytes of the file in each block but the last; not 0
  // Writes the opening text of block `index` of `count` (an empty file is one block).
  std::function<void(std::uint64_t index, std::uint64_t count)> open;
  std::string close;  // written after each block
};

// A new file (it must not exist yet) written in order. The first failure is kept and
// every later write does nothing; Close says whether every write was taken. Files of an
// export are not synced one by one: an export is made again from its map, and what
// it must survive is a failure or a kill of the program, which the rename at the end
// covers.
class OutputFile {
 public:
  explicit OutputFile(const std::string& path);
  ~OutputFile();
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;

  void Write(std::string_view bytes);
  // Writes the bytes of the file at `path` as base64 blocks, each of at most
  // `blocks.pieceBytes` bytes of the file, without line breaks, each between the
  // texts `blocks` gives. Asks `cancelled` as it goes and stops early when it says so
  // (the file is then unfinished, which Close does not report: the caller throws it
  // away). A file that changes size meanwhile is a failure.
  void WriteBase64Blocks(const std::string& path, const Base64Blocks& blocks,
                         const std::function<bool()>& cancelled = {});
  // Flushes and closes; false with Error() set when any step failed.
  bool Close();
  bool Failed() const { return !error_.empty(); }
  const std::string& Error() const { return error_; }

 private:
  void Flush();
  bool WriteBase64Piece(int in, const std::string& path, std::uint64_t size,
                        std::vector<unsigned char>& chunk, const std::function<bool()>& cancelled);
  void Fail(const std::string& what);

  std::string path_;
  int fd_ = -1;
  std::vector<char> buffer_;
  std::size_t used_ = 0;
  std::string error_;
};

// Copies the regular file `from` to the new file `to` inside the kernel where it can.
// Gives the reason when it failed (nothing of `to` is then left).
std::string CopyClipFile(const std::string& from, const std::string& to);

// Writes `bytes` as the new file `path`; the reason when it failed.
std::string WriteNewFile(const std::string& path, std::string_view bytes);

// The base64 form of `bytes` (the standard alphabet, with padding).
std::string Base64(std::string_view bytes);

}  // namespace mw
