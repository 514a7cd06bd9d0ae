#pragma once

#include <string_view>

#include "env/wide_string.hpp"
#include "runtime/io_error.hpp"

namespace vora {

// The application name for CreateProcessW: the file a program text names. A bare name
// ("taskkill") is searched in the executable's own folder, the system directory, the Windows
// directory and the entries of PATH, in that order, with ".exe" added when it has no "."; a text
// with a separator is a path and is not searched. Errors: InvalidInput "program path has no file
// name" or "nul byte found in provided data"; NotFound "program not found".
[[nodiscard]] Result<WideString> locate_program(std::string_view program);

// A path in the form given to GetFileAttributesW and CreateProcessW: unchanged past 260 units
// (terminator included); a `\\?\` drive or UNC path without its prefix when the system would
// read it the same without; otherwise its long-path form without a forced prefix.
[[nodiscard]] Result<WideString> user_path_form(WideString path);

// Refuses a script file (.bat, .cmd) as application name: CreateProcessW would hand it to the
// command interpreter, which reads its arguments by other rules. The error of GetFullPathNameW,
// or Unsupported "script files cannot be started".
[[nodiscard]] Result<void> refuse_script_file(const WideString& application);

}  // namespace vora
