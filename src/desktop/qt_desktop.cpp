#include "desktop/qt_desktop.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QDesktopServices>
#include <QDialog>
#include <QDir>
#include <QCloseEvent>
#include <QEventLoop>
#include <QKeyEvent>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QProcess>
#include <QStringList>
#include <QThread>
#include <QUrl>
#include <algorithm>
#include <memory>

namespace mw {
namespace {

QString FromLocal(const std::string& text) { return QString::fromLocal8Bit(text); }

QMessageBox::Icon QtIcon(MessageIcon icon) {
  switch (icon) {
    case MessageIcon::Information: return QMessageBox::Information;
    case MessageIcon::Warning: return QMessageBox::Warning;
    case MessageIcon::Error: return QMessageBox::Critical;
    case MessageIcon::None: break;
  }
  return QMessageBox::NoIcon;
}

QMessageBox::StandardButtons QtButtons(MessageButtons buttons) {
  switch (buttons) {
    case MessageButtons::YesNo: return QMessageBox::Yes | QMessageBox::No;
    case MessageButtons::OkCancel: return QMessageBox::Ok | QMessageBox::Cancel;
    case MessageButtons::Ok: break;
  }
  return QMessageBox::Ok;
}

MessageAnswer FromQt(int button, MessageButtons buttons) {
  switch (button) {
    case QMessageBox::Yes: return MessageAnswer::Yes;
    case QMessageBox::No: return MessageAnswer::No;
    case QMessageBox::Ok: return MessageAnswer::Ok;
    default: break;
  }
  // Closing the box by its close button or Escape (a Yes/No box cannot be closed so).
  return buttons == MessageButtons::YesNo ? MessageAnswer::No : MessageAnswer::Cancel;
}

// A message box with Yes and No only: as on the platform the program comes from, only
// those buttons answer it; Escape and the window's close button do nothing.
class YesNoBox : public QMessageBox {
 public:
  using QMessageBox::QMessageBox;

