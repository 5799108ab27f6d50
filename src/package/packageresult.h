#pragma once
// The result window of a successful package build: show the package's folder, test
// run the package, or return to the editor.

#include <QDialog>
#include <string>

#include "desktop/desktop.h"

class QLabel;
class QLineEdit;
class QPushButton;

// Shown modally at the end of a build; each button closes it, as does the close box.
class TPackageResultForm : public QDialog {
  Q_OBJECT

 public:
  // `desktop` opens the folder and starts the package; it must outlive the window.
  explicit TPackageResultForm(mw::Desktop& desktop, QWidget* parent = nullptr);

  // Sets the first button's caption to "Locate " + package name + ".exe" and the
  // package path shown and acted on.
  void SetPackage(const std::string& packageName, const std::string& packagePath);
  std::string PackagePathText() const;
  std::string LocateCaption() const;

 private:
  void BitBtn1Click();
  void BitBtn2Click();

  mw::Desktop& desktop_;
  QLabel* label1_ = nullptr;
  QPushButton* bitBtn1_ = nullptr;
  QPushButton* bitBtn2_ = nullptr;
  QPushButton* bitBtn3_ = nullptr;
  QLineEdit* packagePath_ = nullptr;
};
