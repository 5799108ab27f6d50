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

}  // namespace

std::optional<std::int32_t> ParseInt(std::string_view text) {
  text = SkipPlus(SkipLeadingBlanks(text));
  if (text.empty()) return std::nullopt;
  std::int32_t value = 0;
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return value;
}

std::optional<float> ParseFloat(std::string_view text) {
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
