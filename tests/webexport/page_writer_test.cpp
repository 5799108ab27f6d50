// The single page as the page writer makes it from real files: every carried file cut
// into base64 blocks of at most one piece each, which decode and join to the file, and
// a file that changes while it is written reported as a failure.
#include "webexport/page_writer.h"

#include <gtest/gtest.h>

#include <QByteArray>
#include <QRegularExpression>
#include <QString>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "packer_test_support.h"
#include "webexport/export_plan.h"

namespace mw {
namespace {

using test::TempDir;

// One <script type="application/octet-stream"> block as the page holds it.
struct PageBlock {
  std::string id;
  std::string type;    // empty when the block has no data-type
  std::string pieces;  // empty when the block has no data-pieces
  QByteArray bytes;    // its text decoded
};

std::vector<PageBlock> BlocksOf(const std::string& page) {
  static const QRegularExpression block(
      "<script type=\"application/octet-stream\" id=\"([^\"]+)\"(?: data-type=\"([^\"]*)\")?"
      "(?: data-pieces=\"([^\"]*)\")?>([^<]*)</script>\n");
  std::vector<PageBlock> blocks;
  auto found = block.globalMatch(QString::fromStdString(page));
  while (found.hasNext()) {
    const QRegularExpressionMatch match = found.next();
    blocks.push_back({match.captured(1).toStdString(), match.captured(2).toStdString(),
                      match.captured(3).toStdString(),
                      QByteArray::fromBase64(match.captured(4).toLatin1(),
                                             QByteArray::AbortOnBase64DecodingErrors)});
  }
  return blocks;
}

WebClip CarriedClip(WebClipKind kind, const std::string& name, bool poster) {
  WebClip clip;
  clip.kind = kind;
  clip.id = name;
  clip.exportName = name;
  if (poster) clip.posterName = name + ".poster.jpg";
  return clip;
}

// Writes the single page of `plan`, each carried file taken from `dir`; the page's
// text, or the writer's error.
std::string WritePage(const TempDir& dir, const ExportPlan& plan, std::string& error,
                      const std::function<bool()>& cancelled = {}) {
  const std::string path = dir / "page.html";
  std::filesystem::remove(path);
  OutputFile out(path);
  SinglePageSources sources;
  sources.fileOf = [&](std::size_t clip, bool poster) {
    return dir / (poster ? plan.clips[clip].posterName : plan.clips[clip].exportName);
  };
  sources.cancelled = cancelled;
  WriteSinglePage(out, "Tour", "{}", plan, sources);
  error = out.Close() ? std::string() : out.Error();
  return test::ReadFile(path);
}

TEST(PageWriterTest, EachCarriedFileIsCutIntoPiecesThatJoinToTheFile) {
  TempDir dir;
  const std::size_t piece = kClipPieceBytes;
  const std::string big = test::RandomBytes(2 * piece + 1000, 1);
  const std::string even = test::RandomBytes(2 * piece, 2);
  const std::string small = test::RandomBytes(piece, 3);
  test::WriteFile(dir / "big.jpg", big);
  test::WriteFile(dir / "walk.mp4", even);
  test::WriteFile(dir / "walk.mp4.poster.jpg", "poster");
  test::WriteFile(dir / "small.jpg", small);
  test::WriteFile(dir / "empty.jpg", "");
  ExportPlan plan;
  plan.clips = {CarriedClip(WebClipKind::Photo, "big.jpg", false),
                CarriedClip(WebClipKind::Movie, "walk.mp4", true), WebClip{},
                CarriedClip(WebClipKind::Photo, "small.jpg", false),
                CarriedClip(WebClipKind::Photo, "empty.jpg", false)};
  std::string error;
  const std::vector<PageBlock> blocks = BlocksOf(WritePage(dir, plan, error));
  ASSERT_EQ(error, "");

  std::vector<std::string> heads;
  for (const PageBlock& block : blocks)
    heads.push_back(block.id + " " + block.type + " " + block.pieces);
  EXPECT_EQ(heads, (std::vector<std::string>{"mw-clip-0 image/jpeg 3", "mw-clip-0.1  ",
                                             "mw-clip-0.2  ", "mw-clip-1 video/mp4 2",
                                             "mw-clip-1.1  ", "mw-clip-2 image/jpeg ",
                                             "mw-clip-3 image/jpeg ", "mw-clip-4 image/jpeg "}))
      << "a file of one piece is one block as before, without a count";
  ASSERT_EQ(blocks.size(), 8u);
  for (const PageBlock& block : blocks) EXPECT_LE(block.bytes.size(), qsizetype(piece));
  EXPECT_EQ((blocks[0].bytes + blocks[1].bytes + blocks[2].bytes).toStdString(), big);
  EXPECT_EQ((blocks[3].bytes + blocks[4].bytes).toStdString(), even);
  EXPECT_EQ(blocks[5].bytes.toStdString(), "poster");
  EXPECT_EQ(blocks[6].bytes.toStdString(), small);
  EXPECT_EQ(blocks[7].bytes.toStdString(), "");
}

TEST(PageWriterTest, AFileThatChangesWhileItIsWrittenIsAFailure) {
  TempDir dir;
  ExportPlan plan;
  plan.clips = {CarriedClip(WebClipKind::Photo, "hall.jpg", false)};
  const std::string bytes = test::RandomBytes(kClipPieceBytes + 10, 4);
  // The writer asks whether to stop before each block and as it reads: the second
  // question comes after the file was opened.
  for (const bool grows : {false, true}) {
    SCOPED_TRACE(grows ? "grows" : "shrinks");
    test::WriteFile(dir / "hall.jpg", bytes);
    int asked = 0;
    std::string error;
    WritePage(dir, plan, error, [&] {
      if (++asked == 2)
        std::filesystem::resize_file(dir / "hall.jpg", grows ? bytes.size() + 5 : 100);
      return false;
    });
    EXPECT_NE(error.find("cannot read " + dir / "hall.jpg"), std::string::npos) << error;
    EXPECT_NE(error.find(grows ? "longer" : "shorter"), std::string::npos) << error;
  }
}

}  // namespace
}  // namespace mw
