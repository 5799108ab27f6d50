#pragma once
// The web export of a map: a folder with index.html, the player's script and style and
// the clips, or one self-contained page. The one entry of the exporter.

#include <string>

#include "map/clip_map.h"
#include "map/map_file.h"

namespace mw {

// What to export, and where.
struct WebExportRequest {
  ClipMap map;
  WindowSize stage;         // the map's window size: the clip area the marks were placed on
  std::string destination;  // a folder to make, or a page ending in .html
  std::string title;        // the page's title
  std::string message;      // shown when the page opens; may be empty
};

// Hears how an export goes and may stop it. Called on the thread that runs the export.
class WebExportProgress {
 public:
  virtual ~WebExportProgress() = default;
  // A new step begins, e.g. "Converting the movie hall.mpg".
  virtual void Step(const std::string& text) = 0;
  // The share of the whole export done, 0 to 1.
  virtual void Share(double done) = 0;
  // Asked often; true stops the export, which then leaves nothing behind.
  virtual bool Cancelled() = 0;
};

// How an export ended.
struct WebExportResult {
  enum class Status { Made, Failed, Cancelled };
  Status status = Status::Failed;
  std::string reason;       // why it failed, naming the clip or the place at fault
  std::string destination;  // the export's absolute path
  std::string page;         // the page to open: DIR/index.html, or the page file
};

// Exports `request.map`: plans every clip (paths read from the current directory),
// converts movies that browsers do not play, writes everything beside the destination
// under a temporary name and renames it into place at the end. A failure or a cancel
// leaves no export and no temporary file, and keeps an earlier export. Clips that are
// missing are exported as missing; stopping for them is the caller's choice, made
// before.
WebExportResult ExportForWeb(const WebExportRequest& request, WebExportProgress& progress);

// The title a map's export gets by default: its file name without ".clm".
std::string DefaultWebTitle(const std::string& mapPath);

}  // namespace mw
