#pragma once

#include <string_view>
#include <vector>

#include "env/native_text.hpp"

namespace vora {

struct CommandLineArg {
  NativeText text;
  // Set when `text` holds no unpaired surrogate, so that it can be handed out as UTF-8 without
  // looking at its bytes again.
  bool valid;
};

// Splits a Windows command line into its arguments, the program name first. Only space and tab
// separate arguments. In the program name quotation marks only group and backslashes are
// literal; in the arguments after it, backslashes escape a quotation mark that follows them.
// A NUL unit ends the line. The result always holds the program name, which is empty when the
// line is empty or begins with a space or tab; replacing an empty line with the executable's
// path is the caller's business.
std::vector<CommandLineArg> split_command_line(std::u16string_view line);

}  // namespace vora
