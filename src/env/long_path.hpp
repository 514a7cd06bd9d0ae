#pragma once

#include <string_view>

#include "env/wide_string.hpp"
#include "runtime/io_error.hpp"

namespace vora {

// Paths this long or longer go to Windows in their extended-length form (`\\?\...`).
inline constexpr std::size_t kLongPathThreshold = 247;

// True when a path goes to Windows as it is: already extended-length (`\\?\`, `\??\`), empty, or
// shorter than kLongPathThreshold and absolute with a drive (`C:`, `C:\...`, `C:/...`) or a
// double separator (`\\server...`).
bool keeps_path_form(std::u16string_view path);

// The extended-length form of an absolute path as GetFullPathNameW gives it: `\\?\` before a
// drive path, `\\?\` in place of `\\.\`, `\\?\UNC\` in place of the two backslashes of a share,
// nothing before any other form. Without `always_prefix`, only paths of kLongPathThreshold units
// or more get a prefix.
WideString with_long_path_prefix(std::u16string_view absolute, bool always_prefix);

// The form in which a path is handed to a Windows file function: `path` itself when it keeps its
// form, otherwise its absolute form from GetFullPathNameW with the prefix above. Takes `path`
// over; the error is GetFullPathNameW's.
[[nodiscard]] Result<WideString> long_path_form(WideString path, bool always_prefix);

}  // namespace vora
