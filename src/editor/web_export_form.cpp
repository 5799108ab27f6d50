#include "editor/web_export_form.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "webexport/export_places.h"

namespace mw {

namespace {

QString FromLocal(const std::string& text) {
  return QString::fromLocal8Bit(text);
}
std::string ToLocal(const QString& text) {
  return text.toLocal8Bit().toStdString();
}

QPushButton* MakeButton(QWidget* parent, const char* name, const QString& caption) {
  auto* button = new QPushButton(caption, parent);
  button->setObjectName(name);
  button->setAutoDefault(false);
  return button;
}

}  // namespace

TWebExportForm::TWebExportForm(Desktop& desktop, QWidget* parent)
    : QDialog(parent), desktop_(desktop) {
  setObjectName("WebExportForm");
  setWindowTitle("Export for Web");
  BuildControls();
}

void TWebExportForm::BuildControls() {
  auto* layout = new QVBoxLayout(this);
  folderChoice_ = new QRadioButton("A folder: index.html with the clips beside it", this);
  folderChoice_->setObjectName("FolderChoice");
  fileChoice_ =
      new QRadioButton("One file: a page with every clip inside, to send or move alone", this);
  fileChoice_->setObjectName("FileChoice");
  folderChoice_->setChecked(true);
  layout->addWidget(folderChoice_);
  layout->addWidget(fileChoice_);

  auto* form = new QFormLayout;
  auto* place = new QHBoxLayout;
  destination_ = new QLineEdit(this);
  destination_->setObjectName("Destination");
  destination_->setMinimumWidth(360);
  QPushButton* browse = MakeButton(this, "BrowseButton", "Browse...");
  place->addWidget(destination_, 1);
  place->addWidget(browse);
  form->addRow("Export to:", place);
  title_ = new QLineEdit(this);
  title_->setObjectName("PageTitle");
  form->addRow("Page title:", title_);
  message_ = new QPlainTextEdit(this);
  message_->setObjectName("StartMessage");
  message_->setTabChangesFocus(true);
  message_->setFixedHeight(80);
  form->addRow("Message when the page opens:", message_);
  layout->addLayout(form);

  auto* buttons = new QHBoxLayout;
  QPushButton* preview = MakeButton(this, "PreviewButton", "Preview in Browser");
  QPushButton* exportButton = MakeButton(this, "ExportButton", "Export");
  exportButton->setDefault(true);
  QPushButton* cancel = MakeButton(this, "CancelButton", "Cancel");
  buttons->addWidget(preview);
  buttons->addStretch(1);
  buttons->addWidget(exportButton);
  buttons->addWidget(cancel);
  layout->addLayout(buttons);

  connect(fileChoice_, &QRadioButton::toggled, this, [this] { FormChanged(); });
  connect(browse, &QPushButton::clicked, this, [this] { BrowseClick(); });
  connect(preview, &QPushButton::clicked, this, [this] { done(kPreviewResult); });
  connect(exportButton, &QPushButton::clicked, this, [this] { done(kModalOk); });
  connect(cancel, &QPushButton::clicked, this, [this] { done(kModalCancel); });
}

void TWebExportForm::SetChoice(const WebExportChoice& choice) {
  const QSignalBlocker blocker(fileChoice_);
  (choice.singleFile ? fileChoice_ : folderChoice_)->setChecked(true);
  destination_->setText(FromLocal(choice.destination));
  title_->setText(FromLocal(choice.title));
  message_->setPlainText(FromLocal(choice.message));
}

WebExportChoice TWebExportForm::Choice() const {
  return {fileChoice_->isChecked(), ToLocal(destination_->text().trimmed()),
          ToLocal(title_->text()), ToLocal(message_->toPlainText())};
}

void TWebExportForm::FormChanged() {
  destination_->setText(
      FromLocal(DestinationForForm(ToLocal(destination_->text()), fileChoice_->isChecked())));
}

void TWebExportForm::BrowseClick() {
  const bool single = fileChoice_->isChecked();
  FileDialogRequest request;
  request.title = single ? "Export to one file" : "Export to a new folder (type its name)";
  request.filter = single ? "Web pages(*.html)|*.html|All file types|*.*" : "Folders|*";
  request.defaultExtension = single ? "html" : "";
  request.initialPath = ToLocal(destination_->text());
  if (const std::optional<std::string> chosen = desktop_.ChooseFileToSave(request))
    destination_->setText(FromLocal(DestinationForForm(*chosen, single)));
}

}  // namespace mw
