// Feeds arbitrary bytes to the map reader; whatever it reads must write back and
// read again to the same marks.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "map/map_file.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string_view text(reinterpret_cast<const char*>(data), size);
  mw::MapFileContent content = mw::ParseMap(text);
  if (content.status != mw::MapReadStatus::Loaded) return 0;
  const auto& marks = content.marks.Marks();
  if (mw::FindUnstorableMark(marks)) std::abort();  // lines never hold a line feed
  std::string written = mw::FormatMap(content.windowSize.value_or(mw::WindowSize{}), marks);
  mw::MapFileContent again = mw::ParseMap(written);
  if (again.status != mw::MapReadStatus::Loaded || again.marks.Count() != marks.size()) std::abort();
  for (std::size_t i = 0; i < marks.size(); ++i) {
    const mw::ClickerMark& a = marks[i];
    const mw::ClickerMark& b = again.marks.At(i);
    if (a.Clip != b.Clip || a.NextClip != b.NextClip || a.Hint != b.Hint ||
        a.Reserved != b.Reserved || a.Size != b.Size || a.AreaWidth != b.AreaWidth ||
        a.AreaHeight != b.AreaHeight)
      std::abort();
  }
  return 0;
}
