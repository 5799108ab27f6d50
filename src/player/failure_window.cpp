#include "player/failure_window.h"

#include <QApplication>
#include <QMessageBox>
#include <QTimer>
#include <cstdlib>
#include <string>

#include "player/start_report.h"

namespace mw {

int ShowFailureWindow(int argc, char** argv, const char* reason) {
  QApplication app(argc, argv);
  QApplication::setApplicationName("MarkWeaver");
  QMessageBox box(QMessageBox::Critical, "MarkWeaver",
                  "The package cannot be played.\n\n" + QString::fromLocal8Bit(reason),
                  QMessageBox::Ok);
  if (const char* reportPath = std::getenv(kStartReportVariable)) {
    const std::string report = std::string("failure=") + reason + "\n";
    QTimer::singleShot(0, &box, [&box, reportPath, report] {
      WriteStartReport(reportPath, report);
      box.done(0);
    });
  }
  box.exec();
  return 0;
}

}  // namespace mw
