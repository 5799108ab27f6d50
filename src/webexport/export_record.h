#pragma once
// The record inside a folder export of what the export made: written last into the export,
// and read when a later export would replace the folder, so that what the person added there
// (notes, a copy of the map, pages of their own) never goes with it.

#include <string>
#include <vector>

namespace mw {

// Writes the export's marker file into `folder` (the staging folder of a finished export),
// recording every file and folder now inside it; the reason when it cannot.
std::string WriteExportRecord(const std::string& folder);

// What lies inside the earlier export `folder` that no export made: paths relative to it,
// folders ending in "/", sorted; a folder that cannot be read counts too. An export whose
// marker records nothing (made before exports kept a record) counts as having made its page,
// its player's files and whatever lies in its clips folder. What desktops leave in the
// folders they show (.DS_Store, Thumbs.db, desktop.ini, .directory) counts as made.
std::vector<std::string> EntriesNotMadeByExport(const std::string& folder);

// "a, b and c", or the first three and how many more, for a message.
std::string NamedEntries(const std::vector<std::string>& entries);

}  // namespace mw
