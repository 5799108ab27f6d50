#include "check/clip_probe.h"

#include <sys/stat.h>

#include <array>
#include <cerrno>
#include <clocale>
#include <cstring>
#include <string_view>

#include "map/safe_file.h"
#include "media/clip_kind.h"
#include "media/jpeg_decoder.h"
#include "media/movie_player.h"

namespace mw {

namespace {

// Movie file types people make clips of; a file of another type is no clip.
constexpr std::array<std::string_view, 26> kMovieExtensions = {
    "mpg", "mpeg", "mpe", "m1v", "m2v",  "vob",  "dat",   "avi", "mp4",
    "m4v", "mov",  "qt",  "mkv", "webm", "wmv",  "asf",   "ogv", "ogg",
    "flv", "3gp",  "3g2", "ts",  "mts",  "m2ts", "mjpeg", "mjpg"};

}  // namespace

bool NamesNoFile(const std::string& clipText) {
  return clipText.empty() || clipText == "0";
}

bool HasClipExtension(const std::string& path) {
  if (ClipKindOfPath(path) == ClipKind::PhotoClip) return true;
  const std::string extension = ClipExtension(path);
  for (std::string_view known : kMovieExtensions) {
    if (extension == known) return true;
  }
  return false;
}

ClipProber::ClipProber(ProbeDepth depth) : depth_(depth) {}

ClipProber::~ClipProber() = default;

const FileVerdict& ClipProber::Probe(const std::string& clipText) {
  auto found = verdicts_.find(clipText);
  if (found != verdicts_.end()) return found->second;
  return verdicts_.emplace(clipText, ProbeFile(clipText)).first->second;
}

FileVerdict ClipProber::ProbeFile(const std::string& path) {
  if (NamesNoFile(path)) return {FileState::NoFile, {}};
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0) return {FileState::Missing, std::strerror(errno)};
  if (!S_ISREG(info.st_mode)) return {FileState::NotAClip, "not a regular file"};
  if (!HasClipExtension(path))
    return {FileState::NotAClip, "extension \"" + ClipExtension(path) + "\""};
  if (!CanOpenForReading(path)) return {FileState::Unreadable, {}};
  if (depth_ == ProbeDepth::Presence) return {};
  // Another spelling of a file probed already ("./a.mpg", "a.mpg") is not opened again.
  const bool photo = ClipKindOfPath(path) == ClipKind::PhotoClip;
  const FileIdentity identity{info.st_dev, info.st_ino, photo};
  if (auto known = contentVerdicts_.find(identity); known != contentVerdicts_.end())
    return known->second;
  FileVerdict verdict = photo ? ProbePhoto(path) : ProbeMovie(path);
  contentVerdicts_.emplace(identity, verdict);
  return verdict;
}

FileVerdict ClipProber::ProbePhoto(const std::string& path) {
  const JpegHeader header = ReadJpegHeader(path);
  if (!header.ok) return {FileState::BadPhoto, header.error};
  return {};
}

FileVerdict ClipProber::ProbeMovie(const std::string& path) {
  if (!movies_) {
    // libmpv refuses to start under a locale with a decimal comma.
    std::setlocale(LC_NUMERIC, "C");
    MoviePlayer::Options options;
    options.audio = false;
    movies_ = std::make_unique<MoviePlayer>(options);
  }
  if (!movies_->IsUsable()) return {FileState::BadMovie, "the movie back-end did not start"};
  const bool opened = movies_->Open(path);
  movies_->Close();
  if (!opened) return {FileState::BadMovie, {}};
  return {};
}

}  // namespace mw
