#include "webexport/export_plan.h"

#include <unistd.h>

#include <cmath>
#include <filesystem>
#include <map>
#include <system_error>

#include "media/clip_kind.h"
#include "media/jpeg_decoder.h"
#include "webexport/export_names.h"
#include "webexport/movie_converter.h"

namespace fs = std::filesystem;

namespace mw {

namespace {

std::string BareName(const std::string& text) {
  const std::size_t slash = text.rfind('/');
  return slash == std::string::npos ? text : text.substr(slash + 1);
}

// A clip text that names no file: "" or "0".
bool NamesNothing(const std::string& text) {
  return text.empty() || text == "0";
}

// The regular file behind `text` that can be read, as an absolute path; empty if none.
std::string ReadableFile(const std::string& text, std::uint64_t& bytes) {
  if (NamesNothing(text)) return {};
  std::error_code error;
  const fs::path path = fs::absolute(text, error).lexically_normal();
  if (error || !fs::is_regular_file(path, error) || ::access(path.c_str(), R_OK) != 0) return {};
  bytes = fs::file_size(path, error);
  return path.string();
}

void LookAtPhoto(WebClip& clip) {
  clip.kind = WebClipKind::Photo;
  const JpegHeader header = ReadJpegHeader(clip.source);
  if (header.ok) {
    clip.width = header.width;
    clip.height = header.height;
  }
}

// Plans a movie; gives the reason when the converter cannot read it.
std::string LookAtMovie(WebClip& clip, MovieConverter& converter) {
  const MovieFacts facts = converter.Examine(clip.source);
  if (!facts.read) {
    std::string reason = "cannot read the movie ";
    reason.append(clip.text).append(": ").append(facts.reason);
    return reason;
  }
  clip.kind = WebClipKind::Movie;
  clip.work = facts.playsInBrowsers ? MovieWork::Copy : MovieWork::Convert;
  // A converted movie's sides are cut to even numbers.
  const int even = clip.work == MovieWork::Convert ? ~1 : ~0;
  clip.width = facts.width & even;
  clip.height = facts.height & even;
  clip.seconds = facts.seconds;
  clip.hasPoster = facts.hasPicture;
  return {};
}

void NameClips(std::vector<WebClip>& clips) {
  ExportNames names;
  for (WebClip& clip : clips) {
    const bool convert = clip.work == MovieWork::Convert;
    clip.id = names.Take(clip.name, convert ? ".mp4" : "", clip.hasPoster);
    if (clip.kind != WebClipKind::Missing) clip.exportName = clip.id;
    if (clip.hasPoster) clip.posterName = PosterName(clip.id);
  }
}

int Recorded(std::int32_t size) {
  return size > 0 ? size : 0;
}

float Finite(float value) {
  return std::isfinite(value) ? value : 0.0f;
}

}  // namespace

ExportPlan PlanExport(const ClipMap& map, WindowSize stage, MovieConverter& converter,
                      const std::function<void(const std::string&)>& looking) {
  ExportPlan plan;
  plan.stage = stage;
  std::map<std::string, std::size_t> placeOf;
  const auto place = [&](const std::string& text) {
    const auto [found, added] = placeOf.emplace(text, plan.clips.size());
    if (added) {
      WebClip clip;
      clip.text = text;
      clip.name = BareName(text);
      plan.clips.push_back(std::move(clip));
    }
    return found->second;
  };
  for (const ClickerMark& mark : map) {
    WebMark web;
    web.clip = place(mark.Clip.str());
    web.target = place(mark.NextClip.str());
    web.x = Finite(mark.X);
    web.y = Finite(mark.Y);
    web.size = mark.Size;
    web.areaWidth = Recorded(mark.AreaWidth);
    web.areaHeight = Recorded(mark.AreaHeight);
    web.message = mark.Hint.str();
    plan.marks.push_back(std::move(web));
  }
  for (WebClip& clip : plan.clips) {
    if (looking) looking(clip.text);
    clip.source = ReadableFile(clip.text, clip.bytes);
    if (clip.source.empty()) continue;
    if (ClipKindOfPath(clip.text) == ClipKind::PhotoClip) {
      LookAtPhoto(clip);
    } else if (std::string reason = LookAtMovie(clip, converter); !reason.empty()) {
      plan.reason = std::move(reason);
      return plan;
    }
  }
  NameClips(plan.clips);
  return plan;
}

const char* MimeTypeOf(const WebClip& clip) {
  switch (clip.kind) {
    case WebClipKind::Photo:
      return "image/jpeg";
    case WebClipKind::Movie:
      return "video/mp4";
    case WebClipKind::Missing:
      break;
  }
  return "";
}

}  // namespace mw
