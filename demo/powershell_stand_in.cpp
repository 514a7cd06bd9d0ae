// A test stand-in for PowerShell, which Wine lacks (its powershell.exe is an empty stub). The tests
// copy it into place as powershell.exe. It is not a PowerShell: it understands exactly
//   powershell -NoProfile -ExecutionPolicy Bypass -EncodedCommand <Base64 of UTF-16LE text>
// (anything else: exit 2; bad Base64 or an odd byte count: exit 3) and only scripts of the form
//   foreach($d in 'F1','F2',...){ Remove-Item -Force -ErrorAction SilentlyContinue
//   (Join-Path ([Environment]::GetFolderPath($d)) 'File') }
// written on one line with exactly that spacing, File a plain name without wildcards or separators
// (any other script: exit 4). For each folder it knows (Desktop, Programs, StartMenu,
// ApplicationData) it deletes <folder>\File, read-only or not, and it passes over unknown folders
// and missing files in silence, as that script would. A recognised script exits 0. When
// VORA_STAND_IN_LOG names a file, every invocation whose script could be decoded appends that
// script to it as UTF-8, followed by a line break.
#include "demo/stand_in_text.hpp"
#include "runtime/windows.hpp"

#include <shellapi.h>
#include <shlobj.h>

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace {

using vora::stand_in::environment;
using vora::stand_in::wtf8;

constexpr int kExitDone = 0;
constexpr int kExitBadArguments = 2;
constexpr int kExitBadEncoding = 3;
constexpr int kExitUnknownScript = 4;

int base64_value(wchar_t c) {
  if (c >= L'A' && c <= L'Z') return c - L'A';
  if (c >= L'a' && c <= L'z') return c - L'a' + 26;
  if (c >= L'0' && c <= L'9') return c - L'0' + 52;
  if (c == L'+') return 62;
  if (c == L'/') return 63;
  return -1;
}

// Stricter than PowerShell, which also skips white space and ignores stray low bits: a test should
// notice when the program under test produces anything but canonical Base64.
std::optional<std::vector<std::uint8_t>> decode_base64(std::wstring_view text) {
  if (text.size() % 4 != 0) return std::nullopt;
  std::vector<std::uint8_t> bytes;
  bytes.reserve(text.size() / 4 * 3);
  for (std::size_t i = 0; i < text.size(); i += 4) {
    const bool last = i + 4 == text.size();
    std::size_t padding = 0;
    if (last && text[i + 3] == L'=') padding = text[i + 2] == L'=' ? 2 : 1;
    std::uint32_t group = 0;
    for (std::size_t k = 0; k < 4; ++k) {
      int value = 0;
      if (k < 4 - padding) {
        value = base64_value(text[i + k]);
        if (value < 0) return std::nullopt;
      }
      group = (group << 6) | static_cast<std::uint32_t>(value);
    }
    const std::uint32_t unused_bits = padding == 2 ? 0xFFFFu : padding == 1 ? 0xFFu : 0u;
    if ((group & unused_bits) != 0) return std::nullopt;
    bytes.push_back(static_cast<std::uint8_t>(group >> 16));
    if (padding < 2) bytes.push_back(static_cast<std::uint8_t>(group >> 8));
    if (padding < 1) bytes.push_back(static_cast<std::uint8_t>(group));
  }
  return bytes;
}

std::optional<std::wstring> utf16le_text(const std::vector<std::uint8_t>& bytes) {
  if (bytes.size() % 2 != 0) return std::nullopt;
  std::wstring text;
  text.reserve(bytes.size() / 2);
  for (std::size_t i = 0; i < bytes.size(); i += 2) {
    text += static_cast<wchar_t>(bytes[i] | (bytes[i + 1] << 8));
  }
  return text;
}

// One WriteFile on a handle opened for appending only, so that concurrent stand-ins cannot
// interleave or overwrite each other's lines.
void append_to_log(std::wstring_view script) {
  const std::wstring log_path = environment(L"VORA_STAND_IN_LOG");
  if (log_path.empty()) return;
  const HANDLE log =
      CreateFileW(log_path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                  OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (log == INVALID_HANDLE_VALUE) return;
  const std::string line = wtf8(script) + "\n";
  DWORD written = 0;
  WriteFile(log, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
  CloseHandle(log);
}

struct ShortcutRemoval {
  std::vector<std::wstring> folders;
  std::wstring file;
};

// A name PowerShell would take literally and join as one component: Remove-Item without
// -LiteralPath expands wildcards, and a separator would reach outside the folder.
bool plain_file_name(std::wstring_view name) {
  if (name.empty() || name == L"." || name == L"..") return false;
  for (const wchar_t c : name) {
    if (c < 0x20 || std::wstring_view(L"'\\/:*?[]`\"<>|").find(c) != std::wstring_view::npos) {
      return false;
    }
  }
  return true;
}

std::optional<ShortcutRemoval> parse_shortcut_removal(std::wstring_view script) {
  constexpr std::wstring_view kHead = L"foreach($d in ";
  constexpr std::wstring_view kBody =
      L"){ Remove-Item -Force -ErrorAction SilentlyContinue "
      L"(Join-Path ([Environment]::GetFolderPath($d)) '";
  constexpr std::wstring_view kTail = L"') }";
  if (!script.starts_with(kHead)) return std::nullopt;
  script.remove_prefix(kHead.size());

  ShortcutRemoval removal;
  while (true) {
    if (!script.starts_with(L'\'')) return std::nullopt;
    script.remove_prefix(1);
    const std::size_t close = script.find(L'\'');
    if (close == std::wstring_view::npos) return std::nullopt;
    removal.folders.emplace_back(script.substr(0, close));
    script.remove_prefix(close + 1);
    if (!script.starts_with(L',')) break;
    script.remove_prefix(1);
  }

  if (!script.starts_with(kBody)) return std::nullopt;
  script.remove_prefix(kBody.size());
  if (!script.ends_with(kTail)) return std::nullopt;
  script.remove_suffix(kTail.size());
  if (!plain_file_name(script)) return std::nullopt;
  removal.file = script;
  return removal;
}

// .NET parses the name of a special folder without regard to case.
std::optional<int> csidl_of(std::wstring_view name) {
  struct Known {
    std::wstring_view name;
    int csidl;
  };
  constexpr Known kKnown[] = {{L"Desktop", CSIDL_DESKTOPDIRECTORY},
                              {L"Programs", CSIDL_PROGRAMS},
                              {L"StartMenu", CSIDL_STARTMENU},
                              {L"ApplicationData", CSIDL_APPDATA}};
  for (const Known& known : kKnown) {
    if (CompareStringOrdinal(name.data(), static_cast<int>(name.size()), known.name.data(),
                             static_cast<int>(known.name.size()), TRUE) == CSTR_EQUAL) {
      return known.csidl;
    }
  }
  return std::nullopt;
}

std::wstring join_path(const std::wstring& folder, const std::wstring& file) {
  std::wstring path = folder;
  if (!path.empty() && path.back() != L'\\') path += L'\\';
  path += file;
  if (path.size() >= MAX_PATH) {
    if (path.starts_with(L"\\\\")) {
      path = L"\\\\?\\UNC\\" + path.substr(2);
    } else {
      path = L"\\\\?\\" + path;
    }
  }
  return path;
}

// Remove-Item -Force: a read-only file goes too, and so does an empty folder; a folder with
// content would need -Recurse and stays, with the error suppressed.
void remove_item(const std::wstring& path) {
  const DWORD attributes = GetFileAttributesW(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return;
  if ((attributes & FILE_ATTRIBUTE_READONLY) != 0) {
    SetFileAttributesW(path.c_str(), attributes & ~static_cast<DWORD>(FILE_ATTRIBUTE_READONLY));
  }
  if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
    RemoveDirectoryW(path.c_str());
  } else {
    DeleteFileW(path.c_str());
  }
}

void run(const ShortcutRemoval& removal) {
  for (const std::wstring& name : removal.folders) {
    const std::optional<int> csidl = csidl_of(name);
    if (!csidl) continue;
    wchar_t folder[MAX_PATH] = {};
    if (FAILED(SHGetFolderPathW(nullptr, *csidl, nullptr, SHGFP_TYPE_CURRENT, folder))) continue;
    remove_item(join_path(folder, removal.file));
  }
}

std::optional<std::wstring> encoded_command() {
  int count = 0;
  LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &count);
  if (argv == nullptr) return std::nullopt;
  std::optional<std::wstring> result;
  if (count == 6 && std::wstring_view(argv[1]) == L"-NoProfile" &&
      std::wstring_view(argv[2]) == L"-ExecutionPolicy" &&
      std::wstring_view(argv[3]) == L"Bypass" && std::wstring_view(argv[4]) == L"-EncodedCommand") {
    result = argv[5];
  }
  LocalFree(argv);
  return result;
}

}  // namespace

int main() {
  const std::optional<std::wstring> encoded = encoded_command();
  if (!encoded) return kExitBadArguments;
  const std::optional<std::vector<std::uint8_t>> bytes = decode_base64(*encoded);
  if (!bytes) return kExitBadEncoding;
  const std::optional<std::wstring> script = utf16le_text(*bytes);
  if (!script) return kExitBadEncoding;
  append_to_log(*script);
  const std::optional<ShortcutRemoval> removal = parse_shortcut_removal(*script);
  if (!removal) return kExitUnknownScript;
  run(*removal);
  return kExitDone;
}
