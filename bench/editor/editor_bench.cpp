// The pointer over a clip in play mode on a map of 100,000 marks, beside a bare loop
// over the same marks comparing their clip texts; and rebuilding the panels of a
// clip that holds 500 marks.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <QCheckBox>
#include <filesystem>
#include <memory>
#include <string>

#include "editor/form1.h"
#include "scripted_desktop.h"

namespace {

constexpr int kMarks = 100000;
constexpr int kClips = 1000;

std::string ClipName(int i) { return "/home/user/tour/clip" + std::to_string(i) + ".jpg"; }

// The editor window with a large map, showing clip 0 (no picture: the walk is the cost).
struct Editor {
  std::string folder;
  mw::test::ScriptedDesktop desktop;
  std::unique_ptr<mw::TForm1> form;
  Editor() {
    std::string pattern = (std::filesystem::temp_directory_path() / "mwbench.XXXXXX").string();
    folder = mkdtemp(pattern.data());
    std::filesystem::current_path(folder);
    form = std::make_unique<mw::TForm1>(desktop, mw::EditorOptions{folder + "/", {false, 5000}});
    form->resize(800, 600);
    for (int i = 0; i < kMarks; ++i) {
      mw::ClickerMark mark;
      mark.Clip = ClipName(i % kClips);
      mark.X = static_cast<float>((i * 37) % 100) / 100;
      mark.Y = static_cast<float>((i * 53) % 100) / 100;
      mark.NextClip = ClipName((i + 1) % kClips);
      mark.Hint = "mark " + std::to_string(i);
      form->MutableMap().Append(mark);
    }
    form->RecordClip(ClipName(0));
  }
  ~Editor() { std::filesystem::remove_all(folder); }
};

Editor& Shared() {
  static Editor editor;
  return editor;
}

void BM_TrackPointer(benchmark::State& state) {
  mw::TForm1& form = *Shared().form;
  int step = 0;
  for (auto _ : state) {
    ++step;
    form.TrackPointer(100 + step % 300, 80 + step % 200);
  }
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

// A clip holding 500 marks, redrawn in edit mode.
void BM_RefreshMarkPanels500(benchmark::State& state) {
  mw::test::ScriptedDesktop desktop;
  mw::TForm1 form(desktop, mw::EditorOptions{Shared().folder + "/", {false, 5000}});
  form.resize(800, 600);
  for (int i = 0; i < 500; ++i) {
    mw::ClickerMark mark;
    mark.Clip = "/tour/busy.jpg";
    mark.X = static_cast<float>(i % 25) / 25;
    mark.Y = static_cast<float>(i / 25) / 20;
    mark.NextClip = "/tour/target" + std::to_string(i) + ".jpg";
    form.MutableMap().Append(mark);
  }
  form.RecordClip("/tour/busy.jpg");
  form.findChild<QCheckBox*>("EditMode")->setChecked(true);
  for (auto _ : state) form.RefreshMarkPanels();
  state.counters["panels"] = static_cast<double>(form.MarkPanelCount());
}

BENCHMARK(BM_BareClipTextLoop)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_TrackPointer)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_RefreshMarkPanels500)->Unit(benchmark::kMillisecond);

}  // namespace
