#pragma once
// Real maps, photos and movies for the web export tests, the export run as the real
// program, and readers of what it wrote.

#include <QJsonObject>
#include <string>
#include <utility>
#include <vector>

#include "map/clicker_mark.h"
#include "packer_test_support.h"

namespace mw::test {

// One mark of a test map: from clip to target, with a message.
struct TestMark {
  std::string clip;
  std::string target;
  std::string message = "Go";
  float x = 0.5f;
  float y = 0.5f;
};

// Writes a map file with `marks`, its window 640 x 480.
void WriteTestMap(const std::string& path, const std::vector<TestMark>& marks);

// Makes a movie with ffmpeg from a test pattern and a tone: `seconds` long, `size`
// such as "161x121", with the codec arguments given (e.g. {"-c:v", "mpeg1video", ...}).
void MakeMovie(const std::string& path, double seconds, const std::string& size,
               const std::vector<std::string>& codecArguments);
// An MPEG-1 program stream with MP2 sound, as old cameras wrote them.
void MakeMpeg1Movie(const std::string& path, double seconds, const std::string& size);
// An H.264 and AAC MP4 as browsers play it.
void MakeBrowserMovie(const std::string& path, double seconds, const std::string& size);

// Runs `markweaver --export-web MAP --output OUT` with further arguments, in `folder`.
RunResult RunWebExport(const std::string& map, const std::string& output,
                       const std::vector<std::string>& more = {}, const std::string& folder = {},
                       const std::vector<std::pair<std::string, std::string>>& env = {});

// The last line of a program's stderr.
std::string LastLine(const std::string& text);

// The map's JSON read back from a page (the #mw-map block), parsed.
QJsonObject MapDataOf(const std::string& page);
// The text of the element with `id` in a page, between its start and end tags.
std::string ElementText(const std::string& page, const std::string& id);

// What ffprobe says of a stream of a movie file: "codec_name", "profile", "pix_fmt",
// "width", "height" of the first video stream or "codec_name" of the first audio stream.
std::string StreamFact(const std::string& movie, const std::string& stream,
                       const std::string& entry);

}  // namespace mw::test
