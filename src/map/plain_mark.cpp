#include "map/plain_mark.h"

#include <bit>
#include <cstdint>

#include "map/numbers.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace mw {
namespace {

// Finds the line feeds of a text one 64-byte block at a time: the feeds of a block
// are the set bits of one word.
class LineFeedFinder {
 public:
  LineFeedFinder(std::string_view text, std::size_t from)
      : text_(text), block_(from), feeds_(FeedsOfBlock()) {}

  // The next line feed, or nullptr when the text has none left.
  const char* Next() {
    while (feeds_ == 0) {
      block_ += kBlock;
      if (block_ >= text_.size()) return nullptr;
      feeds_ = FeedsOfBlock();
    }
    const char* feed = text_.data() + block_ + std::countr_zero(feeds_);
    feeds_ &= feeds_ - 1;
    return feed;
  }

 private:
  static constexpr std::size_t kBlock = 64;

  std::uint64_t FeedsOfBlock() const {
    const char* bytes = text_.data() + block_;
    const std::size_t left = block_ < text_.size() ? text_.size() - block_ : 0;
    if (left >= kBlock) return FeedsOfWholeBlock(bytes);
    std::uint64_t feeds = 0;
    for (std::size_t i = 0; i < left; ++i) feeds |= std::uint64_t{bytes[i] == '\n'} << i;
    return feeds;
  }

#if defined(__SSE2__)
  static std::uint64_t FeedsOf16(const char* bytes) {
    const __m128i chunk = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes));
    return static_cast<std::uint32_t>(
        _mm_movemask_epi8(_mm_cmpeq_epi8(chunk, _mm_set1_epi8('\n'))));
  }

  static std::uint64_t FeedsOfWholeBlock(const char* bytes) {
    return FeedsOf16(bytes) | FeedsOf16(bytes + 16) << 16 | FeedsOf16(bytes + 32) << 32 |
           FeedsOf16(bytes + 48) << 48;
  }
#else
  static std::uint64_t FeedsOfWholeBlock(const char* bytes) {
    std::uint64_t feeds = 0;
    for (std::size_t i = 0; i < kBlock; ++i) feeds |= std::uint64_t{bytes[i] == '\n'} << i;
    return feeds;
  }
#endif

  std::string_view text_;
  std::size_t block_;
  std::uint64_t feeds_;
};

constexpr int kMarkLines = 9;

// A text line from `begin` to its line feed, without trailing characters of code 32
// or less.
MarkText TextLine(const char* begin, const char* feed) {
  while (feed > begin && static_cast<unsigned char>(feed[-1]) <= 32) --feed;
  return MarkText::InMapText({begin, static_cast<std::size_t>(feed - begin)});
}

// True when the line from `begin` to its line feed is a plain number, and `read` read it.
template <class Number, class ReadPlain>
bool PlainNumberLine(const char* begin, const char* feed, Number& value, ReadPlain read) {
  const char* at = read(begin, feed, value);
  return at != nullptr && (at == feed || (at + 1 == feed && *at == '\r'));
}

}  // namespace

std::size_t ReadPlainMark(std::string_view text, std::size_t at, ClickerMark& mark) {
  LineFeedFinder finder(text, at);
  const char* feeds[kMarkLines];
  for (const char*& feed : feeds) {
    feed = finder.Next();
    if (feed == nullptr) return 0;
  }
  // Line i runs from start(i) to feeds[i].
  auto start = [&](int line) { return line == 0 ? text.data() + at : feeds[line - 1] + 1; };
  float x = 0;
  float y = 0;
  std::int32_t size = 0;
  std::int32_t width = 0;
  std::int32_t height = 0;
  if (!PlainNumberLine(start(1), feeds[1], x, ReadPlainFloat) ||
      !PlainNumberLine(start(2), feeds[2], y, ReadPlainFloat) ||
      !PlainNumberLine(start(3), feeds[3], size, ReadPlainInt) ||
      !PlainNumberLine(start(6), feeds[6], width, ReadPlainInt) ||
      !PlainNumberLine(start(7), feeds[7], height, ReadPlainInt))
    return 0;
  mark.Clip = TextLine(start(0), feeds[0]);
  mark.X = x;
  mark.Y = y;
  mark.Size = size;
  mark.NextClip = TextLine(start(4), feeds[4]);
  mark.Reserved = TextLine(start(5), feeds[5]);
  mark.AreaWidth = width;
  mark.AreaHeight = height;
  mark.Hint = TextLine(start(8), feeds[8]);
  return static_cast<std::size_t>(feeds[8] + 1 - text.data());
}

}  // namespace mw
