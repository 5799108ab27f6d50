// Reading UTF-8 one character at a time, for the places that show or write a text whose
// bytes may be anything: an invalid sequence is told apart from every valid one.
#pragma once

#include <cstddef>
#include <string_view>

namespace mw {

// Length of the valid UTF-8 sequence at `at` in `text`, with its code point in `code`;
// 0 when the bytes there are no UTF-8 (overlong forms, surrogates and code points beyond
// U+10FFFF included).
inline std::size_t Utf8Sequence(std::string_view text, std::size_t at, char32_t& code) {
  const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[at + i]); };
  const unsigned char lead = byte(0);
  const std::size_t length = lead < 0x80                    ? 1
                             : lead >= 0xc2 && lead <= 0xdf ? 2
                             : lead >= 0xe0 && lead <= 0xef ? 3
                             : lead >= 0xf0 && lead <= 0xf4 ? 4
                                                            : 0;
  if (length == 0 || at + length > text.size()) return 0;
  char32_t value = length == 1 ? lead : lead & (0x7f >> length);
  for (std::size_t i = 1; i < length; ++i) {
    if ((byte(i) & 0xc0) != 0x80) return 0;
    value = value << 6 | (byte(i) & 0x3f);
  }
  constexpr char32_t kLeast[] = {0, 0, 0x80, 0x800, 0x10000};
  if (value < kLeast[length] || value > 0x10ffff || (value >= 0xd800 && value <= 0xdfff)) return 0;
  code = value;
  return length;
}

}  // namespace mw
