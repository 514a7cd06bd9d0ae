#include "env/arguments.hpp"

#include <string_view>

#include "runtime/fatal.hpp"

namespace vora {

std::optional<std::string> CommandLineArgs::next_argument() {
  if (next_ == args_.size()) return std::nullopt;
  CommandLineArg& arg = args_[next_++];
  if (!arg.valid) fail_fatally(FailureMessage::with_quoted(kUnwrapErr, arg.text.bytes()));
  return std::move(arg.text).into_bytes();
}

CommandLineArgs arguments_from_command_line(const char16_t* line,
                                            Result<NativeText> (*exe_path)()) {
  if (line == nullptr || *line == u'\0') {
    Result<NativeText> path = exe_path();
    NativeText text = path ? *std::move(path) : NativeText();
    const bool valid = !holds_surrogate(text.bytes());
    std::vector<CommandLineArg> only;
    only.push_back(CommandLineArg{std::move(text), valid});
    return CommandLineArgs(std::move(only));
  }
  return CommandLineArgs(split_command_line(std::u16string_view(line)));
}

bool silent_mode_requested(CommandLineArgs args) {
  while (const std::optional<std::string> arg = args.next_argument()) {
    if (*arg == "--silent") return true;
  }
  return false;
}

}  // namespace vora
