#include "player/unpack_gate_watch.h"

namespace mw {

UnpackGateWatch::UnpackGateWatch(UnpackGate gate, QObject* parent)
    : QObject(parent), gate_(std::move(gate)) {
  if (gate_.AllInPlace()) return;
  notifier_ = std::make_unique<QSocketNotifier>(gate_.Descriptor(), QSocketNotifier::Read);
  connect(notifier_.get(), &QSocketNotifier::activated, this,
          [this] { Read([this] { gate_.TakeAvailable(); }); });
}

UnpackGateWatch::~UnpackGateWatch() = default;

bool UnpackGateWatch::InPlace(const std::string& name) {
  Read([this] { gate_.TakeAvailable(); });
  return gate_.InPlace(name);
}

void UnpackGateWatch::WaitFor(const std::string& name) {
  Read([this, &name] { gate_.WaitFor(name); });
}

// The notifier is off while the gate reads, so that it is no longer watched when the gate
// closes its descriptor at the end; after the end it stays off.
template <class Reading>
void UnpackGateWatch::Read(Reading reading) {
  if (!notifier_ || !notifier_->isEnabled()) return;
  notifier_->setEnabled(false);
  reading();
  if (!gate_.AllInPlace()) {
    notifier_->setEnabled(true);
    return;
  }
  emit AllArrived();
}

}  // namespace mw
