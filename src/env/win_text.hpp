#pragma once

#include <string>

#include "env/wide_string.hpp"
#include "runtime/windows.hpp"

namespace vora {

// The units of a WideString or a UTF-16 string as the W functions of Windows take them (there
// wchar_t is the 16-bit unit that the portable code calls char16_t).
inline const wchar_t* win_text(const WideString& text) {
  return reinterpret_cast<const wchar_t*>(text.c_str());
}
inline const wchar_t* win_text(const std::u16string& text) {
  return reinterpret_cast<const wchar_t*>(text.c_str());
}

}  // namespace vora
