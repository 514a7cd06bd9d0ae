#include <string>
#include <string_view>

#include "dialog/dialog.hpp"
#include "env/arguments.hpp"
#include "env/path_structure.hpp"
#include "env/paths_win.hpp"
#include "process/child_win.hpp"
#include "runtime/fatal.hpp"
#include "runtime/runtime_main.hpp"
#include "uninstall/encoded_command.hpp"
#include "uninstall/folder_removal.hpp"
#include "uninstall/uninstall_texts.hpp"

namespace vora {
namespace {

bool user_confirms_removal();
void remove_folder_after_exit(const NativeText& install_dir);

}  // namespace

// The whole uninstall, once. Stops without a word when Vora is not installed beside it or the
// user declines; after that every step runs whatever the earlier ones did. The failure reports of
// the first two checks name the lines and columns where they sit: keep both where they are.
void run_uninstall() {
  const NativeText own_exe = expect_ok(current_exe_path(), "exe");
  auto dir = expect_present(path_parent(own_exe.bytes()), "mappa");
  const NativeText install_dir(dir);
  if (!path_exists(path_join(install_dir.bytes(), kApplicationExe).bytes())) return;
  const bool silent = silent_mode_requested(command_line_arguments());
  if (!silent && !user_confirms_removal()) return;

  const std::string_view end_application[] = {"/F", "/IM", kApplicationExe};
  run_and_collect("taskkill", end_application);
  const std::string_view delete_registration[] = {"delete", kRegistrationKey, "/f"};
  run_and_collect("reg", delete_registration);
  const std::string script = encode_powershell_command(kShortcutRemovalScript);
  run_and_collect("powershell", powershell_arguments(script));

  if (!silent) {
    (void)show_dialog(DialogSpec{.title = std::string(kDialogTitle),
                                 .text = std::string(kCompletionText),
                                 .level = DialogLevel::Info,
                                 .buttons = DialogButtons::Ok});
  }
  remove_folder_after_exit(install_dir);
}

namespace {

bool user_confirms_removal() {
  const DialogAnswer answer = show_dialog(DialogSpec{.title = std::string(kDialogTitle),
                                                     .text = std::string(kConfirmationText),
                                                     .level = DialogLevel::Warning,
                                                     .buttons = DialogButtons::YesNo});
  return answer_text(answer) == "Yes";
}

// Has cmd delete the folder once this process has ended, when the folder may go.
void remove_folder_after_exit(const NativeText& install_dir) {
  std::optional<std::string> removal = folder_removal_argument(install_dir);
  if (!removal) return;
  ChildCommand command;
  command.program = "cmd";
  command.args.push_back(CommandArg{*std::move(removal), true});
  command.creation_flags = CREATE_NO_WINDOW;
  command.stdin_mode = StdioMode::Null;
  // Windows refuses to remove a folder that a process has as its current directory, and this
  // process may have been started from inside its own folder.
  if (Result<NativeText> system = system_directory())
    command.working_directory = *std::move(system);
  spawn_detached(command);
}

}  // namespace
}  // namespace vora
