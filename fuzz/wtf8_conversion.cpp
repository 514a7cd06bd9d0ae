#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "env/native_text.hpp"
#include "env/wide_string.hpp"
#include "fuzz_check.hpp"

namespace {

using vora::fuzz::check;

bool is_lead_surrogate(char16_t unit) { return unit >= 0xD800 && unit <= 0xDBFF; }
bool is_trail_surrogate(char16_t unit) { return unit >= 0xDC00 && unit <= 0xDFFF; }

struct Expected {
  std::string wtf8;         // pairs as four bytes, every other unit the UTF-8 form of its value
  std::u16string replaced;  // U+FFFD in place of each unpaired surrogate
};

Expected expected_forms(std::u16string_view units) {
  Expected out;
  for (std::size_t at = 0; at < units.size(); ++at) {
    char32_t c = units[at];
    if (is_lead_surrogate(units[at]) && at + 1 < units.size() &&
        is_trail_surrogate(units[at + 1])) {
      out.replaced += units.substr(at, 2);
      c = 0x10000 + ((c - 0xD800) << 10) + (units[++at] - 0xDC00u);
    } else {
      out.replaced +=
          is_lead_surrogate(units[at]) || is_trail_surrogate(units[at]) ? u'\uFFFD' : units[at];
    }
    vora::fuzz::append_utf8_form(out.wtf8, c);
  }
  return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const std::u16string units = vora::fuzz::units_from_bytes(data + 1, size - 1);
  const vora::NativeText text = vora::text_from_utf16(units);
  const Expected expected = expected_forms(units);
  check(text.bytes() == expected.wtf8,
        "pairs become four bytes, every other unit the UTF-8 form of its value");
  check(vora::utf16_from_text(text.bytes()) == units, "the units come back unchanged");

  const std::u16string& replaced = expected.replaced;
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
