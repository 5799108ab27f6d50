#pragma once
// Where the editor puts a web export unless the person chooses another place, and the
// private folder of its previews.

#include <string>

namespace mw {

// The export's place beside the map: "tour-web" for a folder, "tour.html" for one file,
// in the map's folder.
std::string DefaultWebDestination(const std::string& mapPath, bool singleFile);

// `destination` changed to the other form: "x.html" becomes "x" for a folder, and "x"
// becomes "x.html" for one file.
std::string DestinationForForm(const std::string& destination, bool singleFile);

// The folder a preview of the map named `mapPath` is exported to: inside a folder of
// this user's own under the temporary folder (made with mode 0700 and refused when
// someone else owns it), one per map name, so that each preview replaces the one before.
// Empty when no such folder can be had.
std::string PreviewDestination(const std::string& mapPath);

}  // namespace mw
