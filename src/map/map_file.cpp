#include "map/map_file.h"

#include <algorithm>
#include <cstring>
#include <memory>

#include "map/mark_reading.h"
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

template <class Number, class ReadPlain>
bool MapLineReader::ReadPlainNumberLine(Number& value, ReadPlain readPlain) {
  const char* end = data_.data() + data_.size();
  const char* at = readPlain(data_.data() + position_, end, value);
  if (at == nullptr) return false;
  if (at < end && *at == '\r') ++at;
  if (at == end || *at != '\n') return false;
  position_ = static_cast<std::size_t>(at + 1 - data_.data());
  foundNothing_ = false;
  return true;
}

std::optional<std::int32_t> MapLineReader::ReadIntLine() {
  std::int32_t value = 0;
  if (ReadPlainNumberLine(value, ReadPlainInt)) return value;
  return ParseInt(ReadMapLine());
}

std::optional<float> MapLineReader::ReadFloatLine() {
  float value = 0;
  if (ReadPlainNumberLine(value, ReadPlainFloat)) return value;
  return ParseFloat(ReadMapLine());
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

namespace {

// Reads a map from its text, which the map keeps: the texts of its marks point into it.
MapFileContent ParseMapText(FileBytes text) {
  MapFileContent content;
  const std::string_view data = text.View();
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
  std::optional<std::vector<ClickerMark>> marks = ReadMarksInMapText(data, reader);
  if (!marks) {
    content.status = MapReadStatus::InvalidHeader;
    return content;
  }
  content.marks = ClipMap(std::move(*marks), std::move(text));
  return content;
}

}  // namespace

MapFileContent ParseMap(std::string_view data) {
  return ParseMapText(FileBytes(data));
}

MapFileContent ReadMapFile(const std::string& path) {
  FileBytes text;
  const FileReadStatus read = ReadRegularFile(path, kMaxMapBytes, text);
  if (read != FileReadStatus::Read) {
    // A map larger than any map could be is taken as damaged.
    MapFileContent content;
    content.status =
        read == FileReadStatus::TooLarge ? MapReadStatus::InvalidHeader : MapReadStatus::OpenFailed;
    return content;
  }
  return ParseMapText(std::move(text));
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
  std::string message = "Failed to open the map file for writing!";
  if (!outcome.detail.empty()) message += "\n" + outcome.detail;
  return message;
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
    outcome.detail = written.reason;
  }
  return outcome;
}

}  // namespace mw
