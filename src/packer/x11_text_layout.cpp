#include "packer/x11_text_layout.h"

#include <sstream>

namespace mw::packer {
namespace {

// The longest start of word (at least one character, not splitting a UTF-8 sequence) that
// fits max_width.
std::size_t FittingPrefix(const std::string& word, int max_width,
                          const std::function<int(const std::string&)>& width_of) {
  std::size_t fit = 0;
  for (std::size_t end = 1; end <= word.size(); ++end) {
    if (end < word.size() && (static_cast<unsigned char>(word[end]) & 0xC0) == 0x80) continue;
    if (width_of(word.substr(0, end)) > max_width) break;
    fit = end;
  }
  if (fit > 0) return fit;
  std::size_t one = 1;
  while (one < word.size() && (static_cast<unsigned char>(word[one]) & 0xC0) == 0x80) ++one;
  return one;
}

void WrapLine(const std::string& line, int max_width,
              const std::function<int(const std::string&)>& width_of,
              std::vector<std::string>& out) {
  std::istringstream words(line);
  std::string current;
  for (std::string word; words >> word;) {
    const std::string joined = current.empty() ? word : current + " " + word;
    if (width_of(joined) <= max_width) {
      current = joined;
      continue;
    }
    if (!current.empty()) out.push_back(current);
    current.clear();
    while (width_of(word) > max_width) {
      const std::size_t fit = FittingPrefix(word, max_width, width_of);
      out.push_back(word.substr(0, fit));
      word.erase(0, fit);
    }
    current = word;
  }
  out.push_back(current);
}

}  // namespace

std::vector<std::string> WrapText(const std::string& text, int max_width,
                                  const std::function<int(const std::string&)>& width_of) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) WrapLine(line, max_width, width_of, lines);
  return lines;
}

}  // namespace mw::packer
