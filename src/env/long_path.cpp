#include "env/long_path.hpp"

namespace vora {
namespace {

bool is_separator(char16_t unit) { return unit == u'\\' || unit == u'/'; }

bool begins_with(std::u16string_view text, std::u16string_view start) {
  return text.substr(0, start.size()) == start;
}

}  // namespace

bool keeps_path_form(std::u16string_view path) {
  if (begins_with(path, u"\\\\?\\") || begins_with(path, u"\\??\\") || path.empty()) return true;
  if (path.size() >= kLongPathThreshold) return false;
  const bool drive = path.size() >= 2 && !is_separator(path[0]) && path[1] == u':';
  if (drive && (path.size() == 2 || is_separator(path[2]))) return true;
  return path.size() >= 2 && is_separator(path[0]) && is_separator(path[1]);
}

WideString with_long_path_prefix(std::u16string_view absolute, bool always_prefix) {
  std::u16string_view prefix;
  std::u16string_view rest = absolute;
  if (always_prefix || absolute.size() >= kLongPathThreshold) {
    if (absolute.size() >= 3 && absolute[1] == u':' && absolute[2] == u'\\') {
      prefix = u"\\\\?\\";
    } else if (begins_with(absolute, u"\\\\.\\")) {
      prefix = u"\\\\?\\";
      rest.remove_prefix(4);
    } else if (begins_with(absolute, u"\\\\?\\") || begins_with(absolute, u"\\??\\")) {
      // Already extended-length.
    } else if (begins_with(absolute, u"\\\\")) {
      prefix = u"\\\\?\\UNC\\";
      rest.remove_prefix(2);
    }
  }
  std::u16string units;
  units.reserve(prefix.size() + rest.size());
  units += prefix;
  units += rest;
  return wide_string_from_units(std::move(units));
}

}  // namespace vora
