// The editor's program start: the application, its windows, the message loop.
#include <QApplication>
#include <QFile>
#include <QGuiApplication>
#include <QMessageBox>
#include <cstdlib>
#include <cstring>
#include <exception>

#include "about/ads.h"
#include "check/check_command.h"
#include "desktop/qt_desktop.h"
#include "editor/app_fonts.h"
#include "editor/form1.h"
#include "editor/formclickermark.h"
#include "overview/overview_command.h"
#include "package/makepackage.h"
#include "package/packageresult.h"
#include "package/progress.h"

namespace {

// The program folder: the folder of the running executable, with a trailing "/".
std::string ProgramFolder() {
  return QFile::encodeName(QCoreApplication::applicationDirPath()).toStdString() + "/";
}

// The commands that run without the editor window: `--check MAP` and
// `--overview MAP --output FILE`. Gives the exit code, or -1 for no such command.
int RunWindowlessCommand(int argc, char** argv) {
  if (argc == 3 && std::strcmp(argv[1], "--check") == 0)
    return mw::RunCheckCommand(argv[2], stdout);
  if (argc == 5 && std::strcmp(argv[1], "--overview") == 0 &&
      std::strcmp(argv[3], "--output") == 0) {
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QGuiApplication app(argc, argv);
    return mw::RunOverviewCommand(argv[2], argv[4]);
  }
  return -1;
}

}  // namespace

int main(int argc, char** argv) {
  if (const int code = RunWindowlessCommand(argc, argv); code >= 0) return code;
  QApplication app(argc, argv);
  QApplication::setApplicationName(mw::kProductName);
  mw::UseApplicationFonts();
  try {
    mw::QtDesktop desktop;
    // The windows in their order: the editor first, then the windows it opens.
    mw::TForm1 form1(desktop, mw::EditorOptions{ProgramFolder(), {}});
    desktop.SetParent(&form1);
    mw::TAdForm adForm(desktop, &form1);
    mw::TClickerMarkForm clickerMarkForm(desktop, &form1);
    // The package windows open centred on the screen, so they have no parent window.
    TProgressForm progressForm;
    TPackageResultForm packageResultForm(desktop);
    TMakePackageForm makePackageForm(desktop);
    form1.AttachWindows(
        {&adForm, &clickerMarkForm, &progressForm, &packageResultForm, &makePackageForm});
    form1.show();
    QApplication::exec();
  } catch (const std::exception& error) {
    QMessageBox::critical(nullptr, mw::kProductName, QString::fromLocal8Bit(error.what()));
  }
  return 0;
}
