// `markweaver --export-web` run as a process on real maps and photos: what a folder
// export and a single page hold, how hostile texts come out, which destinations are
// replaced and which are refused, and the map check's stop.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QByteArray>
#include <QCryptographicHash>
#include <QJsonArray>
#include <filesystem>

#include "exif_fixtures.h"
#include "jpeg_fixtures.h"
#include "web_fixture.h"

namespace fs = std::filesystem;

namespace mw {
namespace {

using test::TempDir;

// The web player's files as an export writes them: the script is joined from its parts.
std::string WebFile(const std::string& name) {
  if (name == "player.js") return MW_WEB_PLAYER_SCRIPT;
  return std::string(MW_WEB_DIR) + "/" + name;
}

// A tour of three photos, two of them named alike in different folders.
class WebExportTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::create_directories(dir_ / "a");
    fs::create_directories(dir_ / "b");
    test::WriteJpeg(dir_ / "a/hall.jpg", 64, 48);
    test::WriteJpeg(dir_ / "b/hall.jpg", 32, 24);
    test::WriteJpeg(dir_ / "Küche & Bad.JPG", 40, 30);
    test::WriteTestMap(map_, {{"a/hall.jpg", "b/hall.jpg", "To the other hall"},
                              {"b/hall.jpg", "Küche & Bad.JPG", "Kitchen"},
                              {"Küche & Bad.JPG", "a/hall.jpg", ""}});
  }

  TempDir dir_;
  std::string map_ = dir_ / "tour.clm";
};

TEST_F(WebExportTest, FolderHoldsThePageThePlayerAndEachClipOnceUnderItsOwnName) {
  const std::string out = dir_ / "web";
  const test::RunResult run = test::RunWebExport(map_, out);
  ASSERT_EQ(run.exit_code, 0) << run.err;
  EXPECT_EQ(test::LastLine(run.err), "markweaver: web export made: " + out);

  EXPECT_EQ(test::ListFolder(out + "/clips"),
            (std::vector<std::string>{"K_che___Bad.JPG", "hall-2.jpg", "hall.jpg"}));
  EXPECT_EQ(test::ReadFile(out + "/clips/hall.jpg"), test::ReadFile(dir_ / "a/hall.jpg"));
  EXPECT_EQ(test::ReadFile(out + "/clips/hall-2.jpg"), test::ReadFile(dir_ / "b/hall.jpg"));
  EXPECT_EQ(test::ReadFile(out + "/player.js"), test::ReadFile(WebFile("player.js")));
  EXPECT_EQ(test::ReadFile(out + "/player.css"), test::ReadFile(WebFile("player.css")));
  EXPECT_TRUE(test::Exists(out + "/.markweaver-web-export"));
  EXPECT_TRUE(test::HiddenNames(dir_.path()).empty());

  const std::string page = test::ReadFile(out + "/index.html");
  EXPECT_EQ(page.find('@'), std::string::npos) << "a token was left in the page";
  EXPECT_NE(page.find("default-src 'none'; img-src 'self'; media-src 'self'; script-src 'self'"),
            std::string::npos);
  EXPECT_NE(page.find("<script src=\"player.js\"></script>"), std::string::npos);
  EXPECT_NE(page.find("<title>\ntour\n</title>"), std::string::npos)
      << "the map's name is the title";

  const QJsonObject data = test::MapDataOf(page);
  EXPECT_EQ(data["format"].toInt(), 1);
  EXPECT_EQ(data["stage"].toObject()["width"].toInt(), 640);
  EXPECT_EQ(data["start"].toInt(), 0);
  const QJsonArray clips = data["clips"].toArray();
  ASSERT_EQ(clips.size(), 3);
  EXPECT_EQ(clips[0]["id"].toString(), "hall.jpg");
  EXPECT_EQ(clips[1]["src"].toString(), "clips/hall-2.jpg");
  EXPECT_EQ(clips[1]["width"].toInt(), 32);
  EXPECT_EQ(clips[2]["name"].toString(), QString::fromUtf8("Küche & Bad.JPG"));
  EXPECT_EQ(clips[2]["type"].toString(), "image/jpeg");
  EXPECT_TRUE(clips[2]["poster"].isNull());
  const QJsonArray marks = data["marks"].toArray();
  ASSERT_EQ(marks.size(), 3);
  EXPECT_EQ(marks[1]["clip"].toInt(), 1);
  EXPECT_EQ(marks[1]["target"].toInt(), 2);
  EXPECT_DOUBLE_EQ(marks[0]["x"].toDouble(), 0.5);
  EXPECT_EQ(marks[0]["areaWidth"].toInt(), 600);
  EXPECT_EQ(marks[0]["message"].toString(), "To the other hall");
}

