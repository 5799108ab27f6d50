#pragma once
// The history of the changes to the map: every change is one step that can be undone
// and redone, and the point of the last save is remembered.

#include <QObject>
#include <QString>
#include <QUndoStack>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>

#include "map/clip_map.h"

namespace mw {

// The captions of the steps, as the Undo and Redo items name them.
inline constexpr const char* kAddMarkStep = "Add clicker mark";
inline constexpr const char* kEditMarkStep = "Edit clicker mark";
inline constexpr const char* kDeleteMarkStep = "Delete clicker mark";
inline constexpr const char* kMoveMarkStep = "Move clicker mark";
inline constexpr const char* kBringInsideStep = "Bring clicker mark inside";
inline constexpr const char* kResizeMarkStep = "Resize clicker mark";
inline constexpr const char* kNewMapStep = "New Map";
inline constexpr const char* kRelinkStep = "Find Missing Clips";
inline constexpr const char* kGatherStep = "Gather Clips";

// What a step did to the map, reported after it was done, undone or redone.
struct MapStep {
  // The clip of the mark it changed; none when it changed the marks of several clips.
  std::optional<std::string> clip;
  // True when the step was undone or redone, false when it was done the first time.
  bool replayed = false;
};

class HistoryStep;
class StepGroup;

// How many bytes the steps of a history keep at most, besides its newest step.
inline constexpr std::size_t kHistoryByteLimit = std::size_t{64} << 20;

// Changes the map only through steps of its undo stack. Each step keeps just the marks
// it changes and their positions in the map, never a copy of the map. The steps keep at
// most `byteLimit` bytes: when a new step passes it, the oldest steps are dropped (the
// newest is always kept).
class MapHistory : public QObject {
  Q_OBJECT
 public:
  explicit MapHistory(ClipMap& map, QObject* parent = nullptr,
                      std::size_t byteLimit = kHistoryByteLimit);
  ~MapHistory() override;

  // Appends `mark` to the map.
  void AddMark(ClickerMark mark);
  // Removes the mark at `index`; out of range: no step.
  void DeleteMark(std::size_t index);
  // Gives the mark at `index` a new centre, as a step named `text`; the same centre: no step.
  void MoveMark(std::size_t index, float x, float y, const char* text = kMoveMarkStep);
  // Gives the mark at `index` a new size. Notches of the wheel on the same mark less than
  // a second apart (`atMs` in milliseconds) make one step.
  void ResizeMark(std::size_t index, std::int32_t size, std::int64_t atMs);
  // Empties the map (New Map).
  void ClearMarks();
  // Gives every clip and target text named in `renames` its new text, as one step named
  // `text`; gives how many marks changed (none: no step).
  std::size_t RenameClips(const std::map<std::string, std::string, std::less<>>& renames,
                          const QString& text);
  // The changes until EndStep make one step named `text`.
  void BeginStep(const QString& text);
  void EndStep();

  // A fresh history on the present map; it counts as saved when `saved`.
  void Restart(bool saved);
  // The present state is the saved one.
  void MarkSaved();
  // No state counts as saved any more.
  void ForgetSave();
  // True while the map is as it was saved.
  bool AtSavePoint() const { return stack_.isClean(); }

  QUndoStack& Stack() { return stack_; }
  const ClipMap& Map() const { return map_; }

  // The bytes the steps keep now.
  std::size_t Bytes() const { return bytes_; }

  // Called by the steps themselves after they changed the map.
  void ReportStep(const MapStep& step) { emit StepApplied(step); }
  // Called by a step when it is deleted, with the bytes counted for it.
  void Forget(std::size_t bytes) { bytes_ -= bytes; }
  // True while the stack is filled anew with the steps kept.
  bool Rebuilding() const { return rebuilding_; }

 signals:
  // A step was done, undone or redone.
  void StepApplied(const mw::MapStep& step);

 private:
  void Push(std::unique_ptr<HistoryStep> step);
  void DropOldestSteps();
  HistoryStep& StepAt(int index);

  ClipMap& map_;
  std::size_t byteLimit_;
  std::size_t bytes_ = 0;
  bool rebuilding_ = false;
  std::unique_ptr<StepGroup> group_;  // the step being gathered between BeginStep and EndStep
  int groupDepth_ = 0;
  QUndoStack stack_;
};

// While it lives, the changes to the map make one step of the history named `text`;
// the step ends also when an error leaves the scope.
class ScopedStep {
 public:
  ScopedStep(MapHistory& history, const QString& text) : history_(history) {
    history_.BeginStep(text);
  }
  ~ScopedStep() { history_.EndStep(); }
  ScopedStep(const ScopedStep&) = delete;
  ScopedStep& operator=(const ScopedStep&) = delete;

 private:
  MapHistory& history_;
};

}  // namespace mw
