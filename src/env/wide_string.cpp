#include "env/wide_string.hpp"

#include "env/native_text.hpp"

namespace vora {

Result<WideString> make_wide_string(std::string_view wtf8) {
  std::u16string units;
  // Room for every byte as a unit, plus the terminator that the string keeps itself: ASCII text
  // never needs a second allocation.
  units.reserve(wtf8.size());
  append_utf16_from_text(units, wtf8);
  if (units.find(u'\0') != std::u16string::npos) {
    return std::unexpected(
        IoError::message(ErrorKind::InvalidInput, "strings passed to WinAPI cannot contain NULs"));
  }
  return WideString(std::move(units));
}

WideString wide_string_from_units(std::u16string&& units) { return WideString(std::move(units)); }

}  // namespace vora
