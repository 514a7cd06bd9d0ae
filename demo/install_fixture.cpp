#include "demo/install_fixture.hpp"

#include "demo/com.hpp"

#include "runtime/windows.hpp"

#include <objbase.h>
#include <shlobj.h>
#include <shobjidl.h>
#include <tlhelp32.h>

#include <atomic>
#include <string_view>

#include "runtime/owned_handle.hpp"

namespace vora::demo {
namespace {

constexpr wchar_t kUninstallKey[] =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Vora";
// A value no installer writes: the key that holds it was made here.
constexpr wchar_t kMarker[] = L"VoraTestFixture";

class RegistryKey {
 public:
  RegistryKey() = default;
  ~RegistryKey() {
    if (key_ != nullptr) RegCloseKey(key_);
  }
  RegistryKey(const RegistryKey&) = delete;
  RegistryKey& operator=(const RegistryKey&) = delete;
  HKEY* out() { return &key_; }
  HKEY get() const { return key_; }

 private:
  HKEY key_ = nullptr;
};

bool set_string(HKEY key, const wchar_t* name, const std::wstring& value) {
  const auto bytes = static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t));
  return RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                        bytes) == ERROR_SUCCESS;
}

bool create_key(HKEY parent, const wchar_t* name, RegistryKey& key) {
  return RegCreateKeyExW(parent, name, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_WRITE, nullptr,
                         key.out(), nullptr) == ERROR_SUCCESS;
}

// The \\?\ form takes paths past MAX_PATH but skips normalisation, so the path is made full first.
std::wstring long_form(const std::wstring& path) {
  if (path.starts_with(L"\\\\?\\")) return path;
  // Windows keeps no path longer than 32767 units.
  std::wstring full(32768, L'\0');
  const DWORD length =
      GetFullPathNameW(path.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
  if (length == 0 || length >= full.size()) return path;
  full.resize(length);
  if (full.starts_with(L"\\\\.\\")) return full;
  if (full.starts_with(L"\\\\")) return L"\\\\?\\UNC\\" + full.substr(2);
  return L"\\\\?\\" + full;
}

bool uninstall_key_is_own() {
  return RegGetValueW(HKEY_CURRENT_USER, kUninstallKey, kMarker, RRF_RT_REG_SZ, nullptr, nullptr,
                      nullptr) == ERROR_SUCCESS;
}

bool declared_disposable() {
  wchar_t flag[2] = {};
  return GetEnvironmentVariableW(L"VORA_TEST_DISPOSABLE_PROFILE", flag, 2) == 1 && flag[0] == L'1';
}

bool remove_entry(const std::wstring& path, DWORD attributes);

bool remove_contents(const std::wstring& folder) {
  WIN32_FIND_DATAW found{};
  const HANDLE search = FindFirstFileExW((folder + L"\\*").c_str(), FindExInfoBasic, &found,
                                         FindExSearchNameMatch, nullptr, 0);
  if (search == INVALID_HANDLE_VALUE) return GetLastError() == ERROR_FILE_NOT_FOUND;
  bool all_removed = true;
  do {
    const std::wstring_view name = found.cFileName;
    if (name == L"." || name == L"..") continue;
    if (!remove_entry(folder + L"\\" + found.cFileName, found.dwFileAttributes)) {
      all_removed = false;
    }
  } while (FindNextFileW(search, &found));
  FindClose(search);
  return all_removed;
}

// A link or junction to a folder is removed itself: following it would empty its target.
bool remove_entry(const std::wstring& path, DWORD attributes) {
  if ((attributes & FILE_ATTRIBUTE_READONLY) != 0) {
    SetFileAttributesW(path.c_str(), attributes & ~static_cast<DWORD>(FILE_ATTRIBUTE_READONLY));
  }
  if ((attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) return DeleteFileW(path.c_str()) != 0;
  if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0) remove_contents(path);
  return RemoveDirectoryW(path.c_str()) != 0;
}

// Wine's version, from an export of its ntdll that Windows' lacks; nothing under Windows.
const char* wine_version() {
  using WineGetVersionFn = const char*(CDECL*)();
  const auto wine_get_version = reinterpret_cast<WineGetVersionFn>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version")));
  return wine_get_version != nullptr ? wine_get_version() : nullptr;
}

// Only the Wine seen to behave so: another version is expected to behave as Windows until seen.
bool running_under_wine_10() {
  const char* version = wine_version();
  return version != nullptr && std::string_view(version).starts_with("10.");
}

}  // namespace

bool running_under_wine() { return wine_version() != nullptr; }

bool wine_withholds_console_handles_from_gui_programs() { return running_under_wine_10(); }

bool wine_skips_handlers_when_the_main_thread_overflows() { return running_under_wine_10(); }

std::optional<std::wstring> why_vora_state_is_off_limits() {
  if (!running_under_wine() && !declared_disposable()) {
    return L"this profile is not known to be disposable; in a throwaway profile, set "
           L"VORA_TEST_DISPOSABLE_PROFILE=1 to run it";
  }
  std::wstring found;
  const auto note = [&found](const std::wstring& what) {
    found += (found.empty() ? L"" : L", ") + what;
  };
  if (uninstall_key_exists() && !uninstall_key_is_own()) {
    note(L"the registration HKCU\\" + std::wstring(kUninstallKey));
  }
  const VoraPlaces places = vora_places();
  for (const std::wstring* path :
       {&places.desktop_link, &places.programs_link, &places.user_data, &places.install_folder}) {
    if (!path->empty() && file_exists(*path)) note(*path);
  }
  const int running = running_vora_count();
  if (running != 0) note(running > 0 ? L"a running vora.exe" : L"processes that cannot be listed");
  if (found.empty()) return std::nullopt;
  return L"Vora's state that this test did not make is here, and it stays untouched: " + found;
}

