#pragma once

#include <string>

#include "runtime/windows.hpp"

namespace vora::testing {

// UTF-8 for a text from Windows.
std::string utf8(std::wstring_view text);

// The folder of the running test executable, with a trailing backslash.
std::wstring test_folder();

// Where a child's standard error goes. Console: a screen buffer of a console without a window,
// read back once the child has ended. None: no standard handles and no console at all, as
// when the desktop starts a program.
enum class StderrTarget { Pipe, File, Console, None };

struct ChildRun {
  DWORD exit_code = 0;  // the full 32-bit code from GetExitCodeProcess
  // What reached standard error, with the id of the child's main thread, which each run has
  // anew, written "(main)"; for a console, the lines it shows, without the spaces that pad them
  // to its width, each ended by "\n".
  std::string stderr_bytes;
};

// Starts `program` with exactly `command_line`, waits for it and collects its standard error.
// A child still running after a minute fails the test and is ended, with all it started.
ChildRun run_child(std::wstring program, std::wstring command_line,
                   StderrTarget target = StderrTarget::Pipe);

}  // namespace vora::testing
