#include "webexport/movie_converter.h"

#include <QByteArray>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <cmath>
#include <filesystem>
#include <system_error>

#include "webexport/child_process.h"

namespace mw {

namespace {

constexpr const char* kConverterPackage = "ffmpeg";

// The last non-empty line of a program's error output, for a reason shown to a person.
std::string LastLine(const std::string& text) {
  std::size_t end = text.find_last_not_of("\r\n ");
  if (end == std::string::npos) return {};
  const std::size_t start = text.rfind('\n', end);
  return text.substr(start == std::string::npos ? 0 : start + 1,
                     end + 1 - (start == std::string::npos ? 0 : start + 1));
}

std::string Lower(std::string text) {
  for (char& c : text) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
  return text;
}

// A path as the converter's own file address, so that no name is taken for another of
// its protocols ("http:", "concat:", ...) or for an option.
std::string FileUrl(const std::string& path) {
  std::error_code error;
  return "file:" + std::filesystem::absolute(path, error).string();
}

bool HasMp4Name(const std::string& path) {
  const std::size_t dot = path.rfind('.');
  const std::string extension = dot == std::string::npos ? "" : Lower(path.substr(dot + 1));
  return extension == "mp4" || extension == "m4v";
}

// The turn of a video stream in degrees, from its display matrix or its old rotate tag.
int RotationOf(const QJsonObject& stream) {
  for (const QJsonValue& data : stream.value("side_data_list").toArray()) {
    const QJsonValue rotation = data.toObject().value("rotation");
    if (!rotation.isUndefined()) return rotation.toInt();
  }
  return stream.value("tags").toObject().value("rotate").toString().toInt();
}

void TakeStreams(const QJsonArray& streams, MovieFacts& facts, bool& browserVideo,
                 bool& browserAudio) {
  bool sawAudio = false;
  for (const QJsonValue& value : streams) {
    const QJsonObject stream = value.toObject();
    const QString type = stream.value("codec_type").toString();
    const QString codec = stream.value("codec_name").toString();
    if (type == "video" && !facts.hasPicture) {
      facts.hasPicture = true;
      facts.width = stream.value("width").toInt();
      facts.height = stream.value("height").toInt();
      if (std::abs(RotationOf(stream)) % 180 == 90) std::swap(facts.width, facts.height);
      const QString pixels = stream.value("pix_fmt").toString();
      browserVideo = codec == "h264" && (pixels == "yuv420p" || pixels == "yuvj420p");
    } else if (type == "audio" && !sawAudio) {
      sawAudio = true;
      browserAudio = codec == "aac";
    }
  }
}

// The position in seconds of a progress line "out_time_us=..." of the converter.
std::optional<double> ProgressSeconds(const std::string& line) {
  constexpr std::string_view kKey = "out_time_us=";
  if (line.compare(0, kKey.size(), kKey) != 0) return std::nullopt;
  try {
    return std::stod(line.substr(kKey.size())) / 1e6;
  } catch (const std::exception&) {
    return std::nullopt;
  }
}

ConversionOutcome Finish(const ChildOutcome& child, const std::string& target) {
  ConversionOutcome outcome;
  outcome.cancelled = child.cancelled;
  outcome.ok = child.started && !child.cancelled && child.exitCode == 0;
  if (!child.started)
    outcome.reason = "the converter could not be started: " + child.error;
  else if (!outcome.ok && !child.cancelled)
    outcome.reason = LastLine(child.errorTail);
  if (!outcome.ok) {
    std::error_code error;
    std::filesystem::remove(target, error);
    if (outcome.reason.empty() && !child.cancelled) outcome.reason = "the converter failed";
  }
  return outcome;
}

}  // namespace

MovieConverter::MovieConverter()
    : ffmpeg_(FindProgram("ffmpeg")), ffprobe_(FindProgram("ffprobe")) {}

std::string MovieConverter::MissingProgram() const {
  if (ffmpeg_ && ffprobe_) return {};
  return std::string("the movie converter ") + (ffmpeg_ ? "ffprobe" : "ffmpeg") +
         " is not installed (Debian package " + kConverterPackage + ")";
}

std::string MovieConverter::MissingEncoder() {
  if (!MissingProgram().empty()) return MissingProgram();
  if (!encoderProblem_) {
    const ChildOutcome child = RunChild(*ffmpeg_, {"-hide_banner", "-encoders"});
    const auto has = [&](const char* name) {
      return child.output.find(std::string(" ") + name + " ") != std::string::npos;
    };
    if (!child.started || child.exitCode != 0)
      encoderProblem_ = "the movie converter ffmpeg does not run";
    else if (!has("libx264"))
      encoderProblem_ = "the movie converter ffmpeg has no H.264 encoder (libx264)";
    else if (!has("aac"))
      encoderProblem_ = "the movie converter ffmpeg has no AAC encoder";
    else
      encoderProblem_ = std::string();
  }
  return *encoderProblem_;
}

MovieFacts MovieConverter::Examine(const std::string& path) const {
  MovieFacts facts;
  if (!ffprobe_) {
    facts.reason = MissingProgram();
    return facts;
  }
  const ChildOutcome child = RunChild(
      *ffprobe_, {"-v", "error", "-print_format", "json", "-show_entries",
                  "format=format_name,duration:stream=codec_type,codec_name,pix_fmt,width,height:"
                  "stream_side_data=rotation:stream_tags=rotate",
                  FileUrl(path)});
  const QJsonObject root =
      QJsonDocument::fromJson(QByteArray::fromStdString(child.output)).object();
  const QJsonArray streams = root.value("streams").toArray();
  if (child.exitCode != 0 || streams.isEmpty()) {
    facts.reason = LastLine(child.errorTail);
    if (facts.reason.empty()) facts.reason = "it holds no picture or sound";
    return facts;
  }
  facts.read = true;
  const QJsonObject format = root.value("format").toObject();
  facts.seconds = format.value("duration").toString().toDouble();
  bool browserVideo = false, browserAudio = true;
  TakeStreams(streams, facts, browserVideo, browserAudio);
  const bool mp4 = format.value("format_name").toString().contains("mp4") && HasMp4Name(path);
  facts.playsInBrowsers = mp4 && facts.hasPicture && browserVideo && browserAudio;
  return facts;
}

ConversionOutcome MovieConverter::Convert(const std::string& path, const std::string& target,
                                          double seconds, const ConversionHooks& hooks) const {
  if (!ffmpeg_) return {false, false, MissingProgram()};
  const std::vector<std::string> arguments = {"-hide_banner",
                                              "-nostdin",
                                              "-nostats",
                                              "-loglevel",
                                              "error",
                                              "-progress",
                                              "pipe:1",
                                              "-i",
                                              FileUrl(path),
                                              "-map",
                                              "0:v:0?",
                                              "-map",
                                              "0:a:0?",
                                              "-sn",
                                              "-dn",
                                              "-vf",
                                              "scale=trunc(iw/2)*2:trunc(ih/2)*2,format=yuv420p",
                                              "-c:v",
                                              "libx264",
                                              "-profile:v",
                                              "high",
                                              "-pix_fmt",
                                              "yuv420p",
                                              "-preset",
                                              "veryfast",
                                              "-crf",
                                              "23",
                                              "-c:a",
                                              "aac",
                                              "-b:a",
                                              "128k",
                                              "-ac",
                                              "2",
                                              "-movflags",
                                              "+faststart",
                                              "-f",
                                              "mp4",
                                              "-n",
                                              FileUrl(target)};
  ChildHooks childHooks;
  childHooks.cancelled = hooks.cancelled;
  childHooks.onLine = [&](const std::string& line) {
    const std::optional<double> at = ProgressSeconds(line);
    if (at && hooks.progress && seconds > 0) hooks.progress(std::clamp(*at / seconds, 0.0, 1.0));
  };
  return Finish(RunChild(*ffmpeg_, arguments, childHooks), target);
}

ConversionOutcome MovieConverter::TakePoster(const std::string& path, const std::string& target,
                                             const ConversionHooks& hooks) const {
  if (!ffmpeg_) return {false, false, MissingProgram()};
  ChildHooks childHooks;
  childHooks.cancelled = hooks.cancelled;
  return Finish(RunChild(*ffmpeg_,
                         {"-hide_banner", "-nostdin", "-loglevel", "error", "-i", FileUrl(path),
                          "-map", "0:v:0", "-frames:v", "1", "-q:v", "3", "-f", "image2", "-update",
                          "1", "-n", FileUrl(target)},
                         childHooks),
                target);
}

}  // namespace mw
