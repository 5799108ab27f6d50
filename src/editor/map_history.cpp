#include "editor/map_history.h"

#include <memory>
#include <utility>
#include <vector>

#include "editor/history_step.h"
#include "editor/map_steps.h"

namespace mw {

MapHistory::MapHistory(ClipMap& map, QObject* parent, std::size_t byteLimit)
    : QObject(parent), map_(map), byteLimit_(byteLimit) {}

MapHistory::~MapHistory() {
  // The steps are freed with the stack; they must not count themselves off afterwards.
  stack_.clear();
}

void MapHistory::Push(std::unique_ptr<HistoryStep> step) {
  if (group_) {
    group_->Add(std::move(step));
    return;
  }
  bytes_ += step->Count();
  // A step joined to the one before is deleted by the stack, counting itself off.
  stack_.push(step.release());
  DropOldestSteps();
}

void MapHistory::AddMark(ClickerMark mark) {
  Push(MarkAtStep(*this, map_, kAddMarkStep, map_.Count(), std::move(mark), true));
}

void MapHistory::DeleteMark(std::size_t index) {
  if (index >= map_.Count()) return;
  Push(MarkAtStep(*this, map_, kDeleteMarkStep, index, map_.At(index), false));
}

void MapHistory::MoveMark(std::size_t index, float x, float y, const char* text) {
  if (index >= map_.Count()) return;
  const ClickerMark& mark = map_.At(index);
  if (mark.X == x && mark.Y == y) return;
  Push(PlaceStep(*this, map_, text, index, MarkPlace{x, y, mark.Size}, -1, 0));
}

void MapHistory::ResizeMark(std::size_t index, std::int32_t size, std::int64_t atMs) {
  if (index >= map_.Count()) return;
  const ClickerMark& mark = map_.At(index);
  if (mark.Size == size) return;
  Push(PlaceStep(*this, map_, kResizeMarkStep, index, MarkPlace{mark.X, mark.Y, size},
                 kResizeStepId, atMs));
}

void MapHistory::ClearMarks() {
  Push(ClearStep(*this, map_));
}

std::size_t MapHistory::RenameClips(const std::map<std::string, std::string, std::less<>>& renames,
                                    const QString& text) {
  std::vector<ClipTextChange> changes;
  const auto renamed = [&](const MarkText& old) -> MarkText {
    const auto found = renames.find(std::string_view(old));
    return found == renames.end() ? old : MarkText(found->second);
  };
  for (std::size_t k = 0; k < map_.Count(); ++k) {
    const ClickerMark& mark = map_.At(k);
    MarkText clip = renamed(mark.Clip);
    MarkText next = renamed(mark.NextClip);
    if (clip == mark.Clip && next == mark.NextClip) continue;
    changes.push_back({k, {mark.Clip, std::move(clip)}, {mark.NextClip, std::move(next)}});
  }
  const std::size_t count = changes.size();
  if (count > 0) Push(ClipTextsStep(*this, map_, text, std::move(changes)));
  return count;
}

void MapHistory::BeginStep(const QString& text) {
  if (groupDepth_++ == 0) group_ = std::make_unique<StepGroup>(*this, text);
}

void MapHistory::EndStep() {
  if (groupDepth_ == 0 || --groupDepth_ > 0) return;
  std::unique_ptr<StepGroup> group = std::move(group_);
  if (group->Empty()) return;
  // Its changes are made already.
  group->SkipNextRedo();
  Push(std::move(group));
}

// The oldest steps go until the rest fit the limit; the newest step always stays. The
// stack cannot drop steps from its bottom, so it is filled anew with the steps kept,
// which are done already, and the save point is set where it was among them.
void MapHistory::DropOldestSteps() {
  const int count = stack_.count();
  if (bytes_ <= byteLimit_ || count < 2 || stack_.index() != count) return;
  std::size_t left = bytes_;
  int dropped = 0;
  while (dropped < count - 1 && left > byteLimit_) left -= StepAt(dropped++).Counted();
  std::vector<std::unique_ptr<HistoryStep>> kept;
  for (int k = dropped; k < count; ++k) kept.push_back(StepAt(k).MoveOut());
  const int cleanAt = stack_.cleanIndex() >= dropped ? stack_.cleanIndex() - dropped : -1;
  rebuilding_ = true;
  stack_.clear();
  for (std::size_t k = 0; k < kept.size(); ++k) {
    if (int(k) == cleanAt) stack_.setClean();
    kept[k]->SkipNextRedo();
    bytes_ += kept[k]->Count();
    stack_.push(kept[k].release());
  }
  if (cleanAt == int(kept.size())) stack_.setClean();
  if (cleanAt < 0) stack_.resetClean();
  rebuilding_ = false;
}

HistoryStep& MapHistory::StepAt(int index) {
  // Every step on the stack is one of ours; the stack only hands them out as const.
  return *const_cast<HistoryStep*>(static_cast<const HistoryStep*>(stack_.command(index)));
}

void MapHistory::Restart(bool saved) {
  stack_.clear();
  // An empty stack keeps its save point through clear(): set it either way.
  if (saved)
    stack_.setClean();
  else
    stack_.resetClean();
}

void MapHistory::MarkSaved() {
  stack_.setClean();
}

void MapHistory::ForgetSave() {
  stack_.resetClean();
}

}  // namespace mw
