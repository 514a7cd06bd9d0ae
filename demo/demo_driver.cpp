// Prepares a Wine prefix to look like a user's machine after a per-user install of Vora, runs the
// uninstaller from its registration as the system would, and reports what is left. The report
// lines are `name|state|detail`; scripts/demo formats and judges them.
#include "runtime/windows.hpp"

#include <shellapi.h>
#include <shlobj.h>

#include <cwchar>
#include <iterator>
#include <optional>
#include <string>
#include <string_view>

#include "demo/dialog_driver.hpp"
#include "demo/install_fixture.hpp"

namespace {

namespace fixture = vora::demo;

constexpr wchar_t kUninstallKey[] =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Vora";
const std::wstring kTitle = L"Vora elt\u00e1vol\u00edt\u00e1sa";

// WriteFile rather than the C runtime, whose text mode would turn each "\n" into "\r\n".
void print(std::wstring_view text) {
  const int length = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                         nullptr, 0, nullptr, nullptr);
  std::string bytes(static_cast<std::size_t>(length), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), bytes.data(), length,
                      nullptr, nullptr);
  DWORD written = 0;
  WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), bytes.data(), static_cast<DWORD>(bytes.size()),
            &written, nullptr);
}

void report(std::wstring_view name, std::wstring_view state, std::wstring_view detail = {}) {
  print(std::wstring(name) + L"|" + std::wstring(state) + L"|" + std::wstring(detail) + L"\n");
}

// Where the script should look when a step fails, since a bare non-zero exit says little.
int fail(std::wstring_view what) {
  report(L"error", what, L"last error " + std::to_wstring(GetLastError()));
  return 1;
}

std::wstring own_folder() {
  std::wstring path(32768, L'\0');
  const DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
  path.resize(length);
  return path.substr(0, path.find_last_of(L'\\'));
}

std::wstring install_dir() { return fixture::vora_places().install_folder; }
std::wstring data_dir() { return fixture::vora_places().user_data; }
std::wstring desktop_link() { return fixture::vora_places().desktop_link; }
std::wstring programs_link() { return fixture::vora_places().programs_link; }

constexpr const wchar_t* kDataFiles[] = {L"servers.json", L"keys\\id_ed25519", L"settings.ini"};

bool write_file(const std::wstring& path, std::string_view content) {
  const HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  const bool ok =
      WriteFile(file, content.data(), static_cast<DWORD>(content.size()), &written, nullptr) != 0 &&
      written == content.size();
  CloseHandle(file);
  return ok;
}

bool make_folder(const std::wstring& path) {
  const int result = SHCreateDirectoryExW(nullptr, path.c_str(), nullptr);
  return result == ERROR_SUCCESS || result == ERROR_ALREADY_EXISTS;
}

std::optional<std::wstring> registry_string(const wchar_t* value) {
  wchar_t buffer[2048] = {};
  DWORD bytes = sizeof buffer - sizeof(wchar_t);
  if (RegGetValueW(HKEY_CURRENT_USER, kUninstallKey, value, RRF_RT_REG_SZ, nullptr, buffer,
                   &bytes) != ERROR_SUCCESS) {
    return std::nullopt;
  }
  return std::wstring(buffer);
}

std::wstring presence(const std::wstring& path) {
  return fixture::file_exists(path) ? L"present" : L"absent";
}

int print_state() {
  const int running = fixture::running_vora_count();
  report(L"vora",
         running < 0   ? L"unknown"
         : running > 0 ? L"running"
                       : L"not running",
         std::to_wstring(running) + L" process(es) named vora.exe");
  const std::optional<std::wstring> uninstall = registry_string(L"UninstallString");
  report(L"registration", fixture::uninstall_key_exists() ? L"present" : L"absent",
         L"HKCU\\" + std::wstring(kUninstallKey));
  report(L"desktop_shortcut", presence(desktop_link()), desktop_link());
  report(L"programs_shortcut", presence(programs_link()), programs_link());
  report(L"install_folder", presence(install_dir()), install_dir());
  int kept = 0;
  for (const wchar_t* name : kDataFiles) kept += fixture::file_exists(data_dir() + L"\\" + name);
  const int all = static_cast<int>(std::size(kDataFiles));
  report(L"user_data",
         kept == all ? L"present"
         : kept == 0 ? L"absent"
                     : L"partial",
         data_dir() + L" (" + std::to_wstring(kept) + L" of " + std::to_wstring(all) + L" files)");
  return 0;
}

// The application as the user left it: running, with no console and no handles of ours, so that
// nothing waits on it.
bool start_vora(const std::wstring& exe) {
  SetEnvironmentVariableW(L"VORA_TOOL_MODE", L"sleep");
  SetEnvironmentVariableW(L"VORA_TOOL_SLEEP_MS", L"600000");
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  std::wstring line = L"\"" + exe + L"\"";
  PROCESS_INFORMATION information{};
  const bool started =
      CreateProcessW(exe.c_str(), line.data(), nullptr, nullptr, FALSE, DETACHED_PROCESS, nullptr,
                     install_dir().c_str(), &startup, &information) != 0;
  SetEnvironmentVariableW(L"VORA_TOOL_MODE", nullptr);
  SetEnvironmentVariableW(L"VORA_TOOL_SLEEP_MS", nullptr);
  if (!started) return false;
  CloseHandle(information.hThread);
  CloseHandle(information.hProcess);
  return true;
}

