#pragma once

// Text helpers of the small stand-in programs that tests start. They use nothing of the code
// under test, so that what they report does not depend on it.
#include <string>
#include <string_view>
#include <vector>

#include "runtime/windows.hpp"

namespace vora::stand_in {

// The longest text that Windows keeps as an environment variable or a path, and its end.
inline constexpr DWORD kLongestText = 32768;

// The value of an environment variable; empty when it is not set.
inline std::wstring environment(const wchar_t* name) {
  std::vector<wchar_t> buffer(kLongestText);
  const DWORD length = GetEnvironmentVariableW(name, buffer.data(), kLongestText);
  return length < kLongestText ? std::wstring(buffer.data(), length) : std::wstring();
}

// UTF-8, unit by unit, so that an unpaired surrogate stays visible as its own three-byte form
// instead of a lenient converter swapping it for U+FFFD behind the test's back.
inline std::string wtf8(std::wstring_view text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    char32_t c = text[i];
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
        text[i + 1] <= 0xDFFF) {
      c = 0x10000 + ((c - 0xD800) << 10) + (static_cast<char32_t>(text[++i]) - 0xDC00);
    }
    if (c < 0x80) {
      out += static_cast<char>(c);
    } else if (c < 0x800) {
      out += static_cast<char>(0xC0 | (c >> 6));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
      out += static_cast<char>(0xE0 | (c >> 12));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
      out += static_cast<char>(0xF0 | (c >> 18));
      out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return out;
}

}  // namespace vora::stand_in
