#pragma once
// Progress of a package build written to a stream, for builds without a window.

#include <ostream>
#include <string>

#include "package/progress_sink.h"

namespace mw {

// Writes each step as one line: how far the whole build has come, a percentage that only
// grows, and the step text as the progress window shows it, e.g. " 52% Removing old
// files...". Keeps the last step text and the gauge like the window.
class StreamProgress : public ProgressSink {
 public:
  // `out` must outlive the sink.
  explicit StreamProgress(std::ostream& out) : out_(out) {}

  void ReportProgress(const std::string& text, int percent) override;
  const std::string& LastStepText() const override { return lastStepText_; }
  int GaugeValue() const override { return gauge_; }
  void SetStayOnTop(bool) override {}
  void CloseWindow() override {}
  void KeepPainted() override {}

 private:
  std::ostream& out_;
  std::string lastStepText_;
  int gauge_ = 0;
  int overall_ = 0;
};

}  // namespace mw
