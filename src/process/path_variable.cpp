#include "process/path_variable.hpp"

#include <cstddef>
#include <utility>

namespace vora {

std::vector<NativeText> split_path_variable(std::string_view value) {
  std::vector<NativeText> entries;
  NativeText entry;
  bool quoted = false;
  std::size_t piece_start = 0;
  // NativeText::append joins the halves of a surrogate pair that a dropped quotation mark had
  // kept apart, as splitting the UTF-16 value would have.
  for (std::size_t at = 0; at < value.size(); ++at) {
    const char c = value[at];
    if (c != '"' && (c != ';' || quoted)) continue;
    entry.append(value.substr(piece_start, at - piece_start));
    piece_start = at + 1;
    if (c == '"') {
      quoted = !quoted;
    } else if (!entry.empty()) {
      entries.push_back(std::move(entry));
      entry = NativeText();
    }
  }
  entry.append(value.substr(piece_start));
  if (!entry.empty()) entries.push_back(std::move(entry));
  return entries;
}

}  // namespace vora
