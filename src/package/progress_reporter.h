#pragma once
// Step reporting of the package builder, driving the progress window.

#include <string>

#include "package/progress_sink.h"

class TProgressForm;

namespace mw {

// The editor window's ReportProgress and LastStepText: keeps the last step text
// (also between builds) and shows each step in the progress window. The window may be
// given after the reporter is made, since the editor window is created before it;
// without one the reporter only keeps the text.
class ProgressReporter : public ProgressSink {
 public:
  // `form`, when given, must outlive the reporter.
  explicit ProgressReporter(TProgressForm* form = nullptr) : form_(form) {}
  void SetForm(TProgressForm* form) { form_ = form; }

  void ReportProgress(const std::string& text, int percent) override;
  const std::string& LastStepText() const override { return lastStepText_; }
  int GaugeValue() const override;
  void SetStayOnTop(bool onTop) override;
  void CloseWindow() override;
  void KeepPainted() override;

 private:
  TProgressForm* form_;
  std::string lastStepText_;
};

}  // namespace mw