int running_vora_count() {
  const UniqueFile snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
  if (!snapshot) return -1;
  PROCESSENTRY32W entry{};
  entry.dwSize = sizeof entry;
  int count = 0;
  for (BOOL more = Process32FirstW(snapshot.get(), &entry); more;
       more = Process32NextW(snapshot.get(), &entry)) {
    if (CompareStringOrdinal(entry.szExeFile, -1, L"vora.exe", -1, TRUE) == CSTR_EQUAL) ++count;
  }
  return count;
}

VoraPlaces vora_places() {
  const auto under = [](int csidl, const wchar_t* name) {
    const std::wstring folder = special_folder(csidl);
    return folder.empty() ? folder : folder + name;
  };
  return {.install_folder = under(CSIDL_LOCAL_APPDATA, L"\\Programs\\Vora"),
          .user_data = under(CSIDL_APPDATA, L"\\Vora"),
          .desktop_link = under(CSIDL_DESKTOPDIRECTORY, L"\\Vora.lnk"),
          .programs_link = under(CSIDL_PROGRAMS, L"\\Vora.lnk")};
}

std::wstring special_folder(int csidl) {
  wchar_t path[MAX_PATH] = {};
  if (FAILED(SHGetFolderPathW(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, path))) return {};
  return path;
}

bool create_shortcut(const std::wstring& lnk_path, const std::wstring& target) {
  const ComApartment apartment;
  if (!apartment.usable()) return false;
  ComRef<IShellLinkW> link;
  if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                              link.out()))) {
    return false;
  }
  if (FAILED(link->SetPath(target.c_str()))) return false;
  const std::wstring folder = target.substr(0, target.find_last_of(L'\\'));
  if (FAILED(link->SetWorkingDirectory(folder.c_str()))) return false;
  ComRef<IPersistFile> file;
  if (FAILED(link->QueryInterface(IID_IPersistFile, file.out()))) return false;
  return SUCCEEDED(file->Save(lnk_path.c_str(), TRUE));
}

bool file_exists(const std::wstring& path) {
  return GetFileAttributesW(long_form(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool create_uninstall_key(const std::wstring& install_dir) {
  RegistryKey key;
  if (!create_key(HKEY_CURRENT_USER, kUninstallKey, key)) return false;
  const std::wstring uninstall = L"\"" + install_dir + L"\\uninstall.exe\"";
  if (!set_string(key.get(), L"DisplayName", L"Vora") ||
      !set_string(key.get(), L"DisplayVersion", L"1.1.0") ||
      !set_string(key.get(), L"Publisher", L"Vora") ||
      !set_string(key.get(), L"InstallLocation", install_dir) ||
      !set_string(key.get(), L"DisplayIcon", install_dir + L"\\vora.exe") ||
      !set_string(key.get(), L"UninstallString", uninstall) ||
      !set_string(key.get(), L"QuietUninstallString", uninstall + L" --silent") ||
      !set_string(key.get(), kMarker, L"install_fixture")) {
    return false;
  }
  RegistryKey details;
  return create_key(key.get(), L"Details", details) &&
         set_string(details.get(), L"CreatedBy", L"install_fixture");
}

bool uninstall_key_exists() {
  RegistryKey key;
  return RegOpenKeyExW(HKEY_CURRENT_USER, kUninstallKey, 0, KEY_READ, key.out()) == ERROR_SUCCESS;
}

void remove_own_uninstall_key() {
  if (uninstall_key_is_own()) RegDeleteTreeW(HKEY_CURRENT_USER, kUninstallKey);
}

bool remove_tree(const std::wstring& folder) {
  std::wstring path = long_form(folder);
  while (path.ends_with(L'\\')) path.pop_back();
  // A drive root, "\\?\C:", must never be emptied by a test.
  if (path.size() <= 6) return false;
  const DWORD attributes = GetFileAttributesW(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    const DWORD error = GetLastError();
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
  }
  return remove_entry(path, attributes);
}

bool copy_file(const std::wstring& from, const std::wstring& to) {
  return CopyFileW(long_form(from).c_str(), long_form(to).c_str(), FALSE) != 0;
}

std::wstring make_temp_folder(const std::wstring& name_hint) {
  wchar_t temp[MAX_PATH + 1] = {};
  const DWORD length = GetTempPathW(MAX_PATH + 1, temp);
  if (length == 0 || length > MAX_PATH) return {};
  static std::atomic<unsigned> counter{0};
  for (int attempt = 0; attempt < 100; ++attempt) {
    const std::wstring path = temp + name_hint + L"-" + std::to_wstring(GetCurrentProcessId()) +
                              L"-" + std::to_wstring(GetTickCount64()) + L"-" +
                              std::to_wstring(counter.fetch_add(1));
    if (CreateDirectoryW(long_form(path).c_str(), nullptr)) return path;
    if (GetLastError() != ERROR_ALREADY_EXISTS) return {};
  }
  return {};
}

}  // namespace vora::demo
