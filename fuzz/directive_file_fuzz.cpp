// Feeds arbitrary text to the directive file parser: it either refuses it with a
// PackerError or gives files that are bare names, each once, and a target.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <set>
#include <string_view>

#include "packer/directive_file.h"
#include "packer/packer_error.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  mw::packer::PackageDirective directive;
  try {
    directive = mw::packer::ParseDirectiveText(text);
  } catch (const mw::packer::PackerError&) {
    return 0;
  }
  if (directive.target.empty() || directive.files.empty()) std::abort();
  std::set<std::string_view> names;
  for (const mw::packer::SourceFile& file : directive.files) {
    const std::string_view name = file.name;
    if (name.empty() || name == "." || name == ".." || name.find('/') != name.npos) std::abort();
    if (!names.insert(name).second) std::abort();
  }
  return 0;
}