// The browser turns a photo its camera tagged as turned by itself; the page's data gives the
// size it is shown at, as the editor shows it.
TEST_F(WebExportTest, APhotoTakenTurnedHasItsUprightSize) {
  test::WriteJpeg(dir_ / "turned.jpg", 64, 48);
  test::InsertApp1(dir_ / "turned.jpg", test::ExifPayload(6));
  const std::string map = dir_ / "turned.clm";
  test::WriteTestMap(map, {{"turned.jpg", "a/hall.jpg", "Hall"}});
  const std::string out = dir_ / "web";
  const test::RunResult run = test::RunWebExport(map, out);
  ASSERT_EQ(run.exit_code, 0) << run.err;
  const QJsonArray clips = test::MapDataOf(test::ReadFile(out + "/index.html"))["clips"].toArray();
  ASSERT_EQ(clips.size(), 2);
  EXPECT_EQ(clips[0]["width"].toInt(), 48);
  EXPECT_EQ(clips[0]["height"].toInt(), 64);
  EXPECT_EQ(test::ReadFile(out + "/clips/turned.jpg"), test::ReadFile(dir_ / "turned.jpg"))
      << "the photo goes out as it is, its tag with it";
}

TEST_F(WebExportTest, HostileTextsComeOutAsDataAndNeverAsMarkup) {
  const std::string hostile = "</script><img src=x onerror=alert(1)> \xE2\x80\xA8 & \xFF end";
  test::WriteTestMap(map_, {{"a/hall.jpg", "b/hall.jpg", hostile}});
  const std::string out = dir_ / "web";
  const test::RunResult run = test::RunWebExport(
      map_, out, {"--title", "<b>\"Tour\" & 'more'</b>\nhere", "--message", "One\nTwo </script>"});
  ASSERT_EQ(run.exit_code, 0) << run.err;
  const std::string page = test::ReadFile(out + "/index.html");
  EXPECT_EQ(page.find("<img src=x"), std::string::npos);
  EXPECT_EQ(page.find("</script><"), std::string::npos);
  EXPECT_EQ(page.find("\xE2\x80\xA8"), std::string::npos) << "U+2028 must be escaped";
  EXPECT_NE(page.find("&lt;b&gt;&quot;Tour&quot; &amp; &#39;more&#39;&lt;/b&gt; here"),
            std::string::npos)
      << "a title is one line";

  const QJsonObject data = test::MapDataOf(page);
  EXPECT_EQ(data["marks"].toArray()[0].toObject()["message"].toString().toStdString(),
            "</script><img src=x onerror=alert(1)> \xE2\x80\xA8 & \xEF\xBF\xBD end");
  EXPECT_EQ(data["message"].toString(), "One\nTwo </script>") << "line breaks are kept";
  EXPECT_EQ(data["title"].toString(), "<b>\"Tour\" & 'more'</b> here");
}

