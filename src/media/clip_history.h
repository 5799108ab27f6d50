#pragma once
// The history of the clips opened in a window, with Previous and Next. No Qt.

#include <cstddef>
#include <string>
#include <vector>

namespace mw {

// Ordered list of clip paths, oldest first, with a current entry. Recording always appends
// (also a path equal to the current one), so an entry that a caller has just recorded can
// always be taken back with DropLast without losing the entry it replaced.
class ClipHistory {
 public:
  // Discards every entry after the current one and appends `path` as the new current entry.
  void Record(const std::string& path);
  // Takes back the last entry; the entry before it becomes current. With one entry the
  // history becomes empty (no current entry); with none nothing changes. Returns the path
  // of the new current entry, empty when there is none.
  std::string DropLast();
  // Makes the entry before the current one current. False (no change) on the first entry
  // or an empty history.
  bool Previous();
  // Makes the entry after the current one current. False (no change) on the last entry or
  // an empty history.
  bool Next();

  std::size_t Count() const { return entries_.size(); }
  bool Empty() const { return entries_.empty(); }
  // Path of the current entry; empty text when there is none.
  std::string Current() const;
  // Index of the current entry; only meaningful while !Empty().
  std::size_t CurrentIndex() const { return current_; }
  const std::vector<std::string>& Entries() const { return entries_; }

  // Whether the Previous and Next buttons are enabled: only with at least two entries, then
  // Previous unless the current entry is the first and Next unless it is the last.
  bool PreviousEnabled() const;
  bool NextEnabled() const;
  // The Next button's hint for the present count: "Next clip (Total = N)".
  std::string NextHint() const;

 private:
  std::vector<std::string> entries_;
  std::size_t current_ = 0;
};

}  // namespace mw
