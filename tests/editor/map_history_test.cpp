// The history of map changes: long random sequences of every step, undone and redone,
// against a model that keeps a copy of the whole map after each step; and what the
// steps report and how the wheel's notches join.
#include "editor/map_history.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <optional>
#include <random>
#include <utility>
#include <vector>

#include "../map/temp_folder.h"
#include "map/map_file.h"

namespace mw {
namespace {

ClickerMark MakeMark(const std::string& clip, int n) {
  ClickerMark mark;
  mark.Clip = clip;
  mark.X = static_cast<float>(n % 97) / 97;
  mark.Y = static_cast<float>(n % 89) / 89;
  mark.Size = 5 + n % 95;
  mark.NextClip = "/tour/target" + std::to_string(n) + ".jpg";
  mark.Reserved = "<reserved>";
  mark.Hint = "mark " + std::to_string(n);
  mark.AreaWidth = 640;
  mark.AreaHeight = 480;
  return mark;
}

// A map read from a real file, so that its texts lie in the file's text.
ClipMap ReadStartMap(const test::TempFolder& folder, int count) {
  std::vector<ClickerMark> marks;
  for (int i = 0; i < count; ++i)
    marks.push_back(MakeMark("/tour/clip" + std::to_string(i % 3), i));
  const std::string path = folder.File("start.clm");
  EXPECT_EQ(WriteMapFile(path, {640, 520}, marks).status, MapWriteStatus::Written);
  MapFileContent content = ReadMapFile(path);
  EXPECT_EQ(content.status, MapReadStatus::Loaded);
  return std::move(content.marks);
}

// The map after every step of the history, the present step and the saved one.
class HistoryModel {
 public:
  explicit HistoryModel(std::vector<ClickerMark> start) : states_{std::move(start)}, turns_(1) {}

  const std::vector<ClickerMark>& Now() const { return states_[index_]; }
  bool AtSave() const { return saved_ == index_; }
  bool CanUndo() const { return index_ > 0; }
  bool CanRedo() const { return index_ + 1 < states_.size(); }

  void Push(std::vector<ClickerMark> next) { PushTurn(std::move(next), std::nullopt); }
  // A notch of the wheel: joins the step before when it resized the same mark less
  // than a second earlier and that step is not the saved state.
  void Resize(std::size_t mark, std::int32_t size, std::int64_t ms) {
    if (Now()[mark].Size == size) return;
    std::vector<ClickerMark> next = Now();
    next[mark].Size = size;
    DropRedo();
    std::optional<Turn>& top = turns_[index_];
    if (index_ > 0 && top && top->mark == mark && ms >= top->lastMs && ms - top->lastMs < 1000 &&
        saved_ != index_) {
      states_[index_] = std::move(next);
      top->lastMs = ms;
      return;
    }
    PushTurn(std::move(next), Turn{mark, ms});
  }
  void Undo() {
    if (CanUndo()) --index_;
  }
  void Redo() {
    if (CanRedo()) ++index_;
  }
  void Save() { saved_ = index_; }
  void ForgetSave() { saved_.reset(); }
  // Forgets the oldest steps, as the history does past its byte limit: `undoable` steps
  // can be undone afterwards.
  void KeepUndoable(std::size_t undoable) {
    if (undoable >= index_) return;
    const std::size_t dropped = index_ - undoable;
    states_.erase(states_.begin(), states_.begin() + static_cast<std::ptrdiff_t>(dropped));
    turns_.erase(turns_.begin(), turns_.begin() + static_cast<std::ptrdiff_t>(dropped));
    turns_.front().reset();
    index_ -= dropped;
    if (saved_) saved_ = *saved_ >= dropped ? std::optional(*saved_ - dropped) : std::nullopt;
  }
  void Restart(bool saved) {
    states_ = {Now()};
    turns_ = {std::nullopt};
    index_ = 0;
    saved_ = saved ? std::optional<std::size_t>(0) : std::nullopt;
  }

 private:
  struct Turn {
    std::size_t mark;
    std::int64_t lastMs;
  };
  void DropRedo() {
    states_.resize(index_ + 1);
    turns_.resize(index_ + 1);
    if (saved_ && *saved_ > index_) saved_.reset();
  }
  void PushTurn(std::vector<ClickerMark> next, std::optional<Turn> turn) {
    DropRedo();
    states_.push_back(std::move(next));
    turns_.push_back(turn);
    ++index_;
  }

