#include "about/ads.h"

#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPixmap>
#include <QPushButton>
#include <QScreen>
#include <QShowEvent>
#include <QStyle>
#include <algorithm>
#include <functional>
#include <string>

// The banner lives in a static library: its resource must be registered by hand.
static void RegisterAboutResources() {
  Q_INIT_RESOURCE(about);
}

namespace mw {
namespace {

constexpr int kBottomMargin = 12;
const char* const kBannerResource = ":/about/banner.png";
const char* const kSharpBannerResource = ":/about/banner@2x.png";
const char* const kVersionText = "Version " MW_VERSION;

// A read-only address field that looks like a link and acts on a left click.
class AddressField : public QLineEdit {
 public:
  AddressField(const char* text, std::function<void()> onClick, QWidget* parent)
      : QLineEdit(QString::fromUtf8(text), parent), onClick_(std::move(onClick)) {
    setReadOnly(true);
    setFrame(false);
    setCursor(Qt::PointingHandCursor);
    QFont underlined = font();
    underlined.setUnderline(true);
    setFont(underlined);
    QPalette colours = palette();
    colours.setColor(QPalette::Base, Qt::white);
    colours.setColor(QPalette::Text, colours.color(QPalette::Active, QPalette::Highlight));
    setPalette(colours);
  }

 protected:
  void mouseReleaseEvent(QMouseEvent* event) override {
    QLineEdit::mouseReleaseEvent(event);
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint())) {
      onClick_();
    }
  }

 private:
  std::function<void()> onClick_;
};

QLabel* MakeLabel(QWidget* parent, const char* name, const char* text, int left, int top,
                  bool bold = false) {
  auto* label = new QLabel(QString::fromUtf8(text), parent);
  label->setObjectName(name);
  if (bold) {
    QFont font = label->font();
    font.setBold(true);
    label->setFont(font);
  }
  label->move(left, top);
  label->adjustSize();
  return label;
}

AddressField* MakeAddressField(QWidget* parent, const char* name, const char* text, int left,
                               int top, int width, std::function<void()> onClick) {
  auto* field = new AddressField(text, std::move(onClick), parent);
  field->setObjectName(name);
  // As tall as its text, so that the text sits level with the label beside it.
  field->setGeometry(left, top, width, field->fontMetrics().height() + 2);
  return field;
}

QPushButton* MakeButton(QWidget* parent, const char* name, const char* text,
                        QStyle::StandardPixmap picture, const QRect& geometry) {
  auto* button =
      new QPushButton(parent->style()->standardIcon(picture), QString::fromUtf8(text), parent);
  button->setObjectName(name);
  button->setGeometry(geometry);
  return button;
}

// The ratio of the banner drawn for a screen of device pixel ratio `screen_ratio`: the
// version at twice the size wherever a pixel has more than one device pixel.
qreal BannerRatio(qreal screen_ratio) {
  return screen_ratio <= 1.0 ? 1.0 : 2.0;
}

QPixmap BannerFor(qreal screen_ratio) {
  const qreal ratio = BannerRatio(screen_ratio);
  QPixmap banner(ratio == 1.0 ? kBannerResource : kSharpBannerResource);
  banner.setDevicePixelRatio(ratio);
  return banner;
}

}  // namespace

TAdForm::TAdForm(Desktop& desktop, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowStaysOnTopHint),
      desktop_(desktop) {
  RegisterAboutResources();
  setObjectName("AdForm");
  setWindowTitle("Powered by MarkWeaver");
  setAutoFillBackground(true);
  QPalette white = palette();
  white.setColor(QPalette::Window, Qt::white);
  setPalette(white);
  BuildBanner();
  BuildProductLines();
  BuildAddressLines();
  BuildButtons();
  FitToContent();
}

void TAdForm::BuildBanner() {
  MakeLabel(this, "Label1", "Powered by", 7, 0);
  banner_ = new QLabel(this);
  banner_->setObjectName("Image1");
  banner_->setAlignment(Qt::AlignCenter);
  banner_->setGeometry(0, 24, 445, 179);
  ShowBannerForScreen();
}

