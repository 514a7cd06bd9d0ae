#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "env/native_text.hpp"
#include "env/path_structure.hpp"
#include "fuzz_check.hpp"

namespace {

using vora::fuzz::check;

// A heap copy of exactly `bytes.size()` bytes, so that AddressSanitizer sees any read past the
// end of a path, which a std::string's spare capacity would hide.
class ExactCopy {
 public:
  explicit ExactCopy(std::string_view bytes)
      : bytes_(std::make_unique<char[]>(bytes.size())), size_(bytes.size()) {
    std::ranges::copy(bytes, bytes_.get());
  }
  std::string_view view() const { return {bytes_.get(), size_}; }

 private:
  std::unique_ptr<char[]> bytes_;
  std::size_t size_;
};

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

std::string ascii_lowered(std::string_view bytes) {
  std::string out(bytes);
  for (char& c : out) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return out;
}

bool lies_within(std::string_view part, std::string_view whole) {
  return part.data() >= whole.data() && part.data() + part.size() <= whole.data() + whole.size();
}

void check_structure(std::string_view text) {
  const ExactCopy copy(text);
  const std::string_view path = copy.view();
  const auto parent = vora::path_parent(path);
  const auto name = vora::path_file_name(path);
  if (parent) {
    check(parent->data() == path.data() && parent->size() < path.size(),
          "the parent is a shorter prefix of its path");
  }
  if (name) {
    check(lies_within(*name, path), "the file name is a part of its path");
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
  const ExactCopy base_copy(vora::text_from_utf16(pieces[0]).bytes());
  const ExactCopy name_copy(vora::text_from_utf16(pieces.size() > 1 ? pieces[1] : u"").bytes());
  const std::string_view base = base_copy.view();
  const std::string_view name = name_copy.view();

  check_structure(base);
  check_structure(name);
  const vora::NativeText joined = vora::path_join(base, name);
  check_structure(joined.bytes());

  check(vora::equals_ignore_ascii_case(base, name) == (ascii_lowered(base) == ascii_lowered(name)),
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
