#include "map/mark_reading.h"

#include <algorithm>
#include <future>
#include <iterator>
#include <system_error>

#include "map/plain_mark.h"

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

constexpr std::size_t kNoStop = std::string_view::npos;

// Marks read one after the other, and whether the last of them got all nine lines.
struct MarkRun {
  std::vector<ClickerMark> marks;
  bool lastComplete = true;
  std::size_t cutShort = 0;  // marks that ended at a number line that was no number
  bool noMap = false;        // so many marks were cut short that the text is no map
};

// A map whose marks are cut short this often is no map: each such mark takes a whole
// record for as little as two bytes of the file, so that reading on would take memory
// many times the file's size. A damaged map has a few of them.
constexpr std::size_t kCutShortAllowed = 1024;
constexpr std::size_t kMarksPerCutShort = 8;

bool CutShortTooOften(const MarkRun& run) {
  return run.cutShort > kCutShortAllowed && run.cutShort * kMarksPerCutShort > run.marks.size();
}

// The fewest bytes of a mark with all nine lines: five one-digit numbers and line feeds.
constexpr std::size_t kSmallestWholeMark = 14;

// After this many marks a large map makes room for all the marks it will hold.
constexpr std::size_t kSampleMarks = 64;

// Room for all marks at once, estimated from the bytes the first marks took, saves
// regrowing a large map. There is at most one mark for every 14 bytes (nine lines,
// five of them numbers).
void ReserveForTheRest(MarkRun& run, std::size_t bytesRead, std::size_t bytesLeft) {
  // Marks shorter than a whole mark can be were cut short: such a text may be no map at
  // all, and is not given room in advance.
  const std::size_t bytesPerMark = bytesRead / run.marks.size();
  if (bytesPerMark < kSmallestWholeMark) return;
  const std::size_t expected = bytesLeft / bytesPerMark;
  run.marks.reserve(run.marks.size() + expected + expected / 8 + 1);
}

// Reads the next mark the quick way when it is plain, line by line otherwise.
void ReadNextMark(MapLineReader& reader, MarkRun& run) {
  ClickerMark& mark = run.marks.emplace_back();
  if (std::size_t end = ReadPlainMark(reader.Text(), reader.Position(), mark)) {
    reader.MoveTo(end);
    run.lastComplete = true;
  } else {
    run.lastComplete = ReadMarkLines(reader, mark, InMapText);
    if (!run.lastComplete) ++run.cutShort;
  }
}

// Reads marks until the end of the text, or until the reader is at or past `stop`.
void ReadRun(MapLineReader& reader, std::size_t textSize, std::size_t stop, MarkRun& run) {
  const std::size_t start = reader.Position();
  while (!reader.Eof() && reader.Position() < stop) {
    ReadNextMark(reader, run);
    if (CutShortTooOften(run)) {
      run.noMap = true;
      return;
    }
    if (run.marks.size() == kSampleMarks)
      ReserveForTheRest(run, reader.Position() - start, textSize - reader.Position());
  }
}

// Reads marks to the end of the text: the mark during which the end was met is
// dropped only when it was cut off.
void ReadRunToTheEnd(MapLineReader& reader, std::size_t textSize, MarkRun& run) {
  ReadRun(reader, textSize, kNoStop, run);
  if (!run.marks.empty() && !run.lastComplete) run.marks.pop_back();
}

// True when the nine lines at `start` read as a mark in step: plain numbers where a
// mark has its numbers, and more text after them.
bool LooksLikeAMarkAt(std::string_view text, std::size_t start) {
  MapLineReader reader(text.substr(start));
  reader.ReadMapLine();
  if (!reader.ReadFloatLine() || !reader.ReadFloatLine() || !reader.ReadIntLine()) return false;
  reader.ReadMapLine();
  reader.ReadMapLine();
  return reader.ReadIntLine() && reader.ReadIntLine() && !reader.Eof();
}

// A line start after `from` that looks like the start of a mark, if one is near.
// Whether it really is one shows only when the marks before it are read.
std::size_t FindLikelyMarkStart(std::string_view text, std::size_t from) {
  constexpr int kLinesToTry = 64;
  std::size_t lineEnd = text.find('\n', from);
  for (int tried = 0; tried < kLinesToTry && lineEnd < text.size() - 1; ++tried) {
    if (LooksLikeAMarkAt(text, lineEnd + 1)) return lineEnd + 1;
    lineEnd = text.find('\n', lineEnd + 1);
  }
  return kNoStop;
}

// From this size on, the second half of a map's text is read on a second thread.
constexpr std::size_t kTwoThreadBytes = std::size_t{1} << 20;

// Reads `text` to its end on a second thread; gives no future when no thread is had.
// The thread fills marks of its own: a list shared while both threads grow theirs
// would slow both down.
std::future<MarkRun> ReadInBackground(std::string_view text) {
  try {
    return std::async(std::launch::async, [text] {
      MarkRun run;
      MapLineReader reader(text);
      ReadRunToTheEnd(reader, text.size(), run);
      return run;
    });
  } catch (const std::system_error&) {
    return {};
  }
}

}  // namespace

bool ReadMark(MapLineReader& reader, ClickerMark& mark) {
  return ReadMarkLines(reader, mark, [](std::string_view line) { return MarkText(line); });
}

// The first thread reads up to a likely mark start in the middle while a second
// thread reads from there. When the first thread's marks end exactly there, the
// second's marks are the ones a single reading would give, and follow; otherwise the
// first thread reads on to the end and the second's marks are not used.
std::optional<std::vector<ClickerMark>> ReadMarksInMapText(std::string_view text,
                                                          MapLineReader& reader) {
  const std::size_t left = text.size() - reader.Position();
  // The second thread starts a little later, so it takes a little less than half.
  const std::size_t split =
      left < kTwoThreadBytes ? kNoStop : FindLikelyMarkStart(text, text.size() - left * 47 / 100);
  MarkRun first;
  std::future<MarkRun> secondHalf;
  if (split != kNoStop) secondHalf = ReadInBackground(text.substr(split));
  if (!secondHalf.valid()) {
    ReadRunToTheEnd(reader, text.size(), first);
    if (first.noMap) return std::nullopt;
    return std::move(first.marks);
  }
  ReadRun(reader, text.size(), split, first);
  const bool metInStep = reader.Position() == split && !reader.Eof();
  if (!metInStep) ReadRunToTheEnd(reader, text.size(), first);
  MarkRun second = secondHalf.get();
  if (first.noMap || (metInStep && second.noMap)) return std::nullopt;
  if (metInStep)
    first.marks.insert(first.marks.end(), std::make_move_iterator(second.marks.begin()),
                       std::make_move_iterator(second.marks.end()));
  return std::move(first.marks);
}

}  // namespace mw
