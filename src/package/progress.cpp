#include "package/progress.h"

#include <QLabel>
#include <QProgressBar>
#include <QVBoxLayout>
#include <algorithm>

namespace {

// 301 x 141 at 120 pixels per inch.
constexpr int kWindowWidth = 241;
constexpr int kWindowHeight = 113;
constexpr int kGaugeMin = 0;
constexpr int kGaugeMax = 100;

}  // namespace

TProgressForm::TProgressForm(QWidget* parent) : QDialog(parent) {
  setObjectName("ProgressForm");
  setWindowTitle("Progress");
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                 Qt::WindowCloseButtonHint);
  setCursor(Qt::WaitCursor);
  resize(kWindowWidth, kWindowHeight);

  label2_ = new QLabel("Processing - please wait...", this);
  label2_->setObjectName("Label2");
  gauge_ = new QProgressBar(this);
  gauge_->setObjectName("CGauge1");
  gauge_->setRange(kGaugeMin, kGaugeMax);
  gauge_->setValue(kGaugeMin);
  gauge_->setFormat("%p%");
  gauge_->setTextVisible(true);
  gauge_->setAlignment(Qt::AlignCenter);
  label1_ = new QLabel("Label1", this);
  label1_->setObjectName("Label1");

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(label2_);
  layout->addWidget(gauge_);
  layout->addWidget(label1_);
}

void TProgressForm::ShowStep(const std::string& text, int percent) {
  QString shown = QString::fromLocal8Bit(text.c_str());
  label1_->setText(shown);
  setWindowTitle(shown);
  gauge_->setValue(std::clamp(percent, kGaugeMin, kGaugeMax));
}

int TProgressForm::GaugeValue() const {
  return gauge_->value();
}

std::string TProgressForm::StepText() const {
  return label1_->text().toLocal8Bit().toStdString();
}

void TProgressForm::SetStayOnTop(bool onTop) {
  if (windowFlags().testFlag(Qt::WindowStaysOnTopHint) == onTop) return;
  bool shown = isVisible();
  setWindowFlag(Qt::WindowStaysOnTopHint, onTop);
  if (shown) show();
}
