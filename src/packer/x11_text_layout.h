#pragma once
// Breaking a text into lines that fit a width, for the self-extractor's message window.

#include <functional>
#include <string>
#include <vector>

namespace mw::packer {

// Splits text at its line breaks and wraps each line at blanks so that no line is wider
// than max_width as width_of measures it; a word wider than that is broken within itself.
// Runs of blanks become one blank; every other character is kept, in order.
std::vector<std::string> WrapText(const std::string& text, int max_width,
                                  const std::function<int(const std::string&)>& width_of);

}  // namespace mw::packer
