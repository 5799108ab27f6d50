#pragma once
// The map file: header, window size and nine lines per mark.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "map/clip_map.h"

namespace mw {

inline constexpr std::string_view kMapHeader = "markweaverdata1.0";
inline constexpr char kSizeFlag = '1';
inline constexpr std::string_view kMapFileExtension = "clm";

// Outer size of the editor window, carried by the map file.
struct WindowSize {
  int width = 0;
  int height = 0;
  friend bool operator==(const WindowSize&, const WindowSize&) = default;
};

// Reads the lines of a map or settings file held in memory. The end-of-file
// condition is set by the first read that reaches the end of the data: reading a
// last line without a line break sets it, and so does a read when nothing is left.
class MapLineReader {
 public:
  explicit MapLineReader(std::string_view data) : data_(data) {}
  // The next line, whole, without trailing characters of code 32 or less.
  std::string_view ReadMapLine();
  // The next line read as a number: the same as parsing ReadMapLine(), only quicker
  // for a plain number line.
  std::optional<std::int32_t> ReadIntLine();
  std::optional<float> ReadFloatLine();
  bool Eof() const { return eof_; }
  // How many bytes have been read.
  std::size_t Position() const { return position_; }
  // True when the last read found nothing left to read.
  bool LastReadFoundNothing() const { return foundNothing_; }
  // The text being read, and going on at `position` after lines read from it directly.
  std::string_view Text() const { return data_; }
  void MoveTo(std::size_t position) {
    position_ = position;
    foundNothing_ = false;
  }

 private:
  // Reads the line as a plain number when `readPlain` takes all of it up to its line
  // break; otherwise reads nothing and gives false.
  template <class Number, class ReadPlain>
  bool ReadPlainNumberLine(Number& value, ReadPlain readPlain);

  std::string_view data_;
  std::size_t position_ = 0;
  bool eof_ = false;
  bool foundNothing_ = false;
};

// Reads the nine lines of one mark into `mark`, which holds the defaults of a new
// record. A number line that is no number ends the read at once, silently, and the
// rest of the mark's lines are left for the next mark. Gives true when all nine
// lines were read.
bool ReadMark(MapLineReader& reader, ClickerMark& mark);

// Most bytes a map file may have; a larger one is refused as damaged.
inline constexpr std::size_t kMaxMapBytes = std::size_t{1} << 30;

enum class MapReadStatus { Loaded, OpenFailed, InvalidHeader, BadSizeLine };

// What a map file holds, or why it could not be read.
struct MapFileContent {
  MapReadStatus status = MapReadStatus::Loaded;
  ClipMap marks;
  std::optional<WindowSize> windowSize;  // present when the file carries the size lines
  std::string badLine;                   // the text of a size line that is no integer
};

// Reads a map from text. Only a mark cut off before its ninth line is dropped.
MapFileContent ParseMap(std::string_view data);
// Reads the map file at `path`.
MapFileContent ReadMapFile(const std::string& path);

// Appends the three header lines: header with size flag, width, height.
void WriteMapHeader(std::string& out, WindowSize size);
// The whole text of a map file, every line ended by CR LF.
std::string FormatMap(WindowSize size, std::span<const ClickerMark> marks);
// Index of the first mark with a text that the line format cannot hold (a line
// feed inside it), if any.
std::optional<std::size_t> FindUnstorableMark(std::span<const ClickerMark> marks);

enum class MapWriteStatus { Written, UnstorableText, WriteFailed };

struct MapWriteOutcome {
  MapWriteStatus status = MapWriteStatus::Written;
  std::size_t markIndex = 0;  // for UnstorableText: the mark at fault
  std::string detail;         // for WriteFailed: the system's reason, shown to the user
};

// What to tell the user when a map could not be written; empty when it was.
std::string MapWriteFailureMessage(const MapWriteOutcome& outcome);

// Writes a whole map file safely: either the new map is in place or the old file is
// untouched. Refuses a map that would not read back as written.
MapWriteOutcome WriteMapFile(const std::string& path, WindowSize size,
                             std::span<const ClickerMark> marks);

}  // namespace mw
