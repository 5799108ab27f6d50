#pragma once
// Keeps a packaged player to the runtime it brought: its own Qt plug-ins, none of the host's.

#include <string>

namespace mw {

// The folder of Qt plug-ins a package unpacks beside the player.
inline constexpr const char* kOwnPluginFolder = "mwRun.plugins";

// To be called before the application object is made. Removes the Qt settings of the
// environment that could load plug-ins from elsewhere (QT_PLUGIN_PATH,
// QT_QPA_PLATFORM_PLUGIN_PATH, QT_QPA_PLATFORMTHEME, ...). When programFolder holds
// kOwnPluginFolder, Qt looks for plug-ins there only, and a platform other than xcb or
// offscreen asked for by QT_QPA_PLATFORM is dropped (the package brings no other).
void KeepToOwnRuntime(const std::string& programFolder);

}  // namespace mw
