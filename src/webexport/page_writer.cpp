#include "webexport/page_writer.h"

#include <QByteArray>
#include <QCryptographicHash>

#include "webexport/map_data.h"
#include "webexport/web_assets.h"
#include "webexport/web_text.h"

namespace mw {

namespace {

constexpr std::string_view kPolicyEnd = "base-uri 'none'; form-action 'none'";

std::string HashSource(std::string_view text) {
  const QByteArray digest = QCryptographicHash::hash(
      QByteArrayView(text.data(), static_cast<qsizetype>(text.size())), QCryptographicHash::Sha256);
  return "'sha256-" + digest.toBase64().toStdString() + "'";
}

std::string_view Trimmed(std::string_view line) {
  const std::size_t start = line.find_first_not_of(" \t\r");
  if (start == std::string_view::npos) return {};
  const std::size_t end = line.find_last_not_of(" \t\r");
  return line.substr(start, end + 1 - start);
}

bool IsToken(std::string_view text) {
  return text.size() > 2 && text.front() == '@' && text.back() == '@' &&
         text.find_first_of(" \t") == std::string_view::npos;
}

void WriteMapData(OutputFile& out, const std::string& mapJson) {
  out.Write("<script type=\"application/json\" id=\"mw-map\">");
  out.Write(mapJson);
  out.Write("</script>\n");
}

void WriteTitle(OutputFile& out, const std::string& title) {
  out.Write(HtmlEscaped(OneLine(title)));
  out.Write("\n");
}

// The opening tag of piece `index` of `count` of a carried file: the first keeps the
// block's id and type and tells the count when there is more than one.
std::string PieceOpening(const ClipBlock& block, const std::string& type, std::uint64_t index,
                         std::uint64_t count) {
  std::string tag = "<script type=\"application/octet-stream\" id=\"" + block.id;
  if (index > 0) return tag + "." + std::to_string(index) + "\">";
  tag += "\" data-type=\"" + type + "\"";
  if (count > 1) tag += " data-pieces=\"" + std::to_string(count) + "\"";
  return tag + ">";
}

void WriteClipBlocks(OutputFile& out, const ExportPlan& plan, const SinglePageSources& sources) {
  for (const ClipBlock& block : ClipBlocksOf(plan)) {
    if (sources.cancelled && sources.cancelled()) return;
    const WebClip& clip = plan.clips[block.clip];
    const std::string type = block.poster ? std::string("image/jpeg") : MimeTypeOf(clip);
    Base64Blocks pieces;
    pieces.pieceBytes = kClipPieceBytes;
    pieces.open = [&](std::uint64_t index, std::uint64_t count) {
      out.Write(PieceOpening(block, type, index, count));
    };
    pieces.close = "</script>\n";
    out.WriteBase64Blocks(sources.fileOf(block.clip, block.poster), pieces, sources.cancelled);
    if (sources.carried) sources.carried(block.poster ? 0 : clip.bytes);
  }
}

}  // namespace

std::string FolderPolicy() {
  return "default-src 'none'; img-src 'self'; media-src 'self'; script-src 'self'; "
         "style-src 'self'; " +
         std::string(kPolicyEnd);
}

std::string SingleFilePolicy(std::string_view script, std::string_view style) {
  return "default-src 'none'; img-src data: blob:; media-src blob:; script-src " +
         HashSource(script) + "; style-src " + HashSource(style) + "; " + std::string(kPolicyEnd);
}

void WriteFromTemplate(OutputFile& out, std::string_view page,
                       const std::function<bool(std::string_view token)>& fill) {
  while (!page.empty()) {
    const std::size_t end = page.find('\n');
    const std::string_view line =
        page.substr(0, end == std::string_view::npos ? page.size() : end + 1);
    page.remove_prefix(line.size());
    const std::string_view token = Trimmed(line.substr(0, line.find('\n')));
    if (!IsToken(token) || !fill(token)) out.Write(line);
  }
}

void WriteFolderPage(OutputFile& out, const std::string& title, const std::string& mapJson) {
  WriteFromTemplate(out, PageTemplate(), [&](std::string_view token) {
    if (token == "@CSP@")
      out.Write(DoubleQuotedAttribute(FolderPolicy()) + "\n");
    else if (token == "@TITLE@")
      WriteTitle(out, title);
    else if (token == "@STYLE@")
      out.Write("<link rel=\"stylesheet\" href=\"player.css\">\n");
    else if (token == "@MAPDATA@")
      WriteMapData(out, mapJson);
    else if (token == "@CLIPDATA@")
      return true;
    else if (token == "@SCRIPT@")
      out.Write("<script src=\"player.js\"></script>\n");
    else
      return false;
    return true;
  });
}

void WriteSinglePage(OutputFile& out, const std::string& title, const std::string& mapJson,
                     const ExportPlan& plan, const SinglePageSources& sources) {
  const std::string_view script = PlayerScript();
  const std::string_view style = PlayerStyle();
  WriteFromTemplate(out, PageTemplate(), [&](std::string_view token) {
    if (token == "@CSP@") {
      out.Write(DoubleQuotedAttribute(SingleFilePolicy(script, style)) + "\n");
    } else if (token == "@TITLE@") {
      WriteTitle(out, title);
    } else if (token == "@STYLE@") {
      out.Write("<style>");
      out.Write(style);
      out.Write("</style>\n");
    } else if (token == "@MAPDATA@") {
      WriteMapData(out, mapJson);
    } else if (token == "@CLIPDATA@") {
      WriteClipBlocks(out, plan, sources);
    } else if (token == "@SCRIPT@") {
      out.Write("<script>");
      out.Write(script);
      out.Write("</script>\n");
    } else {
      return false;
    }
    return true;
  });
  if (!PageTemplate().empty() && PageTemplate().back() != '\n') out.Write("\n");
  out.Write(kSinglePageMarker);
}

}  // namespace mw
