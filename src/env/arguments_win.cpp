#include "env/arguments.hpp"
#include "env/paths_win.hpp"
#include "runtime/windows.hpp"

namespace vora {

CommandLineArgs command_line_arguments() {
  return arguments_from_command_line(reinterpret_cast<const char16_t*>(GetCommandLineW()),
                                     current_exe_path);
}

}  // namespace vora
