#pragma once

#include <string>
#include <string_view>

#include "runtime/io_error.hpp"

namespace vora {

// UTF-16 units for one Windows call: followed by exactly one NUL unit, with no other NUL.
class WideString {
 public:
  // The units without the terminating NUL; their count is the string's length.
  std::u16string_view units() const { return units_; }
  std::size_t size() const { return units_.size(); }
  // NUL-terminated, for the Windows call; valid while the WideString lives.
  const char16_t* c_str() const { return units_.c_str(); }

 private:
  friend Result<WideString> make_wide_string(std::string_view wtf8);
  friend WideString wide_string_from_units(std::u16string&& units);
  explicit WideString(std::u16string&& units) : units_(std::move(units)) {}

  std::u16string units_;
};

// The UTF-16 form of a WTF-8 text for a Windows call, in one allocation for ASCII text. A NUL
// anywhere in the text gives the InvalidInput error "strings passed to WinAPI cannot contain
// NULs", and nothing reaches Windows.
[[nodiscard]] Result<WideString> make_wide_string(std::string_view wtf8);

// Takes over units that come from Windows or from other WideStrings and so hold no NUL.
WideString wide_string_from_units(std::u16string&& units);

}  // namespace vora
