#include "map/numbers.h"

#include <charconv>
#include <cmath>
#include <limits>

namespace mw {
namespace {

std::string_view SkipLeadingBlanks(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  return text;
}

// from_chars takes "-" but not "+"; a "+" before the digits is accepted here.
std::string_view SkipPlus(std::string_view text) {
  if (text.size() > 1 && text.front() == '+' && text[1] != '-' && text[1] != '+')
    text.remove_prefix(1);
  return text;
}

constexpr bool IsDigit(char c) { return static_cast<unsigned char>(c - '0') <= 9; }

// Reads the digits from `at` into `value`; gives where they end.
const char* ReadDigits(const char* at, const char* end, std::uint64_t& value) {
  while (at < end && IsDigit(*at)) value = value * 10 + static_cast<unsigned>(*at++ - '0');
  return at;
}

// Exact powers of ten for the quick way: a whole number of at most 15 digits divided
// by one of these is the nearest double to the decimal, as the general way gives.
constexpr double kPowersOfTen[] = {1e0, 1e1, 1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                   1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15};

}  // namespace

const char* ReadPlainInt(const char* begin, const char* end, std::int32_t& value) {
  const bool negative = begin < end && *begin == '-';
  const char* digits = begin + negative;
  std::uint64_t magnitude = 0;
  const char* at = ReadDigits(digits, end, magnitude);
  if (at == digits || at - digits > 9) return nullptr;
  value = static_cast<std::int32_t>(negative ? 0 - magnitude : magnitude);
  return at;
}

const char* ReadPlainFloat(const char* begin, const char* end, float& value) {
  const bool negative = begin < end && *begin == '-';
  const char* digits = begin + negative;
  std::uint64_t mantissa = 0;
  const char* at = ReadDigits(digits, end, mantissa);
  const char* wholeEnd = at;
  if (wholeEnd == digits) return nullptr;
  std::size_t decimals = 0;
  if (at < end && *at == '.') {
    at = ReadDigits(wholeEnd + 1, end, mantissa);
    decimals = static_cast<std::size_t>(at - wholeEnd - 1);
    if (decimals == 0) return nullptr;
  }
  if (static_cast<std::size_t>(wholeEnd - digits) + decimals > 15) return nullptr;
  const double magnitude = static_cast<double>(mantissa) / kPowersOfTen[decimals];
  value = static_cast<float>(negative ? -magnitude : magnitude);
  return at;
}

namespace {

std::optional<std::int32_t> ParseIntGenerally(std::string_view text) {
  text = SkipPlus(SkipLeadingBlanks(text));
  if (text.empty()) return std::nullopt;
  std::int32_t value = 0;
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return value;
}

std::optional<float> ParseFloatGenerally(std::string_view text) {
  text = SkipPlus(SkipLeadingBlanks(text));
  if (text.empty()) return std::nullopt;
  double value = 0;
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value,
                                   std::chars_format::general);
  if (ec != std::errc() || end != text.data() + text.size()) return std::nullopt;
  if (!std::isfinite(value) || std::fabs(value) > std::numeric_limits<float>::max())
    return std::nullopt;
  return static_cast<float>(value);
}

// True when `read` takes the whole text the quick way.
template <class Number, class ReadPlain>
bool ReadWholeTextPlainly(std::string_view text, Number& value, ReadPlain read) {
  const char* end = text.data() + text.size();
  const char* at = read(text.data(), end, value);
  return at != nullptr && at == end;
}

}  // namespace

std::optional<std::int32_t> ParseInt(std::string_view text) {
  std::int32_t value = 0;
  if (ReadWholeTextPlainly(text, value, ReadPlainInt)) return value;
  return ParseIntGenerally(text);
}

std::optional<float> ParseFloat(std::string_view text) {
  float value = 0;
  if (ReadWholeTextPlainly(text, value, ReadPlainFloat)) return value;
  return ParseFloatGenerally(text);
}

void AppendInt(std::string& out, std::int32_t value) {
  char buffer[16];
  out.append(buffer, std::to_chars(buffer, buffer + sizeof buffer, value).ptr);
}

void AppendFixed6(std::string& out, float value) {
  // A float widened to double has at most 39 integer digits; 64 bytes leave room.
  char buffer[64];
  auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, static_cast<double>(value),
                                 std::chars_format::fixed, 6);
  if (ec != std::errc()) {  // non-finite: never produced by the editor, written as printf would
    out += std::isnan(value) ? "nan" : (value < 0 ? "-inf" : "inf");
    return;
  }
  out.append(buffer, end);
}

}  // namespace mw
