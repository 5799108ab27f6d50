#include "player/own_runtime.h"

#include <QCoreApplication>
#include <QFile>
#include <QStringList>
#include <cstdlib>
#include <filesystem>
#include <string_view>

namespace mw {
namespace {

// Settings by which the environment could make Qt load a plug-in of the host's.
constexpr const char* kPluginSettings[] = {
    "QT_PLUGIN_PATH",          "QT_QPA_PLATFORM_PLUGIN_PATH", "QT_QPA_PLATFORMTHEME",
    "QT_QPA_GENERIC_PLUGINS",  "QT_STYLE_OVERRIDE",           "QT_IM_MODULE",
    "QT_XCB_GL_INTEGRATION",   "QT_QPA_EGLFS_INTEGRATION",    "QT_ACCESSIBILITY",
    "QT_LINUX_ACCESSIBILITY_ALWAYS_ON"};

}  // namespace

void KeepToOwnRuntime(const std::string& programFolder) {
  for (const char* name : kPluginSettings) unsetenv(name);
  const std::filesystem::path plugins = std::filesystem::path(programFolder) / kOwnPluginFolder;
  std::error_code error;
  if (!std::filesystem::is_directory(plugins, error)) return;
  QCoreApplication::setLibraryPaths({QFile::decodeName(plugins.c_str())});
  if (const char* platform = std::getenv("QT_QPA_PLATFORM")) {
    const std::string_view name(platform);
    if (name != "xcb" && name != "offscreen") unsetenv("QT_QPA_PLATFORM");
  }
}

}  // namespace mw
