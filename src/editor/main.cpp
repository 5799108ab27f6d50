// The editor's program start: the command line, then the application, its windows and
// the message loop, or one command run without a window.
#include <QApplication>
#include <QGuiApplication>
#include <QIcon>
#include <QMessageBox>
#include <exception>
#include <iostream>
#include <string>
#include <vector>

#include "about/ads.h"
#include "check/check_command.h"
#include "check/map_check.h"
#include "desktop/qt_desktop.h"
#include "editor/app_fonts.h"
#include "editor/command_line.h"
#include "editor/form1.h"
#include "editor/formclickermark.h"
#include "editor/program_location.h"
#include "overview/overview_command.h"
#include "package/command_line_package.h"
#include "package/makepackage.h"
#include "package/packageresult.h"
#include "package/progress.h"
#include "packer/printable_text.h"
#include "travel/travel_command.h"
#include "webexport/command_line_export.h"

namespace {

int RunEditor(int argc, char** argv, const mw::CommandLine& command) {
  QApplication app(argc, argv);
  QApplication::setApplicationName(mw::kProductName);
  QApplication::setWindowIcon(QIcon(":/editor/markweaver.png"));
  mw::UseApplicationFonts();
  try {
    mw::QtDesktop desktop;
    // The windows in their order: the editor first, then the windows it opens.
    mw::TForm1 form1(desktop, mw::EditorOptions{mw::ProgramFolderOfThisProcess(), {}, command.map});
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

// The map check's text for the first clip that stops a command-line package.
std::string FirstClipProblem(const mw::ClipMap& map) {
  const std::vector<mw::MapProblem> problems = mw::ProblemsStoppingPackage(map);
  return problems.empty() ? std::string() : mw::FormatProblem(problems.front());
}

// One line for each file of the map that the player will not show, safe for a terminal.
std::vector<std::string> FilesNotShown(const mw::ClipMap& map) {
  std::vector<std::string> lines;
  for (const mw::MapProblem& problem : mw::FilesThePlayerCannotShow(map))
    lines.push_back(mw::packer::Printable(mw::FormatProblem(problem)));
  return lines;
}

// The commands without a window need no display: Qt draws nowhere.
int RunMakePackage(int argc, char** argv, const mw::CommandLine& command) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  QApplication::setApplicationName(mw::kProductName);
  return mw::MakePackageFromCommandLine(
      {*command.map, *command.output, command.message.value_or(""),
       mw::ProgramFolderOfThisProcess(), FirstClipProblem, FilesNotShown},
      std::cerr);
}

// The overview is drawn offscreen, so it needs no display either.
int RunOverview(int argc, char** argv, const mw::CommandLine& command) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QGuiApplication app(argc, argv);
  return mw::RunOverviewCommand(*command.map, *command.output);
}

}  // namespace

int main(int argc, char** argv) {
  const mw::ParsedCommandLine parsed =
      mw::ParseCommandLine(std::vector<std::string>(argv + (argc > 0 ? 1 : 0), argv + argc));
  if (!parsed.command) {
    std::cerr << "markweaver: " << parsed.error << "\n"
              << "Try 'markweaver --help' for more information.\n";
    return mw::kBadCommandLineExit;
  }
  const mw::CommandLine& command = *parsed.command;
  switch (command.kind) {
    case mw::CommandKind::Help:
      std::cout << mw::HelpText();
      return 0;
    case mw::CommandKind::Version:
      std::cout << mw::VersionText();
      return 0;
    case mw::CommandKind::MakePackage:
      return RunMakePackage(argc, argv, command);
    case mw::CommandKind::Check:
      return mw::RunCheckCommand(*command.map, stdout);
    case mw::CommandKind::Overview:
      return RunOverview(argc, argv, command);
    case mw::CommandKind::ExportWeb:
      return mw::ExportWebFromCommandLine(
          {*command.map, *command.output, command.title, command.message.value_or("")}, std::cerr);
    case mw::CommandKind::Relink:
      return mw::RunRelinkCommand(*command.map, command.search, stdout, stderr);
    case mw::CommandKind::Gather:
      return mw::RunGatherCommand(*command.map, stdout, stderr);
    case mw::CommandKind::Edit:
      break;
  }
  return RunEditor(argc, argv, command);
}
