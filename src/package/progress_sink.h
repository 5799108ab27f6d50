#pragma once
// Where a package build reports its steps.

#include <string>

namespace mw {

// The progress side of a package build: step texts and gauge, the window's style and
// its repainting while the build waits for the package build tool.
class ProgressSink {
 public:
  virtual ~ProgressSink() = default;
  // Keeps `text` as the last step text and shows it with "..." and the gauge at
  // `percent` (clamped to 0..100) in the progress window, brought to the front.
  virtual void ReportProgress(const std::string& text, int percent) = 0;
  // The text of the last step reported, without the added points.
  virtual const std::string& LastStepText() const = 0;
  // The gauge's current value, 0 to 100.
  virtual int GaugeValue() const = 0;
  // Switches the progress window between stay-on-top and normal style.
  virtual void SetStayOnTop(bool onTop) = 0;
  // Closes the progress window.
  virtual void CloseWindow() = 0;
  // Repaints the progress window while a long step keeps the thread busy; handles
  // no user input.
  virtual void KeepPainted() = 0;
};

}  // namespace mw
