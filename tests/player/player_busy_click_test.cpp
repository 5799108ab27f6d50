// The player under a window manager with real X input, clicked while it is busy: a click
// made while the next photo still decodes on the spot is aimed at the clip before it.
#include <gtest/gtest.h>

#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <cstdint>
#include <string>

#include "jpeg_fixtures.h"
#include "player/start_report.h"
#include "player_folder.h"
#include "start_report_reader.h"
#include "x_session.h"

namespace mw {
namespace {

using test::kHall;
using test::kKitchen;
using test::XInput;

// The player started on a folder whose hall leads to a photo big enough that its decode
// keeps the window busy for a while; a second click pressed on the hall while that photo
// still decodes must not follow a mark of the photo, which the person has not yet seen.
class PlayerBusyClickTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!test::ScreenFailure().empty()) GTEST_SKIP() << test::ScreenFailure();
    folder.WriteMap({test::Mark(kHall, 0.25f, 0.25f, 20, kBig, "Big"),
                     test::Mark(kBig, 0.25f, 0.25f, 20, kKitchen, "Kitchen")});
    folder.AddTourClip(kHall);
    folder.AddTourClip(kKitchen);
    // Noise at the highest quality: slow to decode at any scale.
    std::uint32_t seed = 1;
    test::WriteRgbJpeg(folder.File(kBig), 9000, 9000, 98, [&seed](int, std::uint8_t* row) {
      for (int i = 0; i < 9000 * 3; ++i) {
        seed = seed * 1664525u + 1013904223u;
        row[i] = static_cast<std::uint8_t>(seed >> 24);
      }
    });
    test::InstallPlayerAsPackageDoes(folder.Path());
  }
  void TearDown() override {
    if (player.state() == QProcess::NotRunning) return;
    player.kill();
    player.waitForFinished();
  }
  std::string ClipReported() { return test::ReadReport(Report().toStdString())["clip"]; }
  QString Report() { return reports.filePath("report"); }

  static constexpr const char* kBig = "big.jpg";
  test::PlayerFolder folder;
  QTemporaryDir reports;
  QProcess player;
};

TEST_F(PlayerBusyClickTest, ASecondClickWhileTheNextPhotoDecodesDoesNotFollowItsMark) {
  QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
  environment.insert(kStartReportVariable, Report());
  environment.insert(kReportEachClipVariable, "1");
  player.setProcessEnvironment(environment);
  player.setWorkingDirectory(QString::fromStdString(folder.Path()));
  player.start(QString::fromStdString(folder.File("mwRun.exe")), {});
  ASSERT_TRUE(player.waitForStarted(10000));
  ASSERT_TRUE(test::WaitFor([&] { return ClipReported() == kHall; }, 30000));
  const QStringList mark =
      QString::fromStdString(test::ReadReport(Report().toStdString())["mark"]).split(',');
  ASSERT_EQ(mark.size(), 2);
  ASSERT_TRUE(XInput::Run({"mousemove", mark[0], mark[1]}));
  ASSERT_TRUE(XInput::Run({"click", "1"}));
  // Past the double-click time, while the hall is still what the window shows.
  QTest::qWait(550);
  if (ClipReported() != kHall) GTEST_SKIP() << "the photo decoded before the second click";
  ASSERT_TRUE(XInput::Run({"click", "1"}));
  ASSERT_TRUE(test::WaitFor([&] { return ClipReported() != kHall; }, 30000));
  QTest::qWait(3000);
  EXPECT_EQ(ClipReported(), kBig);
}

}  // namespace
}  // namespace mw
