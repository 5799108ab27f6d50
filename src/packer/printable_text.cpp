#include "packer/printable_text.h"

namespace mw::packer {
namespace {

// Length of the UTF-8 sequence at the start of `text` that encodes a printable
// character; 0 when it is a control character or no valid UTF-8.
std::size_t PrintableSequence(std::string_view text) {
  const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
  const unsigned char lead = byte(0);
  if (lead < 0x80) return lead >= 0x20 && lead != 0x7f ? 1 : 0;
  std::size_t length = 0;
  unsigned min_second = 0x80, max_second = 0xbf;
  if (lead >= 0xc2 && lead <= 0xdf) length = 2;
  if (lead >= 0xe0 && lead <= 0xef) length = 3;
  if (lead >= 0xf0 && lead <= 0xf4) length = 4;
  if (lead == 0xc2) min_second = 0xa0;  // U+0080..U+009F are the 8-bit controls
  if (lead == 0xe0) min_second = 0xa0;  // no overlong forms
  if (lead == 0xed) max_second = 0x9f;  // no surrogates
  if (lead == 0xf0) min_second = 0x90;
  if (lead == 0xf4) max_second = 0x8f;
  if (length == 0 || text.size() < length) return 0;
  if (byte(1) < min_second || byte(1) > max_second) return 0;
  for (std::size_t i = 2; i < length; ++i)
    if (byte(i) < 0x80 || byte(i) > 0xbf) return 0;
  return length;
}

// The code point of a UTF-8 sequence of `length` bytes at the start of `text` that is a
// bidirectional control, which could turn the rest of a printed line around; 0 otherwise.
unsigned BidiControl(std::string_view text, std::size_t length) {
  const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
  unsigned code = 0;
  if (length == 2) code = (byte(0) & 0x1fu) << 6 | (byte(1) & 0x3fu);
  if (length == 3) code = (byte(0) & 0x0fu) << 12 | (byte(1) & 0x3fu) << 6 | (byte(2) & 0x3fu);
  const bool bidi = code == 0x061c || code == 0x200e || code == 0x200f ||
                    (code >= 0x202a && code <= 0x202e) || (code >= 0x2066 && code <= 0x2069);
  return bidi ? code : 0;
}

// Appends the printable form of `text` to `out`, up to `limit` characters; gives how
// many bytes of `text` that took.
std::size_t AppendPrintable(std::string_view text, std::size_t limit, std::string& out) {
  static const char digits[] = "0123456789abcdef";
  std::size_t at = 0;
  for (std::size_t characters = 0; at < text.size() && characters < limit; ++characters) {
    const std::size_t length = PrintableSequence(text.substr(at));
    if (const unsigned bidi = length > 0 ? BidiControl(text.substr(at), length) : 0) {
      out += "\\u";
      for (int shift = 12; shift >= 0; shift -= 4) out += digits[(bidi >> shift) & 15];
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
