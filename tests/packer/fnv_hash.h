#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace mw::test {

// 64-bit FNV-1a hash of bytes, as hex text: enough to tell files apart in the tests.
inline std::string Fnv1a(std::string_view bytes) {
  std::uint64_t hash = 14695981039346656037ull;
  for (unsigned char c : bytes) hash = (hash ^ c) * 1099511628211ull;
  char text[17];
  static const char digits[] = "0123456789abcdef";
  for (int i = 15; i >= 0; --i, hash >>= 4) text[i] = digits[hash & 15];
  text[16] = '\0';
  return text;
}

}  // namespace mw::test
