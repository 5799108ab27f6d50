#include "package/stream_progress.h"

#include <algorithm>
#include <cstdio>

namespace mw {

void StreamProgress::ReportProgress(const std::string& text, int percent) {
  lastStepText_ = text;
  gauge_ = std::clamp(percent, 0, 100);
  char gauge[8];
  std::snprintf(gauge, sizeof gauge, "%3d%% ", gauge_);
  out_ << gauge << text << "...\n" << std::flush;
}

}  // namespace mw
