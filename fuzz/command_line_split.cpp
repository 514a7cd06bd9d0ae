#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "env/command_line.hpp"
#include "env/native_text.hpp"
#include "fuzz_check.hpp"

namespace {

using vora::fuzz::check;

bool is_separator(char16_t unit) { return unit == u' ' || unit == u'\t'; }

// Quotation marks, backslashes and separators are the only units that splitting may drop or
// add; every other unit must come through once, in order.
std::u16string without_syntax(std::u16string_view units) {
  std::u16string kept(units);
  std::erase_if(kept,
                [](char16_t unit) { return unit == u'"' || unit == u'\\' || is_separator(unit); });
  return kept;
}

// Without quotation marks a backslash is literal, so the line splits at runs of separators; the
// program name is what stands before the first one, however empty.
std::vector<std::u16string> split_without_quotes(std::u16string_view line) {
  std::vector<std::u16string> words;
  std::size_t at = 0;
  while (at < line.size() && !is_separator(line[at])) ++at;
  words.emplace_back(line.substr(0, at));
  while (at < line.size()) {
    while (at < line.size() && is_separator(line[at])) ++at;
    const std::size_t begin = at;
    while (at < line.size() && !is_separator(line[at])) ++at;
    if (at > begin) words.emplace_back(line.substr(begin, at - begin));
  }
  return words;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::u16string units = vora::fuzz::units_from_bytes(data, size);
  const std::vector<vora::CommandLineArg> args = vora::split_command_line(units);
  const std::u16string_view line = std::u16string_view(units).substr(0, units.find(u'\0'));

  check(!args.empty(), "the program name is always there");
  std::u16string joined;
  std::vector<std::u16string> arg_units;
  for (const vora::CommandLineArg& arg : args) {
    check(arg.valid == !vora::holds_surrogate(arg.text.bytes()),
          "the valid flag says whether the text holds an unpaired surrogate");
    arg_units.push_back(vora::utf16_from_text(arg.text.bytes()));
    check(arg_units.back().find(u'\0') == std::u16string::npos, "a NUL unit ends the line");
    joined += arg_units.back();
  }
  check(arg_units.front().find(u'"') == std::u16string::npos,
        "quotation marks in the program name only group");
  check(without_syntax(joined) == without_syntax(line),
        "every unit but quotation marks, backslashes and separators comes through once, in order");
  check(std::ranges::count(joined, u'\\') <= std::ranges::count(line, u'\\'),
        "backslashes are never added");
  check(std::ranges::count(joined, u'"') <= std::ranges::count(line, u'"'),
        "quotation marks are never added");
  if (line.find(u'"') == std::u16string_view::npos) {
    check(arg_units == split_without_quotes(line),
          "without quotation marks the line splits at runs of spaces and tabs");
  }
  return 0;
}
