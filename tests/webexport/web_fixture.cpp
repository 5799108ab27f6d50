#include "web_fixture.h"

#include <gtest/gtest.h>

#include <QByteArray>
#include <QJsonDocument>
#include <stdexcept>

#include "map/map_file.h"

namespace mw::test {

void WriteTestMap(const std::string& path, const std::vector<TestMark>& marks) {
  std::vector<ClickerMark> records;
  for (const TestMark& mark : marks) {
    ClickerMark record;
    record.Clip = mark.clip;
    record.NextClip = mark.target;
    record.Hint = mark.message;
    record.Reserved = "<reserved>";
    record.X = mark.x;
    record.Y = mark.y;
    record.Size = 12;
    record.AreaWidth = 600;
    record.AreaHeight = 400;
    records.push_back(record);
  }
  WriteFile(path, FormatMap({640, 480}, records));
}

void MakeMovie(const std::string& path, double seconds, const std::string& size,
               const std::vector<std::string>& codecArguments) {
  const std::string length = std::to_string(seconds);
  std::vector<std::string> argv = {"/usr/bin/ffmpeg",
                                   "-hide_banner",
                                   "-loglevel",
                                   "error",
                                   "-y",
                                   "-f",
                                   "lavfi",
                                   "-i",
                                   "testsrc=size=" + size + ":rate=25:duration=" + length,
                                   "-f",
                                   "lavfi",
                                   "-i",
                                   "sine=frequency=440:sample_rate=44100:duration=" + length};
  argv.insert(argv.end(), codecArguments.begin(), codecArguments.end());
  argv.push_back(path);
  const RunResult result = RunProgram({argv, {}, {}});
  if (result.exit_code != 0)
    throw std::runtime_error("ffmpeg could not make " + path + ": " + result.err);
}

void MakeMpeg1Movie(const std::string& path, double seconds, const std::string& size) {
  MakeMovie(path, seconds, size,
            {"-c:v", "mpeg1video", "-b:v", "400k", "-c:a", "mp2", "-b:a", "64k", "-f", "mpeg"});
}

void MakeBrowserMovie(const std::string& path, double seconds, const std::string& size) {
  MakeMovie(path, seconds, size,
            {"-c:v", "libx264", "-preset", "ultrafast", "-pix_fmt", "yuv420p", "-c:a", "aac",
             "-movflags", "+faststart"});
}

RunResult RunWebExport(const std::string& map, const std::string& output,
                       const std::vector<std::string>& more, const std::string& folder,
                       const std::vector<std::pair<std::string, std::string>>& env) {
  RunRequest request;
  request.argv = {BinPath("markweaver"), "--export-web", map, "--output", output};
  request.argv.insert(request.argv.end(), more.begin(), more.end());
  request.cwd = folder;
  for (const auto& [name, value] : env) request.env[name] = value;
  return RunProgram(request);
}

std::vector<std::string> HiddenNames(const std::string& folder) {
  std::vector<std::string> names;
  for (const std::string& name : ListFolder(folder)) {
    if (!name.empty() && name[0] == '.') names.push_back(name);
  }
  return names;
}

std::string LastLine(const std::string& text) {
  std::string trimmed = text;
  while (!trimmed.empty() && trimmed.back() == '\n') trimmed.pop_back();
  return trimmed.substr(trimmed.rfind('\n') + 1);
}

std::string ElementText(const std::string& page, const std::string& id) {
  const std::size_t at = page.find("id=\"" + id + "\"");
  if (at == std::string::npos) return {};
  const std::size_t start = page.find('>', at) + 1;
  const std::size_t end = page.find("</script>", start);
  return page.substr(start, end - start);
}

QJsonObject MapDataOf(const std::string& page) {
  const std::string json = ElementText(page, "mw-map");
  QJsonParseError error{};
  const QJsonDocument document = QJsonDocument::fromJson(QByteArray::fromStdString(json), &error);
  EXPECT_EQ(error.error, QJsonParseError::NoError) << json;
  return document.object();
}

std::string StreamFact(const std::string& movie, const std::string& stream,
                       const std::string& entry) {
  const RunResult result = RunProgram(
      {{"/usr/bin/ffprobe", "-v", "error", "-select_streams", stream + ":0", "-show_entries",
        "stream=" + entry, "-of", "default=noprint_wrappers=1:nokey=1", movie},
       {},
       {}});
  std::string fact = result.out;
  while (!fact.empty() && (fact.back() == '\n' || fact.back() == '\r')) fact.pop_back();
  return fact;
}

}  // namespace mw::test
