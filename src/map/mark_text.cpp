#include "map/mark_text.h"

#include <cstring>
#include <ostream>

namespace mw {

MarkText& MarkText::operator=(const MarkText& other) {
  if (this != &other) *this = MarkText(other);
  return *this;
}

void MarkText::Hold(std::string_view text) {
  if (text.empty()) return;
  char* own = new char[text.size()];
  std::memcpy(own, text.data(), text.size());
  *this = MarkText(own, text.size(), Holder::Own);
}

void MarkText::CopyFrom(const MarkText& other) {
  if (other.HeldBy() == Holder::Lasting) {
    data_ = other.data_;
    sizeAndHolder_ = other.sizeAndHolder_;
    return;
  }
  Hold(other);
}

std::ostream& operator<<(std::ostream& out, const MarkText& text) {
  return out << std::string_view(text);
}

}  // namespace mw
