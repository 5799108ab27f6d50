// Movies in a web export, made by the tests with ffmpeg: converted to H.264 and AAC with
// the index at the front and a poster, copied when browsers play them; a cancelled or
// killed conversion leaves no half export, and a missing encoder is named.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QJsonArray>
#include <chrono>
#include <filesystem>
#include <thread>

#include "jpeg_fixtures.h"
#include "map/map_file.h"
#include "web_fixture.h"
#include "webexport/web_export.h"

namespace fs = std::filesystem;

namespace mw {
namespace {

using test::TempDir;

// Waits until `file` holds `text`, at most `seconds`.
bool WaitForText(const std::string& file, const std::string& text, int seconds) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
  while (std::chrono::steady_clock::now() < deadline) {
    if (test::Exists(file) && test::ReadFile(file).find(text) != std::string::npos) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return false;
}

TEST(WebExportMovieTest, OldMoviesAreConvertedAndBrowserMoviesCopiedEachWithAPoster) {
  TempDir dir;
  test::WriteJpeg(dir / "hall.jpg", 64, 48);
  test::MakeMpeg1Movie(dir / "tour.mpg", 1, "161x121");
  test::MakeBrowserMovie(dir / "garden.mp4", 1, "160x120");
  test::WriteTestMap(dir / "map.clm", {{"hall.jpg", "tour.mpg"}, {"hall.jpg", "garden.mp4"}});
  const std::string out = dir / "web";
  const test::RunResult run = test::RunWebExport(dir / "map.clm", out);
  ASSERT_EQ(run.exit_code, 0) << run.err;

  const std::string movie = out + "/clips/tour.mp4";
  EXPECT_EQ(test::StreamFact(movie, "v", "codec_name"), "h264");
  EXPECT_EQ(test::StreamFact(movie, "v", "profile"), "High");
  EXPECT_EQ(test::StreamFact(movie, "v", "pix_fmt"), "yuv420p");
  EXPECT_EQ(test::StreamFact(movie, "v", "width"), "160") << "even sizes";
  EXPECT_EQ(test::StreamFact(movie, "v", "height"), "120");
  EXPECT_EQ(test::StreamFact(movie, "a", "codec_name"), "aac");
  const std::string bytes = test::ReadFile(movie);
  ASSERT_NE(bytes.find("moov"), std::string::npos);
  EXPECT_LT(bytes.find("moov"), bytes.find("mdat")) << "the index comes first";
  EXPECT_EQ(test::ReadFile(out + "/clips/garden.mp4"), test::ReadFile(dir / "garden.mp4"));
  for (const char* poster : {"/clips/tour.mp4.poster.jpg", "/clips/garden.mp4.poster.jpg"}) {
    EXPECT_EQ(test::ReadFile(out + poster).substr(0, 2), "\xFF\xD8") << poster;
  }

  const QJsonArray clips = test::MapDataOf(test::ReadFile(out + "/index.html"))["clips"].toArray();
  ASSERT_EQ(clips.size(), 3);
  EXPECT_EQ(clips[1]["kind"].toString(), "movie");
  EXPECT_EQ(clips[1]["name"].toString(), "tour.mpg");
  EXPECT_EQ(clips[1]["src"].toString(), "clips/tour.mp4");
  EXPECT_EQ(clips[1]["type"].toString(), "video/mp4");
  EXPECT_EQ(clips[1]["poster"].toString(), "clips/tour.mp4.poster.jpg");
  EXPECT_EQ(clips[1]["width"].toInt(), 160);
  EXPECT_EQ(clips[2]["src"].toString(), "clips/garden.mp4");
}

// Cancels the export once its conversion is under way.
class CancelDuringConversion : public WebExportProgress {
 public:
  void Step(const std::string& text) override { converting_ = text.rfind("Converting", 0) == 0; }
  void Share(double done) override { sawProgress_ = sawProgress_ || (converting_ && done > 0); }
  bool Cancelled() override { return sawProgress_; }
  bool sawProgress_ = false;

