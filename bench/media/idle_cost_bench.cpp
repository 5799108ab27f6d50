// CPU taken by a clip area with a stopped movie open and the 30 ms timer running the movie
// step, against the same timer ticking with no movie open, measured with getrusage.
#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <QElapsedTimer>
#include <QEventLoop>
#include <QSlider>
#include <QTimer>

#include "media/clip_display.h"

namespace {

double CpuSeconds() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec +
         (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// Runs the 30 ms movie step for `seconds` and reports CPU use in % of one core.
void RunTimer(benchmark::State& state, bool with_movie) {
  mw::ClipPanel panel1;
  panel1.resize(640, 480);
  mw::MovieControlBar media_player1;
  QSlider track_bar1;
  mw::MoviePlayer::Options silent;
  silent.audio = false;
  mw::ClipDisplay display(&panel1, &media_player1, &track_bar1, silent);
  if (with_movie &&
      display.ShowClip(std::string(MW_TEST_DATA_DIR) + "/media/rgb.mp4") != mw::ClipKind::MovieClip)
    state.SkipWithError("movie not opened");
  QTimer timer1;
  timer1.setInterval(30);
  QObject::connect(&timer1, &QTimer::timeout, [&] { display.MovieStep(); });
  QEventLoop settle;  // let the first frame and the seek finish before measuring
  QTimer::singleShot(300, &settle, &QEventLoop::quit);
  settle.exec();
  for (auto _ : state) {
    const double cpu_before = CpuSeconds();
    QElapsedTimer wall;
    wall.start();
    timer1.start();
    QEventLoop loop;
    QTimer::singleShot(static_cast<int>(state.range(0) * 1000), &loop, &QEventLoop::quit);
    loop.exec();
    timer1.stop();
    const double cpu = CpuSeconds() - cpu_before;
    state.counters["cpu_percent"] = 100.0 * cpu / (wall.elapsed() / 1000.0);
  }
}

void BM_IdleStoppedMovieTimer(benchmark::State& state) {
  RunTimer(state, true);
}
void BM_IdleTimerWithoutMovie(benchmark::State& state) {
  RunTimer(state, false);
}

BENCHMARK(BM_IdleStoppedMovieTimer)->Arg(5)->Iterations(1)->Unit(benchmark::kSecond);
BENCHMARK(BM_IdleTimerWithoutMovie)->Arg(5)->Iterations(1)->Unit(benchmark::kSecond);

}  // namespace
