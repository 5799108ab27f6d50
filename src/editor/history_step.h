#pragma once
// The steps of the map's history as its undo stack holds them, and the group that gathers
// several changes into one step.

#include <QUndoCommand>
#include <cstddef>
#include <memory>
#include <utility>
#include <vector>

#include "editor/map_history.h"

namespace mw {

// A step of the map's history as the undo stack holds it: it knows how many bytes it keeps
// and can hand its content over to a fresh step, which the history pushes again when it
// drops its oldest steps.
class HistoryStep : public QUndoCommand {
 public:
  HistoryStep(MapHistory& history, const QString& text) : QUndoCommand(text), history_(history) {}
  ~HistoryStep() override { history_.Forget(counted_); }

  // The bytes this step keeps alive, itself included.
  virtual std::size_t Bytes() const = 0;
  // A step with this one's content, which counts as done already: pushing it changes
  // nothing. This one is left empty.
  virtual std::unique_ptr<HistoryStep> MoveOut() = 0;

  // The history counts this step's bytes from now on, until the step is deleted; gives
  // how many that is.
  std::size_t Count() {
    counted_ = Bytes();
    return counted_;
  }
  std::size_t Counted() const { return counted_; }
  // The next redo is the push of a step that was done already.
  void SkipNextRedo() { skipRedo_ = true; }

  void redo() final {
    if (std::exchange(skipRedo_, false)) return;
    Redo();
  }
  void undo() final { Undo(); }

 protected:
  virtual void Redo() = 0;
  virtual void Undo() = 0;
  MapHistory& history_;

 private:
  std::size_t counted_ = 0;  // the bytes the history counts for this step
  bool skipRedo_ = false;
};

// Changes made between BeginStep and EndStep: one step, done and undone as a whole.
class StepGroup : public HistoryStep {
 public:
  StepGroup(MapHistory& history, const QString& text) : HistoryStep(history, text) {}

  // Does `step` now and keeps it as part of the group.
  void Add(std::unique_ptr<HistoryStep> step) {
    step->redo();
    steps_.push_back(std::move(step));
  }
  bool Empty() const { return steps_.empty(); }

  std::size_t Bytes() const override {
    std::size_t bytes = sizeof(*this);
    for (const auto& step : steps_) bytes += step->Bytes();
    return bytes;
  }
  std::unique_ptr<HistoryStep> MoveOut() override {
    auto group = std::make_unique<StepGroup>(history_, text());
    group->steps_ = std::move(steps_);
    steps_.clear();
    return group;
  }

 protected:
  void Redo() override {
    for (auto& step : steps_) step->redo();
  }
  void Undo() override {
    for (auto step = steps_.rbegin(); step != steps_.rend(); ++step) (*step)->undo();
  }

 private:
  std::vector<std::unique_ptr<HistoryStep>> steps_;
};

}  // namespace mw
