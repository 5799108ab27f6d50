#include "webexport/web_text.h"

#include <cstdint>

namespace mw {

namespace {

constexpr std::string_view kReplacement = "\xEF\xBF\xBD";

// The length of the valid UTF-8 sequence at `at`, or 0 when the bytes there are none.
std::size_t Utf8SequenceLength(std::string_view text, std::size_t at) {
  const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[at + k]); };
  const unsigned char lead = byte(0);
  if (lead < 0x80) return 1;
  std::size_t length = 0;
  unsigned char low = 0x80, high = 0xBF;  // the allowed range of the second byte
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    if (lead == 0xE0) low = 0xA0;   // no overlong forms
    if (lead == 0xED) high = 0x9F;  // no surrogates
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    if (lead == 0xF0) low = 0x90;
    if (lead == 0xF4) high = 0x8F;  // nothing above U+10FFFF
  } else {
    return 0;
  }
  if (at + length > text.size()) return 0;
  if (byte(1) < low || byte(1) > high) return 0;
  for (std::size_t k = 2; k < length; ++k) {
    if ((byte(k) & 0xC0) != 0x80) return 0;
  }
  return length;
}

// Calls `take(sequence)` for each character of `text`, U+FFFD standing for bytes that
// are not UTF-8.
template <class Take>
void ForEachCharacter(std::string_view text, Take take) {
  std::size_t at = 0;
  while (at < text.size()) {
    const std::size_t length = Utf8SequenceLength(text, at);
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
