#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "env/native_text.hpp"
#include "env/path_structure.hpp"
#include "fuzz_check.hpp"

namespace {

using vora::fuzz::check;

// A heap copy of exactly the bytes, so that AddressSanitizer sees any read past the end of a
// path, which a std::string's spare capacity would hide; view() gives the path.
std::vector<char> exact_copy(std::string_view bytes) { return {bytes.begin(), bytes.end()}; }

std::string_view view(const std::vector<char>& bytes) { return {bytes.data(), bytes.size()}; }

bool is_separator(char c) { return c == '\\' || c == '/'; }

bool is_ascii_letter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

bool starts_with_drive(std::string_view path) {
  return path.size() >= 2 && is_ascii_letter(path[0]) && path[1] == ':';
}

// One name, with no separator, no prefix of its own, and neither `.` nor `..`.
bool is_plain_name(std::string_view name) {
  return !name.empty() && name != "." && name != ".." && !starts_with_drive(name) &&
         std::ranges::none_of(name, is_separator);
}

void check_structure(std::string_view text) {
  const std::vector<char> copy = exact_copy(text);
  const std::string_view path = view(copy);
  const auto parent = vora::path_parent(path);
  const auto name = vora::path_file_name(path);
  if (parent) {
    check(parent->data() == path.data() && parent->size() < path.size(),
          "the parent is a shorter prefix of its path");
  }
  if (name) {
    check(name->data() >= path.data() && name->data() + name->size() <= path.data() + path.size(),
          "the file name is a part of its path");
    check(!name->empty() && *name != "." && *name != "..", "the file name is a name");
    check(name->find('\\') == std::string_view::npos, "the file name holds no backslash");
    check(parent && parent->data() + parent->size() <= name->data(),
          "a path with a file name has a parent, which ends before the name");
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // Paths are WTF-8 from Windows' UTF-16, as every path of the product is: the append rule
  // relies on it.
  const std::vector<std::u16string> pieces = vora::fuzz::unit_pieces(data, size);
  const std::vector<char> base_copy = exact_copy(vora::text_from_utf16(pieces[0]).bytes());
  const std::vector<char> name_copy =
      exact_copy(vora::text_from_utf16(pieces.size() > 1 ? pieces[1] : u"").bytes());
  const std::string_view base = view(base_copy);
  const std::string_view name = view(name_copy);

  check_structure(base);
  check_structure(name);
  const vora::NativeText joined = vora::path_join(base, name);
  check_structure(joined.bytes());

  const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; };
  check(vora::equals_ignore_ascii_case(base, name) ==
            std::ranges::equal(base, name, {}, lower, lower),
        "equals_ignore_ascii_case folds A-Z and nothing else");

  const bool base_is_share_or_extended =
      base.size() >= 2 && is_separator(base[0]) && is_separator(base[1]);
  if (is_plain_name(name) && !base_is_share_or_extended) {
    const bool separator = !base.empty() && !is_separator(base.back()) &&
                           !(base.size() == 2 && starts_with_drive(base));
    check(joined.bytes() == std::string(base) + (separator ? "\\" : "") + std::string(name),
          "a plain name goes after the base, with one backslash where needed");
    check(vora::path_file_name(joined.bytes()) == name, "a joined plain name is the file name");
    const auto parent = vora::path_parent(joined.bytes());
    check(parent && base.starts_with(*parent), "the parent of a joined name lies within the base");
  }
  return 0;
}
