#include "editor/map_history.h"

#include <QUndoCommand>
#include <memory>
#include <utility>
#include <vector>

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

namespace {

constexpr int kResizeStepId = 1;
constexpr std::int64_t kWheelTurnMs = 1000;

std::size_t TextBytes(const ClickerMark& mark) {
  return sizeof(ClickerMark) + mark.Clip.size() + mark.NextClip.size() + mark.Reserved.size() +
         mark.Hint.size();
}

// A change of the map; tells the history after each change it made.
class MapCommand : public HistoryStep {
 public:
  MapCommand(MapHistory& history, ClipMap& map, const QString& text)
      : HistoryStep(history, text), map_(map) {}

 protected:
  void Redo() final {
    Apply();
    history_.ReportStep({Clip(), doneOnce_});
    doneOnce_ = true;
  }
  void Undo() final {
    Revert();
    history_.ReportStep({Clip(), true});
  }
  void MarkDone() { doneOnce_ = true; }

  virtual void Apply() = 0;
  virtual void Revert() = 0;
  virtual std::optional<std::string> Clip() const = 0;
  ClipMap& map_;

 private:
  bool doneOnce_ = false;
};

// A mark that comes or goes at one position of the map.
class MarkAtCommand : public MapCommand {
 public:
  MarkAtCommand(MapHistory& history, ClipMap& map, const char* text, std::size_t index,
                ClickerMark mark, bool adds)
      : MapCommand(history, map, QString::fromUtf8(text)),
        index_(index),
        mark_(std::move(mark)),
        adds_(adds) {}

  std::size_t Bytes() const override { return sizeof(*this) + TextBytes(mark_); }
  std::unique_ptr<HistoryStep> MoveOut() override {
    auto step = std::make_unique<MarkAtCommand>(history_, map_, "", index_,
                                                std::exchange(mark_, ClickerMark()), adds_);
    step->setText(text());
    step->MarkDone();
    return step;
  }

 protected:
  void Apply() override { adds_ ? Insert() : Remove(); }
  void Revert() override { adds_ ? Remove() : Insert(); }
  std::optional<std::string> Clip() const override { return mark_.Clip.str(); }

 private:
  void Insert() { map_.InsertAt(index_, mark_); }
  void Remove() { map_.RemoveAt(index_); }

  std::size_t index_;
  ClickerMark mark_;
  bool adds_;
};

// Where a mark sits and how far it reaches: what moving and resizing change.
struct MarkPlace {
  float x = 0;
  float y = 0;
  std::int32_t size = 0;
};

MarkPlace PlaceOf(const ClickerMark& mark) {
  return {mark.X, mark.Y, mark.Size};
}

// A mark moved or resized in place.
class PlaceCommand : public MapCommand {
 public:
  PlaceCommand(MapHistory& history, ClipMap& map, const char* text, std::size_t index,
               MarkPlace after, int id, std::int64_t atMs)
      : MapCommand(history, map, QString::fromUtf8(text)),
        index_(index),
        before_(PlaceOf(map.At(index))),
        after_(after),
        clip_(map.At(index).Clip.str()),
        id_(id),
        lastMs_(atMs) {}

  int id() const override { return id_; }
  // A notch of the same turn of the wheel on the same mark joins this step.
  bool mergeWith(const QUndoCommand* other) override {
    auto* next = static_cast<const PlaceCommand*>(other);
    if (history_.Rebuilding() || next->index_ != index_ ||
        next->lastMs_ - lastMs_ >= kWheelTurnMs || next->lastMs_ < lastMs_)
      return false;
    after_ = next->after_;
    lastMs_ = next->lastMs_;
    return true;
  }

  std::size_t Bytes() const override { return sizeof(*this) + clip_.size(); }
  std::unique_ptr<HistoryStep> MoveOut() override {
    auto step = std::unique_ptr<PlaceCommand>(new PlaceCommand(*this));
    step->MarkDone();
    clip_ = std::string();
    return step;
  }

 protected:
  void Apply() override { Put(after_); }
  void Revert() override { Put(before_); }
  std::optional<std::string> Clip() const override { return clip_; }

 private:
  // A fresh step with the same content (QUndoCommand itself cannot be copied).
  PlaceCommand(const PlaceCommand& other)
      : MapCommand(other.history_, other.map_, other.text()),
        index_(other.index_),
        before_(other.before_),
        after_(other.after_),
        clip_(other.clip_),
        id_(other.id_),
        lastMs_(other.lastMs_) {}