// Only into a disposable profile that holds no Vora of its own: the set-up overwrites all of it.
// With `real_powershell` the uninstaller finds PowerShell on PATH, where the caller has put it;
// otherwise the stand-in goes beside the uninstaller, ahead of Wine's empty one.
int setup(bool real_powershell) {
  if (const std::optional<std::wstring> why = fixture::why_vora_state_is_off_limits()) {
    report(L"error", L"refused", *why);
    return 1;
  }
  const std::wstring from = own_folder();
  const std::wstring dir = install_dir();
  if (!make_folder(dir)) return fail(L"cannot create " + dir);
  if (!fixture::copy_file(from + L"\\tool_probe.exe", dir + L"\\vora.exe") ||
      !fixture::copy_file(from + L"\\..\\uninstall.exe", dir + L"\\uninstall.exe") ||
      (!real_powershell &&
       !fixture::copy_file(from + L"\\powershell_stand_in.exe", dir + L"\\powershell.exe"))) {
    return fail(L"cannot copy the programs into " + dir);
  }
  if (!fixture::create_uninstall_key(dir)) return fail(L"cannot write the registration");
  if (!make_folder(fixture::special_folder(CSIDL_PROGRAMS)) ||
      !fixture::create_shortcut(desktop_link(), dir + L"\\vora.exe") ||
      !fixture::create_shortcut(programs_link(), dir + L"\\vora.exe")) {
    return fail(L"cannot create the shortcuts");
  }
  const std::wstring data = data_dir();
  if (!make_folder(data + L"\\keys") ||
      !write_file(data + L"\\servers.json",
                  "[{\"name\": \"home\", \"host\": \"vora.example\", \"port\": 7410}]\n") ||
      !write_file(data + L"\\keys\\id_ed25519",
                  "-----BEGIN DEMO KEY-----\nbm90IGEgcmVhbCBrZXksIGp1c3QgYSBkZW1v\n"
                  "-----END DEMO KEY-----\n") ||
      !write_file(data + L"\\settings.ini", "[ui]\ntheme=dark\nlanguage=hu\n")) {
    return fail(L"cannot write the user's data");
  }
  if (!start_vora(dir + L"\\vora.exe")) return fail(L"cannot start vora.exe");
  // The snapshot in the state report must already see the new process.
  for (int i = 0; i < 100 && fixture::running_vora_count() == 0; ++i) Sleep(20);
  return print_state();
}

bool answer(DWORD process_id, const std::wstring& name, int button,
            const std::wstring& screenshots) {
  const std::optional<fixture::BoxView> box = fixture::wait_for_box(kTitle, process_id, 20000);
  if (!box) {
    report(name, L"not shown", L"no box titled " + kTitle + L" within 20 s");
    return false;
  }
  const std::wstring png = screenshots + L"\\" + name + L".png";
  const bool saved = fixture::save_screenshot(*box, png);
  std::wstring text = box->text;
  for (wchar_t& c : text) {
    if (c == L'\n' || c == L'\r' || c == L'|') c = L' ';
  }
  report(name, L"shown", text);
  report(name + L"_screenshot", saved ? L"saved" : L"not saved", png);
  if (!fixture::press(*box, button) || !fixture::wait_gone(box->window, 5000)) {
    report(name, L"not answered", L"button " + std::to_wstring(button));
    return false;
  }
  return true;
}

// Started as the system starts an entry's uninstaller: the registered command line exactly as it
// stands, no console and no handles of ours.
int run(std::wstring_view mode, const std::wstring& screenshots) {
  const bool interactive = mode == L"interactive";
  const wchar_t* value = interactive ? L"UninstallString" : L"QuietUninstallString";
  const std::optional<std::wstring> command = registry_string(value);
  if (!command) return fail(L"no " + std::wstring(value) + L" registered");
  report(L"command", value, *command);
  std::wstring line = *command;
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION information{};
  if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, DETACHED_PROCESS, nullptr,
                      nullptr, &startup, &information)) {
    return fail(L"cannot start " + *command);
  }
  CloseHandle(information.hThread);
  bool answered = true;
  if (interactive) {
    answered = answer(information.dwProcessId, L"confirmation", IDYES, screenshots) &&
               answer(information.dwProcessId, L"notice", IDOK, screenshots);
  }
  const DWORD waited = WaitForSingleObject(information.hProcess, 30000);
  DWORD code = 0;
  GetExitCodeProcess(information.hProcess, &code);
  CloseHandle(information.hProcess);
  if (waited != WAIT_OBJECT_0) {
    report(L"exit_code", L"still running", L"after 30 s");
    return 1;
  }
  report(L"exit_code", std::to_wstring(code));
  return answered ? 0 : 1;
}

// The folder goes a few seconds after the uninstaller has exited, so the final report waits for
// it, within a limit.
int state_after(DWORD wait_ms) {
  const ULONGLONG end = GetTickCount64() + wait_ms;
  while (fixture::file_exists(install_dir()) && GetTickCount64() < end) Sleep(100);
  return print_state();
}

int usage() {
  print(
      L"usage: demo_driver setup [real-powershell] | run <interactive|silent> <screenshot "
      L"folder> | state [wait ms]\n");
  return 2;
}

}  // namespace

int main() {
  int argc = 0;
  wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
  if (argv == nullptr) return usage();
  const std::wstring_view command = argc > 1 ? argv[1] : L"";
  if (command == L"setup" && argc == 2) return setup(false);
  if (command == L"setup" && argc == 3 && argv[2] == std::wstring_view(L"real-powershell")) {
    return setup(true);
  }
  if (command == L"run" && argc == 4) return run(argv[2], argv[3]);
  if (command == L"state" && argc <= 3) {
    return state_after(argc == 3 ? static_cast<DWORD>(std::wcstoul(argv[2], nullptr, 10)) : 0);
  }
  return usage();
}
