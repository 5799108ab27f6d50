#include "package/process_runner.h"

#include <signal.h>
#include <sys/prctl.h>

#include <QFile>
#include <QProcess>
#include <QStringList>
#include <cstdio>

namespace mw {

namespace {

constexpr int kWaitSliceMs = 100;
constexpr std::size_t kLongestKeptLine = 4096;

// Passes a program's error output on to ours and keeps its last line that is not empty.
class ErrorOutputTail {
 public:
  explicit ErrorOutputTail(QProcess& process) : process_(process) {}
  void Take() {
    QByteArray bytes = process_.readAllStandardError();
    if (bytes.isEmpty()) return;
    std::fwrite(bytes.constData(), 1, static_cast<std::size_t>(bytes.size()), stderr);
    for (char c : bytes) Add(c);
  }
  std::string LastLine() const { return current_.empty() ? last_ : current_; }

 private:
  void Add(char c) {
    if (c == '\n' || c == '\r') {
      if (!current_.empty()) last_ = std::move(current_);
      current_.clear();
    } else if (current_.size() < kLongestKeptLine) {
      current_ += c;
    }
  }
  QProcess& process_;
  std::string current_;
  std::string last_;
};

}  // namespace

int RunProgramAndWait(const std::string& program, const std::vector<std::string>& arguments,
                      const std::string& workingFolder, const std::function<void()>& whileWaiting,
                      std::string* lastErrorLine) {
  QStringList argumentList;
  for (const std::string& argument : arguments) {
    argumentList << QString::fromLocal8Bit(argument.c_str());
  }
  QProcess process;
  process.setProgram(QFile::decodeName(program.c_str()));
  process.setArguments(argumentList);
  process.setWorkingDirectory(QFile::decodeName(workingFolder.c_str()));
  process.setProcessChannelMode(QProcess::ForwardedOutputChannel);
  // A program the editor waits for ends with the editor, should the editor be killed.
  process.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGTERM); });
  ErrorOutputTail errors(process);
  process.start();
  if (!process.waitForStarted(-1)) return kNotStarted;
  process.closeWriteChannel();  // the program reads nothing from us
  while (process.state() != QProcess::NotRunning) {
    if (!process.waitForFinished(kWaitSliceMs) && whileWaiting) whileWaiting();
    errors.Take();
  }
  errors.Take();
  if (lastErrorLine) *lastErrorLine = errors.LastLine();
  return process.exitCode();
}

}  // namespace mw
