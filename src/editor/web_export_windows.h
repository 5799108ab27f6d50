#pragma once
// The windows around a running web export: its progress with a gauge and Cancel, and
// its result with "Open in Browser" and "Locate".

#include <QDialog>
#include <atomic>
#include <string>

#include "webexport/web_export.h"

class QLabel;
class QProgressBar;
class QPushButton;

namespace mw {

// Runs an export on a thread of its own while the window shows its steps and gauge;
// the window keeps answering, and Cancel (or the close box) stops the export.
class TWebExportProgressForm : public QDialog {
  Q_OBJECT

 public:
  explicit TWebExportProgressForm(QWidget* parent = nullptr);

  // Shows the window, runs the export and gives its result once it has ended; the
  // window is hidden again. Events are handled meanwhile.
  WebExportResult Run(const WebExportRequest& request);

  // The step shown, and the gauge in percent.
  std::string StepText() const;
  int GaugeValue() const;
  // True while an export runs.
  bool Running() const { return running_; }

  void reject() override;

 private:
  void ShowStep(const QString& text);
  void ShowShare(double done);

  QLabel* step_ = nullptr;
  QProgressBar* gauge_ = nullptr;
  QPushButton* cancel_ = nullptr;
  std::atomic<bool> cancelAsked_{false};
  bool running_ = false;
};

// Says where the export went. "Open in Browser" closes with kOpenResult, "Locate" with
// kLocateResult, Close with kModalCancel.
class TWebExportResultForm : public QDialog {
  Q_OBJECT

 public:
  static constexpr int kOpenResult = 3;
  static constexpr int kLocateResult = 4;

  explicit TWebExportResultForm(QWidget* parent = nullptr);
  void ShowDestination(const std::string& destination);

 private:
  QLabel* text_ = nullptr;
};

}  // namespace mw
