#include "editor/web_export_windows.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QHBoxLayout>
#include <QLabel>
#include <QMetaObject>
#include <QProgressBar>
#include <QPushButton>
#include <QThread>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>
#include <functional>
#include <memory>

#include "desktop/desktop.h"

namespace mw {

namespace {

// Hands the export's steps to the window on its own thread and tells the export when
// Cancel was pressed.
class WindowProgress : public WebExportProgress {
 public:
  WindowProgress(QObject* window, std::function<void(QString)> step,
                 std::function<void(double)> share, const std::atomic<bool>& cancel)
      : window_(window), step_(std::move(step)), share_(std::move(share)), cancel_(cancel) {}

  void Step(const std::string& text) override {
    QMetaObject::invokeMethod(
        window_, [f = step_, t = QString::fromLocal8Bit(text)] { f(t); }, Qt::QueuedConnection);
  }
  void Share(double done) override {
    QMetaObject::invokeMethod(
        window_, [f = share_, done] { f(done); }, Qt::QueuedConnection);
  }
  bool Cancelled() override { return cancel_.load(); }

 private:
  QObject* window_;
  std::function<void(QString)> step_;
  std::function<void(double)> share_;
  const std::atomic<bool>& cancel_;
};

QPushButton* MakeButton(QWidget* parent, const char* name, const QString& caption) {
  auto* button = new QPushButton(caption, parent);
  button->setObjectName(name);
  return button;
}

}  // namespace

TWebExportProgressForm::TWebExportProgressForm(QWidget* parent) : QDialog(parent) {
  setObjectName("WebExportProgressForm");
  setWindowTitle("Exporting for Web");
  setWindowModality(Qt::ApplicationModal);
  auto* layout = new QVBoxLayout(this);
  step_ = new QLabel(this);
  step_->setObjectName("StepText");
  step_->setMinimumWidth(360);
  gauge_ = new QProgressBar(this);
  gauge_->setObjectName("Gauge");
  gauge_->setRange(0, 100);
  gauge_->setFormat("%p%");
  cancel_ = MakeButton(this, "CancelButton", "Cancel");
  layout->addWidget(step_);
  layout->addWidget(gauge_);
  auto* row = new QHBoxLayout;
  row->addStretch(1);
  row->addWidget(cancel_);
  layout->addLayout(row);
  connect(cancel_, &QPushButton::clicked, this, [this] { reject(); });
}

WebExportResult TWebExportProgressForm::Run(const WebExportRequest& request) {
  cancelAsked_ = false;
  running_ = true;
  cancel_->setEnabled(true);
  step_->clear();
  gauge_->setValue(0);
  show();
  WebExportResult result;
  WindowProgress progress(
      this, [this](const QString& text) { ShowStep(text); },
      [this](double done) { ShowShare(done); }, cancelAsked_);
  std::unique_ptr<QThread> worker(QThread::create(
      [&result, &request, &progress] { result = ExportForWeb(request, progress); }));
  QEventLoop loop;
  connect(worker.get(), &QThread::finished, &loop, &QEventLoop::quit);
  worker->start();
  loop.exec();
  worker->wait();
  // The last step and share the export posted are shown before the window goes.
  QCoreApplication::sendPostedEvents(this, QEvent::MetaCall);
  running_ = false;
  hide();
  return result;
}

std::string TWebExportProgressForm::StepText() const {
  return step_->text().toLocal8Bit().toStdString();
}

int TWebExportProgressForm::GaugeValue() const {
  return gauge_->value();
}

void TWebExportProgressForm::reject() {
  // The window closes when the export has stopped, not before.
  if (!running_) return QDialog::reject();
  cancelAsked_ = true;
  cancel_->setEnabled(false);
  step_->setText("Cancelling...");
}

void TWebExportProgressForm::ShowStep(const QString& text) {
  if (!cancelAsked_) step_->setText(text);
}

void TWebExportProgressForm::ShowShare(double done) {
  gauge_->setValue(static_cast<int>(std::lround(std::clamp(done, 0.0, 1.0) * 100)));
}

TWebExportResultForm::TWebExportResultForm(QWidget* parent) : QDialog(parent) {
  setObjectName("WebExportResultForm");
  setWindowTitle("Export for Web");
  auto* layout = new QVBoxLayout(this);
  text_ = new QLabel(this);
  text_->setObjectName("ResultText");
  text_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  layout->addWidget(text_);
  auto* row = new QHBoxLayout;
  QPushButton* open = MakeButton(this, "OpenInBrowserButton", "Open in Browser");
  open->setDefault(true);
  QPushButton* locate = MakeButton(this, "LocateButton", "Locate");
  QPushButton* close = MakeButton(this, "CloseButton", "Close");
  row->addWidget(open);
  row->addWidget(locate);
  row->addStretch(1);
  row->addWidget(close);
  layout->addLayout(row);
  connect(open, &QPushButton::clicked, this, [this] { done(kOpenResult); });
  connect(locate, &QPushButton::clicked, this, [this] { done(kLocateResult); });
  connect(close, &QPushButton::clicked, this, [this] { done(kModalCancel); });
}

void TWebExportResultForm::ShowDestination(const std::string& destination) {
  text_->setText("The map was exported for web browsers:\n" + QString::fromLocal8Bit(destination));
}

}  // namespace mw
