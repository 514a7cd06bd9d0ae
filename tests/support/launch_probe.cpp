// A program that starts like uninstall.exe and, started without standard handles, lets go of a
// child the way the uninstaller lets go of its folder removal: the child reports what it got.
#include "process/child_win.hpp"
#include "runtime/runtime_main.hpp"

namespace vora {

void run_uninstall() {
  ChildCommand command;
  command.program = "tool_probe";
  command.creation_flags = CREATE_NO_WINDOW;
  command.stdin_mode = StdioMode::Null;
  spawn_detached(command);
}

}  // namespace vora
