#pragma once

#include <cstdint>
#include <string>

#include "runtime/windows.hpp"

namespace vora::testing {

// True under Wine, whose behaviour differs from Windows in a few places the tests name.
bool running_under_wine();

// Whether the session can show windows and consoles. Under Wine that takes a non-empty DISPLAY;
// an empty one counts as none.
bool display_available();

// The folder of the running test executable, with a trailing backslash.
std::wstring test_folder();

// Where the child's standard error goes. File and Console are read back after the child has
// ended; Console needs a display under Wine.
enum class StderrTarget { Pipe, File, Console, None };

struct ChildRun {
  DWORD exit_code = 0;       // the full 32-bit code from GetExitCodeProcess
  DWORD main_thread_id = 0;  // the child's main thread, as the failure report names it
  // Everything written to the pipe or the file; for a console, the lines it shows, each without
  // the spaces that pad it to the console's width and ended by "\n".
  std::string stderr_bytes;
};

// Starts `program` with exactly `command_line`, waits for it and collects its standard error.
// With StderrTarget::None the child gets no standard handles and no console at all.
ChildRun run_child(const std::wstring& program, const std::wstring& command_line,
                   StderrTarget target = StderrTarget::Pipe);

}  // namespace vora::testing