TEST_F(WebExportTest, SinglePageCarriesEveryClipAndAllowsOnlyItsOwnScript) {
  const std::string out = dir_ / "tour.html";
  const test::RunResult run = test::RunWebExport(map_, out, {"--message", "Hello"});
  ASSERT_EQ(run.exit_code, 0) << run.err;
  const std::string page = test::ReadFile(out);
  const QJsonArray clips = test::MapDataOf(page)["clips"].toArray();
  ASSERT_EQ(clips.size(), 3);
  for (int k = 0; k < 3; ++k) {
    const std::string id = clips[k]["src"].toString().toStdString();
    ASSERT_EQ(id[0], '#');
    const std::string base64 = test::ElementText(page, id.substr(1));
    const std::string source = k == 0   ? dir_ / "a/hall.jpg"
                               : k == 1 ? dir_ / "b/hall.jpg"
                                        : dir_ / "Küche & Bad.JPG";
    EXPECT_EQ(QByteArray::fromBase64(QByteArray::fromStdString(base64)).toStdString(),
              test::ReadFile(source));
  }
  const auto hashOf = [](const std::string& file) {
    return "'sha256-" +
           QCryptographicHash::hash(QByteArray::fromStdString(test::ReadFile(file)),
                                    QCryptographicHash::Sha256)
               .toBase64()
               .toStdString() +
           "'";
  };
  EXPECT_NE(page.find("script-src " + hashOf(WebFile("player.js"))), std::string::npos);
  EXPECT_NE(page.find("style-src " + hashOf(WebFile("player.css"))), std::string::npos);
  EXPECT_NE(page.find("<script>" + test::ReadFile(WebFile("player.js")) + "</script>"),
            std::string::npos);
  EXPECT_EQ(page.find("src=\"player.js\""), std::string::npos);
  EXPECT_EQ(test::ListFolder(dir_.path()).size(), 5u) << "a, b, the photo, the map, the page";

  // A later export replaces its own page; a page of anyone else stays.
  ASSERT_EQ(test::RunWebExport(map_, out, {"--message", "Again"}).exit_code, 0);
  EXPECT_EQ(test::MapDataOf(test::ReadFile(out))["message"].toString(), "Again");
  test::WriteFile(dir_ / "other.html", "<html>mine</html>\n");
  const test::RunResult refused = test::RunWebExport(map_, dir_ / "other.html");
  EXPECT_EQ(refused.exit_code, 1);
  EXPECT_NE(test::LastLine(refused.err).find("no earlier web export"), std::string::npos);
  EXPECT_EQ(test::ReadFile(dir_ / "other.html"), "<html>mine</html>\n");
}

TEST_F(WebExportTest, OnlyAnEarlierExportOrAnEmptyFolderIsReplaced) {
  const std::string out = dir_ / "web";
  ASSERT_EQ(test::RunWebExport(map_, out).exit_code, 0);
  test::WriteTestMap(map_, {{"a/hall.jpg", "a/hall.jpg", "Alone"}});
  ASSERT_EQ(test::RunWebExport(map_, out).exit_code, 0);
  EXPECT_EQ(test::ListFolder(out + "/clips"), std::vector<std::string>{"hall.jpg"});
  EXPECT_TRUE(test::HiddenNames(dir_.path()).empty()) << "the earlier export is removed";

  // A map of the export's own clips may not replace the export: they would go.
  test::WriteTestMap(dir_ / "own.clm", {{"web/clips/hall.jpg", "web/clips/hall.jpg", ""}});
  const test::RunResult own = test::RunWebExport(dir_ / "own.clm", out);
  EXPECT_EQ(own.exit_code, 1);
  EXPECT_NE(test::LastLine(own.err).find("which the export would replace"), std::string::npos);
  EXPECT_TRUE(test::Exists(out + "/clips/hall.jpg"));

  fs::create_directories(dir_ / "empty");
  EXPECT_EQ(test::RunWebExport(map_, dir_ / "empty/").exit_code, 0);
  EXPECT_TRUE(test::Exists(dir_ / "empty/index.html"));

  fs::create_directories(dir_ / "photos");
  test::WriteFile(dir_ / "photos/keep.txt", "mine");
  const test::RunResult foreign = test::RunWebExport(map_, dir_ / "photos");
  EXPECT_EQ(foreign.exit_code, 1);
  EXPECT_NE(test::LastLine(foreign.err).find("holds no earlier web export"), std::string::npos);
  EXPECT_EQ(test::ListFolder(dir_ / "photos"), std::vector<std::string>{"keep.txt"});

  test::WriteFile(dir_ / "plain", "mine");
  EXPECT_EQ(test::RunWebExport(map_, dir_ / "plain").exit_code, 1);
  EXPECT_EQ(test::ReadFile(dir_ / "plain"), "mine");

  fs::create_directory_symlink(out, dir_ / "link");
  const test::RunResult link = test::RunWebExport(map_, dir_ / "link");
  EXPECT_EQ(link.exit_code, 1);
  EXPECT_NE(test::LastLine(link.err).find("symbolic link"), std::string::npos);
  EXPECT_TRUE(fs::is_symlink(dir_ / "link"));

  const test::RunResult nowhere = test::RunWebExport(map_, dir_ / "no/such/web");
  EXPECT_EQ(nowhere.exit_code, 1);
  EXPECT_NE(test::LastLine(nowhere.err).find("there is no folder"), std::string::npos);
  EXPECT_TRUE(test::HiddenNames(dir_.path()).empty());
}

