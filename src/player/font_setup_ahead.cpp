#include "player/font_setup_ahead.h"

#include <fontconfig/fontconfig.h>

#include <system_error>

namespace mw {

FontSetupAhead::FontSetupAhead() {
  try {
    reading_ = std::async(std::launch::async, [] { FcInit(); });
  } catch (const std::system_error&) {
    // No thread: the toolkit reads the configuration when it first needs a font.
  }
}

void FontSetupAhead::Wait() {
  if (reading_.valid()) reading_.get();
}

}  // namespace mw
