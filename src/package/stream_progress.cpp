#include "package/stream_progress.h"

#include <algorithm>
#include <cstdio>

namespace mw {

void StreamProgress::ReportProgress(const std::string& text, int percent) {
  lastStepText_ = text;
  gauge_ = std::clamp(percent, 0, 100);
  // The steps' own gauge values fall back (the copying restarts at 0): the line shows how
  // far the whole build has come, which only grows.
  overall_ = std::max(overall_, gauge_);
  char gauge[16];
  std::snprintf(gauge, sizeof gauge, "%3d%% ", overall_);
  out_ << gauge << text << "...\n" << std::flush;
}

}  // namespace mw
