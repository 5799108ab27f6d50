#include "package/packageresult.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "package/package_names.h"

namespace {

// 370 x 182 at 120 pixels per inch.
constexpr int kWindowWidth = 296;
constexpr int kWindowHeight = 146;

template <typename Widget>
Widget* Named(Widget* widget, const char* name) {
  widget->setObjectName(name);
  return widget;
}

}  // namespace

TPackageResultForm::TPackageResultForm(mw::Desktop& desktop, QWidget* parent)
    : QDialog(parent), desktop_(desktop) {
  setObjectName("PackageResultForm");
  setWindowTitle("Congradulations");
  setWindowFlag(Qt::WindowStaysOnTopHint, true);
  resize(kWindowWidth, kWindowHeight);

  label1_ = Named(new QLabel("Your package is ready. What do you want to do now?", this), "Label1");
  bitBtn1_ = Named(new QPushButton("Get the package", this), "BitBtn1");
  bitBtn2_ = Named(new QPushButton("Test run the package", this), "BitBtn2");
  bitBtn3_ = Named(new QPushButton("Return to MarkWeaver Editor", this), "BitBtn3");
  packagePath_ = Named(new QLineEdit("/", this), "PackagePath");
  packagePath_->setReadOnly(true);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(label1_);
  layout->addWidget(bitBtn1_);
  layout->addWidget(bitBtn2_);
  layout->addWidget(bitBtn3_);
  layout->addWidget(packagePath_);

  connect(bitBtn1_, &QPushButton::clicked, this, [this] { BitBtn1Click(); });
  connect(bitBtn2_, &QPushButton::clicked, this, [this] { BitBtn2Click(); });
  connect(bitBtn3_, &QPushButton::clicked, this, [this] { reject(); });
}

void TPackageResultForm::SetPackage(const std::string& packageName,
                                    const std::string& packagePath) {
  bitBtn1_->setText(QString::fromLocal8Bit(("Locate " + packageName + ".exe").c_str()));
  packagePath_->setText(QString::fromLocal8Bit(packagePath.c_str()));
}

std::string TPackageResultForm::PackagePathText() const {
  return packagePath_->text().toLocal8Bit().toStdString();
}

std::string TPackageResultForm::LocateCaption() const {
  return bitBtn1_->text().toLocal8Bit().toStdString();
}

// The window closes in every case; when the desktop could not do what was asked,
// the person is told first.
void TPackageResultForm::BitBtn1Click() {
  const std::string folder = mw::FolderPart(PackagePathText());
  bool opened = false;
  try {
    opened = desktop_.OpenWithDefaultProgram(folder);
  } catch (...) {
  }
  if (!opened) mw::ShowOkMessage(desktop_, "Could not open the folder " + folder, "!");
  accept();
}

void TPackageResultForm::BitBtn2Click() {
  const std::string path = PackagePathText();
  bool started = false;
  try {
    started = desktop_.StartProgram(path, mw::FolderPart(path));
  } catch (...) {
  }
  if (!started) mw::ShowOkMessage(desktop_, "Could not start the package " + path, "!");
  accept();
}
