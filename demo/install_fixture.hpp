#pragma once

#include <optional>
#include <string>

namespace vora::demo {

// True under Wine, whose behaviour differs from Windows in a few places the tests name.
bool running_under_wine();

// Wine 10 gives a GUI program a null standard handle where its parent passed an inheritable
// console handle with STARTF_USESTDHANDLES; Windows makes the handle the program's own, as the
// STARTUPINFOW page on Microsoft Learn says for hStdError, and Wine 8 does too.
bool wine_withholds_console_handles_from_gui_programs();

// Wine 10 ends a process whose main thread overflows its stack without calling its exception
// handlers (on other threads it calls them); Windows raises EXCEPTION_STACK_OVERFLOW to them
// on every thread, and Wine 8 does too.
bool wine_skips_handlers_when_the_main_thread_overflows();

// Why this profile may not be given Vora's per-user state (the registration, the shortcuts,
// %APPDATA%\Vora, the install folder, a running vora.exe) by a test or the demo; nothing when it
// may. Only a disposable profile may: Wine's (the project's prefixes are thrown away), or one that
// the environment variable VORA_TEST_DISPOSABLE_PROFILE=1 declares so. Even there, any such state
// that the fixture did not make is the user's, and its presence is the reason given.
std::optional<std::wstring> why_vora_state_is_off_limits();

// How many processes named vora.exe run, or -1 if that cannot be told.
int running_vora_count();

// Where a per-user install of Vora keeps its things in this profile; a place whose shell folder
// is unknown is empty.
struct VoraPlaces {
  std::wstring install_folder;  // %LOCALAPPDATA%\Programs\Vora
  std::wstring user_data;       // %APPDATA%\Vora
  std::wstring desktop_link;
  std::wstring programs_link;  // in the Start menu's Programs folder
};
VoraPlaces vora_places();

// The current path of a shell folder (a CSIDL_ value), or an empty string when it has none.
std::wstring special_folder(int csidl);

// Writes a real shell link at `lnk_path` pointing to `target`; false if any step fails.
bool create_shortcut(const std::wstring& lnk_path, const std::wstring& target);

// True if a file or folder exists at `path`.
bool file_exists(const std::wstring& path);

// Writes HKCU's Uninstall\Vora key as the installer does, with a Details subkey and the fixture's
// marker value, which tells the key apart from a real installation's; false on failure.
bool create_uninstall_key(const std::wstring& install_dir);

// Deletes HKCU's Uninstall\Vora key if it carries the fixture's marker, and never otherwise.
void remove_own_uninstall_key();

// True if HKCU's Uninstall\Vora key exists.
bool uninstall_key_exists();

// Deletes `folder` and all it holds, read-only entries and long paths included; true if it is gone.
bool remove_tree(const std::wstring& folder);

// Copies a file, replacing `to` if it exists; false on failure.
bool copy_file(const std::wstring& from, const std::wstring& to);

// A new empty folder under the temporary folder, named after `name_hint`; empty on failure.
std::wstring make_temp_folder(const std::wstring& name_hint);

}  // namespace vora::demo
