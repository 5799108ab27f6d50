#include "package/process_runner.h"

#include <QFile>
#include <QProcess>
#include <QStringList>

namespace mw {

namespace {

constexpr int kWaitSliceMs = 100;

}  // namespace

int RunProgramAndWait(const std::string& program, const std::vector<std::string>& arguments,
                      const std::string& workingFolder, const std::function<void()>& whileWaiting) {
  QStringList argumentList;
  for (const std::string& argument : arguments) {
    argumentList << QString::fromLocal8Bit(argument.c_str());
  }
  QProcess process;
  process.setProgram(QFile::decodeName(program.c_str()));
  process.setArguments(argumentList);
  process.setWorkingDirectory(QFile::decodeName(workingFolder.c_str()));
  process.setProcessChannelMode(QProcess::ForwardedChannels);
  process.start();
  if (!process.waitForStarted(-1)) return kNotStarted;
  process.closeWriteChannel();  // the program reads nothing from us
  while (process.state() != QProcess::NotRunning) {
    if (!process.waitForFinished(kWaitSliceMs) && whileWaiting) whileWaiting();
  }
  return process.exitCode();
}

}  // namespace mw
