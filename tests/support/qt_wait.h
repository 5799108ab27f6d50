#pragma once
// Waiting in a window test for what the event loop brings about.

#include <QDeadlineTimer>
#include <QTest>

namespace mw::test {

// Polls `condition` while processing events, until it holds or `timeout_ms` passes.
template <class Condition>
bool WaitFor(Condition condition, int timeout_ms = 5000) {
  QDeadlineTimer deadline(timeout_ms);
  while (!condition()) {
    if (deadline.hasExpired()) return false;
    QTest::qWait(5);
  }
  return true;
}

}  // namespace mw::test
