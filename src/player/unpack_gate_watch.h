#pragma once
// The player window's view of the unpack gate: reads on while the window runs and tells
// when every file is in place.

#include <QObject>
#include <QSocketNotifier>
#include <memory>
#include <string>

#include "player/unpack_gate.h"

namespace mw {

// Follows the gate from the event loop: takes the names as they come and signals once
// when the pipe's end shows that every file is in place. Without a gate every file is in
// place from the start and the signal never comes.
class UnpackGateWatch : public QObject {
  Q_OBJECT

 public:
  explicit UnpackGateWatch(UnpackGate gate, QObject* parent = nullptr);
  ~UnpackGateWatch() override;

  bool AllInPlace() const { return gate_.AllInPlace(); }
  // Whether the file `name` (a bare file name) is in place, after taking what the pipe
  // holds now.
  bool InPlace(const std::string& name);
  // Waits, blocking, until the file `name` is in place or every file is. For what must be
  // there before anything shows; the package puts those files in place first.
  void WaitFor(const std::string& name);

 signals:
  // Every file is in place now.
  void AllArrived();

 private:
  // Runs `reading` with the notifier off, then tells the end when it came.
  template <class Reading>
  void Read(Reading reading);

  UnpackGate gate_;
  // Declared after the gate so that it goes before the gate closes its descriptor.
  std::unique_ptr<QSocketNotifier> notifier_;
};

}  // namespace mw
