#pragma once
// The "Mark Size" box: an integer from 5 to 99 with up and down buttons.

#include <QSpinBox>

namespace mw {

// Keeps the mark size within 5 to 99: a typed number outside the range is pulled
// to the nearest bound when the box loses the focus, and reading the box while its
// text is no number gives 5 and shows 5. Every change of the value is reported by
// QSpinBox::valueChanged.
class MarkSizeBox : public QSpinBox {
  Q_OBJECT
 public:
  static constexpr int kMinimum = 5;
  static constexpr int kMaximum = 99;
  static constexpr int kStart = 10;

  explicit MarkSizeBox(QWidget* parent = nullptr);
  // The mark size; puts 5 into the box when its text is no number.
  int MarkSize();

 protected:
  QValidator::State validate(QString& input, int& pos) const override;
  void fixup(QString& input) const override;
  void focusOutEvent(QFocusEvent* event) override;
};

}  // namespace mw
