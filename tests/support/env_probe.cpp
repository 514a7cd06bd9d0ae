// A program that starts like uninstall.exe and reports on its standard error what it received:
// its arguments as split (VORA_PROBE_MODE=args), whether --silent was asked for (silent), or its
// own path (exe-path).
#include <string>

#include "env/arguments.hpp"
#include "env/paths_win.hpp"
#include "runtime/quoted_text.hpp"
#include "runtime/runtime_main.hpp"
#include "runtime/stderr.hpp"
#include "runtime/windows.hpp"

namespace vora {
namespace {

std::wstring probe_mode() {
  wchar_t mode[32] = {};
  GetEnvironmentVariableW(L"VORA_PROBE_MODE", mode, 32);
  return mode;
}

void report(const std::string& text) {
  PendingUtf8 pending;
  (void)stderr_write_all(text, pending);
}

}  // namespace

void run_uninstall() {
  const std::wstring mode = probe_mode();
  if (mode == L"args") {
    std::string text;
    const CommandLineArgs args = command_line_arguments();
    for (const CommandLineArg& arg : args.args_for_testing()) {
      append_quoted(text, arg.text.bytes());
      text += arg.valid ? "\n" : " invalid\n";
    }
    report(text);
  } else if (mode == L"silent") {
    report(silent_mode_requested(command_line_arguments()) ? "silent\n" : "not silent\n");
  } else if (mode == L"exe-path") {
    const Result<NativeText> path = current_exe_path();
    report(path ? std::string(path->bytes()) + "\n" : debug_text(path.error()));
  }
}

}  // namespace vora
