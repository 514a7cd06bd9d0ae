#pragma once

#include <span>
#include <string>
#include <string_view>

#include "runtime/io_error.hpp"

namespace vora {

// One argument of a child's command line, in UTF-8.
struct CommandArg {
  std::string text;
  // Set for an argument that is already in command-line form: it is appended unchanged, with no
  // quotation marks added and nothing escaped.
  bool raw = false;
};

// Appends `arg` to `line` in UTF-16 so that the standard Windows argument splitter gives back
// exactly its text. An ordinary argument is enclosed in quotation marks when it is empty or holds
// a space or tab; a quotation mark in it is preceded by a backslash, and every backslash directly
// before a quotation mark, including the closing one, is doubled. A NUL anywhere in the text, of
// a raw argument too, gives the InvalidInput error "nul byte found in provided data" and leaves
// `line` untouched.
[[nodiscard]] Result<void> append_argument(std::u16string& line, const CommandArg& arg);

// The command line for CreateProcessW: `program` between quotation marks, as it is and never
// escaped, then each argument after one space, as append_argument writes it. The program text is
// the caller's name for the program, not its located path, and must hold no NUL (locating the
// program has already rejected one). The result holds no NUL unit of its own: the string's own
// terminator ends the line, and its `data()` is the writable buffer that CreateProcessW asks
// for. Fails as append_argument does.
[[nodiscard]] Result<std::u16string> compose_command_line(std::string_view program,
                                                          std::span<const CommandArg> args);

}  // namespace vora
