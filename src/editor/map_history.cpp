#include "editor/map_history.h"

#include <QUndoCommand>
#include <utility>

namespace mw {
namespace {

constexpr int kResizeStepId = 1;
constexpr std::int64_t kWheelTurnMs = 1000;

// A step of the map's history; tells the history after each change it made.
class MapCommand : public QUndoCommand {
 public:
  MapCommand(MapHistory& history, ClipMap& map, const char* text)
      : QUndoCommand(QString::fromUtf8(text)), map_(map), history_(history) {}

  void redo() final {
    Apply();
    history_.ReportStep({Clip(), doneOnce_});
    doneOnce_ = true;
  }
  void undo() final {
    Revert();
    history_.ReportStep({Clip(), true});
  }

 protected:
  virtual void Apply() = 0;
  virtual void Revert() = 0;
  virtual std::optional<std::string> Clip() const = 0;
  ClipMap& map_;

 private:
  MapHistory& history_;
  bool doneOnce_ = false;
};

// A mark that comes or goes at one position of the map.
class MarkAtCommand : public MapCommand {
 public:
  MarkAtCommand(MapHistory& history, ClipMap& map, const char* text, std::size_t index,
                ClickerMark mark, bool adds)
      : MapCommand(history, map, text), index_(index), mark_(std::move(mark)), adds_(adds) {}

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
      : MapCommand(history, map, text),
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
    if (next->index_ != index_ || next->lastMs_ - lastMs_ >= kWheelTurnMs ||
        next->lastMs_ < lastMs_)
      return false;
    after_ = next->after_;
    lastMs_ = next->lastMs_;
    return true;
  }

 protected:
  void Apply() override { Put(after_); }
  void Revert() override { Put(before_); }
  std::optional<std::string> Clip() const override { return clip_; }

 private:
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
  ClearCommand(MapHistory& history, ClipMap& map) : MapCommand(history, map, kNewMapStep) {}

 protected:
  void Apply() override { taken_ = std::exchange(map_, ClipMap()); }
  void Revert() override { map_ = std::exchange(taken_, ClipMap()); }
  std::optional<std::string> Clip() const override { return std::nullopt; }

 private:
  ClipMap taken_;
};

}  // namespace

MapHistory::MapHistory(ClipMap& map, QObject* parent) : QObject(parent), map_(map) {}

void MapHistory::AddMark(ClickerMark mark) {
  stack_.push(new MarkAtCommand(*this, map_, kAddMarkStep, map_.Count(), std::move(mark), true));
}

void MapHistory::DeleteMark(std::size_t index) {
  if (index >= map_.Count()) return;
  stack_.push(new MarkAtCommand(*this, map_, kDeleteMarkStep, index, map_.At(index), false));
}

void MapHistory::MoveMark(std::size_t index, float x, float y) {
  if (index >= map_.Count()) return;
  const ClickerMark& mark = map_.At(index);
  if (mark.X == x && mark.Y == y) return;
  stack_.push(new PlaceCommand(*this, map_, kMoveMarkStep, index, {x, y, mark.Size}, -1, 0));
}

void MapHistory::ResizeMark(std::size_t index, std::int32_t size, std::int64_t atMs) {
  if (index >= map_.Count()) return;
  const ClickerMark& mark = map_.At(index);
  if (mark.Size == size) return;
  stack_.push(new PlaceCommand(*this, map_, kResizeMarkStep, index, {mark.X, mark.Y, size},
                               kResizeStepId, atMs));
}

void MapHistory::ClearMarks() {
  stack_.push(new ClearCommand(*this, map_));
}

void MapHistory::BeginStep(const QString& text) {
  stack_.beginMacro(text);
}

void MapHistory::EndStep() {
  stack_.endMacro();
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
