#include "editor/mark_size_box.h"

#include <QLineEdit>
#include <algorithm>
#include <optional>

namespace mw {
namespace {

std::optional<int> ParseTyped(const QString& text) {
  bool ok = false;
  int value = text.trimmed().toInt(&ok);
  return ok ? std::optional<int>(value) : std::nullopt;
}

int Clamp(int value) { return std::clamp(value, MarkSizeBox::kMinimum, MarkSizeBox::kMaximum); }

}  // namespace

MarkSizeBox::MarkSizeBox(QWidget* parent) : QSpinBox(parent) {
  setRange(kMinimum, kMaximum);
  setValue(kStart);
  setCorrectionMode(QAbstractSpinBox::CorrectToNearestValue);
}

int MarkSizeBox::MarkSize() {
  auto typed = ParseTyped(lineEdit()->text());
  if (!typed) {
    setValue(kMinimum);
    lineEdit()->setText(QString::number(kMinimum));
    return kMinimum;
  }
  return value();
}

QValidator::State MarkSizeBox::validate(QString& input, int& /*pos*/) const {
  // Any number may be typed; it is pulled into the range when the box loses the focus.
  QString text = input.trimmed();
  if (text.isEmpty() || text == "-" || text == "+") return QValidator::Intermediate;
  auto typed = ParseTyped(text);
  if (!typed) return QValidator::Invalid;
  return *typed >= kMinimum && *typed <= kMaximum ? QValidator::Acceptable
                                                  : QValidator::Intermediate;
}

void MarkSizeBox::fixup(QString& input) const {
  auto typed = ParseTyped(input);
  input = QString::number(typed ? Clamp(*typed) : kMinimum);
}

void MarkSizeBox::focusOutEvent(QFocusEvent* event) {
  auto typed = ParseTyped(lineEdit()->text());
  int corrected = typed ? Clamp(*typed) : kMinimum;
  if (!typed || *typed != corrected || corrected != value()) {
    setValue(corrected);
    lineEdit()->setText(QString::number(corrected));
  }
  QSpinBox::focusOutEvent(event);
}

}  // namespace mw