  std::vector<std::vector<ClickerMark>> states_;
  std::vector<std::optional<Turn>> turns_;  // the wheel turn that made each state, if one did
  std::size_t index_ = 0;
  std::optional<std::size_t> saved_ = 0;
};

// Drives the real history and the model with the same random steps.
class RandomSteps {
 public:
  RandomSteps(unsigned seed, ClipMap& map, MapHistory& history, HistoryModel& model)
      : random_(seed), map_(map), history_(history), model_(model) {}

  void One() {
    const int choice = Pick(0, 11);
    const std::size_t count = map_.Count();
    if (count == 0 && choice >= 1 && choice <= 4) return Add();
    switch (choice) {
      case 0:
        return Add();
      case 1:
        return Delete(Pick(0, static_cast<int>(count) - 1));
      case 2:
        return Move(Pick(0, static_cast<int>(count) - 1));
      case 3:
        return Resize(Pick(0, static_cast<int>(count) - 1));
      case 4:
        return Edit(Pick(0, static_cast<int>(count) - 1));
      case 5:
      case 6:
        history_.Stack().undo();
        return model_.Undo();
      case 7:
        history_.Stack().redo();
        return model_.Redo();
      case 8:
        history_.MarkSaved();
        return model_.Save();
      case 9:
        if (Pick(0, 9) == 0) {
          history_.ClearMarks();
          return model_.Push({});
        }
        return Resize(count ? Pick(0, static_cast<int>(count) - 1) : 0);
      case 10:
        if (Pick(0, 14) == 0) {
          const bool saved = Pick(0, 1) == 1;
          history_.Restart(saved);
          return model_.Restart(saved);
        }
        history_.Stack().undo();
        return model_.Undo();
      default:
        if (Pick(0, 19) == 0) {
          history_.ForgetSave();
          return model_.ForgetSave();
        }
        history_.Stack().redo();
        return model_.Redo();
    }
  }

 private:
  int Pick(int low, int high) { return std::uniform_int_distribution<int>(low, high)(random_); }

  void Add() {
    ClickerMark mark = MakeMark("/tour/clip" + std::to_string(Pick(0, 2)), Pick(0, 100000));
    std::vector<ClickerMark> next = model_.Now();
    next.push_back(mark);
    history_.AddMark(mark);
    model_.Push(std::move(next));
  }
  void Delete(int index) {
    std::vector<ClickerMark> next = model_.Now();
    next.erase(next.begin() + index);
    history_.DeleteMark(static_cast<std::size_t>(index));
    model_.Push(std::move(next));
  }
  void Move(int index) {
    const float x = static_cast<float>(Pick(0, 639)) / 640;
    const float y = static_cast<float>(Pick(0, 479)) / 480;
    std::vector<ClickerMark> next = model_.Now();
    ClickerMark& mark = next[static_cast<std::size_t>(index)];
    history_.MoveMark(static_cast<std::size_t>(index), x, y);
    if (mark.X == x && mark.Y == y) return;
    mark.X = x;
    mark.Y = y;
    model_.Push(std::move(next));
  }
  void Resize(int index) {
    if (map_.Empty()) return;
    clockMs_ += std::array<int, 4>{40, 300, 999, 1500}[static_cast<std::size_t>(Pick(0, 3))];
    const std::int32_t size = map_.At(static_cast<std::size_t>(index)).Size + Pick(-2, 2);
    const std::int32_t kept = std::clamp(size, 5, 99);
    history_.ResizeMark(static_cast<std::size_t>(index), kept, clockMs_);
    model_.Resize(static_cast<std::size_t>(index), kept, clockMs_);
  }
  // Editing: the mark goes and a new one comes at the end, in one step.
  void Edit(int index) {
    ClickerMark mark = MakeMark(map_.At(static_cast<std::size_t>(index)).Clip.str(), Pick(0, 1000));
    std::vector<ClickerMark> next = model_.Now();
    next.erase(next.begin() + index);
    next.push_back(mark);
    history_.BeginStep(kEditMarkStep);
    history_.DeleteMark(static_cast<std::size_t>(index));
    history_.AddMark(mark);
    history_.EndStep();
    model_.Push(std::move(next));
  }

