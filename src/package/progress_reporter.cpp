#include "package/progress_reporter.h"

#include <QCoreApplication>
#include <QEvent>

#include "package/progress.h"

namespace mw {

void ProgressReporter::ReportProgress(const std::string& text, int percent) {
  lastStepText_ = text;
  if (form_ == nullptr) return;
  form_->ShowStep(text + "...", percent);
  form_->show();
  form_->raise();
  // The caller keeps the user-interface thread busy: paint now.
  form_->repaint();
}

int ProgressReporter::GaugeValue() const {
  return form_ != nullptr ? form_->GaugeValue() : 0;
}

void ProgressReporter::SetStayOnTop(bool onTop) {
  if (form_ != nullptr) form_->SetStayOnTop(onTop);
}

void ProgressReporter::CloseWindow() {
  if (form_ != nullptr) form_->close();
}

void ProgressReporter::KeepPainted() {
  // Paint only: pending repaint requests and the window itself; input stays queued.
  QCoreApplication::sendPostedEvents(nullptr, QEvent::UpdateRequest);
  if (form_ != nullptr) form_->repaint();
}

}  // namespace mw
