#include "editor/map_steps.h"

#include <optional>
#include <string>
#include <utility>

#include "editor/history_step.h"

namespace mw {
namespace {

// Notches of the wheel further apart than this make steps of their own.
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
  using Change = ClipTextChange;
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
    auto step =
        std::make_unique<ClipTextsCommand>(history_, map_, text(), std::exchange(changes_, {}));
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

std::unique_ptr<HistoryStep> MarkAtStep(MapHistory& history, ClipMap& map, const char* text,
                                        std::size_t index, ClickerMark mark, bool adds) {
  return std::make_unique<MarkAtCommand>(history, map, text, index, std::move(mark), adds);
}

std::unique_ptr<HistoryStep> PlaceStep(MapHistory& history, ClipMap& map, const char* text,
                                       std::size_t index, MarkPlace after, int id,
                                       std::int64_t atMs) {
  return std::make_unique<PlaceCommand>(history, map, text, index, after, id, atMs);
}

std::unique_ptr<HistoryStep> ClearStep(MapHistory& history, ClipMap& map) {
  return std::make_unique<ClearCommand>(history, map);
}

std::unique_ptr<HistoryStep> ClipTextsStep(MapHistory& history, ClipMap& map, const QString& text,
                                           std::vector<ClipTextChange> changes) {
  return std::make_unique<ClipTextsCommand>(history, map, text, std::move(changes));
}

}  // namespace mw