 private:
  bool converting_ = false;
};

TEST(WebExportMovieTest, ACancelledConversionLeavesNothing) {
  TempDir dir;
  test::WriteJpeg(dir / "hall.jpg", 64, 48);
  test::MakeMpeg1Movie(dir / "long.mpg", 8, "720x576");
  test::WriteTestMap(dir / "map.clm", {{"hall.jpg", "long.mpg"}});
  const std::vector<std::string> before = test::ListFolder(dir.path());
  const MapFileContent content = ReadMapFile(dir / "map.clm");
  const std::string previous = fs::current_path().string();
  fs::current_path(dir.path());
  CancelDuringConversion progress;
  const auto started = std::chrono::steady_clock::now();
  const WebExportResult result =
      ExportForWeb({content.marks, {640, 480}, dir / "web", "Tour", ""}, progress);
  fs::current_path(previous);
  EXPECT_TRUE(progress.sawProgress_);
  EXPECT_EQ(result.status, WebExportResult::Status::Cancelled) << result.reason;
  EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(20));
  EXPECT_EQ(test::ListFolder(dir.path()), before) << "no export and no staging folder";
}

TEST(WebExportMovieTest, AKilledExportKeepsTheEarlierOneAndAStopSignalCleansUp) {
  TempDir dir;
  test::WriteJpeg(dir / "hall.jpg", 64, 48);
  test::MakeMpeg1Movie(dir / "long.mpg", 8, "720x576");
  test::WriteTestMap(dir / "map.clm", {{"hall.jpg", "hall.jpg"}});
  const std::string out = dir / "web";
  ASSERT_EQ(test::RunWebExport(dir / "map.clm", out).exit_code, 0);
  const std::string earlier = test::ReadFile(out + "/index.html");
  test::WriteTestMap(dir / "map.clm", {{"hall.jpg", "long.mpg"}});

  for (const int signal : {SIGKILL, SIGTERM}) {
    const std::string log = dir / "log.txt";
    const pid_t pid = test::Start(
        {{test::BinPath("markweaver"), "--export-web", dir / "map.clm", "--output", out}, {}, {}},
        dir / "out.txt", log);
    ASSERT_TRUE(WaitForText(log, "Converting the movie long.mpg", 20)) << test::ReadFile(log);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    ::kill(pid, signal);
    const int code = test::WaitExitCode(pid, std::chrono::seconds(20));
    EXPECT_EQ(test::ReadFile(out + "/index.html"), earlier) << "signal " << signal;
    EXPECT_EQ(test::ListFolder(out + "/clips"), std::vector<std::string>{"hall.jpg"});
    if (signal == SIGKILL) {
      EXPECT_EQ(test::HiddenNames(dir.path()).size(), 1u) << "its staging folder is left for later";
    } else {
      EXPECT_EQ(code, 1);
      EXPECT_EQ(test::LastLine(test::ReadFile(log)),
                "markweaver: no web export made: the export was cancelled");
      EXPECT_TRUE(test::HiddenNames(dir.path()).empty()) << "the next export removed the killed one's";
    }
  }
}

TEST(WebExportMovieTest, AMissingConverterOrEncoderIsNamed) {
  TempDir dir;
  test::WriteJpeg(dir / "hall.jpg", 64, 48);
  test::MakeMpeg1Movie(dir / "tour.mpg", 0.2, "64x48");
  test::WriteTestMap(dir / "map.clm", {{"hall.jpg", "tour.mpg"}});
  fs::create_directories(dir / "bin");
  fs::create_symlink("/usr/bin/ffprobe", dir / "bin/ffprobe");
  const std::vector<std::pair<std::string, std::string>> path = {{"PATH", dir / "bin"}};

  test::RunResult run = test::RunWebExport(dir / "map.clm", dir / "web", {}, {}, path);
  EXPECT_EQ(run.exit_code, 1);
  EXPECT_EQ(test::LastLine(run.err),
            "markweaver: no web export made: the movie converter ffmpeg is not installed "
            "(Debian package ffmpeg): cannot convert the movie tour.mpg");

  // An ffmpeg built without the H.264 encoder.
  test::WriteFile(dir / "bin/ffmpeg",
                  "#!/bin/sh\necho ' V....D mpeg1video    MPEG-1 video'\n"
                  "echo ' A....D aac    AAC'\n");
  ::chmod((dir / "bin/ffmpeg").c_str(), 0755);
  run = test::RunWebExport(dir / "map.clm", dir / "web", {}, {}, path);
  EXPECT_EQ(run.exit_code, 1);
  EXPECT_EQ(test::LastLine(run.err),
            "markweaver: no web export made: the movie converter ffmpeg has no H.264 encoder "
            "(libx264): cannot convert the movie tour.mpg");
  EXPECT_FALSE(test::Exists(dir / "web"));
  EXPECT_TRUE(test::HiddenNames(dir.path()).empty());
}

// Cancel pressed while the export is being put in place: once the step has begun, the
// export replaces the earlier one whatever happens, so it is told as made.
class CancelWhilePlacing : public WebExportProgress {
 public:
  void Step(const std::string& text) override {
    placing_ = placing_ || text.rfind("Putting the export in place", 0) == 0;
  }
  void Share(double) override {}
  bool Cancelled() override { return placing_; }

 private:
  bool placing_ = false;
};

class NeverCancel : public WebExportProgress {
 public:
  void Step(const std::string&) override {}
  void Share(double) override {}
  bool Cancelled() override { return false; }
};

TEST(WebExportMovieTest, ACancelThatComesTooLateDoesNotHideThatTheEarlierExportWasReplaced) {
  TempDir dir;
  test::WriteJpeg(dir / "hall.jpg", 64, 48);
  test::WriteTestMap(dir / "map.clm", {{"hall.jpg", "hall.jpg"}});
  const MapFileContent content = ReadMapFile(dir / "map.clm");
  const std::string previous = fs::current_path().string();
  fs::current_path(dir.path());
  for (const std::string& destination : {dir / "web", dir / "tour.html"}) {
    NeverCancel quiet;
    ASSERT_EQ(ExportForWeb({content.marks, {640, 480}, destination, "Earlier", ""}, quiet).status,
              WebExportResult::Status::Made);
    const std::string page =
        fs::is_directory(destination) ? destination + "/index.html" : destination;
    const std::string earlier = test::ReadFile(page);
    CancelWhilePlacing late;
    const WebExportResult result =
        ExportForWeb({content.marks, {640, 480}, destination, "Later", ""}, late);
    EXPECT_EQ(result.status, WebExportResult::Status::Made)
        << destination << ": said cancelled, yet the earlier export was replaced";
    EXPECT_NE(test::ReadFile(page), earlier);
  }
  fs::current_path(previous);
}

}  // namespace
}  // namespace mw
