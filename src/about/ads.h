#pragma once
// The about window: the product name and version, the product web page and the
// author's mail address.

#include <QDialog>
#include <QLabel>
#include <string>

#include "desktop/desktop.h"

class QPushButton;
class QShowEvent;

namespace mw {

// The product web page, shown in the window and opened by its clicks.
inline constexpr char ProductPage[] = MW_HOME_PAGE;
// The author's mail address; a click on it starts a mail with "mailto:".
inline constexpr char AuthorMailAddress[] = MW_MAIL_ADDRESS;

// "Powered by MarkWeaver": shown modally from the editor's About button, kept above the
// other windows, with no title-bar buttons, so that only its OK button (result
// kModalOk) closes it.
class TAdForm : public QDialog {
  Q_OBJECT

 public:
  // `desktop` opens the web page and the mail program; it must outlive the window.
  explicit TAdForm(Desktop& desktop, QWidget* parent = nullptr);

  // Escape and a window-manager close do nothing: only OK closes the window.
  void reject() override;

 protected:
  bool event(QEvent* event) override;
  void showEvent(QShowEvent* event) override;

 private:
  void BuildBanner();
  // Shows the banner drawn for the ratio of the screen the window is on.
  void ShowBannerForScreen();
  void BuildProductLines();
  void BuildAddressLines();
  void BuildButtons();
  void FitToContent();
  void CentreOnScreen();

  void Edit1Click();
  void Edit2Click();
  void BitBtn2Click();
  void BitBtn1Click();
  // Asks the desktop to open `link`; tells the person when it cannot ("the desktop could
  // not open " + `what`).
  void OpenLink(const std::string& link, const std::string& what);

  Desktop& desktop_;
  QPushButton* okButton_ = nullptr;
  QLabel* banner_ = nullptr;
};

}  // namespace mw
