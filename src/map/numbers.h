#pragma once
// Numbers in map files, read and written the same way under every locale.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace mw {

// A decimal integer ("%d"): optional leading blanks, optional sign, digits, within 32 bits.
std::optional<std::int32_t> ParseInt(std::string_view text);
// A decimal number with "." as the decimal point (exponent allowed); finite and within
// the range of a 32-bit float.
std::optional<float> ParseFloat(std::string_view text);
// The quick way for the usual number text, "-" and digits (ints: at most 9; floats:
// at most 15, with one "." among them): reads it from `begin` and gives where it
// ends, with the value ParseInt or ParseFloat would give for that text; gives
// nullptr for any other start, which then needs the general way.
const char* ReadPlainInt(const char* begin, const char* end, std::int32_t& value);
const char* ReadPlainFloat(const char* begin, const char* end, float& value);
// Appends `value` in decimal.
void AppendInt(std::string& out, std::int32_t value);
// Appends `value` widened to double with six decimals, as "%f" in the "C" locale.
void AppendFixed6(std::string& out, float value);

}  // namespace mw
