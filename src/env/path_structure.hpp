#pragma once

#include <optional>
#include <string_view>

#include "env/native_text.hpp"

namespace vora {

// Windows path syntax on WTF-8 bytes: drive letters, shares, `\\.\` devices and `\\?\`
// extended-length paths, with `\` and `/` as separators. Nothing is normalised and the file system
// is never consulted.

// The path without its last component and the separators in front of it, or none when the path
// is empty or ends at its prefix or root. A view of the first bytes of `path`, valid as long as it
// is.
std::optional<std::string_view> path_parent(std::string_view path);

// The last component when it is a name (not `.`, `..`, a root or a prefix). A view into `path`,
// valid as long as it is.
std::optional<std::string_view> path_file_name(std::string_view path);

// `name` put after `base`: `name` alone when it has a prefix of its own, base's prefix followed by
// `name` when `name` starts at a root, and otherwise the two joined by one `\` where needed.
// Under an extended-length base, `..` and `.` in `name` are resolved, since Windows will not.
NativeText path_join(std::string_view base, std::string_view name);

// True when `a` and `b` have the same length and match byte for byte once A-Z are mapped to a-z.
// No other byte is folded, so a non-ASCII letter matches only itself.
bool equals_ignore_ascii_case(std::string_view a, std::string_view b);

}  // namespace vora
