#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace vora {

// An owned text in WTF-8: UTF-8 that may also hold an unpaired UTF-16 surrogate as the
// three-byte form of its value. Every UTF-16 sequence maps to exactly one NativeText and back,
// so a path read from Windows goes back to Windows unchanged. Valid UTF-8 is already a
// NativeText.
class NativeText {
 public:
  NativeText() = default;
  // `wtf8` must be well-formed WTF-8, with no lead surrogate form directly before a trail one.
  NativeText(std::string_view wtf8) : bytes_(wtf8) {}  // NOLINT: implicit, as for any UTF-8 text
  // Takes over bytes that are already WTF-8.
  static NativeText adopt(std::string&& wtf8) {
    NativeText text;
    text.bytes_ = std::move(wtf8);
    return text;
  }

  std::string_view bytes() const { return bytes_; }
  // Hands the bytes over; the text is left empty.
  std::string into_bytes() && { return std::move(bytes_); }
  bool empty() const { return bytes_.empty(); }
  std::size_t size() const { return bytes_.size(); }

  // Appends `wtf8`; a trail surrogate at its start joins a lead surrogate at the end of this text
  // into the four-byte form of the pair.
  void append(std::string_view wtf8);
  void reserve(std::size_t bytes) { bytes_.reserve(bytes); }

  friend bool operator==(const NativeText&, const NativeText&) = default;

 private:
  std::string bytes_;
};

// True when `wtf8` holds the three-byte form of a surrogate: a byte 0xED followed by a byte
// 0xA0 or above.
bool holds_surrogate(std::string_view wtf8);

// The WTF-8 form of any UTF-16 units, NUL included: pairs become four-byte sequences, unpaired
// surrogates their three-byte form.
NativeText text_from_utf16(std::u16string_view units);

// The UTF-16 units of a WTF-8 text, without a terminator. Appends to `units`. The input is
// trusted to be well-formed; nothing is checked.
void append_utf16_from_text(std::u16string& units, std::string_view wtf8);
std::u16string utf16_from_text(std::string_view wtf8);

// The UTF-8 text form of a NativeText, for display and command lines. It borrows the
// NativeText's bytes when they hold no unpaired surrogate (the NativeText must then outlive it),
// and owns a copy with U+FFFD in place of each one otherwise.
class PathText {
 public:
  std::string_view view() const { return borrowed_ ? *borrowed_ : std::string_view(owned_); }
  // True when an unpaired surrogate had to be replaced, so that the text no longer names exactly
  // what the NativeText names.
  bool replaced() const { return !borrowed_; }

 private:
  friend PathText path_text(const NativeText& text);
  std::optional<std::string_view> borrowed_;
  std::string owned_;
};

PathText path_text(const NativeText& text);

}  // namespace vora
