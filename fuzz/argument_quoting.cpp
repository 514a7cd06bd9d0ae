#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "env/command_line.hpp"
#include "env/native_text.hpp"
#include "fuzz_check.hpp"
#include "process/command_args.hpp"

namespace {

using vora::fuzz::check;

// An argument in the form that the splitter reads back and nothing longer: between quotation marks
// only when it is empty or holds a space or tab; each quotation mark escaped by a backslash, with
// the backslashes right before it doubled, and so is a run that ends before the closing mark.
std::u16string reference_quoting(std::u16string_view arg) {
  const bool enclose = arg.empty() || arg.find_first_of(u" \t") != std::u16string_view::npos;
  std::u16string out = enclose ? u"\"" : u"";
  std::size_t run = 0;
  for (const char16_t unit : arg) {
    if (unit == u'"') out.append(run + 1, u'\\');
    run = unit == u'\\' ? run + 1 : 0;
    out += unit;
  }
  if (enclose) out.append(run, u'\\') += u'"';
  return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // The program text first, then the arguments.
  std::vector<std::u16string> pieces = vora::fuzz::unit_pieces(data, size);
  // The program text is never escaped, so a quotation mark in it could not come back; the
  // product's program texts are bare names.
  std::erase(pieces.front(), u'"');
  const std::string program(vora::text_from_utf16(pieces.front()).bytes());

  std::vector<vora::CommandArg> args;
  std::vector<vora::CommandArg> raw_args;
  std::u16string expected = u"\"" + pieces.front() + u"\"";
  std::u16string raw_line = expected;
  for (std::size_t i = 1; i < pieces.size(); ++i) {
    const std::string text(vora::text_from_utf16(pieces[i]).bytes());
    args.push_back({text, false});
    raw_args.push_back({text, true});
    expected += u' ' + reference_quoting(pieces[i]);
    raw_line += u' ' + pieces[i];
  }

  const vora::Result<std::u16string> line = vora::compose_command_line(program, args);
  check(line.has_value() && *line == expected,
        "the program goes between quotation marks as it is, each argument in its shortest form");
  const std::vector<vora::CommandLineArg> split = vora::split_command_line(*line);
  check(split.size() == pieces.size(), "splitting gives back as many arguments");
  for (std::size_t i = 0; i < pieces.size(); ++i) {
    check(split[i].text == vora::text_from_utf16(pieces[i]),
          "splitting gives back each argument as it was");
  }

  const vora::Result<std::u16string> raw = vora::compose_command_line(program, raw_args);
  check(raw.has_value() && *raw == raw_line, "raw arguments reach the line unchanged");
  return 0;
}
