#include "start_report_reader.h"

#include <QProcess>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "player/start_report.h"

namespace mw::test {

std::map<std::string, std::string> ReadReport(const std::string& path) {
  std::map<std::string, std::string> report;
  std::ifstream in(path);
  std::string line;
  while (std::getline(in, line)) {
    const std::size_t equals = line.find('=');
    if (equals != std::string::npos) report[line.substr(0, equals)] = line.substr(equals + 1);
  }
  return report;
}

PlayerRun RunPlayerProgram(const std::string& program, const QStringList& arguments,
                           const std::string& workingFolder, const std::string& reportPath,
                           QProcessEnvironment environment) {
  environment.insert("QT_QPA_PLATFORM", "offscreen");
  environment.insert(kStartReportVariable, QString::fromStdString(reportPath));
  QProcess process;
  process.setProcessEnvironment(environment);
  process.setWorkingDirectory(QString::fromStdString(workingFolder));
  process.start(QString::fromStdString(program), arguments);
  PlayerRun run;
  run.finished = process.waitForFinished(60000);
  if (!run.finished) {
    process.kill();
    process.waitForFinished();
  }
  run.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
  run.errorOutput = process.readAllStandardError().toStdString();
  run.report = ReadReport(reportPath);
  return run;
}

void InstallPlayerAsPackageDoes(const std::string& folder) {
  std::filesystem::copy_file(std::string(MW_BIN_DIR) + "/runner.dll", folder + "/mwRun.exe",
                             std::filesystem::copy_options::overwrite_existing);
}

}  // namespace mw::test
