#include "map/map_file.h"

#include <algorithm>
#include <cstring>

#include "map/numbers.h"
#include "map/safe_file.h"

namespace mw {

std::string_view MapLineReader::ReadMapLine() {
  foundNothing_ = position_ >= data_.size();
  if (foundNothing_) {
    eof_ = true;
    return {};
  }
  const char* begin = data_.data() + position_;
  std::size_t left = data_.size() - position_;
  const void* feed = std::memchr(begin, '\n', left);
  std::size_t length;
  if (feed != nullptr) {
    length = static_cast<std::size_t>(static_cast<const char*>(feed) - begin) + 1;
  } else {
    length = left;
    eof_ = true;
  }
  position_ += length;
  while (length > 0 && static_cast<unsigned char>(begin[length - 1]) <= 32) --length;
  return {begin, length};
}

bool ReadMark(MapLineReader& reader, ClickerMark& mark) {
  mark.Clip = reader.ReadMapLine();
  if (reader.Eof()) return false;
  auto x = ParseFloat(reader.ReadMapLine());
  if (!x) return false;
  mark.X = *x;
  if (reader.Eof()) return false;
  auto y = ParseFloat(reader.ReadMapLine());
  if (!y) return false;
  mark.Y = *y;
  if (reader.Eof()) return false;
  auto size = ParseInt(reader.ReadMapLine());
  if (!size) return false;
  mark.Size = *size;
  mark.NextClip = reader.ReadMapLine();
  mark.Reserved = reader.ReadMapLine();
  if (reader.Eof()) return false;
  auto width = ParseInt(reader.ReadMapLine());
  if (!width) return false;
  mark.AreaWidth = *width;
  if (reader.Eof()) return false;
  auto height = ParseInt(reader.ReadMapLine());
  if (!height) return false;
  mark.AreaHeight = *height;
  mark.Hint = reader.ReadMapLine();
  return !reader.LastReadFoundNothing();
}

namespace {

// Reads the width and height lines; gives false with the bad line's text otherwise.
bool ReadSizeLines(MapLineReader& reader, MapFileContent& content) {
  WindowSize size;
  for (int* field : {&size.width, &size.height}) {
    std::string_view line = reader.ReadMapLine();
    auto value = ParseInt(line);
    if (!value) {
      content.status = MapReadStatus::BadSizeLine;
      content.badLine = line;
      return false;
    }
    *field = *value;
  }
  content.windowSize = size;
  return true;
}

}  // namespace

MapFileContent ParseMap(std::string_view data) {
  MapFileContent content;
  MapLineReader reader(data);
  std::string_view header = reader.ReadMapLine();
  if (header.substr(0, kMapHeader.size()) != kMapHeader) {
    content.status = MapReadStatus::InvalidHeader;
    return content;
  }
  if (header.size() > kMapHeader.size() && header[kMapHeader.size()] == kSizeFlag &&
      !ReadSizeLines(reader, content)) {
    return content;
  }
  // Nine lines a mark: room for all of them at once saves regrowing a large map.
  content.marks.Reserve(static_cast<std::size_t>(std::count(data.begin(), data.end(), '\n')) / 9 + 1);
  bool lastComplete = true;
  bool appended = false;
  while (!reader.Eof()) {
    ClickerMark mark;
    lastComplete = ReadMark(reader, mark);
    content.marks.Append(std::move(mark));
    appended = true;
  }
  // The mark during which the end was met is dropped only when it was cut off.
  if (appended && !lastComplete) content.marks.RemoveLast();
  return content;
}

MapFileContent ReadMapFile(const std::string& path) {
  std::string data;
  if (!ReadWholeFile(path, data)) {
    MapFileContent content;
    content.status = MapReadStatus::OpenFailed;
    return content;
  }
  return ParseMap(data);
}

void WriteMapHeader(std::string& out, WindowSize size) {
  out += kMapHeader;
  out += kSizeFlag;
  out += "\r\n";
  AppendInt(out, size.width);
  out += "\r\n";
  AppendInt(out, size.height);
  out += "\r\n";
}

namespace {

void AppendLine(std::string& out, std::string_view text) {
  out += text;
  out += "\r\n";
}

void AppendMark(std::string& out, const ClickerMark& mark) {
  AppendLine(out, mark.Clip);
  AppendFixed6(out, mark.X);
  out += "\r\n";
  AppendFixed6(out, mark.Y);
  out += "\r\n";
  AppendInt(out, mark.Size);
  out += "\r\n";
  AppendLine(out, mark.NextClip);
  AppendLine(out, mark.Reserved);
  AppendInt(out, mark.AreaWidth);
  out += "\r\n";
  AppendInt(out, mark.AreaHeight);
  out += "\r\n";
  AppendLine(out, mark.Hint);
}

bool HoldsLineFeed(std::string_view text) { return text.find('\n') != std::string_view::npos; }

}  // namespace

std::string FormatMap(WindowSize size, std::span<const ClickerMark> marks) {
  std::string out;
  std::size_t estimate = 32;
  for (const ClickerMark& mark : marks)
    estimate += 96 + mark.Clip.size() + mark.NextClip.size() + mark.Reserved.size() +
                mark.Hint.size();
  out.reserve(estimate);
  WriteMapHeader(out, size);
  for (const ClickerMark& mark : marks) AppendMark(out, mark);
  return out;
}

std::optional<std::size_t> FindUnstorableMark(std::span<const ClickerMark> marks) {
  for (std::size_t i = 0; i < marks.size(); ++i) {
    const ClickerMark& m = marks[i];
    if (HoldsLineFeed(m.Clip) || HoldsLineFeed(m.NextClip) || HoldsLineFeed(m.Reserved) ||
        HoldsLineFeed(m.Hint))
      return i;
  }
  return std::nullopt;
}

std::string MapWriteFailureMessage(const MapWriteOutcome& outcome) {
  switch (outcome.status) {
    case MapWriteStatus::Written:
      return {};
    case MapWriteStatus::UnstorableText:
      return "The map was not saved: mark " + std::to_string(outcome.markIndex + 1) +
             " has a line break in its clip, target or message, which a map file cannot hold.";
    case MapWriteStatus::WriteFailed:
      break;
  }
  return "Failed to open the map file for writing!";
}

MapWriteOutcome WriteMapFile(const std::string& path, WindowSize size,
                             std::span<const ClickerMark> marks) {
  MapWriteOutcome outcome;
  if (auto bad = FindUnstorableMark(marks)) {
    outcome.status = MapWriteStatus::UnstorableText;
    outcome.markIndex = *bad;
    return outcome;
  }
  WriteOutcome written = ReplaceFileContent(path, FormatMap(size, marks));
  if (!written.ok) {
    outcome.status = MapWriteStatus::WriteFailed;
    outcome.detail = written.error;
  }
  return outcome;
}

}  // namespace mw
