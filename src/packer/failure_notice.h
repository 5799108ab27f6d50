#pragma once

#include <string>

namespace mw::packer {

// Tells the person why the package cannot play: on standard error ("package: " and the
// reason) at once, then in a window when there is a display: with the package's own player
// in its message mode when player names one that can run (the runtime it needs is linked
// beside it), else in a window of the self-extractor's own drawn with the X library, else
// with zenity, kdialog or xmessage, the first found on PATH. Waits until the window is
// closed.
void ShowFailureNotice(const std::string& reason, const std::string& player = "");

// Whether a player that ended this way could not start at all (a library or plug-in it
// needs is missing): exit code 127 from the loader, or killed by an abort or a crash.
bool PlayerCouldNotStart(int exit_code);

}  // namespace mw::packer
