#include "player/start_report.h"

#include <filesystem>
#include <fstream>

#include "player/player_window.h"

namespace mw {
namespace {

const char* KindName(ClipKind kind) {
  switch (kind) {
    case ClipKind::PhotoClip:
      return "photo";
    case ClipKind::MovieClip:
      return "movie";
    case ClipKind::NoClip:
      break;
  }
  return "none";
}

long long Nanoseconds(std::chrono::steady_clock::time_point moment) {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(moment.time_since_epoch()).count();
}

// One line per value: line breaks inside a text become blanks.
std::string OneLine(const QString& text) {
  QString line = text;
  line.replace('\n', ' ').replace('\r', ' ');
  return line.toLocal8Bit().toStdString();
}

}  // namespace

std::string FormatStartReport(const PlayerWindow& window, const StartTimes& times) {
  std::string report;
  auto add = [&report](const std::string& key, const std::string& value) {
    report += key + "=" + value + "\n";
  };
  add("clip", OneLine(QString::fromLocal8Bit(window.ClipOnScreen())));
  add("kind", KindName(window.KindOnScreen()));
  add("message", OneLine(window.PackageMessageShown()));
  add("problem", OneLine(window.ProblemShown()));
  add("caption", OneLine(window.CaptionShown()));
  // The outer size, frame included, as the map gives it.
  const QSize outer = window.frameGeometry().size();
  add("window", std::to_string(outer.width()) + "x" + std::to_string(outer.height()));
  const std::optional<QPoint> mark = window.FirstMarkOnScreen();
  add("mark", mark ? std::to_string(mark->x()) + "," + std::to_string(mark->y()) : "");
  add("folder", window.Folder());
  add("started_ns", std::to_string(Nanoseconds(times.processStarted)));
  add("painted_ns", std::to_string(Nanoseconds(times.startPainted)));
  return report;
}

bool WriteStartReport(const std::string& path, const std::string& report) {
  const std::string partial = path + ".part";
  {
    std::ofstream out(partial, std::ios::binary | std::ios::trunc);
    out << report;
    if (!out.flush()) return false;
  }
  std::error_code error;
  std::filesystem::rename(partial, path, error);
  return !error;
}

}  // namespace mw
