#include "media/display_text.h"

namespace mw {

QString TextForDisplay(std::string_view text, std::size_t limit) {
  if (text.size() <= limit) return QString::fromLocal8Bit(text.data(), static_cast<qsizetype>(text.size()));
  std::size_t cut = limit;
  // Back off to the start of a UTF-8 character.
  while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80) --cut;
  return QString::fromLocal8Bit(text.data(), static_cast<qsizetype>(cut)) + QChar(0x2026);
}

}  // namespace mw