// A later export replaces only what exports made: what the person added to the folder (notes,
// a folder of their own, a photo among the clips) keeps the folder as it is, with a refusal
// that names it. What desktops leave in folders does not count.
TEST_F(WebExportTest, WhatThePersonAddedToAnEarlierExportIsNeverRemoved) {
  const std::string out = dir_ / "web";
  ASSERT_EQ(test::RunWebExport(map_, out).exit_code, 0);
  const std::vector<std::string> exported = test::ListFolder(out + "/clips");
  test::WriteFile(out + "/notes.txt", "my notes");
  fs::create_directories(out + "/extra/deeper");
  test::WriteFile(out + "/clips/mine.jpg", "mine");
  const test::RunResult refused = test::RunWebExport(map_, out);
  EXPECT_EQ(refused.exit_code, 1);
  EXPECT_NE(test::LastLine(refused.err)
                .find("holds clips/mine.jpg, extra/ and notes.txt, which no web export made"),
            std::string::npos)
      << refused.err;
  EXPECT_EQ(test::ReadFile(out + "/notes.txt"), "my notes");
  EXPECT_TRUE(fs::is_directory(out + "/extra/deeper"));
  EXPECT_TRUE(test::Exists(out + "/index.html")) << "the earlier export is kept";
  EXPECT_TRUE(test::HiddenNames(dir_.path()).empty());

  fs::remove_all(out + "/extra");
  fs::remove(out + "/notes.txt");
  fs::remove(out + "/clips/mine.jpg");
  test::WriteFile(out + "/.DS_Store", "desktop");
  test::WriteFile(out + "/clips/Thumbs.db", "desktop");
  ASSERT_EQ(test::RunWebExport(map_, out).exit_code, 0);
  EXPECT_EQ(test::ListFolder(out + "/clips"), exported);
}

// An export made before exports kept a record of their files: its page, its player and its
// clips are its own, anything else the person's.
TEST_F(WebExportTest, AnExportWithoutARecordIsReplacedOnlyWhenItHoldsNothingElse) {
  const std::string out = dir_ / "web";
  ASSERT_EQ(test::RunWebExport(map_, out).exit_code, 0);
  test::WriteFile(out + "/.markweaver-web-export", "MarkWeaver web export\n");
  ASSERT_EQ(test::RunWebExport(map_, out).exit_code, 0);
  test::WriteFile(out + "/.markweaver-web-export", "MarkWeaver web export\n");
  test::WriteFile(out + "/tour copy.clm", "mine");
  const test::RunResult refused = test::RunWebExport(map_, out);
  EXPECT_EQ(refused.exit_code, 1);
  EXPECT_NE(test::LastLine(refused.err).find("holds tour copy.clm,"), std::string::npos)
      << refused.err;
  EXPECT_EQ(test::ReadFile(out + "/tour copy.clm"), "mine");
}

TEST_F(WebExportTest, AMissingClipStopsTheExportWithTheChecksText) {
  const std::string out = dir_ / "web";
  ASSERT_EQ(test::RunWebExport(map_, out).exit_code, 0);
  test::WriteTestMap(map_, {{"a/hall.jpg", "gone.jpg", "Lost"}});
  const test::RunResult run = test::RunWebExport(map_, out);
  EXPECT_EQ(run.exit_code, 1);
  const test::RunResult check =
      test::RunProgram({{test::BinPath("markweaver"), "--check", map_}, dir_.path(), {}});
  const std::string firstProblem = check.out.substr(0, check.out.find('\n'));
  ASSERT_FALSE(firstProblem.empty());
  EXPECT_EQ(test::LastLine(run.err), "markweaver: no web export made: " + firstProblem);
  EXPECT_EQ(test::ListFolder(out + "/clips").size(), 3u) << "the earlier export is kept";
  EXPECT_TRUE(test::HiddenNames(dir_.path()).empty());

  const test::RunResult badLine =
      test::RunProgram({{test::BinPath("markweaver"), "--export-web", map_}, {}, {}});
  EXPECT_EQ(badLine.exit_code, 2) << "--output is required";
}

}  // namespace
}  // namespace mw
