// The exporter's own rules, without running an export: names in the export, texts made
// safe for a page, and the page template's tokens.
#include <gtest/gtest.h>

#include <QByteArray>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include "webexport/export_names.h"
#include "webexport/output_file.h"
#include "webexport/web_text.h"

namespace mw {
namespace {

TEST(ExportNamesTest, NamesAreBareUrlSafeAndUniqueWhateverTheirCase) {
  EXPECT_EQ(UrlSafeName("Küche & Bad.jpg"), "K_che___Bad.jpg") << "one _ per character";
  EXPECT_EQ(UrlSafeName("a%2Fb?c#d.jpg"), "a_2Fb_c_d.jpg");
  EXPECT_EQ(UrlSafeName("\xFF\xFE.jpg"), "__.jpg") << "bytes that are no UTF-8, one each";
  EXPECT_EQ(UrlSafeName(".."), "clip..");
  EXPECT_EQ(UrlSafeName(""), "clip");
  EXPECT_LE(UrlSafeName(std::string(300, 'x') + ".jpeg").size(), 200u);
  EXPECT_EQ(UrlSafeName(std::string(300, 'x') + ".jpeg").substr(194), "x.jpeg");

  ExportNames names;
  EXPECT_EQ(names.Take("hall.jpg", "", false), "hall.jpg");
  EXPECT_EQ(names.Take("hall.jpg", "", false), "hall-2.jpg");
  EXPECT_EQ(names.Take("HALL.JPG", "", false), "HALL-3.JPG") << "case-blind file systems";
  EXPECT_EQ(names.Take("h all.jpg", "", false), "h_all.jpg");
  EXPECT_EQ(names.Take("h_all.jpg", "", false), "h_all-2.jpg") << "made safe, then unique";
  EXPECT_EQ(names.Take("README", "", false), "README");
  EXPECT_EQ(names.Take("README", "", false), "README-2");
  // A converted movie takes .mp4 and keeps its poster's name free.
  EXPECT_EQ(names.Take("tour.mpg", ".mp4", true), "tour.mp4");
  EXPECT_EQ(names.Take("tour.mp4", "", true), "tour-2.mp4");
  EXPECT_EQ(names.Take("tour.mp4.poster.jpg", "", false), "tour.mp4.poster-2.jpg");
  EXPECT_EQ(PosterName("tour.mp4"), "tour.mp4.poster.jpg");
}

TEST(WebTextTest, JsonStaysInsideItsScriptBlockAndIsValidUtf8) {
  std::string json;
  AppendJsonString(json, "</script><!-- & \"q\" \\ \n\r\t\x01\x7F \xE2\x80\xA8\xE2\x80\xA9 é");
  EXPECT_EQ(json,
            "\"\\u003c/script\\u003e\\u003c!-- \\u0026 \\\"q\\\" \\\\ \\n\\r\\t\\u0001\\u007f "
            "\\u2028\\u2029 é\"");
  // Stray, cut, overlong and surrogate sequences each become U+FFFD.
  const std::string broken =
      "a\xFF"
      "b\xC3"
      "c\xC0\xAF"
      "d\xED\xA0\x80"
      "e\xF4\x90\x80\x80";
  const std::string repaired = ValidUtf8(broken);
  EXPECT_EQ(QString::fromUtf8(repaired.data(), static_cast<qsizetype>(repaired.size()))
                .toUtf8()
                .toStdString(),
            repaired);
  EXPECT_EQ(repaired.find("\xED\xA0"), std::string::npos);
  EXPECT_EQ(repaired.substr(0, 5),
            "a\xEF\xBF\xBD"
            "b");
  json.clear();
  AppendJsonString(json, broken);
  const QJsonDocument document =
      QJsonDocument::fromJson(QByteArray::fromStdString("[" + json + "]"));
  ASSERT_TRUE(document.isArray());
  EXPECT_EQ(document.array()[0].toString().toStdString(), repaired);

  EXPECT_EQ(HtmlEscaped("<a href='x'>\"&\"</a>"),
            "&lt;a href=&#39;x&#39;&gt;&quot;&amp;&quot;&lt;/a&gt;");
  EXPECT_EQ(OneLine("Tour\r\nof\tthe\nhouse"), "Tour  of the house");
}

TEST(WebTextTest, Base64MatchesTheStandardForm) {
  for (const std::string text : {"", "f", "fo", "foo", "foob", "fooba", "foobar", "\xFF\x00\x80"}) {
    EXPECT_EQ(Base64(text), QByteArray::fromStdString(text).toBase64().toStdString());
  }
}

}  // namespace
}  // namespace mw
