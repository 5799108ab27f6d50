// The editor's program start: the application, its windows, the message loop.
#include <QApplication>
#include <QFile>
#include <QMessageBox>
#include <exception>

#include "desktop/qt_desktop.h"
#include "editor/form1.h"

namespace {

// The program folder: the folder of the running executable, with a trailing "/".
std::string ProgramFolder() {
  return QFile::encodeName(QCoreApplication::applicationDirPath()).toStdString() + "/";
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName(mw::kProductName);
  try {
    mw::QtDesktop desktop;
    mw::TForm1 form1(desktop, ProgramFolder());
    desktop.SetParent(&form1);
    form1.show();
    QApplication::exec();
  } catch (const std::exception& error) {
    QMessageBox::critical(nullptr, mw::kProductName, QString::fromLocal8Bit(error.what()));
  }
  return 0;
}
