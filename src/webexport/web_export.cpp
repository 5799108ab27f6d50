#include "webexport/web_export.h"

#include <sys/stat.h>

#include <algorithm>
#include <filesystem>

#include "webexport/export_plan.h"
#include "webexport/export_record.h"
#include "webexport/export_target.h"
#include "webexport/map_data.h"
#include "webexport/movie_converter.h"
#include "webexport/output_file.h"
#include "webexport/page_writer.h"
#include "webexport/web_assets.h"
#include "webexport/web_text.h"

namespace mw {

namespace {

// A movie's second takes about as long to convert as this many bytes take to copy;
// used only to share out the gauge.
constexpr double kConversionBytesPerSecond = 25e6;
constexpr const char* kPageName = "index.html";
constexpr const char* kClipsFolder = "clips";
constexpr const char* kWorkFolder = "work";

// A message with its line breaks as the page keeps them: "\n" alone.
std::string WithLineFeeds(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t k = 0; k < text.size(); ++k) {
    if (text[k] != '\r')
      out += text[k];
    else if (k + 1 >= text.size() || text[k + 1] != '\n')
      out += '\n';
  }
  return out;
}

bool MakeFolder(const std::string& path) {
  return ::mkdir(path.c_str(), 0777) == 0;
}

// Runs one export from plan to placing, keeping the gauge.
class Exporter {
 public:
  Exporter(const WebExportRequest& request, WebExportProgress& progress)
      : request_(request),
        progress_(progress),
        target_(request.destination),
        single_(IsSingleFileDestination(request.destination)) {}

  WebExportResult Run() {
    if (request_.map.Empty()) return Failed("the map has no marks");
    if (std::string refusal = target_.Refusal(); !refusal.empty()) return Failed(refusal);
    if (std::string reason = Plan(); !reason.empty()) return Failed(reason);
    if (Cancelled()) return Stopped();
    if (std::string reason = target_.Prepare(); !reason.empty()) return Failed(reason);
    const std::string reason = single_ ? BuildSingleFile() : BuildFolder();
    // Once it is being put in place, the export is made (or fails): a cancel comes too late.
    if (!placing_ && Cancelled()) return Stopped();
    if (!reason.empty()) return Failed(reason);
    progress_.Share(1.0);
    WebExportResult result;
    result.status = WebExportResult::Status::Made;
    result.destination = target_.Destination();
    result.page = single_ ? result.destination : result.destination + "/" + kPageName;
    return result;
  }

 private:
  bool Cancelled() {
    if (!cancelled_) cancelled_ = progress_.Cancelled();
    return cancelled_;
  }

  WebExportResult Failed(const std::string& reason) {
    target_.Discard();
    WebExportResult result;
    result.reason = reason;
    result.destination = target_.Destination();
    return result;
  }

  WebExportResult Stopped() {
    WebExportResult result = Failed("the export was cancelled");
    result.status = WebExportResult::Status::Cancelled;
    return result;
  }

  std::string Plan() {
    progress_.Step("Looking at the clips");
    plan_ = PlanExport(request_.map, request_.stage, converter_);
    if (!plan_.reason.empty()) return plan_.reason;
    for (const WebClip& clip : plan_.clips) {
      // Replacing the destination would remove such a clip from under its map.
      if (!clip.source.empty() && clip.source.rfind(target_.Destination() + "/", 0) == 0)
        return "the clip " + clip.text + " lies inside " + target_.Destination() +
               ", which the export would replace";
      if (clip.work == MovieWork::Convert) {
        if (std::string missing = converter_.MissingEncoder(); !missing.empty())
          return missing + ": cannot convert the movie " + clip.text;
      }
      if (clip.kind == WebClipKind::Movie && !converter_.MissingProgram().empty())
        return converter_.MissingProgram() + ": cannot export the movie " + clip.text;
      total_ += static_cast<double>(clip.bytes) * (single_ ? 2 : 1);
      if (clip.work == MovieWork::Convert) total_ += clip.seconds * kConversionBytesPerSecond;
    }
    return {};
  }

  void Advance(double units) {
    done_ += units;
    if (total_ > 0) progress_.Share(std::min(done_ / total_, 1.0));
  }

  ConversionHooks HooksFor(const WebClip& clip) {
    const double before = done_;
    const double units = clip.seconds * kConversionBytesPerSecond;
    return {[this, before, units](double share) {
              if (total_ > 0) progress_.Share(std::min((before + share * units) / total_, 1.0));
            },
            [this] { return Cancelled(); }};
  }

  // Converts or copies a movie into `folder` and takes its poster from the result.
  std::string PutMovie(const WebClip& clip, const std::string& folder, bool copy) {
    const std::string movie = folder + "/" + clip.exportName;
    if (clip.work == MovieWork::Convert) {
      progress_.Step("Converting the movie " + clip.name);
      const ConversionOutcome outcome =
          converter_.Convert(clip.source, movie, clip.seconds, HooksFor(clip));
      if (!outcome.ok)
        return outcome.cancelled ? std::string()
                                 : "cannot convert the movie " + clip.text + ": " + outcome.reason;
      Advance(clip.seconds * kConversionBytesPerSecond);
    } else if (copy) {
      if (std::string reason = CopyClipFile(clip.source, movie); !reason.empty()) return reason;
    }
    if (clip.posterName.empty() || Cancelled()) return {};
    const std::string from = clip.work == MovieWork::Convert || copy ? movie : clip.source;
    const ConversionOutcome poster =
        converter_.TakePoster(from, folder + "/" + clip.posterName, HooksFor(clip));
    if (!poster.ok && !poster.cancelled)
      return "cannot take a poster frame of the movie " + clip.text + ": " + poster.reason;
    return {};
  }

  std::string BuildFolder() {
    const std::string staging = target_.Staging();
    const std::string clips = staging + "/" + kClipsFolder;
    if (!MakeFolder(clips)) return "cannot make the folder " + clips;
    for (const WebClip& clip : plan_.clips) {
      if (Cancelled()) return {};
      if (clip.kind == WebClipKind::Photo) {
        progress_.Step("Copying the photo " + clip.name);
        if (std::string reason = CopyClipFile(clip.source, clips + "/" + clip.exportName);
            !reason.empty())
          return reason;
      } else if (clip.kind == WebClipKind::Movie) {
        if (clip.work == MovieWork::Copy) progress_.Step("Copying the movie " + clip.name);
        if (std::string reason = PutMovie(clip, clips, true); !reason.empty()) return reason;
      }
      Advance(static_cast<double>(clip.bytes));
    }
    if (Cancelled()) return {};
    progress_.Step("Writing the page");
    const std::string json =
        MapDataJson(plan_, OneLine(request_.title), WithLineFeeds(request_.message), ExportForm::Folder);
    OutputFile page(staging + "/" + kPageName);
    WriteFolderPage(page, request_.title, json);
    if (!page.Close()) return page.Error();
    for (const auto& [name, text] :
         {std::pair{"player.js", PlayerScript()}, std::pair{"player.css", PlayerStyle()}}) {
      if (std::string reason = WriteNewFile(staging + "/" + name, text); !reason.empty())
        return reason;
    }
    if (std::string reason = WriteExportRecord(staging); !reason.empty()) return reason;
    if (Cancelled()) return {};
    progress_.Step("Putting the export in place");
    placing_ = true;
    return target_.PlaceFolder();
  }

  std::string BuildSingleFile() {
    const std::string work = target_.Staging() + "/" + kWorkFolder;
    if (!MakeFolder(work)) return "cannot make the folder " + work;
    for (const WebClip& clip : plan_.clips) {
      if (Cancelled()) return {};
      if (clip.kind != WebClipKind::Movie) continue;
      if (std::string reason = PutMovie(clip, work, false); !reason.empty()) return reason;
    }
    if (Cancelled()) return {};
    progress_.Step("Writing the page");
    const std::string json =
        MapDataJson(plan_, OneLine(request_.title), WithLineFeeds(request_.message), ExportForm::SingleFile);
    const std::string pagePath = target_.Staging() + "/page.html";
    OutputFile page(pagePath);
    SinglePageSources sources;
    sources.fileOf = [&](std::size_t k, bool poster) {
      const WebClip& clip = plan_.clips[k];
      if (poster) return work + "/" + clip.posterName;
      return clip.work == MovieWork::Convert ? work + "/" + clip.exportName : clip.source;
    };
    sources.carried = [&](std::uint64_t bytes) { Advance(2.0 * static_cast<double>(bytes)); };
    sources.cancelled = [&] { return Cancelled(); };
    WriteSinglePage(page, request_.title, json, plan_, sources);
    if (!page.Close()) return page.Error();
    if (Cancelled()) return {};
    progress_.Step("Putting the export in place");
    placing_ = true;
    return target_.PlaceFile(pagePath);
  }

  const WebExportRequest& request_;
  WebExportProgress& progress_;
  ExportTarget target_;
  bool single_;
  MovieConverter converter_;
  ExportPlan plan_;
  double total_ = 0;
  double done_ = 0;
  bool cancelled_ = false;
  bool placing_ = false;  // the finished export is being put in place
};

}  // namespace

WebExportResult ExportForWeb(const WebExportRequest& request, WebExportProgress& progress) {
  // Nothing escapes an export, which runs on a thread of its own in the editor; what it
  // staged goes with the exporter.
  try {
    return Exporter(request, progress).Run();
  } catch (const std::exception& error) {
    WebExportResult result;
    result.reason = std::string("the export stopped: ") + error.what();
    result.destination = request.destination;
    return result;
  }
}

std::string DefaultWebTitle(const std::string& mapPath) {
  std::string name = std::filesystem::path(mapPath).filename().string();
  constexpr std::string_view kExtension = ".clm";
  if (name.size() > kExtension.size() &&
      name.compare(name.size() - kExtension.size(), kExtension.size(), kExtension) == 0)
    name.resize(name.size() - kExtension.size());
  return name;
}

}  // namespace mw
