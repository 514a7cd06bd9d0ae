#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "env/native_text.hpp"
#include "env/wide_string.hpp"
#include "fuzz_check.hpp"

namespace {

using vora::fuzz::check;
using vora::fuzz::is_lead_surrogate;
using vora::fuzz::is_trail_surrogate;

bool starts_pair(std::u16string_view units, std::size_t at) {
  return is_lead_surrogate(units[at]) && at + 1 < units.size() && is_trail_surrogate(units[at + 1]);
}

std::string expected_wtf8(std::u16string_view units) {
  std::string out;
  for (std::size_t at = 0; at < units.size(); ++at) {
    char32_t c = units[at];
    if (starts_pair(units, at)) {
      c = 0x10000 + ((c - 0xD800) << 10) + (units[++at] - 0xDC00u);
    }
    vora::fuzz::append_utf8_form(out, c);
  }
  return out;
}

std::u16string with_replacement_characters(std::u16string_view units) {
  std::u16string out;
  for (std::size_t at = 0; at < units.size(); ++at) {
    if (starts_pair(units, at)) {
      out += units.substr(at++, 2);
    } else if (is_lead_surrogate(units[at]) || is_trail_surrogate(units[at])) {
      out += u'\uFFFD';
    } else {
      out += units[at];
    }
  }
  return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const std::u16string units = vora::fuzz::units_from_bytes(data + 1, size - 1);
  const vora::NativeText text = vora::text_from_utf16(units);
  check(text.bytes() == expected_wtf8(units),
        "pairs become four bytes, every other unit the UTF-8 form of its value");
  check(vora::utf16_from_text(text.bytes()) == units, "the units come back unchanged");

  const std::u16string replaced = with_replacement_characters(units);
  check(vora::holds_surrogate(text.bytes()) == (replaced != units),
        "holds_surrogate finds exactly the unpaired surrogates");
  const vora::PathText shown = vora::path_text(text);
  check(shown.replaced() == (replaced != units), "path_text copies only to replace");
  check(shown.view() == vora::text_from_utf16(replaced).bytes(),
        "path_text puts U+FFFD in place of each unpaired surrogate");

  const auto wide = vora::make_wide_string(text.bytes());
  check(wide.has_value() == (units.find(u'\0') == std::u16string::npos),
        "only a NUL unit is refused");
  check(!wide || wide->units() == units, "the wide string holds the units");

  // Converting in two parts and appending must equal converting the whole, a lead surrogate at
  // the end of the first part and a trail surrogate at the start of the second included.
  const std::size_t split = data[0] % (units.size() + 1);
  const std::u16string_view all = units;
  vora::NativeText joined = vora::text_from_utf16(all.substr(0, split));
  joined.append(vora::text_from_utf16(all.substr(split)).bytes());
  check(joined == text, "appending joins a lead and a trail surrogate into their pair");
  return 0;
}
