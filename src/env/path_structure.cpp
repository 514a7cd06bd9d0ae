#include "env/path_structure.hpp"

#include <algorithm>
#include <cstddef>
#include <vector>

namespace vora {
namespace {

constexpr std::string_view kAnySeparator = "\\/";
constexpr std::string_view kBackslash = "\\";
constexpr std::string_view kExtendedMarker = "\\\\?\\";
constexpr std::string_view kUncMarker = "UNC\\";

enum class PrefixKind {
  None,
  ExtendedUnc,
  ExtendedDrive,
  ExtendedName,
  DeviceName,
  UncShare,
  Drive
};

enum class ComponentKind { Prefix, Root, CurrentDir, ParentDir, Name };

struct Prefix {
  PrefixKind kind = PrefixKind::None;
  std::size_t size = 0;
};

// `text` views the path the component was read from; a Root that only the prefix implies is empty.
struct Component {
  ComponentKind kind;
  std::string_view text;
};

struct Layout {
  std::string_view path;
  Prefix prefix;
  bool root_separator = false;
  bool leading_current_dir = false;
  std::size_t body_begin = 0;
};

bool is_separator(char c) { return c == '\\' || c == '/'; }

bool is_ascii_letter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

bool is_extended(PrefixKind kind) {
  return kind == PrefixKind::ExtendedUnc || kind == PrefixKind::ExtendedDrive ||
         kind == PrefixKind::ExtendedName;
}

// The offset of the first of `separators` at or after `from`, or the end of the path.
std::size_t end_of_name(std::string_view path, std::size_t from, std::string_view separators) {
  return std::min(path.find_first_of(separators, from), path.size());
}

bool starts_with_two_separators(std::string_view path) {
  return path.size() >= 2 && is_separator(path[0]) && is_separator(path[1]);
}

// `path` starts with `\\?\`. The share of an ExtendedUnc prefix belongs to it only when it is not
// empty, so that `\\?\UNC\server\` ends its prefix at the server.
Prefix extended_prefix(std::string_view path) {
  const std::size_t marker = kExtendedMarker.size();
  if (path.substr(marker).starts_with(kUncMarker)) {
    const std::size_t server_end = end_of_name(path, marker + kUncMarker.size(), kBackslash);
    if (server_end < path.size()) {
      const std::size_t share_end = end_of_name(path, server_end + 1, kBackslash);
      if (share_end > server_end + 1) return {PrefixKind::ExtendedUnc, share_end};
    }
    return {PrefixKind::ExtendedUnc, server_end};
  }
  const std::size_t drive_end = marker + 2;
  if (path.size() >= drive_end && is_ascii_letter(path[marker]) && path[marker + 1] == ':' &&
      (path.size() == drive_end || path[drive_end] == '\\')) {
    return {PrefixKind::ExtendedDrive, drive_end};
  }
  return {PrefixKind::ExtendedName, end_of_name(path, marker, kBackslash)};
}

bool starts_device_prefix(std::string_view path) {
  return path.size() >= 4 && starts_with_two_separators(path) && path[2] == '.' &&
         is_separator(path[3]);
}

// `\\server\share` needs both names; `\\server` alone and `\\\share` are no prefix at all.
Prefix unc_share_prefix(std::string_view path) {
  const std::size_t server_end = end_of_name(path, 2, kAnySeparator);
  if (server_end == 2 || server_end == path.size()) return {};
  const std::size_t share_end = end_of_name(path, server_end + 1, kAnySeparator);
  if (share_end == server_end + 1) return {};
  return {PrefixKind::UncShare, share_end};
}

Prefix read_prefix(std::string_view path) {
  if (path.starts_with(kExtendedMarker)) return extended_prefix(path);
  if (starts_device_prefix(path)) {
    return {PrefixKind::DeviceName, end_of_name(path, 4, kAnySeparator)};
  }
  if (starts_with_two_separators(path)) return unc_share_prefix(path);
  if (path.size() >= 2 && is_ascii_letter(path[0]) && path[1] == ':') {
    return {PrefixKind::Drive, 2};
  }
  return {};
}

Layout read_layout(std::string_view path) {
  Layout layout{.path = path, .prefix = read_prefix(path)};
  const std::size_t after_prefix = layout.prefix.size;
  layout.root_separator = after_prefix < path.size() && is_separator(path[after_prefix]);
  layout.leading_current_dir = layout.prefix.kind == PrefixKind::None && path.starts_with('.') &&
                               (path.size() == 1 || is_separator(path[1]));
  layout.body_begin =
      after_prefix + (layout.root_separator ? 1 : 0) + (layout.leading_current_dir ? 1 : 0);
  return layout;
}

// Under an extended-length prefix Windows hands the rest to the file system as it is, so `/` is
// an ordinary character there.
std::string_view body_separators(const Layout& layout) {
  return is_extended(layout.prefix.kind) ? kBackslash : kAnySeparator;
}

bool implies_root(PrefixKind kind) {
  return kind == PrefixKind::UncShare || kind == PrefixKind::DeviceName;
}

std::optional<ComponentKind> piece_kind(const Layout& layout, std::string_view piece) {
  if (piece.empty()) return std::nullopt;
  if (piece == ".") {
    if (is_extended(layout.prefix.kind)) return ComponentKind::CurrentDir;
    return std::nullopt;
  }
  if (piece == "..") return ComponentKind::ParentDir;
  return ComponentKind::Name;
}

// The last body component that ends at or before `end`, read backwards past ignored pieces.
std::optional<Component> last_body_component(const Layout& layout, std::size_t end) {
  const std::string_view separators = body_separators(layout);
  while (end > layout.body_begin) {
    const std::size_t separator = layout.path.find_last_of(separators, end - 1);
    const std::size_t begin = separator == std::string_view::npos || separator < layout.body_begin
                                  ? layout.body_begin
                                  : separator + 1;
    const std::string_view piece = layout.path.substr(begin, end - begin);
    if (const auto kind = piece_kind(layout, piece)) return Component{*kind, piece};
    if (begin == layout.body_begin) break;
    end = begin - 1;
  }
  return std::nullopt;
}

std::optional<Component> root_component(const Layout& layout) {
  if (layout.root_separator) {
    return Component{ComponentKind::Root, layout.path.substr(layout.prefix.size, 1)};
  }
  if (implies_root(layout.prefix.kind)) {
    return Component{ComponentKind::Root, layout.path.substr(layout.prefix.size, 0)};
  }
  return std::nullopt;
}

std::optional<Component> last_component(const Layout& layout) {
  if (const auto body = last_body_component(layout, layout.path.size())) return body;
  if (const auto root = root_component(layout)) return root;
  if (layout.leading_current_dir) {
    return Component{ComponentKind::CurrentDir, layout.path.substr(0, 1)};
  }
  if (layout.prefix.kind != PrefixKind::None) {
    return Component{ComponentKind::Prefix, layout.path.substr(0, layout.prefix.size)};
  }
  return std::nullopt;
}

std::vector<Component> components(const Layout& layout) {
  std::vector<Component> list;
  if (layout.prefix.kind != PrefixKind::None) {
    list.push_back({ComponentKind::Prefix, layout.path.substr(0, layout.prefix.size)});
  }
  if (const auto root = root_component(layout)) list.push_back(*root);
  if (layout.leading_current_dir) {
    list.push_back({ComponentKind::CurrentDir, layout.path.substr(0, 1)});
  }
  const std::string_view separators = body_separators(layout);
  std::size_t begin = layout.body_begin;
  while (begin <= layout.path.size()) {
    const std::size_t end = end_of_name(layout.path, begin, separators);
    const std::string_view piece = layout.path.substr(begin, end - begin);
    if (const auto kind = piece_kind(layout, piece)) list.push_back({*kind, piece});
    begin = end + 1;
  }
  return list;
}

std::size_t offset_in(const Layout& layout, std::string_view part) {
  return static_cast<std::size_t>(part.data() - layout.path.data());
}

// Resolves `name` against an extended-length base entry by entry: Windows passes such a path to
// the file system unchanged, so a `..` left in it would name a file called "..".
NativeText join_extended(const Layout& base, const Layout& name) {
  std::vector<Component> entries = components(base);
  for (const Component& entry : components(name)) {
    switch (entry.kind) {
      case ComponentKind::Root:
        entries.resize(1);
        entries.push_back(entry);
        break;
      case ComponentKind::CurrentDir:
        break;
      case ComponentKind::ParentDir:
        if (entries.back().kind == ComponentKind::Name) entries.pop_back();
        break;
      case ComponentKind::Prefix:
      case ComponentKind::Name:
        entries.push_back(entry);
        break;
    }
  }
  NativeText joined;
  for (std::size_t i = 0; i < entries.size(); ++i) {
    const bool next_to_root = entries[i].kind == ComponentKind::Root ||
                              (i > 0 && entries[i - 1].kind == ComponentKind::Root);
    if (i > 0 && !next_to_root) joined.append(kBackslash);
    joined.append(entries[i].kind == ComponentKind::Root ? kBackslash : entries[i].text);
  }
  return joined;
}

// `C:` is relative to the drive's current folder, so `C:` and `name` join as `C:name`.
bool needs_separator_after(const Layout& base) {
  const std::string_view path = base.path;
  return !path.empty() && !is_separator(path.back()) &&
         !(base.prefix.kind == PrefixKind::Drive && path.size() == 2);
}

char fold_ascii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

}  // namespace

std::optional<std::string_view> path_parent(std::string_view path) {
  const Layout layout = read_layout(path);
  const auto last = last_component(layout);
  if (!last || last->kind == ComponentKind::Prefix || last->kind == ComponentKind::Root) {
    return std::nullopt;
  }
  // The separators and ignored pieces in front of the last component go with it, down to the
  // component before it or else the start of the body: prefix, root and a leading `.` stay.
  const std::size_t begin = offset_in(layout, last->text);
  const auto kept = last_body_component(layout, begin);
  const std::size_t end =
      kept ? offset_in(layout, kept->text) + kept->text.size() : std::min(begin, layout.body_begin);
  return path.substr(0, end);
}

std::optional<std::string_view> path_file_name(std::string_view path) {
  const auto last = last_component(read_layout(path));
  if (!last || last->kind != ComponentKind::Name) return std::nullopt;
  return last->text;
}

NativeText path_join(std::string_view base, std::string_view name) {
  const Layout name_layout = read_layout(name);
  if (name_layout.prefix.kind != PrefixKind::None) return NativeText(name);
  const Layout base_layout = read_layout(base);
  if (is_extended(base_layout.prefix.kind)) return join_extended(base_layout, name_layout);
  if (name_layout.root_separator) {
    NativeText joined(base.substr(0, base_layout.prefix.size));
    joined.append(name);
    return joined;
  }
  NativeText joined(base);
  if (needs_separator_after(base_layout)) joined.append(kBackslash);
  joined.append(name);
  return joined;
}

bool equals_ignore_ascii_case(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return fold_ascii(x) == fold_ascii(y);
         });
}

}  // namespace vora