  void Put(const MarkPlace& place) {
    ClickerMark& mark = map_.MutableAt(index_);
    mark.X = place.x;
    mark.Y = place.y;
    mark.Size = place.size;
  }

  std::size_t index_;
  MarkPlace before_;
  MarkPlace after_;
  std::string clip_;
  int id_;
  std::int64_t lastMs_;
};

// The whole map emptied: the step keeps the marks that it took away.
class ClearCommand : public MapCommand {
 public:
  ClearCommand(MapHistory& history, ClipMap& map)
      : MapCommand(history, map, QString::fromUtf8(kNewMapStep)) {}

  // Before it is done the marks it will take are still the map's.
  std::size_t Bytes() const override {
    std::size_t bytes = sizeof(*this);
    for (const ClickerMark& mark : taken_.Empty() ? map_ : taken_) bytes += TextBytes(mark);
    return bytes;
  }
  std::unique_ptr<HistoryStep> MoveOut() override {
    auto step = std::make_unique<ClearCommand>(history_, map_);
    step->taken_ = std::exchange(taken_, ClipMap());
    step->MarkDone();
    return step;
  }

 protected:
  void Apply() override { taken_ = std::exchange(map_, ClipMap()); }
  void Revert() override { map_ = std::exchange(taken_, ClipMap()); }
  std::optional<std::string> Clip() const override { return std::nullopt; }

 private:
  ClipMap taken_;
};

// The clip and target texts of several marks changed at once (relinked or gathered clips).
class ClipTextsCommand : public MapCommand {
 public:
  // One mark's clip and target, before and after.
  struct Change {
    std::size_t index;
    MarkText clip[2];
    MarkText next[2];
  };
  ClipTextsCommand(MapHistory& history, ClipMap& map, const QString& text,
                   std::vector<Change> changes)
      : MapCommand(history, map, text), changes_(std::move(changes)) {}

  std::size_t Bytes() const override {
    std::size_t bytes = sizeof(*this);
    for (const Change& c : changes_)
      bytes += sizeof(Change) + c.clip[0].size() + c.clip[1].size() + c.next[0].size() +
               c.next[1].size();
    return bytes;
  }
  std::unique_ptr<HistoryStep> MoveOut() override {
    auto step = std::make_unique<ClipTextsCommand>(history_, map_, text(),
                                                   std::exchange(changes_, {}));
    step->MarkDone();
    return step;
  }

 protected:
  void Apply() override { Put(1); }
  void Revert() override { Put(0); }
  std::optional<std::string> Clip() const override { return std::nullopt; }

 private:
  void Put(int side) {
    for (const Change& change : changes_) {
      ClickerMark& mark = map_.MutableAt(change.index);
      mark.Clip = change.clip[side];
      mark.NextClip = change.next[side];
    }
  }

  std::vector<Change> changes_;
};

}  // namespace

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
  Push(std::make_unique<MarkAtCommand>(*this, map_, kAddMarkStep, map_.Count(), std::move(mark),
                                       true));
}

void MapHistory::DeleteMark(std::size_t index) {
  if (index >= map_.Count()) return;
  Push(std::make_unique<MarkAtCommand>(*this, map_, kDeleteMarkStep, index, map_.At(index),
                                       false));
}

void MapHistory::MoveMark(std::size_t index, float x, float y, const char* text) {
  if (index >= map_.Count()) return;
  const ClickerMark& mark = map_.At(index);
  if (mark.X == x && mark.Y == y) return;
  Push(std::make_unique<PlaceCommand>(*this, map_, text, index,
                                      MarkPlace{x, y, mark.Size}, -1, 0));
}

void MapHistory::ResizeMark(std::size_t index, std::int32_t size, std::int64_t atMs) {
  if (index >= map_.Count()) return;
  const ClickerMark& mark = map_.At(index);
  if (mark.Size == size) return;
  Push(std::make_unique<PlaceCommand>(*this, map_, kResizeMarkStep, index,
                                      MarkPlace{mark.X, mark.Y, size}, kResizeStepId, atMs));
}

void MapHistory::ClearMarks() {
  Push(std::make_unique<ClearCommand>(*this, map_));
}

std::size_t MapHistory::RenameClips(const std::map<std::string, std::string, std::less<>>& renames,
                                    const QString& text) {
  std::vector<ClipTextsCommand::Change> changes;
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
  if (count > 0) Push(std::make_unique<ClipTextsCommand>(*this, map_, text, std::move(changes)));
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
