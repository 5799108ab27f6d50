#pragma once
// A text of a clicker mark (clip, target, reserved line, message).
//
// A map read from a file keeps that file's text, and the texts of its marks point
// into it instead of each holding a copy: a large map loads without one allocation
// per text. Every other text is held by the mark itself. A copy of a mark always
// holds its own texts, so it outlives the map it was copied from.

#include <concepts>
#include <cstddef>
#include <iosfwd>
#include <string>
#include <string_view>

namespace mw {

class MarkText {
  // Who keeps the bytes: static storage, the text of the map holding the mark, or
  // this text itself.
  enum class Holder : std::size_t { Lasting = 0, MapText = 1, Own = 2 };

 public:
  constexpr MarkText() = default;
  MarkText(std::string_view text) { Hold(text); }  // NOLINT: texts convert freely
  MarkText(const char* text) : MarkText(std::string_view(text)) {}
  MarkText(const std::string& text) : MarkText(std::string_view(text)) {}
  MarkText(const MarkText& other) { CopyFrom(other); }
  MarkText(MarkText&& other) noexcept { TakeFrom(other); }
  constexpr ~MarkText() { Release(); }

  MarkText& operator=(const MarkText& other);
  MarkText& operator=(MarkText&& other) noexcept {
    if (this != &other) {
      Release();
      TakeFrom(other);
    }
    return *this;
  }
  // Any text, also one pointing into this mark's own text.
  template <class Text>
    requires std::convertible_to<const Text&, std::string_view> &&
             (!std::same_as<Text, MarkText>)
  MarkText& operator=(const Text& text) {
    return *this = MarkText(std::string_view(text));
  }

  // A text of static storage, such as the defaults of a new mark: never copied.
  template <std::size_t N>
  static consteval MarkText Lasting(const char (&text)[N]) {
    return MarkText(text, N - 1, Holder::Lasting);
  }
  // A text inside the stored text of the map that holds the mark, which keeps that
  // text for as long as the mark lives in it. Only the map reader makes these.
  static MarkText InMapText(std::string_view text) {
    return MarkText(text.data(), text.size(), Holder::MapText);
  }

  operator std::string_view() const { return {data_, size()}; }  // NOLINT
  std::string str() const { return {data_, size()}; }
  explicit operator std::string() const { return str(); }
  const char* data() const { return data_; }
  std::size_t size() const { return sizeAndHolder_ & kSizeMask; }
  bool empty() const { return size() == 0; }

  friend bool operator==(const MarkText& a, const MarkText& b) {
    return std::string_view(a) == std::string_view(b);
  }
  template <class Text>
    requires std::convertible_to<const Text&, std::string_view> &&
             (!std::same_as<Text, MarkText>)
  friend bool operator==(const MarkText& a, const Text& b) {
    return std::string_view(a) == std::string_view(b);
  }
  friend std::ostream& operator<<(std::ostream& out, const MarkText& text);

 private:
  // The size and the holder share one word: no text comes near 2^62 bytes, and a
  // small text keeps many marks of a large map in fewer pages.
  static constexpr int kHolderShift = 62;
  static constexpr std::size_t kSizeMask = (std::size_t{1} << kHolderShift) - 1;

  constexpr MarkText(const char* data, std::size_t size, Holder holder)
      : data_(data), sizeAndHolder_(size | static_cast<std::size_t>(holder) << kHolderShift) {}

  constexpr Holder HeldBy() const { return static_cast<Holder>(sizeAndHolder_ >> kHolderShift); }
  void Hold(std::string_view text);
  void CopyFrom(const MarkText& other);
  // Only a text that holds its own bytes gives them up; any other stays as it was,
  // which spares moving a large map's marks one write each.
  void TakeFrom(MarkText& other) noexcept {
    data_ = other.data_;
    sizeAndHolder_ = other.sizeAndHolder_;
    if (HeldBy() == Holder::Own) {
      other.data_ = "";
      other.sizeAndHolder_ = 0;
    }
  }
  constexpr void Release() noexcept {
    if (HeldBy() == Holder::Own) delete[] data_;
  }

  const char* data_ = "";
  std::size_t sizeAndHolder_ = 0;  // Holder::Lasting, size 0
};

}  // namespace mw
