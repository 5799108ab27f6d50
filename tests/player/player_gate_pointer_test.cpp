// The built player started as a package starts it while the package still unpacks: on a
// real screen under a window manager, with a real click on a mark before every clip is in
// place.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <QProcess>
#include <QTest>
#include <QTemporaryDir>
#include <string>

#include "gate_pipe.h"
#include "packer/unpack_gate.h"
#include "player/start_report.h"
#include "player_folder.h"
#include "start_report_reader.h"
#include "x_screen.h"
#include "x_session.h"

namespace mw {
namespace {

using test::kHall;
using test::kKitchen;
using test::XInput;

// The bright band of the ring round the mark chosen with the keyboard.
constexpr unsigned long kRingColour = 0xffc800;

class PlayerGatePointerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!test::ScreenFailure().empty()) GTEST_SKIP() << test::ScreenFailure();
    // One mark on the hall, to the kitchen, amid the red of its top left quarter.
    folder.WriteMap({test::Mark(kHall, 0.25f, 0.25f, 20, kKitchen, "Kitchen"),
                     test::Mark(kKitchen, 0.5f, 0.5f, 20, kHall, "Hall")});
    folder.AddTourClip(kHall);
    test::InstallPlayerAsPackageDoes(folder.Path());
    ASSERT_TRUE(package.Name("mwRun.exe") && package.Name("mwRun") && package.Name(kHall));
  }
  void TearDown() override {
    if (player.state() == QProcess::NotRunning) return;
    player.kill();
    player.waitForFinished();
  }

  // Starts the player on the screen with the gate's read end, reporting each clip shown.
  void StartPlayer() {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    const int gate = package.ReadEnd();
    environment.insert(packer::kUnpackGateVariable, QString::number(gate));
    environment.insert(kStartReportVariable, Report());
    environment.insert(kReportEachClipVariable, "1");
    player.setProcessEnvironment(environment);
    player.setWorkingDirectory(QString::fromStdString(folder.Path()));
    // Only the player inherits the read end.
    player.setChildProcessModifier([gate] { fcntl(gate, F_SETFD, 0); });
    player.start(QString::fromStdString(folder.File("mwRun.exe")), {});
    ASSERT_TRUE(player.waitForStarted(10000));
    close(package.TakeReadEnd());
  }
  QString Report() { return reports.filePath("report"); }
  // Waits until the report names `clip`; the last report read.
  std::map<std::string, std::string> AwaitReportOf(const std::string& clip) {
    std::map<std::string, std::string> report;
    test::WaitFor(
        [&] { return (report = test::ReadReport(Report().toStdString()))["clip"] == clip; }, 30000);
    return report;
  }

  void ClickTheMarkBeforeTheEnd(bool slowly);

  test::PlayerFolder folder;
  test::GatePipe package;
  QTemporaryDir reports;
  QProcess player;
};

// The pointer goes to the start clip's first mark, at once or in slow steps from the screen's
// corner, and clicks there before every clip is in place; then the package ends.
void PlayerGatePointerTest::ClickTheMarkBeforeTheEnd(bool slowly) {
  StartPlayer();
  std::map<std::string, std::string> start = AwaitReportOf(kHall);
  ASSERT_EQ(start["clip"], kHall) << player.readAllStandardError().toStdString();
  const QStringList mark = QString::fromStdString(start["mark"]).split(',');
  ASSERT_EQ(mark.size(), 2) << start["mark"];
  const int x = mark[0].toInt(), y = mark[1].toInt();

  auto ringShows = [&] { return test::ScreenShowsColourNear(x, y, 40, kRingColour); };
  ASSERT_FALSE(ringShows());

  if (slowly) {
    constexpr int kSteps = 20;
    for (int step = 0; step <= kSteps; ++step) {
      ASSERT_TRUE(XInput::Run({"mousemove", QString::number(x * step / kSteps),
                               QString::number(y * step / kSteps)}));
      QTest::qWait(20);
    }
  } else {
    ASSERT_TRUE(XInput::Run({"mousemove", mark[0], mark[1]}));
  }
  ASSERT_TRUE(XInput::Run({"click", "1"}));
  // Tab after the click: once its ring shows, the player has taken the click too.
  ASSERT_TRUE(XInput::Run({"key", "Tab"}));
  EXPECT_TRUE(test::WaitFor(ringShows, 10000));
  EXPECT_EQ(test::ReadReport(Report().toStdString())["clip"], kHall);

  // The kitchen, the last file, and the package's end.
  folder.AddTourClip(kKitchen);
  package.End();
  std::map<std::string, std::string> followed = AwaitReportOf(kKitchen);
  EXPECT_EQ(followed["clip"], kKitchen) << player.readAllStandardError().toStdString();
  EXPECT_EQ(followed["kind"], "photo");
  EXPECT_EQ(followed["problem"], "");
  ASSERT_TRUE(XInput::Run({"key", "Escape"}));
  EXPECT_TRUE(test::WaitFor([&] { return player.state() == QProcess::NotRunning; }, 10000));
  EXPECT_EQ(player.exitCode(), 0) << player.readAllStandardError().toStdString();
}

TEST_F(PlayerGatePointerTest, AClickBeforeEveryClipIsInPlaceIsFollowedOnceTheyAre) {
  ClickTheMarkBeforeTheEnd(false);
}

TEST_F(PlayerGatePointerTest, AClickAfterASlowMoveBeforeTheEndIsFollowedOnceTheyAre) {
  ClickTheMarkBeforeTheEnd(true);
}

}  // namespace
}  // namespace mw
