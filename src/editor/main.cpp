// The editor's program start: the application, its windows, the message loop.
#include <QApplication>
#include <QFile>
#include <QMessageBox>
#include <exception>

#include "about/ads.h"
#include "desktop/qt_desktop.h"
#include "editor/app_fonts.h"
#include "editor/form1.h"
#include "editor/formclickermark.h"
#include "package/makepackage.h"
#include "package/packageresult.h"
#include "package/progress.h"

namespace {

// The program folder: the folder of the running executable, with a trailing "/".
std::string ProgramFolder() {
  return QFile::encodeName(QCoreApplication::applicationDirPath()).toStdString() + "/";
}

}  // namespace

int main(int argc, char** argv) {
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
