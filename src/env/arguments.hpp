#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "env/command_line.hpp"
#include "env/native_text.hpp"
#include "runtime/io_error.hpp"

namespace vora {

// The process's arguments, the program name first, handed out front to back, once each.
// Arguments never taken are released with the sequence without being looked at.
class CommandLineArgs {
 public:
  explicit CommandLineArgs(std::vector<CommandLineArg> args) : args_(std::move(args)) {}

  // The next argument as UTF-8 text, or none after the last. An argument that is not valid
  // Unicode ends the process: "called `Result::unwrap()` on an `Err` value: " and the argument in
  // quoted form, its unpaired surrogates written as \u{...}.
  std::optional<std::string> next_argument();

  // Every argument, taken or not, as split.
  const std::vector<CommandLineArg>& args_for_testing() const { return args_; }

 private:
  std::vector<CommandLineArg> args_;
  std::size_t next_ = 0;
};

// The arguments of the command line `line` (NUL-terminated, as GetCommandLineW gives it). A
// missing or empty line gives one argument, the executable's path from `exe_path`, or an empty
// one when that fails.
CommandLineArgs arguments_from_command_line(const char16_t* line, Result<NativeText> (*exe_path)());

// The process's own arguments, from GetCommandLineW. Windows only.
CommandLineArgs command_line_arguments();

// True at the first argument, the program name included, that is exactly "--silent" (no case
// folding, no prefix, no value); the arguments after it are never taken, so only those before
// it must be valid Unicode.
bool silent_mode_requested(CommandLineArgs args);

}  // namespace vora
