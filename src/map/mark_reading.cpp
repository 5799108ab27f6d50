#include "map/mark_reading.h"

#include <algorithm>

namespace mw {
namespace {

// Reads one mark; `textOf` makes a mark text of a line.
template <class TextOf>
bool ReadMarkLines(MapLineReader& reader, ClickerMark& mark, TextOf textOf) {
  mark.Clip = textOf(reader.ReadMapLine());
  if (reader.Eof()) return false;
  auto x = reader.ReadFloatLine();
  if (!x) return false;
  mark.X = *x;
  if (reader.Eof()) return false;
  auto y = reader.ReadFloatLine();
  if (!y) return false;
  mark.Y = *y;
  if (reader.Eof()) return false;
  auto size = reader.ReadIntLine();
  if (!size) return false;
  mark.Size = *size;
  mark.NextClip = textOf(reader.ReadMapLine());
  mark.Reserved = textOf(reader.ReadMapLine());
  if (reader.Eof()) return false;
  auto width = reader.ReadIntLine();
  if (!width) return false;
  mark.AreaWidth = *width;
  if (reader.Eof()) return false;
  auto height = reader.ReadIntLine();
  if (!height) return false;
  mark.AreaHeight = *height;
  mark.Hint = textOf(reader.ReadMapLine());
  return !reader.LastReadFoundNothing();
}

MarkText InMapText(std::string_view line) { return MarkText::InMapText(line); }

// After this many marks a large map makes room for all the marks it will hold.
constexpr std::size_t kSampleMarks = 64;

// Room for all marks at once, estimated from the bytes the first marks took, saves
// regrowing a large map. There is at most one mark for every 14 bytes (nine lines,
// five of them numbers).
void ReserveForTheRest(std::vector<ClickerMark>& marks, std::size_t bytesRead,
                       std::size_t bytesLeft) {
  const std::size_t bytesPerMark = std::max<std::size_t>(bytesRead / marks.size(), 14);
  const std::size_t expected = bytesLeft / bytesPerMark;
  marks.reserve(marks.size() + expected + expected / 8 + 1);
}

}  // namespace

bool ReadMark(MapLineReader& reader, ClickerMark& mark) {
  return ReadMarkLines(reader, mark, [](std::string_view line) { return MarkText(line); });
}

std::vector<ClickerMark> ReadMarksInMapText(std::string_view text, MapLineReader& reader) {
  std::vector<ClickerMark> marks;
  const std::size_t start = reader.Position();
  bool lastComplete = true;
  while (!reader.Eof()) {
    ClickerMark mark;
    lastComplete = ReadMarkLines(reader, mark, InMapText);
    marks.push_back(std::move(mark));
    if (marks.size() == kSampleMarks)
      ReserveForTheRest(marks, reader.Position() - start, text.size() - reader.Position());
  }
  // The mark during which the end was met is dropped only when it was cut off.
  if (!marks.empty() && !lastComplete) marks.pop_back();
  return marks;
}

}  // namespace mw
