#include "webexport/export_names.h"

#include <algorithm>

namespace mw {

namespace {

// Room left in a 255-byte file name for "-NNN" and ".poster.jpg".
constexpr std::size_t kLongestSafeName = 200;

bool KeptAsItIs(unsigned char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' ||
         c == '-' || c == '_';
}

// The byte length of the character at the start of `text`: a UTF-8 lead byte with its
// continuation bytes, or one byte.
std::size_t CharacterLength(std::string_view text) {
  const auto lead = static_cast<unsigned char>(text[0]);
  std::size_t length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
  std::size_t k = 1;
  while (k < length && k < text.size() && (static_cast<unsigned char>(text[k]) & 0xC0) == 0x80) ++k;
  return k;
}

// The position of the extension's dot, or npos; a leading dot starts no extension.
std::size_t ExtensionDot(std::string_view name) {
  const std::size_t dot = name.rfind('.');
  return dot == 0 ? std::string_view::npos : dot;
}

std::string Numbered(const std::string& name, int number) {
  const std::size_t dot = ExtensionDot(name);
  const std::string suffix = "-" + std::to_string(number);
  if (dot == std::string::npos) return name + suffix;
  return name.substr(0, dot) + suffix + name.substr(dot);
}

std::string Lower(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) {
    return static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
  });
  return text;
}

// Shortens `name` to kLongestSafeName bytes, keeping a short extension.
std::string Shortened(std::string name) {
  if (name.size() <= kLongestSafeName) return name;
  const std::size_t dot = ExtensionDot(name);
  const std::string extension =
      dot != std::string::npos && name.size() - dot <= 16 ? name.substr(dot) : std::string();
  return name.substr(0, kLongestSafeName - extension.size()) + extension;
}

}  // namespace

std::string UrlSafeName(std::string_view bare) {
  std::string name;
  name.reserve(bare.size());
  while (!bare.empty()) {
    const std::size_t length = CharacterLength(bare);
    const auto first = static_cast<unsigned char>(bare[0]);
    name += length == 1 && KeptAsItIs(first) ? static_cast<char>(first) : '_';
    bare.remove_prefix(length);
  }
  if (name.find_first_not_of('.') == std::string::npos) name = "clip" + name;
  return Shortened(std::move(name));
}

std::string PosterName(std::string_view clipName) {
  return std::string(clipName) + ".poster.jpg";
}

std::string ExportNames::Take(std::string_view bare, std::string_view extension, bool withPoster) {
  std::string name = UrlSafeName(bare);
  if (!extension.empty()) {
    const std::size_t dot = ExtensionDot(name);
    name = (dot == std::string::npos ? name : name.substr(0, dot)) + std::string(extension);
  }
  std::string chosen = name;
  for (int number = 2; !Free(chosen, withPoster); ++number) chosen = Numbered(name, number);
  Hold(chosen);
  if (withPoster) Hold(PosterName(chosen));
  return chosen;
}

bool ExportNames::Free(const std::string& name, bool withPoster) const {
  if (taken_.count(Lower(name)) != 0) return false;
  return !withPoster || taken_.count(Lower(PosterName(name))) == 0;
}

void ExportNames::Hold(const std::string& name) {
  taken_.insert(Lower(name));
}

}  // namespace mw
