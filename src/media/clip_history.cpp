#include "media/clip_history.h"

namespace mw {

void ClipHistory::Record(const std::string& path) {
  if (!entries_.empty()) entries_.resize(current_ + 1);
  entries_.push_back(path);
  current_ = entries_.size() - 1;
}

std::string ClipHistory::DropLast() {
  if (entries_.empty()) return std::string();
  entries_.pop_back();
  current_ = entries_.empty() ? 0 : entries_.size() - 1;
  return Current();
}

bool ClipHistory::Previous() {
  if (entries_.empty() || current_ == 0) return false;
  --current_;
  return true;
}

bool ClipHistory::Next() {
  if (entries_.empty() || current_ + 1 >= entries_.size()) return false;
  ++current_;
  return true;
}

std::string ClipHistory::Current() const {
  return entries_.empty() ? std::string() : entries_[current_];
}

bool ClipHistory::PreviousEnabled() const {
  return entries_.size() >= 2 && current_ > 0;
}

bool ClipHistory::NextEnabled() const {
  return entries_.size() >= 2 && current_ + 1 < entries_.size();
}

std::string ClipHistory::NextHint() const {
  return "Next clip (Total = " + std::to_string(entries_.size()) + ")";
}

}  // namespace mw
