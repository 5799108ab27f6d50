#pragma once
// The progress window: which package step is running and how far the build has come.

#include <QDialog>
#include <string>

class QLabel;
class QProgressBar;

// Shown, not modally, through a package build. Its step text, caption and gauge stay
// as last set until the next build sets them again.
class TProgressForm : public QDialog {
  Q_OBJECT

 public:
  explicit TProgressForm(QWidget* parent = nullptr);

  // Shows `text` in Label1 and as the caption, and `percent` on the gauge, clamped to
  // 0..100.
  void ShowStep(const std::string& text, int percent);
  // The gauge's current value.
  int GaugeValue() const;
  // The current step text of Label1.
  std::string StepText() const;
  // Switches between stay-on-top and normal style; a shown window stays shown.
  void SetStayOnTop(bool onTop);

 private:
  QLabel* label2_ = nullptr;
  QProgressBar* gauge_ = nullptr;
  QLabel* label1_ = nullptr;
};
