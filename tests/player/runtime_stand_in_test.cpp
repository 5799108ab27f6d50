// The player on its own gathered runtime, as a package unpacks it: both runtime parts
// beside mwRun.exe, photos and movies with sound played, and no stand-in library ever
// called (each writes a line to MW_STAND_IN_LOG when it is). Texts with accents, CJK and
// right-to-left script come through as before, although ICU runs without its data.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <QProcess>
#include <QTemporaryDir>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "jpeg_fixtures.h"
#include "player_folder.h"
#include "start_report_reader.h"

namespace fs = std::filesystem;

namespace mw {
namespace {

std::string ReadWhole(const std::string& path) {
  std::ifstream in(path);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

class RuntimeStandInTest : public ::testing::Test {
 protected:
  void SetUp() override {
#ifdef MW_SANITIZED
    GTEST_SKIP() << "A sanitized player's runtime is gathered for the sanitizer's build.";
#endif
    for (const char* part : {"player-runtime.tar.zst", "player-runtime-movie.tar.zst"}) {
      QProcess tar;
      tar.start("tar", {"--zstd", "-xf", MW_BIN_DIR "/" + QString(part), "-C",
                        QString::fromStdString(folder.Path())});
      ASSERT_TRUE(tar.waitForFinished(60000));
      ASSERT_EQ(tar.exitCode(), 0) << tar.readAllStandardError().toStdString();
    }
    test::InstallPlayerAsPackageDoes(folder.Path());
    log = reports.filePath("stand-ins.log").toStdString();
  }

  // Plays `clip` as the start clip with `message`; the start report.
  test::PlayerRun Play(const std::string& clip, const std::string& message) {
    folder.WriteMap({test::Mark(clip, 0.5f, 0.5f, 10, test::kHall, "Salle — 大厅 — אולם")},
                    {320, 240});
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("MW_STAND_IN_LOG", QString::fromStdString(log));
    return test::RunPlayerProgram(folder.File("mwRun.exe"), {QString::fromStdString(message)},
                                  folder.Path(), reports.filePath("report").toStdString(),
                                  environment);
  }

  test::PlayerFolder folder;
  QTemporaryDir reports;
  std::string log;
};

TEST_F(RuntimeStandInTest, PhotosAndMoviesWithSoundPlayWithoutReachingAStandIn) {
  test::WriteJpeg(folder.File(test::kHall), 320, 240);
  const std::string message = "Bienvenue à l'été — 欢迎 — ברוכים הבאים";
  const std::pair<const char*, const char*> clips[] = {{test::kHall, "photo"},
                                                       {"sound-mpeg1.mpg", "movie"},
                                                       {"sound-mpeg2.mpeg", "movie"},
                                                       {"sound-h264.mp4", "movie"}};
  for (const auto& [clip, kind] : clips) {
    const std::string source = std::string(MW_TEST_DATA_DIR) + "/media/" + clip;
    if (fs::exists(source)) fs::copy_file(source, folder.File(clip));
    test::PlayerRun run = Play(clip, message);
    ASSERT_TRUE(run.finished) << clip;
    EXPECT_EQ(run.exitCode, 0) << clip << run.errorOutput;
    EXPECT_EQ(run.report["clip"], clip) << run.report["caption"] << run.errorOutput;
    EXPECT_EQ(run.report["kind"], kind) << clip << run.report["caption"];
    EXPECT_EQ(run.report["message"], message);
    EXPECT_EQ(ReadWhole(log), "") << "stand-ins called while playing " << clip;
    fs::remove(log);
  }
}

// The check above means something only if a stand-in that is called says so: one is
// loaded and called here as libavcodec would call it, and it fails cleanly.
TEST_F(RuntimeStandInTest, AStandInThatIsCalledSaysSoAndFailsCleanly) {
  const std::string library = folder.File("mwRun.movie/libx265.so.199");
  ASSERT_TRUE(fs::exists(library));
  ::setenv("MW_STAND_IN_LOG", log.c_str(), 1);
  void* handle = dlopen(library.c_str(), RTLD_NOW | RTLD_LOCAL);
  ASSERT_NE(handle, nullptr) << dlerror();
  using ParamAlloc = void* (*)();
  auto paramAlloc = reinterpret_cast<ParamAlloc>(dlsym(handle, "x265_param_alloc"));
  ASSERT_NE(paramAlloc, nullptr);
  EXPECT_EQ(paramAlloc(), nullptr);
  EXPECT_EQ(ReadWhole(log), "libx265.so.199 x265_param_alloc\n");
  // The one function libavcodec asks at start answers "not built" without a word.
  using ApiGet = const void* (*)(int);
  auto apiGet = reinterpret_cast<ApiGet>(dlsym(handle, "x265_api_get_199"));
  ASSERT_NE(apiGet, nullptr);
  EXPECT_EQ(apiGet(8), nullptr);
  EXPECT_EQ(ReadWhole(log), "libx265.so.199 x265_param_alloc\n");
  dlclose(handle);
  ::unsetenv("MW_STAND_IN_LOG");
}

}  // namespace
}  // namespace mw