  std::mt19937 random_;
  ClipMap& map_;
  MapHistory& history_;
  HistoryModel& model_;
  std::int64_t clockMs_ = 0;
};

TEST(MapHistoryTest, LongRandomSequencesMatchAModelThatCopiesTheMap) {
  test::TempFolder folder;
  // The later seeds run with a byte limit that only a few steps fit.
  for (unsigned seed = 1; seed <= 16; ++seed) {
    ClipMap map = ReadStartMap(folder, 6);
    const std::size_t limit = seed <= 12 ? kHistoryByteLimit : 2000 * (seed - 11);
    MapHistory history(map, nullptr, limit);
    HistoryModel model(map.Marks());
    RandomSteps steps(seed, map, history, model);
    for (int step = 0; step < 600; ++step) {
      steps.One();
      model.KeepUndoable(static_cast<std::size_t>(history.Stack().index()));
      ASSERT_TRUE(history.Bytes() <= limit || history.Stack().count() == 1)
          << "seed " << seed << " step " << step << ": " << history.Bytes();
      ASSERT_EQ(map.Marks(), model.Now()) << "seed " << seed << " step " << step;
      ASSERT_EQ(history.AtSavePoint(), model.AtSave()) << "seed " << seed << " step " << step;
      ASSERT_EQ(history.Stack().canUndo(), model.CanUndo()) << "seed " << seed << " step " << step;
      ASSERT_EQ(history.Stack().canRedo(), model.CanRedo()) << "seed " << seed << " step " << step;
    }
  }
}

// Collects what the steps report.
struct StepLog {
  std::vector<MapStep> steps;
  explicit StepLog(MapHistory& history) {
    QObject::connect(&history, &MapHistory::StepApplied,
                     [this](const MapStep& step) { steps.push_back(step); });
  }
};

TEST(MapHistoryTest, StepsReportTheirClipAndWhetherTheyWereReplayed) {
  ClipMap map;
  MapHistory history(map);
  StepLog log(history);
  history.AddMark(MakeMark("/tour/a.jpg", 1));
  history.AddMark(MakeMark("/tour/b.jpg", 2));
  history.MoveMark(0, 0.5f, 0.25f);
  history.ClearMarks();
  ASSERT_EQ(log.steps.size(), 4u);
  EXPECT_EQ(log.steps[0].clip, "/tour/a.jpg");
  EXPECT_EQ(log.steps[1].clip, "/tour/b.jpg");
  EXPECT_EQ(log.steps[2].clip, "/tour/a.jpg");
  EXPECT_EQ(log.steps[3].clip, std::nullopt);
  for (const MapStep& step : log.steps) EXPECT_FALSE(step.replayed);

  history.Stack().undo();  // the marks come back
  history.Stack().undo();  // the move
  ASSERT_EQ(map.Count(), 2u);
  EXPECT_EQ(log.steps[4].clip, std::nullopt);
  EXPECT_EQ(log.steps[5].clip, "/tour/a.jpg");
  EXPECT_TRUE(log.steps[4].replayed && log.steps[5].replayed);
  history.Stack().redo();
  EXPECT_TRUE(log.steps[6].replayed);
  EXPECT_EQ(map.At(0).X, 0.5f);
  EXPECT_EQ(history.Stack().undoText(), kMoveMarkStep);
}

TEST(MapHistoryTest, NotchesOfOneTurnOfTheWheelAreOneStep) {
  ClipMap map;
  map.Append(MakeMark("/tour/a.jpg", 5));  // size 10
  map.Append(MakeMark("/tour/a.jpg", 6));  // size 11
  MapHistory history(map);
  history.ResizeMark(0, 11, 1000);
  history.ResizeMark(0, 12, 1900);
  history.ResizeMark(0, 13, 2800);  // each notch less than a second after the one before
  EXPECT_EQ(history.Stack().count(), 1);
  history.ResizeMark(0, 14, 3800);  // a second later: a new turn
  EXPECT_EQ(history.Stack().count(), 2);
  history.ResizeMark(1, 12, 3900);  // another mark: a new step
  EXPECT_EQ(history.Stack().count(), 3);
  history.MarkSaved();
  history.ResizeMark(1, 13, 4000);  // the saved state is kept apart
  EXPECT_EQ(history.Stack().count(), 4);
  history.Stack().undo();
  EXPECT_TRUE(history.AtSavePoint());
  history.Stack().undo();
  history.Stack().undo();
  EXPECT_EQ(map.At(0).Size, 13);
  history.Stack().undo();
  EXPECT_EQ(map.At(0).Size, 10);
  EXPECT_EQ(history.Stack().redoText(), kResizeMarkStep);
}

TEST(MapHistoryTest, RestartingKeepsTheMapAndForgetsTheSteps) {
  ClipMap map;
  MapHistory history(map);
  history.AddMark(MakeMark("/tour/a.jpg", 1));
  history.Restart(false);
  EXPECT_FALSE(history.Stack().canUndo());
  EXPECT_EQ(map.Count(), 1u);
  EXPECT_FALSE(history.AtSavePoint());
  // An empty history takes a save point too.
  history.Restart(true);
  EXPECT_TRUE(history.AtSavePoint());
  history.Restart(false);
  EXPECT_FALSE(history.AtSavePoint());
  history.Restart(true);
  EXPECT_TRUE(history.AtSavePoint());
  // Steps at positions that are not there change nothing.
  history.DeleteMark(5);
  history.MoveMark(5, 0.1f, 0.1f);
  history.ResizeMark(5, 20, 0);
  EXPECT_EQ(history.Stack().count(), 0);
}

// Edits of a mark with a long message: the oldest steps are dropped once the history keeps
// more than its limit, the newest can still be undone, and the save point stays with its
// state or is gone with it.
TEST(MapHistoryTest, TheOldestStepsGoPastTheByteLimit) {
  constexpr std::size_t kLimit = std::size_t{1} << 20;
  constexpr std::size_t kMessage = kLimit / 64;  // an edit keeps it twice: 1/32 of the limit
  ClipMap map;
  MapHistory history(map, nullptr, kLimit);
  ClickerMark mark = MakeMark("/tour/a.jpg", 1);
  history.AddMark(mark);
  history.MarkSaved();
  for (int edit = 0; edit < 100; ++edit) {
    mark.Hint = std::string(kMessage, char('a' + edit % 26));
    history.BeginStep(kEditMarkStep);
    history.DeleteMark(0);
    history.AddMark(mark);
    history.EndStep();
  }
  EXPECT_LE(history.Bytes(), kLimit);
  EXPECT_GE(history.Bytes(), kLimit - 3 * kMessage);
  EXPECT_LE(history.Stack().count(), 32);
  EXPECT_FALSE(history.AtSavePoint());
  EXPECT_EQ(history.Stack().undoText(), kEditMarkStep);
  history.Stack().undo();
  EXPECT_EQ(map.At(0).Hint.str(), std::string(kMessage, char('a' + 98 % 26)));
  while (history.Stack().canUndo()) history.Stack().undo();
  ASSERT_EQ(map.Count(), 1u);
  EXPECT_EQ(map.At(0).Hint.size(), kMessage);  // the first edits are gone
  EXPECT_FALSE(history.AtSavePoint());
  while (history.Stack().canRedo()) history.Stack().redo();
  EXPECT_EQ(map.At(0).Hint.str(), std::string(kMessage, char('a' + 99 % 26)));

  // A save point among the steps kept stays where it was.
  history.MarkSaved();
  mark.Hint = std::string(kLimit / 3, 'z');
  history.AddMark(mark);
  history.AddMark(mark);
  history.Stack().undo();
  history.Stack().undo();
  EXPECT_TRUE(history.AtSavePoint());
  // One step larger than the limit is kept alone.
  mark.Hint = std::string(kLimit + 1, 'y');
  history.AddMark(mark);
  EXPECT_EQ(history.Stack().count(), 1);
  history.Stack().undo();
  EXPECT_TRUE(history.AtSavePoint());
  EXPECT_EQ(map.Count(), 1u);
}

// The editor's history keeps 64 MiB.
static_assert(kHistoryByteLimit == std::size_t{64} << 20);

}  // namespace
}  // namespace mw