 protected:
  void keyPressEvent(QKeyEvent* event) override {
    if (event->key() == Qt::Key_Escape) {
      event->accept();
      return;
    }
    QMessageBox::keyPressEvent(event);
  }
  void closeEvent(QCloseEvent* event) override { event->ignore(); }
};

std::optional<std::string> RunFileDialog(QFileDialog& dialog) {
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
  return QFile::encodeName(dialog.selectedFiles().first()).toStdString();
}

}  // namespace

QString QtFileFilter(const std::string& filter) {
  QStringList parts = FromLocal(filter).split('|');
  QStringList filters;
  for (int i = 0; i + 1 < parts.size(); i += 2) {
    QString patterns = parts[i + 1];
    patterns.replace(';', ' ');
    filters << parts[i] + " (" + patterns + ")";
  }
  return filters.join(";;");
}

void ConfigureFileDialog(QFileDialog& dialog, const FileDialogRequest& request) {
  dialog.setWindowTitle(FromLocal(request.title));
  // Each description already names its patterns, so the list shows it as written.
  dialog.setOption(QFileDialog::HideNameFilterDetails, true);
  dialog.setNameFilters(QtFileFilter(request.filter).split(";;"));
  if (!request.defaultExtension.empty()) dialog.setDefaultSuffix(FromLocal(request.defaultExtension));
  // Without a preset file the dialog starts in the current folder, not in the folder
  // Qt remembers from an earlier dialog or run.
  if (request.initialPath.empty())
    dialog.setDirectory(QDir::currentPath());
  else
    dialog.selectFile(QFile::decodeName(request.initialPath.c_str()));
}

MessageAnswer QtDesktop::ShowMessage(const MessageRequest& request) {
  QString title = request.title.empty() ? QCoreApplication::applicationName()
                                        : FromLocal(request.title);
  if (request.buttons == MessageButtons::YesNo) {
    YesNoBox box(QtIcon(request.icon), title, FromLocal(request.text), QtButtons(request.buttons),
                 parent_);
    box.setWindowFlag(Qt::WindowCloseButtonHint, false);
    return FromQt(box.exec(), request.buttons);
  }
  QMessageBox box(QtIcon(request.icon), title, FromLocal(request.text), QtButtons(request.buttons),
                  parent_);
  return FromQt(box.exec(), request.buttons);
}

std::optional<std::string> QtDesktop::ChooseFileToOpen(const FileDialogRequest& request) {
  QFileDialog dialog(parent_);
  ConfigureFileDialog(dialog, request);
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  dialog.setFileMode(QFileDialog::ExistingFile);
  return RunFileDialog(dialog);
}

std::optional<std::string> QtDesktop::ChooseFileToSave(const FileDialogRequest& request) {
  QFileDialog dialog(parent_);
  ConfigureFileDialog(dialog, request);
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setFileMode(QFileDialog::AnyFile);
  dialog.setOption(QFileDialog::DontConfirmOverwrite, !request.confirmOverwrite);
  dialog.setOption(QFileDialog::ReadOnly, false);
  dialog.setSizeGripEnabled(true);
  return RunFileDialog(dialog);
}

std::optional<std::string> QtDesktop::ChooseFolder(const FileDialogRequest& request) {
  QFileDialog dialog(parent_);
  dialog.setWindowTitle(FromLocal(request.title));
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  dialog.setFileMode(QFileDialog::Directory);
  dialog.setOption(QFileDialog::ShowDirsOnly, true);
  dialog.setDirectory(request.initialPath.empty() ? QDir::currentPath()
                                                  : QFile::decodeName(request.initialPath.c_str()));
  return RunFileDialog(dialog);
}

int QtDesktop::ShowModal(QDialog& dialog) { return dialog.exec(); }

bool QtDesktop::OpenWithDefaultProgram(const std::string& pathOrUrl) {
  QString text = FromLocal(pathOrUrl);
  if (!text.startsWith('/')) return QDesktopServices::openUrl(QUrl(text));
  QString path = QFile::decodeName(pathOrUrl.c_str());
  // The desktop's opener starts even for a missing file and says nothing to us.
  if (!QFileInfo::exists(path)) return false;
  return QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}

namespace {

// How long the opener is watched: a desktop that cannot open something says so within
// moments; an opener still running then is waiting for the program that took it.
constexpr qint64 kOpenerWatchMs = 10'000;

// The last line the opener wrote, as its reason for failing.
std::string LastLine(const QByteArray& output) {
  const QList<QByteArray> lines = output.trimmed().split('\n');
  return lines.isEmpty() ? std::string() : lines.last().trimmed().toStdString();
}

}  // namespace

void QtDesktop::OpenOrTell(const std::string& pathOrUrl, OpenFailed failed) {
  const QString text = FromLocal(pathOrUrl);
  if (text.startsWith('/') && !QFileInfo::exists(QFile::decodeName(pathOrUrl.c_str()))) {
    failed("no such file");
    return;
  }
  // Only paths and addresses: anything else could read as one of the opener's options.
  if (text.isEmpty() || text.startsWith('-')) {
    failed("not a path or an address");
    return;
  }
  // Parented to the application, so that an opener still running at the end is ended.
  auto* opener = new QProcess(QCoreApplication::instance());
  opener->setProcessChannelMode(QProcess::MergedChannels);
  opener->setStandardInputFile(QProcess::nullDevice());
  auto started = std::make_shared<QElapsedTimer>();
  started->start();
  QObject::connect(opener, &QProcess::finished, opener,
                   [opener, started, failed](int code, QProcess::ExitStatus status) {
                     const bool soon = started->elapsed() < kOpenerWatchMs;
                     if (soon && (code != 0 || status != QProcess::NormalExit))
                       failed(LastLine(opener->readAll()));
                     opener->deleteLater();
                   });
  QObject::connect(opener, &QProcess::errorOccurred, opener,
                   [opener, failed](QProcess::ProcessError error) {
                     if (error != QProcess::FailedToStart) return;
                     failed("xdg-open: " + opener->errorString().toStdString());
                     opener->deleteLater();
                   });
  // A long-running opener's output is not kept: only its last moments matter.
  QObject::connect(opener, &QProcess::readyRead, opener, [opener, started] {
    if (started->elapsed() >= kOpenerWatchMs) opener->readAll();
  });
  opener->start("xdg-open", {text});
}

bool QtDesktop::StartProgram(const std::string& program, const std::string& workingFolder) {
  return QProcess::startDetached(QFile::decodeName(program.c_str()), {},
                                 QFile::decodeName(workingFolder.c_str()));
}

void QtDesktop::Pause(int milliseconds) {
  // Only repaints are delivered meanwhile, so the windows do not look frozen; no timer,
  // input or other event of the program runs during the pause.
  QDeadlineTimer deadline(milliseconds);
  while (!deadline.hasExpired()) {
    QCoreApplication::sendPostedEvents(nullptr, QEvent::UpdateRequest);
    QThread::msleep(static_cast<unsigned long>(std::clamp<qint64>(deadline.remainingTime(), 0, 20)));
  }
}

}  // namespace mw