void TAdForm::ShowBannerForScreen() {
  const qreal ratio = devicePixelRatioF();
  if (!banner_->pixmap().isNull() && banner_->pixmap().devicePixelRatio() == BannerRatio(ratio))
    return;
  banner_->setPixmap(BannerFor(ratio));
}

bool TAdForm::event(QEvent* event) {
  const bool handled = QDialog::event(event);
  if (event->type() == QEvent::ScreenChangeInternal) ShowBannerForScreen();
  return handled;
}

void TAdForm::BuildProductLines() {
  QLabel* name = MakeLabel(this, "Label2", "MarkWeaver", 37, 209, /*bold=*/true);
  // A wide font must not run the name into the version.
  int nameEnd = name->geometry().right() + 1 + name->fontMetrics().horizontalAdvance(' ');
  MakeLabel(this, "VersionText", kVersionText, std::max(125, nameEnd), 209, /*bold=*/true);
}

void TAdForm::BuildAddressLines() {
  MakeLabel(this, "Label5", "Website:", 37, 232);
  AddressField* page =
      MakeAddressField(this, "Edit1", ProductPage, 98, 233, 309, [this] { Edit1Click(); });
  page->setFocusPolicy(Qt::ClickFocus);
  page->setToolTip("click to go to the web site");
  MakeLabel(this, "Label4", "Email:", 37, 257);
  MakeAddressField(this, "Edit2", AuthorMailAddress, 98, 257, 167, [this] { Edit2Click(); });
  MakeLabel(this, "Label6", "Comment and suggestion are most welcome.", 37, 286);
}

void TAdForm::BuildButtons() {
  QPushButton* getOwn = MakeButton(this, "BitBtn2", "Get your own MarkWeaver today!",
                                   QStyle::SP_ArrowRight, QRect(34, 315, 224, 32));
  QPushButton* ok =
      MakeButton(this, "BitBtn1", "OK", QStyle::SP_DialogOkButton, QRect(316, 315, 96, 32));
  ok->setDefault(true);
  okButton_ = ok;
  connect(getOwn, &QPushButton::clicked, this, &TAdForm::BitBtn2Click);
  connect(ok, &QPushButton::clicked, this, &TAdForm::BitBtn1Click);
}

// The window is as large as its content, with a margin below the buttons.
void TAdForm::FitToContent() {
  QRect content = childrenRect();
  setFixedSize(content.right() + 1, content.bottom() + 1 + kBottomMargin);
}

void TAdForm::reject() {}

void TAdForm::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (event->spontaneous()) return;  // the window coming back from being minimised
  CentreOnScreen();
  ShowBannerForScreen();
  okButton_->setFocus(Qt::OtherFocusReason);
}

void TAdForm::CentreOnScreen() {
  QScreen* shownOn = screen();
  if (shownOn == nullptr) return;
  QRect frame = frameGeometry();
  frame.moveCenter(shownOn->availableGeometry().center());
  move(frame.topLeft());
}

void TAdForm::Edit1Click() {
  OpenLink(ProductPage, "the web page");
}

void TAdForm::Edit2Click() {
  OpenLink(std::string("mailto:") + AuthorMailAddress, "a new mail to");
}

void TAdForm::BitBtn2Click() {
  OpenLink(ProductPage, "the web page");
}

void TAdForm::OpenLink(const std::string& link, const std::string& what) {
  // The desktop may answer after the window has closed: the person is told all the same.
  Desktop& desktop = desktop_;
  desktop_.OpenOrTell(link, [&desktop, link, what](const std::string& reason) {
    std::string text = "The desktop could not open " + what + ":\n" + link;
    if (!reason.empty()) text += "\n(" + reason + ")";
    desktop.ShowMessage({text, {}, MessageButtons::Ok, MessageIcon::Warning});
  });
}

void TAdForm::BitBtn1Click() {
  done(kModalOk);
}

}  // namespace mw
