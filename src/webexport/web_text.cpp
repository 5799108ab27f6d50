#include "webexport/web_text.h"

#include <cstdint>

#include "map/utf8_sequence.h"

namespace mw {

namespace {

constexpr std::string_view kReplacement = "\xEF\xBF\xBD";

// Calls `take(sequence)` for each character of `text`, U+FFFD standing for bytes that
// are not UTF-8.
template <class Take>
void ForEachCharacter(std::string_view text, Take take) {
  std::size_t at = 0;
  while (at < text.size()) {
    char32_t code = 0;
    const std::size_t length = Utf8Sequence(text, at, code);
    if (length == 0) {
      take(kReplacement);
      ++at;
    } else {
      take(text.substr(at, length));
      at += length;
    }
  }
}

void AppendUnicodeEscape(std::string& out, unsigned code) {
  static constexpr char kHex[] = "0123456789abcdef";
  out += "\\u";
  for (int shift = 12; shift >= 0; shift -= 4) out += kHex[(code >> shift) & 0xF];
}

}  // namespace

std::string ValidUtf8(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  ForEachCharacter(text, [&](std::string_view c) { out += c; });
  return out;
}

void AppendJsonString(std::string& out, std::string_view text) {
  out += '"';
  ForEachCharacter(text, [&](std::string_view c) {
    const auto first = static_cast<unsigned char>(c[0]);
    if (c == "\xE2\x80\xA8") return AppendUnicodeEscape(out, 0x2028);
    if (c == "\xE2\x80\xA9") return AppendUnicodeEscape(out, 0x2029);
    switch (first) {
      case '"':
        out += "\\\"";
        return;
      case '\\':
        out += "\\\\";
        return;
      case '\n':
        out += "\\n";
        return;
      case '\r':
        out += "\\r";
        return;
      case '\t':
        out += "\\t";
        return;
      case '<':
      case '>':
      case '&':
        return AppendUnicodeEscape(out, first);
      default:
        break;
    }
    if (first < 0x20 || first == 0x7F) return AppendUnicodeEscape(out, first);
    out += c;
  });
  out += '"';
}

namespace {

std::string Escaped(std::string_view text, bool singleQuotes) {
  std::string out;
  out.reserve(text.size());
  ForEachCharacter(text, [&](std::string_view c) {
    switch (c[0]) {
      case '&':
        out += "&amp;";
        return;
      case '<':
        out += "&lt;";
        return;
      case '>':
        out += "&gt;";
        return;
      case '"':
        out += "&quot;";
        return;
      case '\'':
        if (singleQuotes) {
          out += "&#39;";
          return;
        }
        break;
      default:
        break;
    }
    out += c;
  });
  return out;
}

}  // namespace

std::string HtmlEscaped(std::string_view text) {
  return Escaped(text, true);
}

std::string DoubleQuotedAttribute(std::string_view text) {
  return Escaped(text, false);
}

std::string OneLine(std::string_view text) {
  std::string out(text);
  for (char& c : out) {
    if (c == '\r' || c == '\n' || c == '\t') c = ' ';
  }
  return out;
}

}  // namespace mw
