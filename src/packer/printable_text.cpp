#include "packer/printable_text.h"

#include "map/utf8_sequence.h"

namespace mw::packer {
namespace {

// Length of the UTF-8 sequence at `at` in `text` that encodes a printable character, with
// its code point; 0 when it is a control character (C0, DEL, C1) or no valid UTF-8.
std::size_t PrintableSequence(std::string_view text, std::size_t at, char32_t& code) {
  const std::size_t length = Utf8Sequence(text, at, code);
  if (length == 0 || code < 0x20 || (code >= 0x7f && code <= 0x9f)) return 0;
  return length;
}

// A bidirectional control, which could turn the rest of a printed line around.
bool IsBidiControl(char32_t code) {
  return code == 0x061c || code == 0x200e || code == 0x200f || (code >= 0x202a && code <= 0x202e) ||
         (code >= 0x2066 && code <= 0x2069);
}

// Appends the printable form of `text` to `out`, up to `limit` characters; gives how
// many bytes of `text` that took.
std::size_t AppendPrintable(std::string_view text, std::size_t limit, std::string& out) {
  static const char digits[] = "0123456789abcdef";
  std::size_t at = 0;
  for (std::size_t characters = 0; at < text.size() && characters < limit; ++characters) {
    char32_t code = 0;
    const std::size_t length = PrintableSequence(text, at, code);
    if (length > 0 && IsBidiControl(code)) {
      out += "\\u";
      for (int shift = 12; shift >= 0; shift -= 4) out += digits[(code >> shift) & 15];
      at += length;
      continue;
    }
    if (length > 0) {
      out.append(text.substr(at, length));
      at += length;
      continue;
    }
    const auto c = static_cast<unsigned char>(text[at++]);
    out += "\\x";
    out += digits[c >> 4];
    out += digits[c & 15];
  }
  return at;
}

}  // namespace

std::string Printable(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  AppendPrintable(text, text.size(), out);
  return out;
}

std::string PrintableName(std::string_view name) {
  std::string out;
  if (AppendPrintable(name, kMaxPrintedName, out) < name.size()) out += "...";
  return out;
}

}  // namespace mw::packer
