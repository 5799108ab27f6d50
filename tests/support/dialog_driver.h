#pragma once
// Driving one of our own dialogs in a test as a person would: show it modally, act
// inside it, and see how it closed.

#include <gtest/gtest.h>

#include <QDialog>
#include <QTimer>
#include <functional>

namespace mw::test {

// The result a test sees when its actions left the dialog open.
inline constexpr int kLeftOpen = 99;

// Shows `dialog` modally, runs `whileOpen` inside, and closes the dialog with kLeftOpen
// if the actions did not close it. Gives the dialog's result.
inline int ShowAndDo(QDialog& dialog, const std::function<void()>& whileOpen) {
  QTimer::singleShot(0, &dialog, [&dialog, whileOpen] {
    whileOpen();
    if (dialog.isVisible()) dialog.done(kLeftOpen);
  });
  return dialog.exec();
}

// The control of `window` with the object name `name`; a test failure when missing.
template <typename T>
T* FindControl(QWidget& window, const char* name) {
  T* widget = window.findChild<T*>(name);
  if (widget == nullptr) ADD_FAILURE() << "no control " << name;
  return widget;
}

}  // namespace mw::test
