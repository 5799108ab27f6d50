// Undo and redo on a map of 100,000 marks, beside a bare walk over the same marks
// comparing their clip texts; and the memory that 1,000 steps of history hold, beside
// the memory of the map itself.
#include <benchmark/benchmark.h>
#include <malloc.h>
#include <unistd.h>

#include <QCheckBox>
#include <filesystem>
#include <memory>
#include <string>

#include "editor/form1.h"
#include "editor/map_history.h"
#include "scripted_desktop.h"

namespace {

constexpr int kMarks = 100000;
constexpr int kClips = 10000;  // ten marks on each clip
constexpr int kSteps = 1000;

std::string ClipName(int i) {
  return "/home/user/tour/clip" + std::to_string(i) + ".jpg";
}

mw::ClickerMark MarkNumber(int i) {
  mw::ClickerMark mark;
  mark.Clip = ClipName(i % kClips);
  mark.X = static_cast<float>((i * 37) % 100) / 100;
  mark.Y = static_cast<float>((i * 53) % 100) / 100;
  mark.NextClip = ClipName((i + 1) % kClips);
  mark.Reserved = "<reserved>";
  mark.Hint = "mark " + std::to_string(i);
  mark.AreaWidth = 800;
  mark.AreaHeight = 600;
  return mark;
}

std::size_t BytesInUse() {
  return mallinfo2().uordblks;
}

// The editor window in edit mode with a large map, showing clip 0 and its panels.
struct Editor {
  std::string folder;
  mw::test::ScriptedDesktop desktop;
  std::unique_ptr<mw::TForm1> form;
  std::size_t mapBytes = 0;
  Editor() {
    std::string pattern = (std::filesystem::temp_directory_path() / "mwbench.XXXXXX").string();
    folder = mkdtemp(pattern.data());
    std::filesystem::current_path(folder);
    form = std::make_unique<mw::TForm1>(desktop, mw::EditorOptions{folder + "/", {false, 5000}});
    form->resize(800, 600);
    const std::size_t before = BytesInUse();
    form->MutableMap().Reserve(kMarks + kSteps);
    for (int i = 0; i < kMarks; ++i) form->MutableMap().Append(MarkNumber(i));
    mapBytes = BytesInUse() - before;
    form->RecordClip(ClipName(0));
    form->findChild<QCheckBox*>("EditMode")->setChecked(true);
    form->RefreshMarkPanels();
  }
  ~Editor() { std::filesystem::remove_all(folder); }
};

Editor& Shared() {
  static Editor editor;
  return editor;
}

void BM_BareClipTextLoop(benchmark::State& state) {
  const mw::ClipMap& map = Shared().form->Map();
  const std::string clip = ClipName(0);
  for (auto _ : state) {
    int matches = 0;
    for (const mw::ClickerMark& mark : map)
      if (mark.Clip == clip) ++matches;
    benchmark::DoNotOptimize(matches);
  }
}

// One step on a mark of the clip on screen, then undone and redone through the window
// in every iteration: the time of one iteration is that of two steps.
template <class Step>
void UndoRedoThroughTheWindow(benchmark::State& state, Step step) {
  mw::TForm1& form = *Shared().form;
  mw::MapHistory& history = form.EditHistory();
  history.Restart(true);
  step(history);
  for (auto _ : state) {
    form.UndoMenuItemClick();
    form.RedoMenuItemClick();
  }
  form.UndoMenuItemClick();
  history.Restart(true);
  state.counters["panels"] = static_cast<double>(form.MarkPanelCount());
}

void BM_UndoRedoMove(benchmark::State& state) {
  UndoRedoThroughTheWindow(state, [](mw::MapHistory& h) { h.MoveMark(kMarks / 2, 0.5f, 0.5f); });
}

void BM_UndoRedoResize(benchmark::State& state) {
  UndoRedoThroughTheWindow(state, [](mw::MapHistory& h) { h.ResizeMark(kMarks / 2, 40, 0); });
}

// The first mark deleted: its undo puts it back in front of all the others.
void BM_UndoRedoDeleteFirst(benchmark::State& state) {
  UndoRedoThroughTheWindow(state, [](mw::MapHistory& h) { h.DeleteMark(0); });
}

void BM_UndoRedoAdd(benchmark::State& state) {
  UndoRedoThroughTheWindow(state, [](mw::MapHistory& h) { h.AddMark(MarkNumber(kMarks)); });
}

// The same undo and redo of a deletion on the history alone, without the window.
void BM_UndoRedoDeleteFirstMapOnly(benchmark::State& state) {
  mw::ClipMap map = Shared().form->Map();
  mw::MapHistory history(map);
  history.DeleteMark(0);
  for (auto _ : state) {
    history.Stack().undo();
    history.Stack().redo();
  }
}

// 1,000 steps of every kind that leaves the map's size as it was: moves, turns of the
// wheel, deletions, additions and edits.
void PushThousandSteps(mw::MapHistory& history) {
  for (int i = 0; i < kSteps; ++i) {
    const std::size_t mark = static_cast<std::size_t>(i * 97 % kMarks);
    switch (i % 5) {
      case 0:
        history.MoveMark(mark, static_cast<float>(i % 7) / 7, 0.25f);
        break;
      case 1:
        history.ResizeMark(mark, 5 + i % 90, 2000LL * i);
        break;
      case 2:
        history.DeleteMark(mark);
        break;
      case 3:
        history.AddMark(MarkNumber(i));
        break;
      default:
        history.BeginStep(mw::kEditMarkStep);
        history.DeleteMark(mark);
        history.AddMark(MarkNumber(i + 1));
        history.EndStep();
    }
  }
}

void BM_HistoryMemoryOfThousandSteps(benchmark::State& state) {
  Editor& editor = Shared();
  mw::MapHistory& history = editor.form->EditHistory();
  std::size_t historyBytes = 0;
  for (auto _ : state) {
    history.Restart(true);
    PushThousandSteps(history);
    const std::size_t withHistory = BytesInUse();
    history.Restart(true);
    historyBytes = withHistory - BytesInUse();
  }
  state.counters["history_bytes"] = static_cast<double>(historyBytes);
  state.counters["map_bytes"] = static_cast<double>(editor.mapBytes);
  state.counters["history_per_map"] =
      static_cast<double>(historyBytes) / static_cast<double>(editor.mapBytes);
  state.counters["history_per_10MB"] = static_cast<double>(historyBytes) / 10e6;
}

BENCHMARK(BM_BareClipTextLoop)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_UndoRedoMove)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_UndoRedoResize)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_UndoRedoDeleteFirst)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_UndoRedoAdd)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_UndoRedoDeleteFirstMapOnly)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_HistoryMemoryOfThousandSteps)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace
