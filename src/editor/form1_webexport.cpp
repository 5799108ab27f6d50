// The editor window's Export for Web: the map check's question, the dialog, the export
// with its progress window, its result, and the preview in the browser.
#include <filesystem>
#include <system_error>

#include "desktop/desktop.h"
#include "editor/form1.h"
#include "editor/web_export_form.h"
#include "editor/web_export_windows.h"
#include "webexport/export_places.h"
#include "webexport/export_target.h"
#include "webexport/web_export.h"

namespace mw {

namespace {

constexpr const char* kNoMarks = "The map has no marks to export.";
constexpr const char* kNoPlace = "Choose where the export goes.";

std::string Absolute(const std::string& path) {
  std::error_code error;
  return std::filesystem::absolute(path, error).string();
}

// The place to show for "Locate": a folder export itself, or the folder of the page.
std::string FolderToShow(const WebExportResult& result) {
  if (!IsSingleFileDestination(result.destination)) return result.destination;
  return std::filesystem::path(result.destination).parent_path().string();
}

void ShowFailure(Desktop& desktop, const WebExportResult& result) {
  if (result.status != WebExportResult::Status::Failed) return;
  desktop.ShowMessage(
      {"The map was not exported:\n" + result.reason, {}, MessageButtons::Ok, MessageIcon::Error});
}

void OpenOrSay(Desktop& desktop, const std::string& path, const char* what) {
  if (desktop.OpenWithDefaultProgram(path)) return;
  desktop.ShowMessage({std::string("The desktop could not open ") + what + ":\n" + path,
                       {},
                       MessageButtons::Ok,
                       MessageIcon::Warning});
}

}  // namespace

void TForm1::ExportForWebMenuItemClick() {
  if (clipMap_.Empty()) {
    ShowOkMessage(desktop_, kNoMarks);
    return;
  }
  if (!MapProblemsAccepted("Export the map anyway?")) return;
  MakeWebExportWindows();
  const std::string map = MapFileNameText();
  if (webExportMap_ != map) {
    webExportMap_ = map;
    webExportForm_->SetChoice(
        {false, DefaultWebDestination(Absolute(map), false), DefaultWebTitle(map), {}});
  }
  const int answer = desktop_.ShowModal(*webExportForm_);
  if (answer == kModalOk) ExportForWebTo(webExportForm_->Choice());
  if (answer == TWebExportForm::kPreviewResult) PreviewInBrowser();
}

void TForm1::MakeWebExportWindows() {
  if (webExportForm_) return;
  webExportForm_ = new TWebExportForm(desktop_, this);
  webExportProgressForm_ = new TWebExportProgressForm(this);
  webExportResultForm_ = new TWebExportResultForm(this);
}

void TForm1::ExportForWebTo(const WebExportChoice& choice) {
  if (choice.destination.empty()) {
    ShowOkMessage(desktop_, kNoPlace);
    return;
  }
  const std::string destination =
      Absolute(DestinationForForm(choice.destination, choice.singleFile));
  const std::string title =
      choice.title.empty() ? DefaultWebTitle(MapFileNameText()) : choice.title;
  const WebExportResult result =
      webExportProgressForm_->Run({clipMap_, OuterSize(), destination, title, choice.message});
  if (result.status != WebExportResult::Status::Made) return ShowFailure(desktop_, result);
  webExportResultForm_->ShowDestination(result.destination);
  const int answer = desktop_.ShowModal(*webExportResultForm_);
  if (answer == TWebExportResultForm::kOpenResult) OpenOrSay(desktop_, result.page, "the page");
  if (answer == TWebExportResultForm::kLocateResult)
    OpenOrSay(desktop_, FolderToShow(result), "the folder");
}

void TForm1::PreviewInBrowser() {
  const WebExportChoice choice = webExportForm_->Choice();
  const std::string destination = PreviewDestination(MapFileNameText());
  if (destination.empty()) {
    ShowOkMessage(desktop_, "There is no private temporary folder for the preview.");
    return;
  }
  const std::string title =
      choice.title.empty() ? DefaultWebTitle(MapFileNameText()) : choice.title;
  const WebExportResult result =
      webExportProgressForm_->Run({clipMap_, OuterSize(), destination, title, choice.message});
  if (result.status != WebExportResult::Status::Made) return ShowFailure(desktop_, result);
  OpenOrSay(desktop_, result.page, "the page");
}

}  // namespace mw
