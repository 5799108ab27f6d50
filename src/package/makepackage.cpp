#include "package/makepackage.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>
#include <filesystem>
#include <system_error>

#include "package/file_steps.h"
#include "package/package_names.h"

namespace {

// 335 x 300 at 120 pixels per inch.
constexpr int kWindowWidth = 268;
constexpr int kWindowHeight = 240;

QString FromText(const std::string& text) {
  return QString::fromLocal8Bit(text.c_str());
}
// The text of a one-line field: a line break pasted or set into it (which the directive
// file cannot hold) becomes one blank.
std::string ToText(const QString& text) {
  std::string line;
  for (char c : text.toLocal8Bit().toStdString()) {
    const bool lineBreak = c == '\r' || c == '\n';
    if (!lineBreak) {
      line += c;
    } else if (line.empty() || line.back() != ' ') {
      line += ' ';
    }
  }
  return line;
}

template <typename Widget>
Widget* Named(Widget* widget, const char* name) {
  widget->setObjectName(name);
  return widget;
}

}  // namespace

TMakePackageForm::TMakePackageForm(mw::Desktop& desktop, QWidget* parent)
    : QDialog(parent), desktop_(desktop) {
  setObjectName("MakePackageForm");
  setWindowTitle("Make Package");
  resize(kWindowWidth, kWindowHeight);
  BuildControls();
  connect(bitBtn3_, &QPushButton::clicked, this, [this] { BitBtn3Click(); });
  connect(bitBtn2_, &QPushButton::clicked, this, [this] { BitBtn2Click(); });
  connect(bitBtn1_, &QPushButton::clicked, this, [this] { done(mw::kModalCancel); });
}

void TMakePackageForm::BuildControls() {
  label1_ = Named(new QLabel("Package name:", this), "Label1");
  packageName_ = Named(new QLineEdit("program1", this), "PackageName");
  bitBtn3_ = Named(new QPushButton("...", this), "BitBtn3");
  label3_ = Named(new QLabel("File location:", this), "Label3");
  location_ = Named(new QLineEdit("Location", this), "Location");
  label2_ = Named(new QLabel("Show a message when user plays the package:", this), "Label2");
  userMessage_ = Named(new QLineEdit(this), "UserMessage");
  bitBtn2_ = Named(new QPushButton("Start Making Package", this), "BitBtn2");
  bitBtn2_->setIcon(style()->standardIcon(QStyle::SP_DialogApplyButton));
  bitBtn2_->setMinimumHeight(40);
  bitBtn1_ = Named(new QPushButton("Cancel", this), "BitBtn1");
  for (QPushButton* button : {bitBtn3_, bitBtn2_, bitBtn1_}) button->setAutoDefault(false);

  auto* nameRow = new QHBoxLayout;
  nameRow->addWidget(packageName_);
  nameRow->addWidget(bitBtn3_);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(label1_);
  layout->addLayout(nameRow);
  layout->addWidget(label3_);
  layout->addWidget(location_);
  layout->addWidget(label2_);
  layout->addWidget(userMessage_);
  layout->addStretch();
  layout->addWidget(bitBtn2_);
  layout->addWidget(bitBtn1_);
}

std::string TMakePackageForm::PackageNameText() const {
  return ToText(packageName_->text());
}
void TMakePackageForm::SetPackageNameText(const std::string& name) {
  packageName_->setText(FromText(name));
}
std::string TMakePackageForm::LocationText() const {
  return ToText(location_->text());
}
void TMakePackageForm::SetLocationText(const std::string& location) {
  location_->setText(FromText(location));
}
std::string TMakePackageForm::UserMessageText() const {
  return ToText(userMessage_->text());
}
void TMakePackageForm::SetUserMessageText(const std::string& message) {
  userMessage_->setText(FromText(message));
}

std::string TMakePackageForm::PackagePath() const {
  return LocationText() + PackageNameText() + ".exe";
}

void TMakePackageForm::BitBtn3Click() {
  mw::FileDialogRequest request;
  request.title = "Where to save the package:";
  request.initialPath = LocationText() + PackageNameText();
  std::optional<std::string> chosen = desktop_.ChooseFileToSave(request);
  if (!chosen) return;
  SetPackageNameText(mw::BareFileName(*chosen));
  SetLocationText(mw::FolderPart(*chosen));
}

void TMakePackageForm::BitBtn2Click() {
  // A relative location means the folder as seen from here: the check, the build tool,
  // Locate and Test run all get the same folder.
  const std::string location = LocationText();
  if (!location.empty() && location.front() != '/') {
    std::error_code error;
    std::filesystem::path absolute = std::filesystem::absolute(location, error);
    if (!error) SetLocationText(absolute.string());
  }
  if (mw::FolderExists(LocationText())) {
    done(mw::kModalOk);
    return;
  }
  mw::ShowOkMessage(desktop_, "Invalid file location!", "!");
}
