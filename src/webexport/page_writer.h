#pragma once
// The export's page: the template of the web player with its tokens filled in, for a
// folder export or as one self-contained file.

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "webexport/export_plan.h"
#include "webexport/output_file.h"

namespace mw {

// The last line of a single-file page, by which a later export knows the file as one
// of its own and may replace it.
inline constexpr std::string_view kSinglePageMarker = "<!-- markweaver web export -->\n";

// The most bytes of a carried file in one block of a single page: a larger file is
// written as consecutive pieces, so that the player never holds its whole text as one
// string (browsers cap a string's length, and phones their memory).
inline constexpr std::uint64_t kClipPieceBytes = std::uint64_t{1} << 20;

// The Content-Security-Policy of a folder export: only the export's own files.
std::string FolderPolicy();
// The policy of a single-file page: its inline script and style by their hashes, clips
// from data: and blob: addresses.
std::string SingleFilePolicy(std::string_view script, std::string_view style);

// Writes `page` (a template with token lines) to `out`: each line that holds only a
// token is replaced by what `fill(token)` writes; `fill` gives false for a token it does
// not know, and the line is then kept as it is.
void WriteFromTemplate(OutputFile& out, std::string_view page,
                       const std::function<bool(std::string_view token)>& fill);

// Writes index.html of a folder export.
void WriteFolderPage(OutputFile& out, const std::string& title, const std::string& mapJson);

// Where the single page takes each carried file from, and whether to stop.
struct SinglePageSources {
  // The file to carry for a clip (its place in the plan) or its poster.
  std::function<std::string(std::size_t clip, bool poster)> fileOf;
  // Told after each carried file, with the bytes of the source it took.
  std::function<void(std::uint64_t)> carried = {};
  std::function<bool()> cancelled = {};
};

// Writes the self-contained page of `plan`: script and style inline, each clip and
// poster as base64 blocks ("mw-clip-N" with data-type, and data-pieces="P" when it
// takes P > 1 blocks, the others "mw-clip-N.1" to "mw-clip-N.(P-1)"), the marker as its
// last line.
void WriteSinglePage(OutputFile& out, const std::string& title, const std::string& mapJson,
                     const ExportPlan& plan, const SinglePageSources& sources);

}  // namespace mw
