#pragma once
// The package options dialog: the package's name, the folder it goes to and the
// message it shows when it is played.

#include <QDialog>
#include <string>

#include "desktop/desktop.h"

class QLabel;
class QLineEdit;
class QPushButton;

// One instance lives for the whole program, so the name and the message keep the
// user's last texts; the package build sets the location before every showing.
// "Start Making Package" closes with mw::kModalOk when the location is an existing
// folder; Cancel and the close box give another result.
class TMakePackageForm : public QDialog {
  Q_OBJECT

 public:
  // `desktop` runs the save dialog and the message box; it must outlive the dialog.
  explicit TMakePackageForm(mw::Desktop& desktop, QWidget* parent = nullptr);

  std::string PackageNameText() const;
  void SetPackageNameText(const std::string& name);
  std::string LocationText() const;
  void SetLocationText(const std::string& location);
  std::string UserMessageText() const;
  void SetUserMessageText(const std::string& message);

  // Location + package name + ".exe", joined as plain text.
  std::string PackagePath() const;

  // The close box and Escape give the Cancel result.
  void reject() override { done(mw::kModalCancel); }

 private:
  void BuildControls();
  void BitBtn3Click();
  void BitBtn2Click();

  mw::Desktop& desktop_;
  QLabel* label1_ = nullptr;
  QLineEdit* packageName_ = nullptr;
  QPushButton* bitBtn3_ = nullptr;
  QLabel* label3_ = nullptr;
  QLineEdit* location_ = nullptr;
  QLabel* label2_ = nullptr;
  QLineEdit* userMessage_ = nullptr;
  QPushButton* bitBtn2_ = nullptr;
  QPushButton* bitBtn1_ = nullptr;
};
