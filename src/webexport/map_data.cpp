#include "webexport/map_data.h"

#include <charconv>
#include <map>
#include <utility>

#include "webexport/web_text.h"

namespace mw {

namespace {

const char* KindText(WebClipKind kind) {
  switch (kind) {
    case WebClipKind::Photo:
      return "photo";
    case WebClipKind::Movie:
      return "movie";
    case WebClipKind::Missing:
      break;
  }
  return "missing";
}

// Writes the fields of one JSON object on one line: {"a": 1, "b": "x"}.
class ObjectLine {
 public:
  explicit ObjectLine(std::string& out) : out_(out) { out_ += "    {"; }
  ~ObjectLine() { out_ += "}"; }
  ObjectLine(const ObjectLine&) = delete;
  ObjectLine& operator=(const ObjectLine&) = delete;

  ObjectLine& Text(const char* key, std::string_view value) {
    Key(key);
    AppendJsonString(out_, value);
    return *this;
  }
  ObjectLine& Number(const char* key, long long value) {
    Key(key);
    out_ += std::to_string(value);
    return *this;
  }
  ObjectLine& Number(const char* key, float value) {
    Key(key);
    char digits[32];
    const auto result = std::to_chars(digits, digits + sizeof digits, value);
    out_.append(digits, result.ptr);
    return *this;
  }
  // A value written by `write`, such as a source that may be null.
  template <class Write>
  ObjectLine& Raw(const char* key, Write write) {
    Key(key);
    write();
    return *this;
  }

 private:
  void Key(const char* key) {
    if (!first_) out_ += ", ";
    first_ = false;
    out_ += '"';
    out_ += key;
    out_ += "\": ";
  }

  std::string& out_;
  bool first_ = true;
};

void AppendKey(std::string& out, const char* key) {
  out += '"';
  out += key;
  out += "\": ";
}

// A clip's or poster's source: its path in the folder, or its block in the page.
class Sources {
 public:
  Sources(const ExportPlan& plan, ExportForm form) : form_(form) {
    if (form == ExportForm::SingleFile) {
      for (const ClipBlock& block : ClipBlocksOf(plan)) ids_[{block.clip, block.poster}] = block.id;
    }
  }

  void Append(std::string& out, const ExportPlan& plan, std::size_t clip, bool poster) const {
    const WebClip& entry = plan.clips[clip];
    const std::string& name = poster ? entry.posterName : entry.exportName;
    if (name.empty()) {
      out += "null";
    } else if (form_ == ExportForm::Folder) {
      AppendJsonString(out, "clips/" + name);
    } else {
      AppendJsonString(out, "#" + ids_.at({clip, poster}));
    }
  }

 private:
  ExportForm form_;
  std::map<std::pair<std::size_t, bool>, std::string> ids_;
};

void AppendClip(std::string& out, const ExportPlan& plan, std::size_t k, const Sources& sources) {
  const WebClip& clip = plan.clips[k];
  ObjectLine(out)
      .Text("id", clip.id)
      .Text("name", clip.name)
      .Text("kind", KindText(clip.kind))
      .Raw("src", [&] { sources.Append(out, plan, k, false); })
      .Text("type", MimeTypeOf(clip))
      .Raw("poster", [&] { sources.Append(out, plan, k, true); })
      .Number("width", static_cast<long long>(clip.width))
      .Number("height", static_cast<long long>(clip.height));
}

void AppendMark(std::string& out, const WebMark& mark) {
  ObjectLine(out)
      .Number("clip", static_cast<long long>(mark.clip))
      .Number("x", mark.x)
      .Number("y", mark.y)
      .Number("size", static_cast<long long>(mark.size))
      .Number("areaWidth", static_cast<long long>(mark.areaWidth))
      .Number("areaHeight", static_cast<long long>(mark.areaHeight))
      .Number("target", static_cast<long long>(mark.target))
      .Text("message", mark.message);
}

template <class Items, class AppendItem>
void AppendList(std::string& out, const char* key, const Items& items, AppendItem appendItem) {
  AppendKey(out, key);
  out += "[";
  for (std::size_t k = 0; k < items.size(); ++k) {
    out += k == 0 ? "\n" : ",\n";
    appendItem(k);
  }
  out += items.empty() ? "]" : "\n  ]";
}

}  // namespace

std::vector<ClipBlock> ClipBlocksOf(const ExportPlan& plan) {
  std::vector<ClipBlock> blocks;
  for (std::size_t k = 0; k < plan.clips.size(); ++k) {
    const WebClip& clip = plan.clips[k];
    if (clip.exportName.empty()) continue;
    blocks.push_back({k, false, "mw-clip-" + std::to_string(blocks.size())});
    if (!clip.posterName.empty())
      blocks.push_back({k, true, "mw-clip-" + std::to_string(blocks.size())});
  }
  return blocks;
}

std::string MapDataJson(const ExportPlan& plan, const std::string& title,
                        const std::string& message, ExportForm form) {
  const Sources sources(plan, form);
  std::string out = "{\n  ";
  AppendKey(out, "format");
  out += "1,\n  ";
  AppendKey(out, "title");
  AppendJsonString(out, title);
  out += ",\n  ";
  AppendKey(out, "message");
  AppendJsonString(out, message);
  out += ",\n  ";
  AppendKey(out, "stage");
  out += "{\"width\": " + std::to_string(plan.stage.width) +
         ", \"height\": " + std::to_string(plan.stage.height) + "},\n  ";
  AppendKey(out, "start");
  out += "0,\n  ";
  AppendList(out, "clips", plan.clips, [&](std::size_t k) { AppendClip(out, plan, k, sources); });
  out += ",\n  ";
  AppendList(out, "marks", plan.marks, [&](std::size_t k) { AppendMark(out, plan.marks[k]); });
  out += "\n}";
  return out;
}

}  // namespace mw
