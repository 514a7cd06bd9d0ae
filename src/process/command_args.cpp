#include "process/command_args.hpp"

#include <cstddef>
#include <utility>

#include "env/native_text.hpp"

namespace vora {

Result<void> append_argument(std::u16string& line, const CommandArg& arg) {
  const std::string_view text = arg.text;
  if (text.find('\0') != std::string_view::npos) {
    return std::unexpected(
        IoError::message(ErrorKind::InvalidInput, "nul byte found in provided data"));
  }
  if (arg.raw) {
    append_utf16_from_text(line, text);
    return {};
  }

  const bool enclose = text.empty() || text.find_first_of(" \t") != std::string_view::npos;
  if (enclose) line += u'"';
  // Backslashes and quotation marks are ASCII, so the text is scanned as bytes and copied in
  // pieces that end just before a quotation mark; the pending backslash run is already part of
  // the piece, so adding one more than its length before the quotation mark doubles it and
  // escapes the mark.
  std::size_t piece_start = 0;
  std::size_t backslashes = 0;
  for (std::size_t at = 0; at < text.size(); ++at) {
    if (text[at] == '\\') {
      ++backslashes;
      continue;
    }
    if (text[at] == '"') {
      append_utf16_from_text(line, text.substr(piece_start, at - piece_start));
      line.append(backslashes + 1, u'\\');
      piece_start = at;
    }
    backslashes = 0;
  }
  append_utf16_from_text(line, text.substr(piece_start));
  if (enclose) {
    // The closing quotation mark must not be escaped by a run at the end.
    line.append(backslashes, u'\\');
    line += u'"';
  }
  return {};
}

Result<std::u16string> compose_command_line(std::string_view program,
                                            std::span<const CommandArg> args) {
  // A UTF-8 text never has fewer bytes than UTF-16 units, so this is enough for every line that
  // needs no escaping.
  std::size_t expected_units = program.size() + 2;
  for (const CommandArg& arg : args) expected_units += arg.text.size() + 3;
  std::u16string line;
  line.reserve(expected_units);

  line += u'"';
  append_utf16_from_text(line, program);
  line += u'"';
  for (const CommandArg& arg : args) {
    line += u' ';
    if (Result<void> appended = append_argument(line, arg); !appended) {
      return std::unexpected(std::move(appended.error()));
    }
  }
  return line;
}

}  // namespace vora
